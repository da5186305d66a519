// seq_parameter_set_rbsp(), ITU-T H.264 clause 7.3.2.1.1, with the VUI and
// HRD parameters of Annex E.
#include "base/errors.h"
#include "syntax/parameters_decoder.h"
#include "syntax/scaling_lists.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

// Largest picture accepted: 16384 x 16384 luma samples.
constexpr std::uint32_t kMaxSizeInMbs = 16384 / 16;

void require(bool condition) {
  if (!condition) fail(kParameterSetError);
}

// Profiles whose sets carry chroma_format_idc, bit depths and scaling matrices.
bool hasChromaSyntax(std::uint8_t profile) {
  switch (profile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
      return true;
    default:
      return false;
  }
}

// The cropping window must leave at least one sample in each direction.
void checkCropping(const SeqParameterSet& sps) {
  std::uint64_t unitX = sps.CropUnitX();
  std::uint64_t unitY = sps.CropUnitY();
  std::uint64_t width = (std::uint64_t{sps.pic_width_in_mbs_minus1} + 1) * 16;
  std::uint64_t height = (2 - std::uint64_t{sps.frame_mbs_only_flag}) *
                         (std::uint64_t{sps.pic_height_in_map_units_minus1} + 1) * 16;
  require(unitX * (std::uint64_t{sps.frame_crop_left_offset} + sps.frame_crop_right_offset) <
          width);
  require(unitY * (std::uint64_t{sps.frame_crop_top_offset} + sps.frame_crop_bottom_offset) <
          height);
}

}  // namespace

void ParametersDecoder::parseSps() {
  auto sps = std::make_unique<SeqParameterSet>();
  readSpsHeader(*sps);
  readSpsChromaAndMatrix(*sps);
  readSpsOrder(*sps);
  readSpsFrameSize(*sps);
  StreamParser& p = parser();
  sps->vui_parameters_present_flag = p.readBit();
  if (sps->vui_parameters_present_flag) {
    sps->vui = std::make_unique<VuiParameters>();
    readVui(*sps->vui);
  }
  require(p.readTrailingBits() == 1);
  format_ = PictureFormat::of(*sps);
  std::uint32_t id = sps->seq_parameter_set_id;
  sps_[id] = std::move(sps);
}

void ParametersDecoder::readSpsHeader(SeqParameterSet& sps) {
  StreamParser& p = parser();
  sps.profile_idc = static_cast<std::uint8_t>(p.readBits(8));
  std::uint32_t constraints = p.readBits(8);
  sps.constraint_set_flags = static_cast<std::uint8_t>(constraints >> 4);
  // Later constraint flags and reserved bits are refused.
  require((constraints & 0x0F) == 0);
  sps.level_idc = static_cast<std::uint8_t>(p.readBits(8));
  require(sps.level_idc != 0);
  sps.seq_parameter_set_id = p.readUe();
  require(sps.seq_parameter_set_id < kMaxSpsCount);
}

void ParametersDecoder::readSpsChromaAndMatrix(SeqParameterSet& sps) {
  if (!hasChromaSyntax(sps.profile_idc)) return;
  StreamParser& p = parser();
  sps.chroma_format_idc = p.readUe();
  require(sps.chroma_format_idc <= 3);
  if (sps.chroma_format_idc == 3) sps.separate_colour_plane_flag = p.readBit();
  std::uint32_t lumaMinus8 = p.readUe();
  std::uint32_t chromaMinus8 = p.readUe();
  require(lumaMinus8 <= 6 && chromaMinus8 <= 6);
  sps.BitDepthY = lumaMinus8 + 8;
  sps.BitDepthC = chromaMinus8 + 8;
  sps.qpprime_y_zero_transform_bypass_flag = p.readBit();
  sps.seq_scaling_matrix_present_flag = p.readBit();
  if (sps.seq_scaling_matrix_present_flag) {
    readScalingMatrix(p, sps.scaling, sps.chroma_format_idc == 3 ? 12 : 8);
  }
}

void ParametersDecoder::readSpsOrder(SeqParameterSet& sps) {
  StreamParser& p = parser();
  sps.log2_max_frame_num_minus4 = p.readUe();
  require(sps.log2_max_frame_num_minus4 <= 12);
  sps.pic_order_cnt_type = p.readUe();
  require(sps.pic_order_cnt_type <= 2);
  if (sps.pic_order_cnt_type == 0) {
    sps.log2_max_pic_order_cnt_lsb_minus4 = p.readUe();
    require(sps.log2_max_pic_order_cnt_lsb_minus4 <= 12);
  } else if (sps.pic_order_cnt_type == 1) {
    sps.delta_pic_order_always_zero_flag = p.readBit();
    sps.offset_for_non_ref_pic = p.readSe();
    sps.offset_for_top_to_bottom_field = p.readSe();
    sps.num_ref_frames_in_pic_order_cnt_cycle = p.readUe();
    require(sps.num_ref_frames_in_pic_order_cnt_cycle <= 255);
    sps.offset_for_ref_frame.resize(sps.num_ref_frames_in_pic_order_cnt_cycle);
    for (std::int32_t& offset : sps.offset_for_ref_frame) offset = p.readSe();
  }
}

