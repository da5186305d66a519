#include "syntax/slice_header.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/parameter_set_writer.h"
#include "support/parse_helpers.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;
using istrel::test::parseInto;
using istrel::test::PpsFields;
using istrel::test::SpsFields;

struct Stream {
  ParametersDecoder pd;
  Stream(const SpsFields& sps = {}, const PpsFields& pps = {}) {
    EXPECT_EQ(parseInto(pd, istrel::test::writeSps(sps), true), 0);
    EXPECT_EQ(parseInto(pd, istrel::test::writePps(pps), false), 0);
  }
  // Parses `bits`; returns the thrown code or 0.
  int parse(const BitWriter& bits, unsigned refIdc, unsigned type, SliceHeader& h) {
    std::vector<std::uint8_t> bytes = bits.bytes();
    StreamParser parser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    ActiveParameters active;
    try {
      parseSliceHeader(parser, pd, refIdc, type, h, active);
    } catch (int code) {
      return code;
    }
    EXPECT_EQ(active.pps, pd.pps(0));
    EXPECT_EQ(active.sps, pd.sps(0));
    return 0;
  }
};

// An IDR I slice of the default stream up to slice_qp_delta.
BitWriter idrSlice(std::uint32_t sliceType = 7, std::uint32_t firstMb = 0) {
  BitWriter w;
  w.ue(firstMb).ue(sliceType).ue(0).bits(0, 4);  // frame_num: 4 bits
  w.ue(0);                                       // idr_pic_id
  return w;
}

TEST(SliceHeader, AcceptsOnlyISlices) {
  Stream s;
  for (std::uint32_t type = 0; type <= 10; ++type) {
    BitWriter w = idrSlice(type);
    w.bit(0).bit(0).se(0).ue(1);  // marking flags, slice_qp_delta, deblocking off
    SliceHeader h;
    int expected = (type == 2 || type == 7) ? 0 : kSliceError;
    EXPECT_EQ(s.parse(w, 3, 5, h), expected) << "slice_type " << type;
    if (!expected) {
      EXPECT_EQ(h.slice_type, 2u);
    }
  }
}

TEST(SliceHeader, IdrWithoutReferenceIdcReadsNoMarking) {
  Stream s;
  BitWriter w = idrSlice();
  w.se(-4).ue(0).se(2).se(-1);
  SliceHeader h;
  ASSERT_EQ(s.parse(w, 0, 5, h), 0);
  EXPECT_EQ(h.slice_qp_delta, -4);
  EXPECT_EQ(h.SliceQPY, 22);
  EXPECT_EQ(h.slice_alpha_c0_offset_div2, 2);
  EXPECT_EQ(h.slice_beta_offset_div2, -1);
}

TEST(SliceHeader, AdaptiveMarkingKeepsEveryOperation) {
  Stream s;
  BitWriter w;
  w.ue(0).ue(2).ue(0).bits(9, 4);  // non-IDR, frame_num 9
  w.bit(1).ue(1).ue(5).ue(4).ue(2).ue(0);
  w.se(0).ue(1);
  SliceHeader h;
  ASSERT_EQ(s.parse(w, 2, 1, h), 0);
  ASSERT_EQ(h.mmco.size(), 3u);
  EXPECT_EQ(h.mmco[0].memory_management_control_operation, 1u);
  EXPECT_EQ(h.mmco[0].difference_of_pic_nums_minus1, 5u);
  EXPECT_EQ(h.mmco[1].max_long_term_frame_idx_plus1, 2u);
  EXPECT_EQ(h.mmco[2].memory_management_control_operation, 0u);
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

TEST(SliceHeader, RefusesSlicesTheDecoderCannotPlace) {
  const std::function<BitWriter()> refusals[] = {
      [] {  // a picture parameter set that was never received
        BitWriter w;
        w.ue(0).ue(7).ue(1).bits(0, 4).ue(0).se(0).ue(1);
        return w;
      },
      [] {  // pic_parameter_set_id above 255
        BitWriter w;
        w.ue(0).ue(7).ue(256).bits(0, 4).ue(0).se(0).ue(1);
        return w;
      },
      [] {  // first_mb_in_slice past the 8160 macroblocks of the picture
        BitWriter w = idrSlice(7, 8160);
        w.se(0).ue(1);
        return w;
      },
      [] {  // SliceQPY above 51
        BitWriter w = idrSlice();
        w.se(26).ue(1);
        return w;
      },
      [] {  // SliceQPY below -QpBdOffsetY (-12 at 10 bits)
        BitWriter w = idrSlice();
        w.se(-39).ue(1);
        return w;
      },
      [] {  // disable_deblocking_filter_idc 3
        BitWriter w = idrSlice();
        w.se(0).ue(3);
        return w;
      },
  };
  Stream s;
  for (std::size_t i = 0; i < std::size(refusals); ++i) {
    SliceHeader h;
    EXPECT_EQ(s.parse(refusals[i](), 0, 5, h), kSliceError) << "case " << i;
  }
}

TEST(SliceHeader, MissingSequenceParameterSetIsRefused) {
  ParametersDecoder pd;
  ASSERT_EQ(parseInto(pd, istrel::test::writePps(PpsFields{}), false), 0);
  BitWriter w = idrSlice();
  w.se(0).ue(1);
  std::vector<std::uint8_t> bytes = w.bytes();
  StreamParser parser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  SliceHeader h;
  ActiveParameters active;
  EXPECT_THROW(parseSliceHeader(parser, pd, 0, 5, h, active), int);
}

}  // namespace
}  // namespace H264
