#include "istrel/internal_decoder.h"

#include "api/frame_driver.h"
#include "istrel/v210_job.h"

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
      if (!core_.readParameterSets(input_.data(), static_cast<int>(input_.size()))) continue;
      core_.allocatePicture();
    } catch (int) {
      return false;
    }
    job_ = v210JobFor(core_, preview_, nullptr);
    output_.assign(v210BytesOf(job_), 0);
    job_.output = output_.data();
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
  H264::decodeSlices(core_, input_.data(), static_cast<int>(input_.size()));
}

void InternalDecoder::convert() { H264::convertToV210(job_); }

}  // namespace istrel::tools
