#include "core/slice_decoder.h"

#include <memory>

#include "base/errors.h"
#include "macroblock/mbaff_macroblock_decoder.h"
#include "macroblock/non_mbaff_macroblock_decoder.h"
#include "syntax/parameters_decoder.h"
#include "syntax/stream_parser.h"

namespace H264 {

template <typename T>
SliceDecoder<T>::SliceDecoder(const ParametersDecoder& parameters, StreamParser& parser,
                              Picture<T>& picture, DecodeMode mode, const Kernels<T>& kernels)
    : parameters_(parameters), parser_(parser), picture_(picture), mode_(mode), kernels_(kernels) {}

template <typename T>
void SliceDecoder<T>::parseSliceHeader(unsigned nal_ref_idc, unsigned nal_unit_type) {
  H264::parseSliceHeader(parser_, parameters_, nal_ref_idc, nal_unit_type, header_, active_);
}

template <typename T>
void SliceDecoder<T>::useParsedHeader(const ParsedSliceHeader& parsed) {
  header_ = parsed.header;
  active_ = parsed.active;
  parser_.seek(parsed.dataOffset);
}

template <typename T>
std::uint32_t SliceDecoder<T>::decodeSliceData(SliceStatistics* statistics, std::uint32_t endMb) {
  std::unique_ptr<MacroblockDecoder<T>> macroblocks;
  if (header_.MbaffFrameFlag) {
    macroblocks = std::make_unique<MbaffMacroblockDecoder<T>>(active_, header_, parser_, picture_,
                                                              mode_, kernels_);
  } else {
    macroblocks = std::make_unique<NonMbaffMacroblockDecoder<T>>(active_, header_, parser_,
                                                                 picture_, mode_, kernels_);
  }
  macroblocks->setReconstruction(reconstruct_);
  struct Report {
    const MacroblockDecoder<T>& from;
    SliceStatistics* to;
    ~Report() {
      if (to) *to = from.statistics();
    }
  } report{*macroblocks, statistics};
  // The entropy coder is chosen here, once for the slice.
  if (active_.pps->entropy_coding_mode_flag) {
    macroblocks->InitCabacSlice();
    return decodeMacroblocks<true>(*macroblocks, endMb);
  }
  return decodeMacroblocks<false>(*macroblocks, endMb);
}

template <typename T>
template <bool kCabac>
std::uint32_t SliceDecoder<T>::decodeMacroblocks(MacroblockDecoder<T>& macroblocks,
                                                 std::uint32_t endMb) {
  const std::uint64_t limit = std::uint64_t{endMb} * (1u + header_.MbaffFrameFlag);
  for (;;) {
    bool moreData;
    if constexpr (kCabac) {
      macroblocks.DecodeMacroblockCabac();
      // An MBAFF slice ends only after the bottom macroblock of a pair.
      const bool topOfPair = header_.MbaffFrameFlag && macroblocks.CurrMbAddr() % 2 == 0;
      moreData = topOfPair || !macroblocks.DecodeEndOfSliceFlag();
    } else {
      macroblocks.DecodeMacroblockCavlc();
      moreData = true;
    }
    if (macroblocks.NextMacroblock() || !moreData) break;
    if (!kCabac && !parser_.moreRbspData()) break;
    if (macroblocks.CurrMbAddr() >= limit) fail(kSliceError);
  }
  return macroblocks.CurrMbAddr();
}

template class SliceDecoder<unsigned short>;

}  // namespace H264
