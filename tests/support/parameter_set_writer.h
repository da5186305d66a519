// Writes sequence and picture parameter sets and slice headers for tests,
// field by field in stream order.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "support/bit_writer.h"

namespace istrel::test {

struct SpsFields {
  std::uint32_t profile_idc = 122;
  std::uint32_t constraintByte = 0x10;  // constraint_set3_flag
  std::uint32_t level_idc = 41;
  std::uint32_t id = 0;
  std::uint32_t chroma_format_idc = 2;
  bool separateColourPlanes = false;  // with chroma_format_idc 3
  std::uint32_t bitDepthMinus8 = 2;
  std::optional<std::uint32_t> bitDepthChromaMinus8{};  // the luma depth when empty
  bool transformBypass = false;
  // Writes the scaling matrix after its present flag; none when empty.
  std::function<void(BitWriter&)> scalingMatrix{};
  std::uint32_t log2_max_frame_num_minus4 = 0;
  std::uint32_t pic_order_cnt_type = 2;
  std::uint32_t log2_max_pic_order_cnt_lsb_minus4 = 0;
  std::uint32_t num_ref_frames_in_pic_order_cnt_cycle = 0;  // pic_order_cnt_type 1
  std::uint32_t widthInMbsMinus1 = 119;
  std::uint32_t heightInMapUnitsMinus1 = 67;
  bool frameMbsOnly = true;
  bool mbaff = false;
  bool cropping = false;
  std::uint32_t crop[4] = {0, 0, 0, 0};
  // Writes the VUI after its present flag; none when empty.
  std::function<void(BitWriter&)> vui{};
  bool stopBit = true;
};

// The profiles whose sequence parameter sets carry chroma_format_idc and
// what follows it (clause 7.3.2.1.1).
inline bool hasChromaSyntax(std::uint32_t profile) {
  for (std::uint32_t p : {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135}) {
    if (profile == p) return true;
  }
  return false;
}

inline std::vector<std::uint8_t> writeSps(const SpsFields& f) {
  BitWriter w;
  w.bits(f.profile_idc, 8).bits(f.constraintByte, 8).bits(f.level_idc, 8).ue(f.id);
  if (hasChromaSyntax(f.profile_idc)) {
    w.ue(f.chroma_format_idc);
    if (f.chroma_format_idc == 3) w.flag(f.separateColourPlanes);
    w.ue(f.bitDepthMinus8).ue(f.bitDepthChromaMinus8.value_or(f.bitDepthMinus8));
    w.flag(f.transformBypass);
    w.flag(static_cast<bool>(f.scalingMatrix));
    if (f.scalingMatrix) f.scalingMatrix(w);
  }
  w.ue(f.log2_max_frame_num_minus4).ue(f.pic_order_cnt_type);
  if (f.pic_order_cnt_type == 0) w.ue(f.log2_max_pic_order_cnt_lsb_minus4);
  if (f.pic_order_cnt_type == 1) {
    w.bit(0).se(0).se(0).ue(f.num_ref_frames_in_pic_order_cnt_cycle);
    for (std::uint32_t i = 0; i < f.num_ref_frames_in_pic_order_cnt_cycle; ++i) w.se(1);
  }
  w.ue(0).bit(0).ue(f.widthInMbsMinus1).ue(f.heightInMapUnitsMinus1).flag(f.frameMbsOnly);
  if (!f.frameMbsOnly) w.flag(f.mbaff);
  w.bit(1).flag(f.cropping);
  if (f.cropping) w.ue(f.crop[0]).ue(f.crop[1]).ue(f.crop[2]).ue(f.crop[3]);
  w.flag(static_cast<bool>(f.vui));
  if (f.vui) f.vui(w);
  if (f.stopBit) {
    w.trailing();
  } else {
    w.bits(0, 8);
  }
  return w.bytes();
}

struct PpsFields {
  std::uint32_t id = 0;
  std::uint32_t spsId = 0;
  bool cabac = false;
  std::uint32_t num_slice_groups_minus1 = 0;  // slice group syntax is not written
  bool bottomFieldPicOrder = false;
  std::int32_t pic_init_qp_minus26 = 0;
  std::int32_t chroma_qp_index_offset = 0;
  bool deblockingControl = true;
  bool constrainedIntraPred = false;
  bool redundantPicCnt = false;
  bool highTail = true;  // transform_8x8_mode_flag and what follows
  bool transform8x8 = true;
  std::function<void(BitWriter&)> scalingMatrix{};
  std::int32_t second_chroma_qp_index_offset = 0;
};

inline std::vector<std::uint8_t> writePps(const PpsFields& f) {
  BitWriter w;
  w.ue(f.id).ue(f.spsId).flag(f.cabac).flag(f.bottomFieldPicOrder).ue(f.num_slice_groups_minus1);
  w.ue(0).ue(0).bit(0).bits(0, 2).se(f.pic_init_qp_minus26).se(0).se(f.chroma_qp_index_offset);
  w.flag(f.deblockingControl).flag(f.constrainedIntraPred).flag(f.redundantPicCnt);
  if (f.highTail) {
    w.flag(f.transform8x8).flag(static_cast<bool>(f.scalingMatrix));
    if (f.scalingMatrix) f.scalingMatrix(w);
    w.se(f.second_chroma_qp_index_offset);
  }
  w.trailing();
  return w.bytes();
}

// The header of an I slice whose sequence parameter set has
// log2_max_frame_num 4 and pic_order_cnt_type 2, as writeSps writes them.
struct SliceHeaderFields {
  std::uint32_t firstMb = 0;
  std::uint32_t ppsId = 0;
  bool frameMbsOnly = true;  // of the sequence parameter set
  int structure = 0;         // 0 a frame, 1 a top field, 2 a bottom field
  bool idr = true;
  std::optional<std::uint32_t> colourPlaneId{};  // with separate_colour_plane_flag
  std::int32_t sliceQpDelta = 0;
  // None when the picture parameter set has no deblocking_filter_control_present_flag.
  std::optional<std::uint32_t> disableDeblockingFilterIdc = 1;
  std::int32_t alphaOffsetDiv2 = 0;
  std::int32_t betaOffsetDiv2 = 0;
};

inline void writeSliceHeader(BitWriter& w, const SliceHeaderFields& f) {
  w.ue(f.firstMb).ue(7).ue(f.ppsId);  // slice_type I
  if (f.colourPlaneId) w.bits(*f.colourPlaneId, 2);
  w.bits(0, 4);  // frame_num
  if (!f.frameMbsOnly) {
    w.flag(f.structure != 0);
    if (f.structure) w.flag(f.structure == 2);
  }
  if (f.idr) {
    w.ue(0).bit(0).bit(0);  // idr_pic_id, no_output_of_prior_pics_flag, long_term_reference_flag
  } else {
    w.bit(0);  // adaptive_ref_pic_marking_mode_flag
  }
  w.se(f.sliceQpDelta);
  if (f.disableDeblockingFilterIdc) w.ue(*f.disableDeblockingFilterIdc);
  if (f.disableDeblockingFilterIdc.value_or(1) != 1) w.se(f.alphaOffsetDiv2).se(f.betaOffsetDiv2);
}

}  // namespace istrel::test
