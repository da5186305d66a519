#include "core/slice_decoder.h"

#include "core/errors.h"
#include "macroblock/non_mbaff_macroblock_decoder.h"
#include "syntax/parameters_decoder.h"
#include "syntax/stream_parser.h"

namespace H264 {

template <typename T>
SliceDecoder<T>::SliceDecoder(const ParametersDecoder& parameters, StreamParser& parser,
                              Picture<T>& picture, DecodeMode mode)
    : parameters_(parameters), parser_(parser), picture_(picture), mode_(mode) {}

template <typename T>
void SliceDecoder<T>::parseSliceHeader(unsigned nal_ref_idc, unsigned nal_unit_type) {
  H264::parseSliceHeader(parser_, parameters_, nal_ref_idc, nal_unit_type, header_, active_);
}

template <typename T>
int SliceDecoder<T>::decodeSliceData() {
  // Entropy coding and frame structures decoded so far: CAVLC, frames without
  // MBAFF and field pictures.
  if (active_.pps->entropy_coding_mode_flag || header_.MbaffFrameFlag) fail(kSliceError);
  NonMbaffMacroblockDecoder<T> macroblocks(active_, header_, parser_, picture_, mode_);
  std::uint32_t picSizeInMbs = active_.format.sizeInMbs >> header_.field_pic_flag;
  for (;;) {
    macroblocks.DecodeMacroblockCavlc();
    if (macroblocks.NextMacroblock()) break;
    if (!parser_.moreRbspData()) break;
  }
  return macroblocks.CurrMbAddr() < picSizeInMbs ? kSliceEndedInside : kSliceReachedPictureEnd;
}

template class SliceDecoder<unsigned char>;
template class SliceDecoder<unsigned short>;

}  // namespace H264
