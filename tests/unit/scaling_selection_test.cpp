#include <gtest/gtest.h>

#include "support/parameter_set_writer.h"
#include "support/parse_helpers.h"
#include "syntax/scaling_lists.h"
#include "syntax/tables.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;
using istrel::test::parseInto;
using istrel::test::PpsFields;
using istrel::test::SpsFields;

// A list whose every entry is `value`: first delta reaches it, the rest are 0.
void writeConstantList(BitWriter& w, int size, int value) {
  w.se(value - 8);
  for (int j = 1; j < size; ++j) w.se(0);
}

struct Selection {
  ParametersDecoder pd;
  WeightLists lists;
  Selection(const SpsFields& sps, const PpsFields& pps) {
    EXPECT_EQ(parseInto(pd, istrel::test::writeSps(sps), true), 0);
    EXPECT_EQ(parseInto(pd, istrel::test::writePps(pps), false), 0);
    lists = selectWeightLists(*pd.sps(0), *pd.pps(0));
  }
};

TEST(WeightLists, FlatWhenNoMatrixIsPresent) {
  Selection s(SpsFields{}, PpsFields{});
  EXPECT_TRUE(s.lists.flat);
  EXPECT_EQ(s.lists.list4x4[0], kFlatScaling4x4);
  EXPECT_EQ(s.lists.list8x8[0], kFlatScaling8x8);
}

TEST(WeightLists, SequenceListsRepeatAlongTheirChains) {
  SpsFields sps;
  sps.scalingMatrix = [](BitWriter& w) {
    w.bit(1);
    writeConstantList(w, 16, 20);  // slot 0 only
    for (int i = 1; i < 8; ++i) w.bit(0);
  };
  Selection s(sps, PpsFields{});
  EXPECT_FALSE(s.lists.flat);
  const ScalingMatrix& m = s.pd.sps(0)->scaling;
  EXPECT_EQ(s.lists.list4x4[0], m.ScalingList4x4[0]);
  EXPECT_EQ(s.lists.list4x4[1], m.ScalingList4x4[0]);  // rule A: the slot before
  EXPECT_EQ(s.lists.list4x4[2], m.ScalingList4x4[0]);
  EXPECT_EQ(s.lists.list4x4[3], nullptr);  // inter default
  EXPECT_EQ(s.lists.list8x8[0], kDefaultScaling8x8Intra);
}

TEST(WeightLists, AbsentPictureListFallsBackBySequenceMatrix) {
  PpsFields pps;
  pps.scalingMatrix = [](BitWriter& w) {
    w.bit(0).bit(1);
    writeConstantList(w, 16, 30);  // slot 1 only
    for (int i = 2; i < 8; ++i) w.bit(0);
  };
  // Rule A: no sequence matrix, so an absent slot 0 takes the default.
  Selection a(SpsFields{}, pps);
  EXPECT_EQ(a.lists.list4x4[0], kDefaultScaling4x4Intra);
  EXPECT_EQ(a.lists.list4x4[1], a.pd.pps(0)->scaling.ScalingList4x4[1]);
  EXPECT_EQ(a.lists.list4x4[2], a.pd.pps(0)->scaling.ScalingList4x4[1]);

  // Rule B: slot 0 keeps the sequence's own list 0.
  SpsFields sps;
  sps.scalingMatrix = [](BitWriter& w) {
    w.bit(1);
    writeConstantList(w, 16, 20);
    for (int i = 1; i < 8; ++i) w.bit(0);
  };
  Selection b(sps, pps);
  EXPECT_EQ(b.lists.list4x4[0], b.pd.sps(0)->scaling.ScalingList4x4[0]);
  EXPECT_EQ(b.lists.list4x4[1], b.pd.pps(0)->scaling.ScalingList4x4[1]);
}

TEST(WeightLists, UseDefaultFlagSelectsTheIntraDefault) {
  PpsFields pps;
  pps.scalingMatrix = [](BitWriter& w) {
    for (int i = 0; i < 6; ++i) w.bit(0);
    w.bit(1).se(-8);  // slot 6: default
    w.bit(0);
  };
  Selection s(SpsFields{}, pps);
  EXPECT_EQ(s.lists.list8x8[0], kDefaultScaling8x8Intra);
  EXPECT_EQ(s.lists.list8x8[1], nullptr);
}

}  // namespace
}  // namespace H264
