#include "core/slice_decoder.h"

#include <memory>

#include "base/errors.h"
#include "macroblock/mbaff_macroblock_decoder.h"
#include "macroblock/non_mbaff_macroblock_decoder.h"
#include "syntax/stream_parser.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
SliceDecoder<T>::SliceDecoder(const ParsedSliceHeader& slice, StreamParser& parser,
                              Picture<T>& picture, DecodeMode mode, const Kernels<T>& kernels)
    : slice_(slice), parser_(parser), picture_(picture), mode_(mode), kernels_(kernels) {
  parser_.seek(slice.dataOffset);
}

template <typename T>
std::uint32_t SliceDecoder<T>::decodeSliceData(SliceStatistics* statistics, std::uint32_t endMb) {
  const SliceHeader& header = slice_.header;
  const ActiveParameters& active = slice_.active;
  std::unique_ptr<MacroblockDecoder<T>> macroblocks;
  if (header.MbaffFrameFlag) {
    macroblocks = std::make_unique<MbaffMacroblockDecoder<T>>(active, header, parser_, picture_,
                                                              mode_, kernels_);
  } else {
    macroblocks = std::make_unique<NonMbaffMacroblockDecoder<T>>(active, header, parser_, picture_,
                                                                 mode_, kernels_);
  }
  macroblocks->setReconstruction(reconstruct_);
  macroblocks->setFilterRecorder(filterRecorder_);
  struct Report {
    const MacroblockDecoder<T>& from;
    SliceStatistics* to;
    ~Report() {
      if (to) *to = from.statistics();
    }
  } report{*macroblocks, statistics};
  // The entropy coder is chosen here, once for the slice.
  if (active.pps->entropy_coding_mode_flag) {
    macroblocks->InitCabacSlice();
    return decodeMacroblocks<true>(*macroblocks, endMb);
  }
  return decodeMacroblocks<false>(*macroblocks, endMb);
}

template <typename T>
template <bool kCabac>
std::uint32_t SliceDecoder<T>::decodeMacroblocks(MacroblockDecoder<T>& macroblocks,
                                                 std::uint32_t endMb) {
  const bool mbaff = slice_.header.MbaffFrameFlag != 0;
  const std::uint64_t limit = std::uint64_t{endMb} * (mbaff ? 2 : 1);
  for (;;) {
    // Checked before decoding, so a slice that starts where another one
    // already is writes nothing.
    if (macroblocks.CurrMbAddr() >= limit) fail(kSliceError);
    bool moreData;
    if constexpr (kCabac) {
      macroblocks.DecodeMacroblockCabac();
      // An MBAFF slice ends only after the bottom macroblock of a pair.
      const bool topOfPair = mbaff && macroblocks.CurrMbAddr() % 2 == 0;
      moreData = topOfPair || !macroblocks.DecodeEndOfSliceFlag();
    } else {
      macroblocks.DecodeMacroblockCavlc();
      moreData = true;
    }
    if (macroblocks.NextMacroblock() || !moreData) break;
    if (!kCabac && !parser_.moreRbspData()) break;
  }
  return macroblocks.CurrMbAddr();
}

template class SliceDecoder<unsigned short>;

void decodeSliceWork(const SliceWork& work) {
  StreamParser parser(work.payload, work.length, kSliceError);
  SliceDecoder<unsigned short> slice(*work.slice, parser, *work.picture, work.mode, *work.kernels);
  slice.setReconstruction(work.reconstruct);
  slice.setFilterRecorder(work.recorder);
  slice.decodeSliceData(work.statistics, work.endMb);
}

ISTREL_LEVEL_END
}  // namespace H264
