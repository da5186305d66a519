#include "common/stream_decoder.h"

namespace istrel::tools {
namespace {

bool carriesSps(const AnnexBStream& stream, const AccessUnit& unit) {
  for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
    if (stream.nals[i].type() == 7) return true;
  }
  return false;
}

}  // namespace

StreamDecoder::StreamDecoder(H264::DecodeMode mode, H264::KernelLevel level)
    : decoder_(mode, level) {}

void StreamDecoder::copy(const AnnexBStream& stream, const AccessUnit& unit) {
  buffer_.assign(stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.begin),
                 stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.end));
}

bool StreamDecoder::decode(const AnnexBStream& stream, const AccessUnit& unit) {
  if (decoder_.mode() == H264::DecodeMode::kCompatible && carriesSps(stream, unit)) {
    copy(stream, unit);
    try {
      primed_ = decoder_.prime(buffer_.data(), static_cast<int>(buffer_.size())) || primed_;
    } catch (int) {
      return false;
    }
  }
  if (decoder_.mode() == H264::DecodeMode::kCompatible && !primed_) return false;
  copy(stream, unit);
  decoder_.decodeFrame(buffer_.data(), static_cast<int>(buffer_.size()));
  return decoder_.pictureSps() != nullptr;
}

PictureView StreamDecoder::view() const {
  const H264::Picture<unsigned short>& picture = decoder_.picture();
  const std::uint16_t* planes[3] = {picture.plane(0), picture.plane(1), picture.plane(2)};
  const std::ptrdiff_t strides[3] = {picture.lumaWidth(), picture.chromaWidth(),
                                     picture.chromaWidth()};
  return displayWindow(*decoder_.pictureSps(), planes, strides);
}

}  // namespace istrel::tools
