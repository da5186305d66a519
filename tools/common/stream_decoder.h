// Decodes a whole Annex B stream through the decoder's C++ interface, access
// unit by access unit, and hands out the displayed picture.
#pragma once

#include <cstdint>
#include <vector>

#include "api/frame_decoder.h"
#include "base/decode_mode.h"
#include "common/annexb_file.h"
#include "common/picture_view.h"

namespace istrel::tools {

class StreamDecoder {
 public:
  explicit StreamDecoder(H264::DecodeMode mode,
                         H264::KernelLevel level = H264::defaultKernelLevel());

  // Decodes one access unit from a fresh copy of its bytes (decoding rewrites
  // them). In the compatible mode a unit that carries a sequence parameter
  // set primes the decoder first, as a host does. False when no picture
  // could be set up (no usable parameter sets yet).
  bool decode(const AnnexBStream& stream, const AccessUnit& unit);

  const H264::FrameDecoder& core() const { return decoder_; }
  H264::FrameDecoder& core() { return decoder_; }

  // The displayed picture (the cropping window of the picture's sequence
  // parameter set).
  PictureView view() const;

 private:
  void copy(const AnnexBStream& stream, const AccessUnit& unit);

  H264::FrameDecoder decoder_;
  std::vector<std::uint8_t> buffer_;
  bool primed_ = false;
};

}  // namespace istrel::tools
