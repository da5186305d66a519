#include "core/h264_decoder.h"

#include <new>
#include <optional>
#include <vector>

#include "base/errors.h"
#include "core/slice_decoder.h"
#include "syntax/annexb.h"
#include "syntax/nal_unit.h"
#include "syntax/parameters_decoder.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

// Unescapes the first NAL unit of `type` at or after `from` to the start of
// the buffer and parses it. Returns where the unit ended, or nothing when
// there is none.
std::optional<std::size_t> parseFirstNal(ParametersDecoder& parameters, std::uint8_t* data,
                                         std::size_t size, std::size_t from, unsigned type) {
  std::size_t header =
      findNalUnit(data, size, from, [type](std::uint8_t b) { return nalUnitType(b) == type; });
  if (header == size) return std::nullopt;
  UnescapedNal nal = unescapeInPlace(data, size, header + 1, 0);
  StreamParser parser(data, static_cast<std::uint32_t>(nal.length), kParameterSetError);
  parameters.parseNal(parser, type);
  return nal.end;
}

}  // namespace

H264Decoder::H264Decoder(DecodeMode mode, KernelLevel level)
    : mode_(mode),
      level_(levelAtMost(level)),
      kernels_(&kernelsFor<unsigned short>(level_)),
      decodeSliceWork_(sliceDecodingFor(level_)),
      picture_(std::make_unique<Picture<unsigned short>>()),
      parameters_(std::make_unique<ParametersDecoder>()) {}

H264Decoder::~H264Decoder() = default;

bool H264Decoder::readParameterSets(unsigned char* data, int size) {
  if (!data || size <= 0) return false;
  std::size_t length = static_cast<std::size_t>(size);
  std::optional<std::size_t> spsEnd = parseFirstNal(*parameters_, data, length, 0, kNalSps);
  if (!spsEnd) return false;
  if (!parseFirstNal(*parameters_, data, length, *spsEnd, kNalPps)) fail(kParameterSetError);
  return true;
}

ParameterSetCount H264Decoder::readEveryParameterSet(const unsigned char* data, int size) {
  ParameterSetCount count;
  if (!data || size <= 0) return count;
  const auto length = static_cast<std::size_t>(size);
  auto parameterSet = [](std::uint8_t b) { return isParameterSet(b) != 0; };
  auto any = [](std::uint8_t) { return true; };
  std::vector<std::uint8_t> rbsp;
  for (std::size_t header = findNalUnit(data, length, 0, parameterSet); header < length;
       header = findNalUnit(data, length, header + 1, parameterSet)) {
    const std::size_t next = findNalUnit(data, length, header + 1, any);
    rbsp.assign(data + header + 1, data + (next == length ? length : next - 3));
    const UnescapedNal nal = unescapeInPlace(rbsp.data(), rbsp.size(), 0, 0);
    const unsigned type = nalUnitType(data[header]);
    try {
      StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(nal.length), kParameterSetError);
      parameters_->parseNal(parser, type);
      ++(type == kNalSps ? count.sequence : count.picture);
    } catch (int) {
      ++count.malformed;
    }
  }
  return count;
}

void H264Decoder::allocatePicture() {
  const SeqParameterSet* sps = parameters_->sps(0);
  if (!sps) fail(kParameterSetError);
  if (!picture_->hasStorage()) allocatePictureFor(*sps);
}

void H264Decoder::allocatePictureFor(const SeqParameterSet& sps) {
  pictureSpsId_ = sps.seq_parameter_set_id;
  PictureFormat format = PictureFormat::of(sps);
  if (picture_->hasStorage() && format.sameLayout(pictureFormat_)) return;
  picture_->allocate(format.lumaWidth, format.lumaHeight, format.chromaWidth, format.chromaHeight,
                     format.bitDepthLuma);
  pictureFormat_ = format;
  if (mode_ == DecodeMode::kConformant) filterRecords_.assign(format.sizeInMbs, FilterMacroblock{});
}

int H264Decoder::decodeSlice(unsigned char* payload, int sliceIndex, unsigned int length,
                             unsigned char nal_ref_idc, unsigned int nal_unit_type,
                             std::uint32_t endMb) {
  ParsedSliceHeader parsed;
  try {
    StreamParser parser(payload, length, kSliceError);
    parseSliceHeader(parser, *parameters_, nal_ref_idc, nal_unit_type, parsed.header,
                     parsed.active);
    parsed.dataOffset = parser.bitOffset();
  } catch (int code) {
    return recordFailure(statisticsOf(sliceIndex), code);
  } catch (const std::bad_alloc&) {
    return recordOutOfMemory(statisticsOf(sliceIndex));
  }
  return decodeSlice(payload, sliceIndex, length, parsed, endMb);
}