void ParametersDecoder::readSpsFrameSize(SeqParameterSet& sps) {
  StreamParser& p = parser();
  sps.max_num_ref_frames = p.readUe();
  sps.gaps_in_frame_num_value_allowed_flag = p.readBit();
  sps.pic_width_in_mbs_minus1 = p.readUe();
  require(sps.pic_width_in_mbs_minus1 < kMaxSizeInMbs);
  sps.pic_height_in_map_units_minus1 = p.readUe();
  sps.frame_mbs_only_flag = p.readBit();
  require((2 - sps.frame_mbs_only_flag) * (std::uint64_t{sps.pic_height_in_map_units_minus1} + 1) <=
          kMaxSizeInMbs);
  if (!sps.frame_mbs_only_flag) sps.mb_adaptive_frame_field_flag = p.readBit();
  sps.direct_8x8_inference_flag = p.readBit();
  sps.frame_cropping_flag = p.readBit();
  if (sps.frame_cropping_flag) {
    sps.frame_crop_left_offset = p.readUe();
    sps.frame_crop_right_offset = p.readUe();
    sps.frame_crop_top_offset = p.readUe();
    sps.frame_crop_bottom_offset = p.readUe();
    checkCropping(sps);
  }
}

void ParametersDecoder::readVui(VuiParameters& vui) {
  StreamParser& p = parser();
  vui.aspect_ratio_info_present_flag = p.readBit();
  if (vui.aspect_ratio_info_present_flag) {
    vui.aspect_ratio_idc = static_cast<std::uint8_t>(p.readBits(8));
    if (vui.aspect_ratio_idc == 255) {
      vui.sar_width = static_cast<std::uint16_t>(p.readBits(16));
      vui.sar_height = static_cast<std::uint16_t>(p.readBits(16));
    }
  }
  vui.overscan_info_present_flag = p.readBit();
  if (vui.overscan_info_present_flag) vui.overscan_appropriate_flag = p.readBit();
  vui.video_signal_type_present_flag = p.readBit();
  if (vui.video_signal_type_present_flag) {
    vui.video_format = static_cast<std::uint8_t>(p.readBits(3));
    vui.video_full_range_flag = p.readBit();
    vui.colour_description_present_flag = p.readBit();
    if (vui.colour_description_present_flag) {
      vui.colour_primaries = static_cast<std::uint8_t>(p.readBits(8));
      vui.transfer_characteristics = static_cast<std::uint8_t>(p.readBits(8));
      vui.matrix_coefficients = static_cast<std::uint8_t>(p.readBits(8));
    }
  }
  vui.chroma_loc_info_present_flag = p.readBit();
  if (vui.chroma_loc_info_present_flag) {
    vui.chroma_sample_loc_type_top_field = p.readUe();
    vui.chroma_sample_loc_type_bottom_field = p.readUe();
  }
  vui.timing_info_present_flag = p.readBit();
  if (vui.timing_info_present_flag) {
    vui.num_units_in_tick = p.readBits(32);
    vui.time_scale = p.readBits(32);
    vui.fixed_frame_rate_flag = p.readBit();
  }
  vui.nal_hrd_parameters_present_flag = p.readBit();
  if (vui.nal_hrd_parameters_present_flag) {
    vui.nalHrd = std::make_unique<HrdParameters>();
    readHrd(*vui.nalHrd);
  }
  vui.vcl_hrd_parameters_present_flag = p.readBit();
  if (vui.vcl_hrd_parameters_present_flag) {
    vui.vclHrd = std::make_unique<HrdParameters>();
    readHrd(*vui.vclHrd);
  }
  if (vui.nal_hrd_parameters_present_flag || vui.vcl_hrd_parameters_present_flag) {
    vui.low_delay_hrd_flag = p.readBit();
  }
  vui.pic_struct_present_flag = p.readBit();
  vui.bitstream_restriction_flag = p.readBit();
  if (vui.bitstream_restriction_flag) {
    vui.motion_vectors_over_pic_boundaries_flag = p.readBit();
    vui.max_bytes_per_pic_denom = p.readUe();
    vui.max_bits_per_mb_denom = p.readUe();
    vui.log2_max_mv_length_horizontal = p.readUe();
    vui.log2_max_mv_length_vertical = p.readUe();
    vui.max_num_reorder_frames = p.readUe();
    vui.max_dec_frame_buffering = p.readUe();
  }
}

void ParametersDecoder::readHrd(HrdParameters& hrd) {
  StreamParser& p = parser();
  hrd.cpb_cnt_minus1 = p.readUe();
  require(hrd.cpb_cnt_minus1 <= 31);
  hrd.bit_rate_scale = static_cast<std::uint8_t>(p.readBits(4));
  hrd.cpb_size_scale = static_cast<std::uint8_t>(p.readBits(4));
  std::uint32_t count = hrd.cpb_cnt_minus1 + 1;
  hrd.bit_rate_value_minus1.resize(count);
  hrd.cpb_size_value_minus1.resize(count);
  hrd.cbr_flag.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    hrd.bit_rate_value_minus1[i] = p.readUe();
    hrd.cpb_size_value_minus1[i] = p.readUe();
    hrd.cbr_flag[i] = static_cast<std::uint8_t>(p.readBit());
  }
  hrd.initial_cpb_removal_delay_length_minus1 = static_cast<std::uint8_t>(p.readBits(5));
  hrd.cpb_removal_delay_length_minus1 = static_cast<std::uint8_t>(p.readBits(5));
  hrd.dpb_output_delay_length_minus1 = static_cast<std::uint8_t>(p.readBits(5));
  hrd.time_offset_length = static_cast<std::uint8_t>(p.readBits(5));
}

}  // namespace H264
