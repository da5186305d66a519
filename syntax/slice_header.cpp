#include "syntax/slice_header.h"

#include "base/errors.h"
#include "syntax/parameters_decoder.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

constexpr std::size_t kMaxMmcoOperations = 66;

void require(bool condition) {
  if (!condition) fail(kSliceError);
}

void activate(const ParametersDecoder& parameters, std::uint32_t ppsId, ActiveParameters& active) {
  active.pps = parameters.pps(ppsId);
  require(active.pps != nullptr);
  active.sps = parameters.sps(active.pps->seq_parameter_set_id);
  require(active.sps != nullptr);
  active.format = PictureFormat::of(*active.sps);
}

void readPictureOrder(StreamParser& p, const ActiveParameters& active, SliceHeader& h) {
  const SeqParameterSet& sps = *active.sps;
  bool bottomPresent =
      active.pps->bottom_field_pic_order_in_frame_present_flag && !h.field_pic_flag;
  if (sps.pic_order_cnt_type == 0) {
    h.pic_order_cnt_lsb = p.readBits(sps.log2_max_pic_order_cnt_lsb_minus4 + 4);
    if (bottomPresent) h.delta_pic_order_cnt_bottom = p.readSe();
  } else if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
    h.delta_pic_order_cnt[0] = p.readSe();
    if (bottomPresent) h.delta_pic_order_cnt[1] = p.readSe();
  }
}

// dec_ref_pic_marking(), clause 7.3.3.3: read and kept, never acted on.
void readRefPicMarking(StreamParser& p, unsigned nal_unit_type, SliceHeader& h) {
  if (nal_unit_type == 5) {
    h.no_output_of_prior_pics_flag = static_cast<std::uint8_t>(p.readBit());
    h.long_term_reference_flag = static_cast<std::uint8_t>(p.readBit());
    return;
  }
  h.adaptive_ref_pic_marking_mode_flag = static_cast<std::uint8_t>(p.readBit());
  if (!h.adaptive_ref_pic_marking_mode_flag) return;
  for (;;) {
    require(h.mmco.size() < kMaxMmcoOperations);
    MmcoOperation& op = h.mmco.emplace_back();
    op.memory_management_control_operation = p.readUe();
    std::uint32_t code = op.memory_management_control_operation;
    require(code <= 6);
    if (code == 0) return;
    if (code == 1 || code == 3) op.difference_of_pic_nums_minus1 = p.readUe();
    if (code == 2) op.long_term_pic_num = p.readUe();
    if (code == 3 || code == 6) op.long_term_frame_idx = p.readUe();
    if (code == 4) op.max_long_term_frame_idx_plus1 = p.readUe();
  }
}

void readDeblocking(StreamParser& p, const PicParameterSet& pps, SliceHeader& h) {
  if (!pps.deblocking_filter_control_present_flag) return;
  h.disable_deblocking_filter_idc = p.readUe();
  require(h.disable_deblocking_filter_idc <= 2);
  if (h.disable_deblocking_filter_idc == 1) return;
  h.slice_alpha_c0_offset_div2 = p.readSe();
  h.slice_beta_offset_div2 = p.readSe();
  require(h.slice_alpha_c0_offset_div2 >= -6 && h.slice_alpha_c0_offset_div2 <= 6);
  require(h.slice_beta_offset_div2 >= -6 && h.slice_beta_offset_div2 <= 6);
}

}  // namespace

void parseSliceHeader(StreamParser& p, const ParametersDecoder& parameters, unsigned nal_ref_idc,
                      unsigned nal_unit_type, SliceHeader& h, ActiveParameters& active) {
  h.first_mb_in_slice = p.readUe();
  h.slice_type = p.readUe();
  require(h.slice_type <= 9);
  h.slice_type %= 5;
  require(h.slice_type == 2);
  h.pic_parameter_set_id = p.readUe();
  activate(parameters, h.pic_parameter_set_id, active);
  const SeqParameterSet& sps = *active.sps;
  const PicParameterSet& pps = *active.pps;
  if (sps.separate_colour_plane_flag) {
    h.colour_plane_id = p.readBits(2);
    require(h.colour_plane_id <= 2);
  }
  h.frame_num = p.readBits(sps.log2_max_frame_num_minus4 + 4);
  if (!sps.frame_mbs_only_flag) {
    h.field_pic_flag = static_cast<std::uint8_t>(p.readBit());
    if (h.field_pic_flag) h.bottom_field_flag = static_cast<std::uint8_t>(p.readBit());
  }
  h.MbaffFrameFlag = sps.mb_adaptive_frame_field_flag && !h.field_pic_flag;
  std::uint32_t picSizeInMbs = active.format.sizeInMbs >> h.field_pic_flag;
  require(std::uint64_t{h.first_mb_in_slice} * (1u + h.MbaffFrameFlag) < picSizeInMbs);
  if (nal_unit_type == 5) {
    h.idr_pic_id = p.readUe();
    require(h.idr_pic_id <= 65535);
  }
  readPictureOrder(p, active, h);
  if (pps.redundant_pic_cnt_present_flag) {
    h.redundant_pic_cnt = p.readUe();
    require(h.redundant_pic_cnt <= 127);
  }
  if (nal_ref_idc != 0) readRefPicMarking(p, nal_unit_type, h);
  h.slice_qp_delta = p.readSe();
  std::int64_t qp = 26 + std::int64_t{pps.pic_init_qp_minus26} + h.slice_qp_delta;
  require(qp >= -6 * (std::int64_t{sps.BitDepthY} - 8) && qp <= 51);
  h.SliceQPY = static_cast<std::int32_t>(qp);
  readDeblocking(p, pps, h);
}

}  // namespace H264
