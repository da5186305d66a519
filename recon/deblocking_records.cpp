#include "recon/deblocking_records.h"

namespace H264 {

FilterSlice FilterSlice::of(const SliceHeader& header, const ActiveParameters& active) {
  const SeqParameterSet& sps = *active.sps;
  const PicParameterSet& pps = *active.pps;
  FilterSlice s;
  s.decoding = true;
  s.disableIdc = static_cast<std::uint8_t>(header.disable_deblocking_filter_idc);
  s.offsetA = static_cast<std::int8_t>(2 * header.slice_alpha_c0_offset_div2);
  s.offsetB = static_cast<std::int8_t>(2 * header.slice_beta_offset_div2);
  s.chromaQpOffset[0] = static_cast<std::int8_t>(pps.chroma_qp_index_offset);
  s.chromaQpOffset[1] = static_cast<std::int8_t>(pps.second_chroma_qp_index_offset);
  s.mbaff = header.MbaffFrameFlag != 0;
  s.field = header.field_pic_flag != 0;
  s.bottom = header.bottom_field_flag != 0;
  s.bitDepthLuma = static_cast<std::uint8_t>(sps.BitDepthY);
  s.bitDepthChroma = static_cast<std::uint8_t>(sps.BitDepthC);
  s.chromaArrayType = static_cast<std::uint8_t>(sps.ChromaArrayType());
  return s;
}

bool FilterSlice::samePicture(const FilterSlice& o) const {
  return mbaff == o.mbaff && field == o.field && bitDepthLuma == o.bitDepthLuma &&
         bitDepthChroma == o.bitDepthChroma && chromaArrayType == o.chromaArrayType;
}

}  // namespace H264
