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
  macroblocks->setFilterRecorder(filterRecorder_);
  bool cabac = active_.pps->entropy_coding_mode_flag != 0;
  if (cabac) macroblocks->startCabac();
  struct Report {
    const MacroblockDecoder<T>& from;
    SliceStatistics* to;
    ~Report() {
      if (to) *to = from.statistics();
    }
  } report{*macroblocks, statistics};
  for (;;) {
    macroblocks->DecodeMacroblock();
    // An MBAFF slice ends only after the bottom macroblock of a pair.
    bool topOfPair = header_.MbaffFrameFlag && macroblocks->CurrMbAddr() % 2 == 0;
    bool moreData = !cabac || topOfPair || !macroblocks->DecodeEndOfSliceFlag();
    if (macroblocks->NextMacroblock() || !moreData) break;
    if (!cabac && !parser_.moreRbspData()) break;
    if (macroblocks->CurrMbAddr() >= std::uint64_t{endMb} * (1u + header_.MbaffFrameFlag)) {
      fail(kSliceError);
    }
  }
  return macroblocks->CurrMbAddr();
}

template class SliceDecoder<unsigned short>;

}  // namespace H264
