// Where `istrel decode` gets its frames: the exported functions as a host
// calls them, or the decoder's C++ classes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "api/frame_decoder.h"
#include "base/decode_mode.h"
#include "common/annexb_file.h"
#include "common/picture_view.h"

namespace istrel::tools {

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Decodes one frame; a description of the failure when the frame could
  // not be decoded at all, else empty.
  virtual std::string decode(const AnnexBStream& stream, const AccessUnit& unit) = 0;
  // The picture as the last decoded frame left it, and how its sequence
  // parameter set says to show it.
  virtual PictureView view() const = 0;
  virtual const DisplayInfo& display() const = 0;
  // The frame as v210 rows (computed on demand by the C++ path).
  virtual const std::vector<char>& v210() = 0;
  // The decoder core: what the last frame did (slices decoded, ignored,
  // failed) and the sticky error word.
  virtual const H264::H264Decoder& core() const = 0;
  unsigned errorFlags() const { return core().errorFlags(); }
};

// The exported functions as a host calls them: the host reads the
// parameter sets each frame carries and opens the handle again, set up for
// them, when they describe another picture format.
std::unique_ptr<FrameSource> exportedSource(bool preview);
std::unique_ptr<FrameSource> classSource(H264::DecodeMode mode, bool preview);

// Slices of the last frame that failed.
std::size_t failedSlices(const H264::H264Decoder& core);

}  // namespace istrel::tools
