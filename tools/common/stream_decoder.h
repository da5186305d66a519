// Decodes a whole Annex B stream through the decoder's C++ interface, frame
// by frame, and hands out the displayed picture.
#pragma once

#include <cstdint>
#include <memory>
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

  // Decodes one frame from a fresh copy of its bytes (decoding rewrites
  // them). In the compatible mode a frame that carries a sequence parameter
  // set primes the decoder first, as a host does, and parameter sets of
  // another picture layout get a new decoder, as a host opens its handle
  // again. False when no picture could be set up (no usable parameter sets
  // yet).
  bool decode(const AnnexBStream& stream, const AccessUnit& unit);

  const H264::FrameDecoder& frameDecoder() const { return *decoder_; }
  // The decoder core: parameter sets, slice statistics, the error word.
  const H264::H264Decoder& core() const { return decoder_->core(); }
  H264::H264Decoder& core() { return decoder_->core(); }

  // The displayed picture: the cropping window of the sequence parameter
  // set of the last frame that decoded slices.
  PictureView view() const { return pictureView(core(), display_); }
  const DisplayInfo& display() const { return display_; }

 private:
  void copy(const AnnexBStream& stream, const AccessUnit& unit);
  bool prime(const AnnexBStream& stream, const AccessUnit& unit);

  H264::DecodeMode mode_;
  H264::KernelLevel level_;
  std::unique_ptr<H264::FrameDecoder> decoder_;
  std::vector<std::uint8_t> buffer_;
  bool primed_ = false;
  DisplayInfo display_;
};

}  // namespace istrel::tools
