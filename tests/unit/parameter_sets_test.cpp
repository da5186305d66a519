// Sequence and picture parameter sets, the weight lists they select, and slice headers.
#include <gtest/gtest.h>

#include <functional>

#include "support/parameter_set_writer.h"
#include "support/thrown.h"
#include "syntax/nal_unit.h"
#include "syntax/parameters_decoder.h"
#include "syntax/scaling_lists.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

// Parses one SPS or PPS RBSP into `parameters`; returns the thrown code, or 0.
int parseInto(ParametersDecoder& parameters, const std::vector<std::uint8_t>& rbsp, bool isSps) {
  StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()), kParameterSetError);
  return istrel::test::thrownCode([&] { parameters.parseNal(parser, isSps ? kNalSps : kNalPps); });
}

using istrel::test::BitWriter;
using istrel::test::PpsFields;
using istrel::test::SpsFields;
using istrel::test::writePps;
using istrel::test::writeSps;

// hrd_parameters with `cpbCntMinus1` + 1 schedules.
void writeHrd(BitWriter& w, std::uint32_t cpbCntMinus1) {
  w.ue(cpbCntMinus1).bits(4, 4).bits(6, 4);
  for (std::uint32_t i = 0; i <= cpbCntMinus1; ++i) w.ue(1000 + i).ue(2000).bit(i & 1);
  w.bits(23, 5).bits(23, 5).bits(23, 5).bits(24, 5);
}

// A VUI with every part present, its NAL HRD parameters of `cpbCntMinus1` +
// 1 schedules: the parser must read it to the trailing bits.
std::function<void(BitWriter&)> fullVui(std::uint32_t cpbCntMinus1) {
  return [cpbCntMinus1](BitWriter& w) {
    w.bit(1).bits(255, 8).bits(4, 16).bits(3, 16);  // Extended_SAR 4:3
    w.bit(1).bit(1);                                // overscan
    w.bit(1).bits(5, 3).bit(0).bit(1).bits(1, 8).bits(1, 8).bits(1, 8);
    w.bit(1).ue(0).ue(0);                            // chroma location
    w.bit(1).bits(1001, 32).bits(60000, 32).bit(1);  // timing
    w.bit(1);                                        // NAL HRD
    writeHrd(w, cpbCntMinus1);
    w.bit(1);  // VCL HRD
    writeHrd(w, 0);
    w.bit(0).bit(0);                                        // low_delay, pic_struct
    w.bit(1).bit(1).ue(2).ue(1).ue(16).ue(16).ue(0).ue(1);  // restrictions
  };
}

// A scaling matrix of eight lists that sends only 4x4 list `slot`: its first
// delta_scale `delta`, the rest 0, so every entry is 8 + `delta`.
std::function<void(BitWriter&)> oneList(int slot, int delta) {
  return [slot, delta](BitWriter& w) {
    for (int i = 0; i < 8; ++i) {
      w.flag(i == slot);
      if (i != slot) continue;
      w.se(delta);
      for (int j = 1; j < 16; ++j) w.se(0);
    }
  };
}

// A bounded field at its limit (accepted) and one beyond it (refused).
template <typename Fields>
struct Bound {
  const char* field;
  std::function<void(Fields&)> atLimit, beyond;
};

template <typename Fields, typename T>
Bound<Fields> upTo(const char* name, T Fields::*field, T largest) {
  return {name, [=](Fields& f) { f.*field = largest; }, [=](Fields& f) { f.*field = largest + 1; }};
}

template <typename Fields, typename T>
Bound<Fields> downTo(const char* name, T Fields::*field, T smallest) {
  return {name, [=](Fields& f) { f.*field = smallest; },
          [=](Fields& f) { f.*field = smallest - 1; }};
}

// Both changes after `first`.
template <typename Fields>
Bound<Fields> after(std::function<void(Fields&)> first, Bound<Fields> bound) {
  return {bound.field, [=](Fields& f) { first(f), bound.atLimit(f); },
          [=](Fields& f) { first(f), bound.beyond(f); }};
}

