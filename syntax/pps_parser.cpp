// pic_parameter_set_rbsp(), ITU-T H.264 clause 7.3.2.2.
#include "base/errors.h"
#include "syntax/parameters_decoder.h"
#include "syntax/scaling_lists.h"
#include "syntax/stream_parser.h"

namespace H264 {

void ParametersDecoder::parsePps() {
  StreamParser& p = parser();
  auto pps = std::make_unique<PicParameterSet>();
  pps->pic_parameter_set_id = p.readUe();
  pps->seq_parameter_set_id = p.readUe();
  if (pps->pic_parameter_set_id >= kMaxPpsCount || pps->seq_parameter_set_id >= kMaxSpsCount) {
    fail(kParameterSetError);
  }
  pps->entropy_coding_mode_flag = p.readBit();
  pps->bottom_field_pic_order_in_frame_present_flag = p.readBit();
  pps->num_slice_groups_minus1 = p.readUe();
  // Slice groups (flexible macroblock ordering) are not supported.
  if (pps->num_slice_groups_minus1 != 0) fail(kParameterSetError);
  pps->num_ref_idx_l0_default_active_minus1 = p.readUe();
  pps->num_ref_idx_l1_default_active_minus1 = p.readUe();
  pps->weighted_pred_flag = p.readBit();
  pps->weighted_bipred_idc = static_cast<std::uint8_t>(p.readBits(2));
  pps->pic_init_qp_minus26 = p.readSe();
  pps->pic_init_qs_minus26 = p.readSe();
  pps->chroma_qp_index_offset = p.readSe();
  if (pps->chroma_qp_index_offset < -12 || pps->chroma_qp_index_offset > 12) {
    fail(kParameterSetError);
  }
  pps->deblocking_filter_control_present_flag = p.readBit();
  pps->constrained_intra_pred_flag = p.readBit();
  pps->redundant_pic_cnt_present_flag = p.readBit();
  readPpsTail(*pps);
  if (p.readTrailingBits() != 1) fail(kParameterSetError);
  std::uint32_t id = pps->pic_parameter_set_id;
  pps_[id] = std::move(pps);
}

// The fields a High-profile set adds; absent, they take their inferred values.
void ParametersDecoder::readPpsTail(PicParameterSet& pps) {
  StreamParser& p = parser();
  pps.second_chroma_qp_index_offset = pps.chroma_qp_index_offset;
  if (!p.moreRbspData()) return;
  pps.transform_8x8_mode_flag = p.readBit();
  pps.pic_scaling_matrix_present_flag = p.readBit();
  if (pps.pic_scaling_matrix_present_flag) {
    // The 4:4:4 chroma 8x8 lists are present only for a 4:4:4 sequence.
    const SeqParameterSet* sequence = sps(pps.seq_parameter_set_id);
    int lists8x8 = sequence && sequence->chroma_format_idc == 3 ? 6 : 2;
    readScalingMatrix(p, pps.scaling, 6 + lists8x8 * pps.transform_8x8_mode_flag);
  }
  pps.second_chroma_qp_index_offset = p.readSe();
  if (pps.second_chroma_qp_index_offset < -12 || pps.second_chroma_qp_index_offset > 12) {
    fail(kParameterSetError);
  }
}

}  // namespace H264
