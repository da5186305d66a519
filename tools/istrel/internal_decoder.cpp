#include "istrel/internal_decoder.h"

#include "api/frame_driver.h"

namespace istrel::tools {

InternalDecoder::InternalDecoder(H264::DecodeMode mode, bool preview)
    : decoder_(mode), preview_(preview) {}

void InternalDecoder::copy(const AnnexBStream& stream, const AccessUnit& unit) {
  input_.assign(stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.begin),
                stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.end));
}

bool InternalDecoder::prime(const AnnexBStream& stream) {
  for (const AccessUnit& unit : stream.units) {
    copy(stream, unit);
    try {
      if (!decoder_.prime(input_.data(), static_cast<int>(input_.size()))) continue;
    } catch (int) {
      return false;
    }
    if (core().mode() == H264::DecodeMode::kConformant) decode(stream, unit);
    if (!core().pictureSps()) return false;
    output_.assign(decoder_.streamTarget(!preview_).geometry().bytes(), 0);
    return true;
  }
  return false;
}

void InternalDecoder::scan(const AnnexBStream& stream, const AccessUnit& unit) {
  copy(stream, unit);
  H264::scanSlices(input_.data(), static_cast<int>(input_.size()));
}

void InternalDecoder::decode(const AnnexBStream& stream, const AccessUnit& unit) {
  copy(stream, unit);
  decoder_.decodeFrame(input_.data(), static_cast<int>(input_.size()));
}

void InternalDecoder::convert() {
  decoder_.convertToV210(output_.data(), decoder_.streamTarget(!preview_));
}

}  // namespace istrel::tools
