#include "common/stream_decoder.h"

#include "syntax/parameters_decoder.h"

namespace istrel::tools {
namespace {

bool carriesSps(const AnnexBStream& stream, const AccessUnit& unit) {
  for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
    if (stream.nals[i].type() == H264::kNalSps) return true;
  }
  return false;
}

}  // namespace

StreamDecoder::StreamDecoder(H264::DecodeMode mode, H264::KernelLevel level)
    : mode_(mode), level_(level), decoder_(std::make_unique<H264::FrameDecoder>(mode, level)) {}

void StreamDecoder::copy(const AnnexBStream& stream, const AccessUnit& unit) {
  buffer_.assign(stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.begin),
                 stream.bytes.begin() + static_cast<std::ptrdiff_t>(unit.end));
}

bool StreamDecoder::prime(const AnnexBStream& stream, const AccessUnit& unit) {
  copy(stream, unit);
  if (!decoder_->prime(buffer_.data(), static_cast<int>(buffer_.size()))) return false;
  const H264::SeqParameterSet* sps = core().parameters().sps(0);
  if (sps && !H264::PictureFormat::of(*sps).sameLayout(core().pictureFormat())) {
    decoder_ = std::make_unique<H264::FrameDecoder>(mode_, level_);
    copy(stream, unit);
    decoder_->prime(buffer_.data(), static_cast<int>(buffer_.size()));
  }
  return true;
}

bool StreamDecoder::decode(const AnnexBStream& stream, const AccessUnit& unit) {
  if (mode_ == H264::DecodeMode::kCompatible && carriesSps(stream, unit)) {
    try {
      primed_ = prime(stream, unit) || primed_;
    } catch (int) {
      return false;
    }
  }
  if (mode_ == H264::DecodeMode::kCompatible && !primed_) return false;
  copy(stream, unit);
  decoder_->decodeFrame(buffer_.data(), static_cast<int>(buffer_.size()));
  const H264::SeqParameterSet* sps = core().pictureSps();
  if (!sps) return false;
  // A frame none of whose slices could be read leaves the picture as it was,
  // and its parameter sets may describe another one: the display stays.
  if (decoder_->lastFrame().slicesDecoded > 0 || display_.width == 0) {
    display_ = displayInfoOf(*sps);
  }
  return true;
}

}  // namespace istrel::tools
