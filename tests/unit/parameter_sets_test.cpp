#include <gtest/gtest.h>

#include <functional>

#include "support/parameter_set_writer.h"
#include "support/parse_helpers.h"
#include "syntax/parameters_decoder.h"
#include "syntax/tables.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;
using istrel::test::parseInto;
using istrel::test::PpsFields;
using istrel::test::SpsFields;
using istrel::test::writePps;
using istrel::test::writeSps;

TEST(SequenceParameterSet, HighProfile422DerivesThePictureFormat) {
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writeSps(SpsFields{}), true), 0);
  const SeqParameterSet* sps = pd.sps(0);
  ASSERT_NE(sps, nullptr);
  EXPECT_EQ(sps->BitDepthY, 10u);
  EXPECT_EQ(sps->constraint_set_flags, 1);  // constraint_set3_flag
  const PictureFormat& f = pd.format();
  EXPECT_EQ(f.lumaWidth, 1920u);
  EXPECT_EQ(f.lumaHeight, 1088u);
  EXPECT_EQ(f.chromaWidth, 960u);
  EXPECT_EQ(f.chromaHeight, 1088u);
  EXPECT_EQ(f.mbWidthC, 8u);
  EXPECT_EQ(f.mbHeightC, 16u);
  EXPECT_EQ(f.sizeInMbs, 8160u);
}

TEST(SequenceParameterSet, MainProfileHasNoChromaSyntax) {
  SpsFields fields;
  fields.profile_idc = 77;
  fields.constraintByte = 0;
  fields.log2_max_frame_num_minus4 = 5;
  fields.pic_order_cnt_type = 0;
  fields.log2_max_pic_order_cnt_lsb_minus4 = 3;
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writeSps(fields), true), 0);
  const SeqParameterSet& sps = *pd.sps(0);
  EXPECT_EQ(sps.chroma_format_idc, 1u);
  EXPECT_EQ(sps.BitDepthY, 8u);
  EXPECT_EQ(sps.BitDepthC, 8u);
  EXPECT_FALSE(sps.seq_scaling_matrix_present_flag);
  EXPECT_EQ(sps.log2_max_frame_num_minus4, 5u);
  EXPECT_EQ(sps.log2_max_pic_order_cnt_lsb_minus4, 3u);
  EXPECT_EQ(pd.format().chromaHeight, 544u);
}

TEST(SequenceParameterSet, FieldCodingDoublesTheMapUnits) {
  SpsFields fields;
  fields.frameMbsOnly = false;
  fields.mbaff = true;
  fields.heightInMapUnitsMinus1 = 33;
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writeSps(fields), true), 0);
  EXPECT_EQ(pd.format().heightInMbs, 68u);
  EXPECT_TRUE(pd.sps(0)->mb_adaptive_frame_field_flag);
}

TEST(SequenceParameterSet, RefusesWhatTheDecoderCannotHold) {
  const std::function<void(SpsFields&)> refusals[] = {
      [](SpsFields& f) { f.level_idc = 0; },
      [](SpsFields& f) { f.id = 32; },
      [](SpsFields& f) { f.pic_order_cnt_type = 3; },
      [](SpsFields& f) { f.constraintByte = 0x18; },  // constraint_set4_flag
      [](SpsFields& f) { f.constraintByte = 0x11; },  // a reserved bit
      [](SpsFields& f) { f.chroma_format_idc = 4; },
      [](SpsFields& f) { f.bitDepthMinus8 = 7; },
      [](SpsFields& f) { f.log2_max_frame_num_minus4 = 13; },
      [](SpsFields& f) { f.widthInMbsMinus1 = 1024; },  // 16400 samples wide
      [](SpsFields& f) { f.widthInMbsMinus1 = 0xFFFFFFFE; },
      [](SpsFields& f) {
        f.frameMbsOnly = false;
        f.heightInMapUnitsMinus1 = 512;  // 1026 macroblock rows
      },
      [](SpsFields& f) {
        f.cropping = true;
        f.crop[0] = 480;  // 960 + 960 chroma units crop all 1920 columns
        f.crop[1] = 480;
      },
      [](SpsFields& f) { f.stopBit = false; },
  };
  for (std::size_t i = 0; i < std::size(refusals); ++i) {
    ParametersDecoder pd;
    ASSERT_EQ(parseInto(pd, writeSps(SpsFields{}), true), 0);
    const SeqParameterSet* before = pd.sps(0);
    SpsFields fields;
    refusals[i](fields);
    EXPECT_EQ(parseInto(pd, writeSps(fields), true), kParameterSetError) << "case " << i;
    EXPECT_EQ(pd.sps(0), before) << "case " << i << ": a refused set replaced the stored one";
  }
}

TEST(SequenceParameterSet, ReplacesTheSetWithTheSameId) {
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writeSps(SpsFields{}), true), 0);
  SpsFields smaller;
  smaller.widthInMbsMinus1 = 79;
  smaller.heightInMapUnitsMinus1 = 44;
  ASSERT_EQ(parseInto(pd, writeSps(smaller), true), 0);
  EXPECT_EQ(pd.sps(0)->pic_width_in_mbs_minus1, 79u);
  EXPECT_EQ(pd.format().lumaWidth, 1280u);
}

void writeHrd(BitWriter& w, std::uint32_t cpbCntMinus1) {
  w.ue(cpbCntMinus1).bits(4, 4).bits(6, 4);
  for (std::uint32_t i = 0; i <= cpbCntMinus1; ++i) w.ue(1000 + i).ue(2000).bit(i & 1);
  w.bits(23, 5).bits(23, 5).bits(23, 5).bits(24, 5);
}

