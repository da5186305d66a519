// The fixed stream of the slice-data fuzzer: a 64x64 picture whose sequence
// and picture parameter sets and slice header are built from four
// configuration bytes, followed by slice data taken from the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "syntax/nal_unit.h"

namespace istrel::fuzz {

// Configuration bytes, in order:
//   0: bit 0 CABAC, bits 1-2 chroma_format_idc, bits 3-4 bit depth (8, 9, 10,
//      14), bits 5-6 structure (frame, MBAFF frame, top field, bottom field),
//      bit 7 transform_8x8_mode_flag;
//   1: bit 0 qpprime_y_zero_transform_bypass_flag, bit 1 scaling lists in the
//      SPS, bit 2 in the PPS, bit 3 constrained_intra_pred_flag, bit 4 IDR,
//      bit 5 the conformant decoding mode, bit 6 separate_colour_plane_flag
//      (4:4:4 only), bit 7 deblocking_filter_control_present_flag;
//   2: SliceQPY + QpBdOffsetY, modulo the legal range;
//   3: bits 0-3 first_mb_in_slice, bits 4-5 colour_plane_id, bits 6-7
//      chroma_qp_index_offset (0, -12, 12, 5).
struct SliceDataConfig {
  static constexpr std::size_t kBytes = 4;
  static constexpr std::uint32_t kWidthInMbs = 4;
  static constexpr std::uint32_t kHeightInMbs = 4;

  bool cabac = false;
  std::uint32_t chromaFormat = 1;
  std::uint32_t bitDepth = 8;
  std::uint32_t structure = 0;
  bool transform8x8 = false;
  bool transformBypass = false;
  bool spsScaling = false;
  bool ppsScaling = false;
  bool constrainedIntra = false;
  bool idr = true;
  bool conformant = false;
  bool separatePlanes = false;
  bool deblockingControl = false;
  int sliceQp = 26;
  std::uint32_t firstMb = 0;
  std::uint32_t colourPlane = 0;
  int chromaQpOffset = 0;

  static SliceDataConfig read(const std::uint8_t* b) {
    static constexpr std::uint32_t kDepths[4] = {8, 9, 10, 14};
    static constexpr int kChromaOffsets[4] = {0, -12, 12, 5};
    // `count` bits of `byte` from bit `shift` on.
    auto field = [](std::uint8_t byte, int shift, int count) {
      return (byte >> shift) & ((1u << count) - 1);
    };
    SliceDataConfig c;
    c.cabac = b[0] & 1;
    c.chromaFormat = field(b[0], 1, 2);
    c.bitDepth = kDepths[field(b[0], 3, 2)];
    c.structure = field(b[0], 5, 2);
    c.transform8x8 = b[0] & 0x80;
    c.transformBypass = b[1] & 1;
    c.spsScaling = b[1] & 2;
    c.ppsScaling = b[1] & 4;
    c.constrainedIntra = b[1] & 8;
    c.idr = b[1] & 0x10;
    c.conformant = b[1] & 0x20;
    c.separatePlanes = c.chromaFormat == 3 && (b[1] & 0x40);
    c.deblockingControl = b[1] & 0x80;
    int offset = 6 * static_cast<int>(c.bitDepth - 8);
    c.sliceQp = b[2] % (52 + offset) - offset;
    // In an MBAFF frame the address counts pairs; a field has half the rows.
    std::uint32_t units =
        c.structure == 0 ? kWidthInMbs * kHeightInMbs : kWidthInMbs * kHeightInMbs / 2;
    c.firstMb = (b[3] & 15u) % units;
    c.colourPlane = field(b[3], 4, 2) % 3;
    c.chromaQpOffset = kChromaOffsets[field(b[3], 6, 2)];
    return c;
  }

  // The configuration bytes that read() turns back into this configuration.
  std::vector<std::uint8_t> bytes() const {
    std::uint8_t depthCode = bitDepth == 9 ? 1 : bitDepth == 10 ? 2 : bitDepth >= 14 ? 3 : 0;
    int offset = 6 * static_cast<int>(bitDepth - 8);
    std::uint8_t chromaCode = chromaQpOffset == -12  ? 1
                              : chromaQpOffset == 12 ? 2
                              : chromaQpOffset == 5  ? 3
                                                     : 0;
    return {
        static_cast<std::uint8_t>(cabac | chromaFormat << 1 | depthCode << 3 | structure << 5 |
                                  transform8x8 << 7),
        static_cast<std::uint8_t>(transformBypass | spsScaling << 1 | ppsScaling << 2 |
                                  constrainedIntra << 3 | idr << 4 | conformant << 5 |
                                  separatePlanes << 6 | deblockingControl << 7),
        static_cast<std::uint8_t>(sliceQp + offset),
        static_cast<std::uint8_t>((firstMb & 15) | colourPlane << 4 | chromaCode << 6),
    };
  }