// A store holding the default sets, or those given.
struct Stream {
  ParametersDecoder pd;
  Stream(const SpsFields& sps = {}, const PpsFields& pps = {}) {
    EXPECT_EQ(parseInto(pd, writeSps(sps), true), 0);
    EXPECT_EQ(parseInto(pd, writePps(pps), false), 0);
  }
  // Parses `bits`; returns the thrown code or 0.
  int parse(const BitWriter& bits, unsigned refIdc, unsigned type, SliceHeader& h) {
    std::vector<std::uint8_t> bytes = bits.bytes();
    StreamParser parser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    ActiveParameters active;
    const int code =
        istrel::test::thrownCode([&] { parseSliceHeader(parser, pd, refIdc, type, h, active); });
    if (code) return code;
    EXPECT_EQ(active.pps, pd.pps(0));
    EXPECT_EQ(active.sps, pd.sps(0));
    return 0;
  }
};

// Parses `rbsp` into a store that holds the default set; a refused set must
// leave the stored one in place. Returns the thrown code, or 0.
int parseOverDefault(const std::vector<std::uint8_t>& rbsp, bool isSps) {
  Stream s;
  const SeqParameterSet* sps = s.pd.sps(0);
  const PicParameterSet* pps = s.pd.pps(0);
  const int code = parseInto(s.pd, rbsp, isSps);
  if (code) {
    EXPECT_TRUE(s.pd.sps(0) == sps && s.pd.pps(0) == pps) << "a refused set was stored";
  }
  return code;
}

// Each bound: accepted at its limit, refused beyond it.
template <typename Fields, std::size_t N, typename Write>
void expectBounds(const Bound<Fields> (&bounds)[N], Write write, bool isSps) {
  for (const Bound<Fields>& b : bounds) {
    Fields atLimit, beyond;
    b.atLimit(atLimit);
    b.beyond(beyond);
    EXPECT_EQ(parseOverDefault(write(atLimit), isSps), 0) << b.field << " at its limit";
    EXPECT_EQ(parseOverDefault(write(beyond), isSps), kParameterSetError) << b.field;
  }
}

// Every field the SPS parser bounds, at its limit and one beyond; the
// defaults are a 1920x1088 4:2:2 10-bit frame (CropUnitX 2, CropUnitY 1).
TEST(SequenceParameterSet, BoundsOfEveryField) {
  using F = SpsFields;
  auto field = [](bool frames) { return [=](F& f) { f.frameMbsOnly = frames; }; };
  auto poc = [](std::uint32_t type) { return [=](F& f) { f.pic_order_cnt_type = type; }; };
  auto crop = [](int side, std::uint32_t first, std::uint32_t second) {
    return [=](F& f) { f.cropping = true, f.crop[side] = first, f.crop[side + 1] = second; };
  };
  auto depth = [](std::uint32_t v) { return [=](F& f) { f.bitDepthChromaMinus8 = v; }; };
  const Bound<F> bounds[] = {
      upTo("seq_parameter_set_id", &F::id, 31u),
      upTo("chroma_format_idc", &F::chroma_format_idc, 3u),
      upTo("bit_depth_luma_minus8", &F::bitDepthMinus8, 6u),
      {"bit_depth_chroma_minus8", depth(6), depth(7)},
      upTo("log2_max_frame_num_minus4", &F::log2_max_frame_num_minus4, 12u),
      upTo("pic_order_cnt_type", &F::pic_order_cnt_type, 2u),
      after<F>(poc(0), upTo("log2_max_poc_lsb_minus4", &F::log2_max_pic_order_cnt_lsb_minus4, 12u)),
      after<F>(poc(1), upTo("num_ref_frames_in_poc_cycle",
                            &F::num_ref_frames_in_pic_order_cnt_cycle, 255u)),
      upTo("pic_width_in_mbs_minus1", &F::widthInMbsMinus1, 1023u),
      upTo("pic_height_in_map_units_minus1", &F::heightInMapUnitsMinus1, 1023u),
      after<F>(field(false), upTo("map units of fields", &F::heightInMapUnitsMinus1, 511u)),
      {"frame_crop_left/right_offset", crop(0, 480, 479), crop(0, 480, 480)},
      {"frame_crop_top/bottom_offset", crop(2, 1000, 87), crop(2, 1000, 88)},
      {"cpb_cnt_minus1", [](F& f) { f.vui = fullVui(31); }, [](F& f) { f.vui = fullVui(32); }},
      {"delta_scale", [](F& f) { f.scalingMatrix = oneList(0, 127); },
       [](F& f) { f.scalingMatrix = oneList(0, 128); }},
      {"delta_scale", [](F& f) { f.scalingMatrix = oneList(0, -128); },
       [](F& f) { f.scalingMatrix = oneList(0, -129); }},
  };
  expectBounds(
      bounds, [](const F& f) { return writeSps(f); }, true);
  const std::function<void(F&)> refused[] = {
      [](F& f) { f.level_idc = 0; },
      [](F& f) { f.constraintByte = 0x18; },  // constraint_set4_flag
      [](F& f) { f.constraintByte = 0x11; },  // a reserved bit
      [](F& f) { f.widthInMbsMinus1 = 0xFFFFFFFE; },
      [](F& f) { f.stopBit = false; },
  };
  for (std::size_t i = 0; i < std::size(refused); ++i) {
    F fields;
    refused[i](fields);
    EXPECT_EQ(parseOverDefault(writeSps(fields), true), kParameterSetError) << "case " << i;
  }
}

