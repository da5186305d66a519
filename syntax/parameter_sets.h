// Records of the sequence and picture parameter sets, ITU-T H.264 clauses
// 7.3.2.1 and 7.3.2.2 with the VUI and HRD parameters of Annex E. Fields that
// hold syntax elements carry the standard's names.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace H264 {

// A 4x4 scaling list has 16 entries, an 8x8 list 64, both in raster order.
// With chroma_format_idc 3 a set carries twelve lists: 4x4 slots 0-5 and
// 8x8 slots 6-11 (Intra Y, Inter Y, Intra Cb, Inter Cb, Intra Cr, Inter Cr).
struct ScalingMatrix {
  bool list_present_flag[12] = {};
  bool UseDefaultScalingMatrixFlag[12] = {};
  std::uint8_t ScalingList4x4[6][16] = {};
  std::uint8_t ScalingList8x8[6][64] = {};
};

struct HrdParameters {
  std::uint32_t cpb_cnt_minus1 = 0;
  std::uint8_t bit_rate_scale = 0;
  std::uint8_t cpb_size_scale = 0;
  std::vector<std::uint32_t> bit_rate_value_minus1;
  std::vector<std::uint32_t> cpb_size_value_minus1;
  std::vector<std::uint8_t> cbr_flag;
  std::uint8_t initial_cpb_removal_delay_length_minus1 = 0;
  std::uint8_t cpb_removal_delay_length_minus1 = 0;
  std::uint8_t dpb_output_delay_length_minus1 = 0;
  std::uint8_t time_offset_length = 0;
};

struct VuiParameters {
  std::uint8_t aspect_ratio_info_present_flag = 0;
  std::uint8_t aspect_ratio_idc = 0;
  std::uint16_t sar_width = 0;
  std::uint16_t sar_height = 0;
  std::uint8_t overscan_info_present_flag = 0;
  std::uint8_t overscan_appropriate_flag = 0;
  std::uint8_t video_signal_type_present_flag = 0;
  std::uint8_t video_format = 0;
  std::uint8_t video_full_range_flag = 0;
  std::uint8_t colour_description_present_flag = 0;
  std::uint8_t colour_primaries = 0;
  std::uint8_t transfer_characteristics = 0;
  std::uint8_t matrix_coefficients = 0;
  std::uint8_t chroma_loc_info_present_flag = 0;
  std::uint32_t chroma_sample_loc_type_top_field = 0;
  std::uint32_t chroma_sample_loc_type_bottom_field = 0;
  std::uint8_t timing_info_present_flag = 0;
  std::uint32_t num_units_in_tick = 0;
  std::uint32_t time_scale = 0;
  std::uint8_t fixed_frame_rate_flag = 0;
  std::uint8_t nal_hrd_parameters_present_flag = 0;
  std::unique_ptr<HrdParameters> nalHrd;
  std::uint8_t vcl_hrd_parameters_present_flag = 0;
  std::unique_ptr<HrdParameters> vclHrd;
  std::uint8_t low_delay_hrd_flag = 0;
  std::uint8_t pic_struct_present_flag = 0;
  std::uint8_t bitstream_restriction_flag = 0;
  std::uint8_t motion_vectors_over_pic_boundaries_flag = 0;
  std::uint32_t max_bytes_per_pic_denom = 0;
  std::uint32_t max_bits_per_mb_denom = 0;
  std::uint32_t log2_max_mv_length_horizontal = 0;
  std::uint32_t log2_max_mv_length_vertical = 0;
  std::uint32_t max_num_reorder_frames = 0;
  std::uint32_t max_dec_frame_buffering = 0;
};

struct SeqParameterSet {
  std::uint8_t profile_idc = 0;
  std::uint8_t constraint_set_flags = 0;  // constraint_set0_flag in bit 3 ... set3 in bit 0
  std::uint8_t level_idc = 0;
  std::uint32_t seq_parameter_set_id = 0;
  std::uint32_t chroma_format_idc = 1;
  std::uint8_t separate_colour_plane_flag = 0;
  std::uint32_t BitDepthY = 8;
  std::uint32_t BitDepthC = 8;
  std::uint8_t qpprime_y_zero_transform_bypass_flag = 0;
  std::uint8_t seq_scaling_matrix_present_flag = 0;
  ScalingMatrix scaling;
  std::uint32_t log2_max_frame_num_minus4 = 0;
  std::uint32_t pic_order_cnt_type = 0;
  std::uint32_t log2_max_pic_order_cnt_lsb_minus4 = 0;
  std::uint8_t delta_pic_order_always_zero_flag = 0;
  std::int32_t offset_for_non_ref_pic = 0;
  std::int32_t offset_for_top_to_bottom_field = 0;
  std::uint32_t num_ref_frames_in_pic_order_cnt_cycle = 0;
  std::vector<std::int32_t> offset_for_ref_frame;
  std::uint32_t max_num_ref_frames = 0;
  std::uint8_t gaps_in_frame_num_value_allowed_flag = 0;
  std::uint32_t pic_width_in_mbs_minus1 = 0;
  std::uint32_t pic_height_in_map_units_minus1 = 0;
  std::uint8_t frame_mbs_only_flag = 0;
  std::uint8_t mb_adaptive_frame_field_flag = 0;
  std::uint8_t direct_8x8_inference_flag = 0;
  std::uint8_t frame_cropping_flag = 0;
  std::uint32_t frame_crop_left_offset = 0;
  std::uint32_t frame_crop_right_offset = 0;
  std::uint32_t frame_crop_top_offset = 0;
  std::uint32_t frame_crop_bottom_offset = 0;
  std::uint8_t vui_parameters_present_flag = 0;
  std::unique_ptr<VuiParameters> vui;

  // ChromaArrayType, clause 7.4.2.1.1.
  std::uint32_t ChromaArrayType() const {
    return separate_colour_plane_flag ? 0 : chroma_format_idc;
  }
  // Units of the frame_crop offsets, clause 7.4.2.1.1.
  std::uint32_t CropUnitX() const {
    return ChromaArrayType() == 0 || chroma_format_idc == 3 ? 1 : 2;
  }
  std::uint32_t CropUnitY() const {
    return (ChromaArrayType() == 1 ? 2 : 1) * (2 - std::uint32_t{frame_mbs_only_flag});
  }
};

struct PicParameterSet {
  std::uint32_t pic_parameter_set_id = 0;
  std::uint32_t seq_parameter_set_id = 0;
  std::uint8_t entropy_coding_mode_flag = 0;
  std::uint8_t bottom_field_pic_order_in_frame_present_flag = 0;
  std::uint32_t num_slice_groups_minus1 = 0;
  std::uint32_t num_ref_idx_l0_default_active_minus1 = 0;
  std::uint32_t num_ref_idx_l1_default_active_minus1 = 0;
  std::uint8_t weighted_pred_flag = 0;
  std::uint8_t weighted_bipred_idc = 0;
  std::int32_t pic_init_qp_minus26 = 0;
  std::int32_t pic_init_qs_minus26 = 0;
  std::int32_t chroma_qp_index_offset = 0;
  std::uint8_t deblocking_filter_control_present_flag = 0;
  std::uint8_t constrained_intra_pred_flag = 0;
  std::uint8_t redundant_pic_cnt_present_flag = 0;
  std::uint8_t transform_8x8_mode_flag = 0;
  std::uint8_t pic_scaling_matrix_present_flag = 0;
  ScalingMatrix scaling;
  std::int32_t second_chroma_qp_index_offset = 0;
};

}  // namespace H264