  bool frameMbsOnly() const { return structure == 0; }
  unsigned nalRefIdc() const { return idr ? 3 : 0; }
  unsigned nalUnitType() const { return idr ? H264::kNalIdrSlice : H264::kNalNonIdrSlice; }
};

namespace detail {

// Scaling lists whose entries differ from the flat 16 and from each other;
// every third list is absent (fall-back rule) and list 4 asks for the default.
inline void writeScalingLists(BitWriter& w, int count) {
  for (int i = 0; i < count; ++i) {
    bool present = i % 3 != 2;
    w.flag(present);
    if (!present) continue;
    int size = i < 6 ? 16 : 64;
    for (int j = 0; j < size; ++j) {
      int delta = j == 0 ? (i == 4 ? -8 : 4 + i) : 1;
      w.se(delta);
      if (j == 0 && i == 4) break;  // nextScale 0: the default list
    }
  }
}

}  // namespace detail

inline std::vector<std::uint8_t> sliceDataSps(const SliceDataConfig& c) {
  BitWriter w;
  w.bits(244, 8).bits(0x10, 8).bits(41, 8).ue(0);
  w.ue(c.chromaFormat);
  if (c.chromaFormat == 3) w.flag(c.separatePlanes);
  w.ue(c.bitDepth - 8).ue(c.bitDepth - 8).flag(c.transformBypass);
  w.flag(c.spsScaling);
  if (c.spsScaling) detail::writeScalingLists(w, c.chromaFormat == 3 ? 12 : 8);
  w.ue(0).ue(2);   // log2_max_frame_num_minus4, pic_order_cnt_type
  w.ue(0).bit(0);  // max_num_ref_frames, gaps_in_frame_num_value_allowed_flag
  w.ue(SliceDataConfig::kWidthInMbs - 1);
  w.ue(c.frameMbsOnly() ? SliceDataConfig::kHeightInMbs - 1
                        : SliceDataConfig::kHeightInMbs / 2 - 1);
  w.flag(c.frameMbsOnly());
  if (!c.frameMbsOnly()) w.flag(c.structure == 1);
  w.bit(1).bit(0).bit(0);  // direct_8x8_inference_flag, no cropping, no VUI
  w.trailing();
  return w.bytes();
}

inline std::vector<std::uint8_t> sliceDataPps(const SliceDataConfig& c) {
  BitWriter w;
  w.ue(0).ue(0).flag(c.cabac).bit(0).ue(0);  // ids, entropy, bottom_field_pic_order, groups
  w.ue(0).ue(0).bit(0).bits(0, 2);           // reference lists, weighted prediction
  w.se(0).se(0).se(c.chromaQpOffset);        // pic_init_qp, pic_init_qs, chroma offset
  w.flag(c.deblockingControl).flag(c.constrainedIntra).bit(0);
  w.flag(c.transform8x8).flag(c.ppsScaling);
  if (c.ppsScaling) {
    detail::writeScalingLists(w, 6 + (c.transform8x8 ? (c.chromaFormat == 3 ? 6 : 2) : 0));
  }
  w.se(-c.chromaQpOffset / 2);  // second_chroma_qp_index_offset
  w.trailing();
  return w.bytes();
}

// The slice header, cabac_alignment_one_bit included: the slice data follows.
inline BitWriter sliceDataHeader(const SliceDataConfig& c) {
  BitWriter w;
  w.ue(c.firstMb).ue(7).ue(0);
  if (c.separatePlanes) w.bits(c.colourPlane, 2);
  w.bits(0, 4);  // frame_num
  if (!c.frameMbsOnly()) {
    w.flag(c.structure >= 2);
    if (c.structure >= 2) w.flag(c.structure == 3);
  }
  // Only IDR slices are reference slices: idr_pic_id, then dec_ref_pic_marking
  // (no_output_of_prior_pics_flag, long_term_reference_flag).
  if (c.idr) w.ue(0).bit(0).bit(0);
  w.se(c.sliceQp - 26);
  if (c.deblockingControl) w.ue(1);
  if (c.cabac) w.alignWithOnes();
  return w;
}

}  // namespace istrel::fuzz
