#include "core/slice_decoder.h"

#include "core/errors.h"
#include "syntax/parameters_decoder.h"

namespace H264 {

template <typename T>
SliceDecoder<T>::SliceDecoder(const ParametersDecoder& parameters, StreamParser& parser,
                              Picture<T>& picture)
    : parameters_(parameters), parser_(parser), picture_(picture) {}

template <typename T>
void SliceDecoder<T>::parseSliceHeader(unsigned nal_ref_idc, unsigned nal_unit_type) {
  H264::parseSliceHeader(parser_, parameters_, nal_ref_idc, nal_unit_type, header_, active_);
}

template class SliceDecoder<unsigned char>;
template class SliceDecoder<unsigned short>;

}  // namespace H264
