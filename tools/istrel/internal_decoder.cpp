#include "istrel/internal_decoder.h"

#include "api/frame_driver.h"

namespace istrel::tools {

InternalDecoder::InternalDecoder(H264::DecodeMode mode, bool preview)
    : core_(mode), preview_(preview) {}

void InternalDecoder::copy(const AnnexBStream& stream, const AccessUnit& unit) {
  input_.assign(stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.begin),
                stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.end));
}

bool InternalDecoder::prime(const AnnexBStream& stream) {
  for (const AccessUnit& unit : stream.units) {
    copy(stream, unit);
    try {
      if (!core_.prime(input_.data(), static_cast<int>(input_.size()))) continue;
    } catch (int) {
      return false;
    }
    if (core_.mode() == H264::DecodeMode::kConformant) decode(stream, unit);
    if (!core_.pictureSps()) return false;
    output_.assign(H264::v210Bytes(core_.streamTarget(!preview_)), 0);
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
  core_.decodeFrame(input_.data(), static_cast<int>(input_.size()));
}

void InternalDecoder::convert() {
  core_.convertToV210(output_.data(), core_.streamTarget(!preview_));
}

}  // namespace istrel::tools
