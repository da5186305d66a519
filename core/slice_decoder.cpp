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
  // MBAFF frames are not decoded yet.
  if (header_.MbaffFrameFlag) fail(kSliceError);
  NonMbaffMacroblockDecoder<T> macroblocks(active_, header_, parser_, picture_, mode_);
  bool cabac = active_.pps->entropy_coding_mode_flag != 0;
  if (cabac) macroblocks.startCabac();
  std::uint32_t picSizeInMbs = active_.format.sizeInMbs >> header_.field_pic_flag;
  for (;;) {
    macroblocks.DecodeMacroblock();
    bool moreData = cabac ? !macroblocks.DecodeEndOfSliceFlag() : true;
    if (macroblocks.NextMacroblock() || !moreData) break;
    if (!cabac && !parser_.moreRbspData()) break;
  }
  return macroblocks.CurrMbAddr() < picSizeInMbs ? kSliceEndedInside : kSliceReachedPictureEnd;
}

template class SliceDecoder<unsigned char>;
template class SliceDecoder<unsigned short>;

}  // namespace H264