TEST(SequenceParameterSet, ReadsAFullVuiToItsTrailingBits) {
  SpsFields fields;
  fields.vui = [](BitWriter& w) {
    w.bit(1).bits(255, 8).bits(4, 16).bits(3, 16);  // Extended_SAR 4:3
    w.bit(1).bit(1);                                // overscan
    w.bit(1).bits(5, 3).bit(0).bit(1).bits(1, 8).bits(1, 8).bits(1, 8);
    w.bit(1).ue(0).ue(0);                            // chroma location
    w.bit(1).bits(1001, 32).bits(60000, 32).bit(1);  // timing
    w.bit(1);                                        // NAL HRD
    writeHrd(w, 2);
    w.bit(1);  // VCL HRD
    writeHrd(w, 0);
    w.bit(0).bit(0);                                        // low_delay, pic_struct
    w.bit(1).bit(1).ue(2).ue(1).ue(16).ue(16).ue(0).ue(1);  // restrictions
  };
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writeSps(fields), true), 0);
  const VuiParameters& vui = *pd.sps(0)->vui;
  EXPECT_EQ(vui.aspect_ratio_idc, 255);
  EXPECT_EQ(vui.sar_width, 4);
  EXPECT_EQ(vui.sar_height, 3);
  EXPECT_EQ(vui.time_scale, 60000u);
  ASSERT_TRUE(vui.nalHrd && vui.vclHrd);
  EXPECT_EQ(vui.nalHrd->bit_rate_value_minus1.size(), 3u);
  EXPECT_EQ(vui.nalHrd->cbr_flag[1], 1);
  EXPECT_EQ(vui.max_dec_frame_buffering, 1u);

  fields.vui = [](BitWriter& w) {
    w.bits(0, 4).bit(0).bit(1);
    writeHrd(w, 32);  // more schedules than the standard allows
  };
  EXPECT_EQ(parseInto(pd, writeSps(fields), true), kParameterSetError);
}

TEST(SequenceParameterSet, ScalingListsAreStoredInRasterOrder) {
  SpsFields fields;
  fields.scalingMatrix = [](BitWriter& w) {
    w.bit(1).se(-8);  // list 0: nextScale 0 at once, the default list
    w.bit(1);         // list 1: 9, 10, ..., 24 in zig-zag order
    for (int j = 0; j < 16; ++j) w.se(1);
    for (int i = 2; i < 8; ++i) w.bit(0);
  };
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writeSps(fields), true), 0);
  const ScalingMatrix& m = pd.sps(0)->scaling;
  EXPECT_TRUE(m.UseDefaultScalingMatrixFlag[0]);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.ScalingList4x4[0][i], 8);
  EXPECT_FALSE(m.UseDefaultScalingMatrixFlag[1]);
  for (int j = 0; j < 16; ++j) EXPECT_EQ(m.ScalingList4x4[1][kZigzagScan4x4[j]], 9 + j);
  EXPECT_FALSE(m.list_present_flag[2]);
}

TEST(SequenceParameterSet, FourFourFourMatricesCarryTwelveLists) {
  SpsFields fields;
  fields.profile_idc = 244;
  fields.chroma_format_idc = 3;
  fields.scalingMatrix = [](BitWriter& w) {
    for (int i = 0; i < 11; ++i) w.bit(0);
    w.bit(1).se(-8);  // slot 11, the last 8x8 list
  };
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, writeSps(fields), true), 0);
  EXPECT_TRUE(pd.sps(0)->scaling.list_present_flag[11]);
  EXPECT_TRUE(pd.sps(0)->scaling.UseDefaultScalingMatrixFlag[11]);
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

TEST(PictureParameterSet, ListCountFollowsThe8x8TransformFlag) {
  for (bool transform8x8 : {false, true}) {
    PpsFields fields;
    fields.transform8x8 = transform8x8;
    fields.second_chroma_qp_index_offset = 5;
    fields.scalingMatrix = [transform8x8](BitWriter& w) {
      for (int i = 0; i < (transform8x8 ? 8 : 6); ++i) w.bit(0);
    };
    ParametersDecoder pd;
    ASSERT_EQ(parseInto(pd, writePps(fields), false), 0);
    EXPECT_EQ(pd.pps(0)->second_chroma_qp_index_offset, 5) << transform8x8;
  }
}

TEST(PictureParameterSet, RefusesBadIdsAndSliceGroups) {
  ParametersDecoder pd;
  PpsFields fields;
  fields.id = 256;
  EXPECT_EQ(parseInto(pd, writePps(fields), false), kParameterSetError);
  EXPECT_EQ(pd.pps(255), nullptr);
  fields.id = 3;
  fields.spsId = 32;
  EXPECT_EQ(parseInto(pd, writePps(fields), false), kParameterSetError);
  EXPECT_EQ(pd.pps(3), nullptr);

  BitWriter groups;
  groups.ue(0).ue(0).bit(0).bit(0).ue(1);  // num_slice_groups_minus1 = 1
  groups.ue(0).ue(0).bit(0).bits(0, 2).se(0).se(0).se(0).bit(0).bit(0).bit(0).trailing();
  EXPECT_EQ(parseInto(pd, groups.bytes(), false), kParameterSetError);
}

}  // namespace
}  // namespace H264
