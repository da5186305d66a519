// Where `istrel decode` gets its frames: the exported functions as a host
// calls them, or the decoder's C++ classes.
#pragma once

#include <memory>
#include <vector>

#include "base/decode_mode.h"
#include "common/annexb_file.h"
#include "common/picture_view.h"

namespace H264 {
struct SeqParameterSet;
}

namespace istrel::tools {

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  // Decodes one access unit; a description of the failure when the frame
  // could not be decoded at all, else empty.
  virtual std::string decode(const AnnexBStream& stream, const AccessUnit& unit) = 0;
  virtual PictureView view() const = 0;
  // The frame as v210 rows (computed on demand by the C++ path).
  virtual const std::vector<char>& v210() = 0;
  // The decoder's sticky error word: slices that failed so far.
  virtual unsigned errorFlags() const = 0;
};

// `sps` is the stream's sequence parameter set 0; it must outlive the source.
std::unique_ptr<FrameSource> exportedSource(const H264::SeqParameterSet& sps, bool preview);
std::unique_ptr<FrameSource> classSource(H264::DecodeMode mode, bool preview);

}  // namespace istrel::tools