TEST(PictureParameterSet, WithoutTheHighProfileTailTakesInferredValues) {
  PpsFields fields;
  fields.highTail = false;
  fields.chroma_qp_index_offset = -3;
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writePps(fields), false), 0);
  const PicParameterSet& pps = *pd.pps(0);
  EXPECT_FALSE(pps.transform_8x8_mode_flag);
  EXPECT_FALSE(pps.pic_scaling_matrix_present_flag);
  EXPECT_EQ(pps.second_chroma_qp_index_offset, -3);
}

TEST(PictureParameterSet, BoundsOfEveryField) {
  using F = PpsFields;
  const Bound<F> bounds[] = {
      upTo("pic_parameter_set_id", &F::id, 255u),
      upTo("seq_parameter_set_id", &F::spsId, 31u),
      upTo("num_slice_groups_minus1", &F::num_slice_groups_minus1, 0u),
      upTo("chroma_qp_index_offset", &F::chroma_qp_index_offset, 12),
      downTo("chroma_qp_index_offset", &F::chroma_qp_index_offset, -12),
      upTo("second_chroma_qp_index_offset", &F::second_chroma_qp_index_offset, 12),
      downTo("second_chroma_qp_index_offset", &F::second_chroma_qp_index_offset, -12),
      {"delta_scale", [](F& f) { f.scalingMatrix = oneList(0, 127); },
       [](F& f) { f.scalingMatrix = oneList(0, 128); }},
  };
  expectBounds(
      bounds, [](const F& f) { return writePps(f); }, false);
}

// An IDR slice of the default stream with nal_ref_idc 0 (no marking).
struct IdrSlice {
  std::uint32_t type = 7, ppsId = 0, firstMb = 0, idrPicId = 0;
  int qpDelta = 0;
  std::uint32_t idc = 1;  // disable_deblocking_filter_idc
  int alpha = 2, beta = -1;
  bool accepted = true;

  BitWriter bits() const {
    BitWriter w;
    w.ue(firstMb).ue(type).ue(ppsId).bits(0, 4).ue(idrPicId).se(qpDelta).ue(idc);
    if (idc != 1) w.se(alpha).se(beta);
    return w;
  }
};