int H264Decoder::decodeSlice(unsigned char* payload, int sliceIndex, unsigned int length,
                             const ParsedSliceHeader& parsed, std::uint32_t endMb) {
  // Each slice writes only its own entry, so parallel slices never share one.
  SliceStatistics* statistics = statisticsOf(sliceIndex);
  try {
    // The picture was sized by an earlier sequence parameter set; a slice of
    // another layout would write outside it or out of range.
    if (!picture_->hasStorage() || !parsed.active.format.sameLayout(pictureFormat_)) {
      fail(kSliceError);
    }
    FilterRecorder recorder;
    if (mode_ == DecodeMode::kConformant && statistics) {
      filterSlices_[static_cast<std::size_t>(sliceIndex)] =
          FilterSlice::of(parsed.header, parsed.active);
      const bool bottomField = parsed.header.field_pic_flag && parsed.header.bottom_field_flag;
      recorder = {filterRecords_.data(), bottomField ? pictureFormat_.sizeInMbs / 2 : 0,
                  static_cast<std::uint32_t>(sliceIndex) + 1};
    }
    if (statistics) statistics->decoded = true;
    decodeSliceWork_({payload, length, &parsed, picture_.get(), mode_, kernels_, statistics, endMb,
                      reconstruct_, recorder});
    return 0;
  } catch (int code) {
    return recordFailure(statistics, code);
  } catch (const std::bad_alloc&) {
    return recordOutOfMemory(statistics);
  } catch (...) {
    return recordFailure(statistics, kSliceError);
  }
}

SliceStatistics* H264Decoder::statisticsOf(int sliceIndex) {
  auto index = static_cast<std::size_t>(sliceIndex);
  return sliceIndex >= 0 && index < statistics_.size() ? &statistics_[index] : nullptr;
}

int H264Decoder::recordFailure(SliceStatistics* statistics, int code) {
  if (statistics) statistics->failed = statistics->decoded = true;
  if (code == kSliceError) parameters_->recordError(kErrorSliceFailed);
  return static_cast<int>(parameters_->errorFlags());
}

int H264Decoder::recordOutOfMemory(SliceStatistics* statistics) {
  if (statistics) statistics->failed = statistics->decoded = true;
  parameters_->recordError(kErrorOutOfMemory);
  outOfMemory_.store(true, std::memory_order_relaxed);
  return static_cast<int>(parameters_->errorFlags());
}

const SeqParameterSet* H264Decoder::pictureSps() const {
  return picture_->hasStorage() ? parameters_->sps(pictureSpsId_) : nullptr;
}

void H264Decoder::beginFrame(std::size_t slices, const FrameReport& report) {
  lastFrame_ = report;
  statistics_.assign(slices, SliceStatistics{});
  if (mode_ != DecodeMode::kConformant) return;
  filterSlices_.assign(slices, FilterSlice{});
  for (FilterMacroblock& mb : filterRecords_) mb.slice = 0;
}

int H264Decoder::beginDeblocking() {
  // Without reconstruction no sample is written, the filter's included.
  if (mode_ != DecodeMode::kConformant || !deblock_ || !reconstruct_ || filterRecords_.empty()) {
    return 0;
  }
  FilterInput input;
  input.picture = picture_.get();
  input.macroblocks = filterRecords_.data();
  input.slices = filterSlices_.data();
  input.sliceCount = filterSlices_.size();
  input.widthInMbs = static_cast<int>(pictureFormat_.widthInMbs);
  input.heightInMbs = static_cast<int>(pictureFormat_.heightInMbs);
  input.mbWidthC = static_cast<int>(pictureFormat_.mbWidthC);
  input.mbHeightC = static_cast<int>(pictureFormat_.mbHeightC);
  input.kernels = kernels_;
  if (!deblocking_.prepare(input)) return 0;
  wavefront_.reset(deblocking_);
  return deblocking_.rows();
}

void H264Decoder::deblockTask() { wavefront_.run(deblocking_); }

const SliceStatistics& H264Decoder::sliceStatistics(std::size_t sliceIndex) const {
  return statistics_[sliceIndex];
}

unsigned H264Decoder::errorFlags() const { return parameters_->errorFlags(); }

}  // namespace H264
