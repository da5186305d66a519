#include "common/stream_decoder.h"

#include "api/frame_driver.h"
#include "syntax/parameters_decoder.h"

namespace istrel::tools {
namespace {

bool carriesSps(const AnnexBStream& stream, const AccessUnit& unit) {
  for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
    if (stream.nals[i].type() == 7) return true;
  }
  return false;
}

}  // namespace

StreamDecoder::StreamDecoder(H264::DecodeMode mode)
    : core_(std::make_unique<H264::H264Decoder>(mode)) {}

bool StreamDecoder::decode(const AnnexBStream& stream, const AccessUnit& unit) {
  auto first = stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.begin);
  auto last = stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.end);
  if (carriesSps(stream, unit)) {
    buffer_.assign(first, last);
    try {
      core_->readParameterSets(buffer_.data(), static_cast<int>(buffer_.size()));
      core_->allocatePicture();
      ready_ = true;
    } catch (int) {
      return false;
    }
  }
  if (!ready_) return false;
  buffer_.assign(first, last);  // decoding rewrites the buffer
  H264::decodeSlices(*core_, buffer_.data(), static_cast<int>(buffer_.size()));
  return true;
}

PictureView StreamDecoder::view() const {
  const H264::Picture<unsigned short>& picture = core_->picture();
  const std::uint16_t* planes[3] = {picture.plane(0), picture.plane(1), picture.plane(2)};
  const std::ptrdiff_t strides[3] = {picture.lumaWidth(), picture.chromaWidth(),
                                     picture.chromaWidth()};
  return displayWindow(*core_->parameters().sps(0), planes, strides);
}

}  // namespace istrel::tools
