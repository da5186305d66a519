// Decodes a whole Annex B stream through the decoder's C++ classes, access
// unit by access unit, and hands out the displayed picture.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/decode_mode.h"
#include "common/annexb_file.h"
#include "common/picture_view.h"
#include "core/h264_decoder.h"

namespace istrel::tools {

class StreamDecoder {
 public:
  explicit StreamDecoder(H264::DecodeMode mode);

  // Decodes one access unit, reading the parameter sets it carries first.
  // False when no picture could be set up (no parameter sets seen yet, or
  // malformed ones).
  bool decode(const AnnexBStream& stream, const AccessUnit& unit);

  const H264::H264Decoder& core() const { return *core_; }

  // The displayed picture (the cropping window of sequence parameter set 0).
  PictureView view() const;

 private:
  std::unique_ptr<H264::H264Decoder> core_;
  std::vector<std::uint8_t> buffer_;
  bool ready_ = false;
};

}  // namespace istrel::tools
