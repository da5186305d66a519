#include "core/h264_decoder.h"

#include <new>
#include <optional>

#include "base/errors.h"
#include "core/slice_decoder.h"
#include "syntax/annexb.h"
#include "syntax/parameters_decoder.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

bool isNalType(std::uint8_t header, unsigned type) { return (header & 0x1F) == type; }

// Unescapes the first NAL unit of `type` at or after `from` to the start of
// the buffer and parses it. Returns where the unit ended, or nothing when
// there is none.
std::optional<std::size_t> parseFirstNal(ParametersDecoder& parameters, std::uint8_t* data,
                                         std::size_t size, std::size_t from, unsigned type) {
  std::size_t header =
      findNalUnit(data, size, from, [type](std::uint8_t b) { return isNalType(b, type); });
  if (header == size) return std::nullopt;
  UnescapedNal nal = unescapeInPlace(data, size, header + 1, 0);
  StreamParser parser(data, static_cast<std::uint32_t>(nal.length), kParameterSetError);
  parameters.parseNal(parser, type);
  return nal.end;
}

}  // namespace

H264Decoder::H264Decoder(DecodeMode mode)
    : mode_(mode),
      picture_(std::make_unique<Picture<unsigned short>>()),
      parameters_(std::make_unique<ParametersDecoder>()) {}

H264Decoder::~H264Decoder() = default;

bool H264Decoder::readParameterSets(unsigned char* data, int size) {
  if (!data || size <= 0) return false;
  std::size_t length = static_cast<std::size_t>(size);
  std::optional<std::size_t> spsEnd = parseFirstNal(*parameters_, data, length, 0, 7);
  if (!spsEnd) return false;
  if (!parseFirstNal(*parameters_, data, length, *spsEnd, 8)) fail(kParameterSetError);
  return true;
}

void H264Decoder::allocatePicture() {
  const SeqParameterSet* sps = parameters_->sps(0);
  if (!sps) fail(kParameterSetError);
  if (picture_->hasStorage()) return;
  PictureFormat format = PictureFormat::of(*sps);
  picture_->allocate(format.lumaWidth, format.lumaHeight, format.chromaWidth, format.chromaHeight,
                     format.bitDepthLuma);
  pictureFormat_ = format;
}

int H264Decoder::decodeSlice(unsigned char* payload, int sliceIndex, unsigned int length,
                             unsigned char nal_ref_idc, unsigned int nal_unit_type,
                             std::uint32_t endMb) {
  // Each slice writes only its own entry, so parallel slices never share one.
  SliceStatistics* statistics =
      sliceIndex >= 0 && sliceIndex < kMaxSlices ? &statistics_[sliceIndex] : nullptr;
  try {
    if (!picture_->hasStorage()) fail(kSliceError);
    StreamParser parser(payload, length, kSliceError);
    SliceDecoder<unsigned short> slice(*parameters_, parser, *picture_, mode_);
    slice.parseSliceHeader(nal_ref_idc, nal_unit_type);
    // The picture was sized by an earlier sequence parameter set; a slice of
    // another layout would write outside it or out of range.
    if (!slice.active().format.sameLayout(pictureFormat_)) fail(kSliceError);
    slice.setSliceIndex(sliceIndex);
    slice.setReconstruction(reconstruct_);
    if (statistics) statistics->decoded = true;
    slice.decodeSliceData(statistics, endMb);
    return 0;
  } catch (int code) {
    if (statistics) statistics->failed = statistics->decoded = true;
    if (code == kSliceError) parameters_->recordError(kErrorSliceFailed);
  } catch (const std::bad_alloc&) {
    if (statistics) statistics->failed = statistics->decoded = true;
    parameters_->recordError(kErrorOutOfMemory);
    outOfMemory_.store(true, std::memory_order_relaxed);
  } catch (...) {
    if (statistics) statistics->failed = statistics->decoded = true;
    parameters_->recordError(kErrorSliceFailed);
  }
  return static_cast<int>(parameters_->errorFlags());
}

int H264Decoder::getPlanes(AVCIntraInfo* handle) const {
  for (int i = 0; i < 3; ++i) {
    handle->planes[i] = reinterpret_cast<unsigned char*>(picture_->plane(i));
  }
  return 0;
}

void H264Decoder::beginFrame() {
  for (SliceStatistics& s : statistics_) s = SliceStatistics{};
}

const SliceStatistics& H264Decoder::sliceStatistics(int sliceIndex) const {
  return statistics_[sliceIndex];
}

unsigned H264Decoder::errorFlags() const { return parameters_->errorFlags(); }

}  // namespace H264