// I slices only, placed in the picture, every bounded field at its limit
// and one beyond.
TEST(SliceHeader, RefusesSlicesTheDecoderCannotPlace) {
  const IdrSlice cases[] = {
      {.type = 2},
      {.firstMb = 8159, .qpDelta = 25, .idc = 2},
      {.qpDelta = -38, .idc = 0},
      {.type = 0, .accepted = false},
      {.type = 4, .accepted = false},
      {.type = 9, .accepted = false},
      {.type = 12, .accepted = false},       // above 9, though 12 % 5 is I
      {.ppsId = 1, .accepted = false},       // its sequence parameter set never received
      {.ppsId = 2, .accepted = false},       // a picture parameter set never received
      {.ppsId = 256, .accepted = false},     // pic_parameter_set_id above 255
      {.firstMb = 8160, .accepted = false},  // first_mb_in_slice past the 8160 macroblocks
      {.idrPicId = 65535},
      {.idrPicId = 65536, .accepted = false},
      {.qpDelta = 26, .accepted = false},   // SliceQPY above 51
      {.qpDelta = -39, .accepted = false},  // SliceQPY below -QpBdOffsetY (-12 at 10 bits)
      {.idc = 3, .accepted = false},
      {.idc = 0, .alpha = 6, .beta = -6},
      {.idc = 0, .alpha = 7, .accepted = false},
      {.idc = 0, .alpha = -7, .accepted = false},
      {.idc = 2, .beta = 7, .accepted = false},
      {.idc = 2, .beta = -7, .accepted = false},
  };
  Stream s;
  PpsFields orphan;  // picture parameter set 1, of sequence parameter set 1
  orphan.id = orphan.spsId = 1;
  ASSERT_EQ(parseInto(s.pd, writePps(orphan), false), 0);
  for (const IdrSlice& c : cases) {
    SliceHeader h;
    EXPECT_EQ(s.parse(c.bits(), 0, 5, h), c.accepted ? 0 : kSliceError)
        << c.type << " " << c.ppsId << " " << c.firstMb << " " << c.idrPicId << " " << c.qpDelta
        << " " << c.idc << " " << c.alpha << " " << c.beta;
    if (!c.accepted) continue;
    EXPECT_EQ(h.slice_type, 2u);
    EXPECT_EQ(h.SliceQPY, 26 + c.qpDelta);
    EXPECT_EQ(h.slice_alpha_c0_offset_div2, c.idc != 1 ? c.alpha : 0);
    EXPECT_EQ(h.slice_beta_offset_div2, c.idc != 1 ? c.beta : 0);
  }
}

// dec_ref_pic_marking is read, never acted on: each operation with its own
// fields, all above 6 here, so that a field read as an operation is refused.
TEST(SliceHeader, ReadsPastEveryMarkingOperation) {
  Stream s;
  BitWriter w;
  w.ue(0).ue(2).ue(0).bits(9, 4).bit(1);  // non-IDR, frame_num 9, adaptive marking
  for (int v : {1, 9, 2, 8, 3, 10, 11, 4, 12, 5, 6, 13, 0}) w.ue(static_cast<std::uint32_t>(v));
  w.se(-4).ue(1);
  SliceHeader h;
  ASSERT_EQ(s.parse(w, 2, 1, h), 0);
  EXPECT_EQ(h.mmco.size(), 7u);
  EXPECT_EQ(h.SliceQPY, 22);
}

TEST(SliceHeader, ReadsFieldAndOrderSyntaxOnlyWhenPresent) {
  SpsFields sps;
  sps.frameMbsOnly = false;
  sps.heightInMapUnitsMinus1 = 33;
  sps.pic_order_cnt_type = 0;
  sps.log2_max_pic_order_cnt_lsb_minus4 = 2;
  PpsFields pps;
  pps.bottomFieldPicOrder = true;
  pps.deblockingControl = false;
  Stream s(sps, pps);
  BitWriter w;
  w.ue(0).ue(7).ue(0).bits(0, 4).bit(1).bit(1);  // field_pic_flag, bottom_field_flag
  w.ue(0).bits(17, 6);                           // idr_pic_id, pic_order_cnt_lsb
  w.se(3);                                       // slice_qp_delta: no delta_pic_order_cnt_bottom
  SliceHeader h;
  ASSERT_EQ(s.parse(w, 0, 5, h), 0);
  EXPECT_EQ(h.field_pic_flag, 1);
  EXPECT_EQ(h.bottom_field_flag, 1);
  EXPECT_EQ(h.pic_order_cnt_lsb, 17u);
  EXPECT_EQ(h.slice_qp_delta, 3);
  EXPECT_EQ(h.disable_deblocking_filter_idc, 0u);
}

// Rule B: with a sequence matrix, a picture matrix without list 0 keeps the
// sequence's list 0. (Rule A and the chains: the cqm and avci vectors.)
TEST(WeightLists, AbsentPictureListFallsBackToTheSequenceList) {
  SpsFields sps;
  sps.scalingMatrix = oneList(0, 12);
  PpsFields pps;
  pps.scalingMatrix = oneList(1, 22);
  Stream s(sps, pps);
  const WeightLists lists = selectWeightLists(*s.pd.sps(0), *s.pd.pps(0));
  EXPECT_EQ(lists.list4x4[0], s.pd.sps(0)->scaling.ScalingList4x4[0]);
  EXPECT_EQ(lists.list4x4[1], s.pd.pps(0)->scaling.ScalingList4x4[1]);
}

}  // namespace
}  // namespace H264
