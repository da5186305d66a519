// Rules of the deblocking filter that the loop-filter vectors reach rarely or
// never: disable_deblocking_filter_idc 2, macroblocks no slice decoded, field
// pictures, the MBAFF edges between pairs of unlike coding, and qPp 0 for
// I_PCM and lossless macroblocks at bit depths above 8.
#include "recon/deblocking_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "dsp/kernels.h"
#include "recon/macroblock_edges.h"

namespace H264 {
namespace {

FilterMacroblock decoded(std::uint32_t slice, bool field = false) {
  return {30, static_cast<std::uint8_t>(field ? FilterMacroblock::kField : 0), slice};
}

FilterSlice sliceWith(int disableIdc) {
  FilterSlice s;
  s.decoding = true;
  s.disableIdc = static_cast<std::uint8_t>(disableIdc);
  return s;
}

// Two slices of a 2x2 frame: the upper row, then the lower.
struct TwoSlices {
  std::vector<FilterMacroblock> mbs{decoded(1), decoded(1), decoded(2), decoded(2)};
  std::vector<FilterSlice> slices;
  std::vector<std::uint8_t> usable = std::vector<std::uint8_t>(2, 1);
  explicit TwoSlices(int idc) : slices{sliceWith(idc), sliceWith(idc)} {}
  MacroblockMap map() const { return {mbs.data(), slices.data(), usable.data(), 2, 2}; }
};

TEST(DeblockingEdges, SliceEdgesFollowDisableDeblockingFilterIdc) {
  MacroblockEdges e;
  ASSERT_TRUE(TwoSlices(0).map().pictureEdges(1, 1, false, e));
  EXPECT_EQ(e.leftRuns, 1);
  EXPECT_EQ(e.topRuns, 1);
  EXPECT_EQ(e.top[0].bS, 4);
  // 2: the edge to the other slice counts as unavailable, the one inside stays.
  ASSERT_TRUE(TwoSlices(2).map().pictureEdges(1, 1, false, e));
  EXPECT_EQ(e.leftRuns, 1);
  EXPECT_EQ(e.topRuns, 0);
  // 1: no edge of the macroblock.
  EXPECT_FALSE(TwoSlices(1).map().pictureEdges(1, 1, false, e));
}

TEST(DeblockingEdges, UndecodedMacroblocksAreNeitherFilteredNorAvailable) {
  TwoSlices t(0);
  t.mbs[1].slice = 0;
  MacroblockEdges e;
  EXPECT_FALSE(t.map().pictureEdges(1, 0, false, e));
  ASSERT_TRUE(t.map().pictureEdges(1, 1, false, e));
  EXPECT_EQ(e.topRuns, 0);
  // Nor are the macroblocks of a slice the filter leaves out.
  t.usable[1] = 0;
  EXPECT_FALSE(t.map().pictureEdges(0, 1, false, e));
}

TEST(DeblockingEdges, FieldPicturesHaveBoundaryStrength3OnHorizontalEdges) {
  MacroblockEdges e;
  ASSERT_TRUE(TwoSlices(0).map().pictureEdges(0, 1, true, e));
  ASSERT_EQ(e.topRuns, 1);
  EXPECT_EQ(e.top[0].bS, 3);
  EXPECT_EQ(e.top[0].acrossRows, 1);  // rows of the field
}

// MBAFF pairs of a 2x2-pair frame, by coding: field or frame.
struct Pairs {
  std::vector<FilterMacroblock> mbs;
  std::vector<FilterSlice> slices{sliceWith(0)};
  std::vector<std::uint8_t> usable{1};
  Pairs(bool topLeft, bool topRight, bool bottomLeft, bool bottomRight) {
    for (bool field : {topLeft, topRight, bottomLeft, bottomRight}) {
      mbs.push_back(decoded(1, field));
      mbs.push_back(decoded(1, field));
    }
  }
  MacroblockEdges edges(int pairX, int pairY, int bottom) const {
    MacroblockEdges e;
    MacroblockMap(mbs.data(), slices.data(), usable.data(), 1, 2)
        .mbaffEdges(pairX, pairY, bottom, e);
    return e;
  }
  const FilterMacroblock* at(int pair, int bottom) const { return &mbs[2 * pair + bottom]; }
};

TEST(DeblockingEdges, FrameMacroblockUnderAFieldPairFiltersTwoFieldEdges) {
  const Pairs p(true, false, false, false);
  const MacroblockEdges e = p.edges(0, 1, 0);
  ASSERT_EQ(e.topRuns, 2);
  EXPECT_EQ(e.top[0].p, p.at(0, 0));
  EXPECT_EQ(e.top[0].qRow, 0);
  EXPECT_EQ(e.top[1].p, p.at(0, 1));
  EXPECT_EQ(e.top[1].qRow, 1);
  for (const TopRun& run : e.top) {
    EXPECT_EQ(run.acrossRows, 2);
    EXPECT_EQ(run.bS, 3);
  }
  // The bottom frame macroblock meets the top one at bS 4.
  const MacroblockEdges bottom = p.edges(0, 1, 1);
  ASSERT_EQ(bottom.topRuns, 1);
  EXPECT_EQ(bottom.top[0].p, p.at(2, 0));
  EXPECT_EQ(bottom.top[0].bS, 4);
}

TEST(DeblockingEdges, FieldMacroblocksMeetTheRowsOfTheirParity) {
  const Pairs p(false, false, true, true);
  for (int bottom = 0; bottom < 2; ++bottom) {
    const MacroblockEdges e = p.edges(0, 1, bottom);
    EXPECT_EQ(e.rowOffset, bottom);
    EXPECT_EQ(e.lineRows, 2);
    ASSERT_EQ(e.topRuns, 1);
    EXPECT_EQ(e.top[0].p, p.at(0, 1));  // a frame pair above: its bottom rows
    EXPECT_EQ(e.top[0].bS, 3);
  }
  // Field macroblocks in the first pair row have no top edge.
  EXPECT_EQ(Pairs(true, true, true, true).edges(0, 0, 1).topRuns, 0);
}

TEST(DeblockingEdges, LeftEdgesBesideAPairOfTheOtherCodingSplitByRows) {
  const Pairs fieldBesideFrame(false, true, false, false);
  MacroblockEdges e = fieldBesideFrame.edges(1, 0, 1);
  ASSERT_EQ(e.leftRuns, 2);
  EXPECT_EQ(e.left[0].p, fieldBesideFrame.at(0, 0));
  EXPECT_EQ(e.left[0].lines, LeftLines::kUpperHalf);
  EXPECT_EQ(e.left[1].p, fieldBesideFrame.at(0, 1));
  EXPECT_EQ(e.left[1].lines, LeftLines::kLowerHalf);
  const Pairs frameBesideField(true, false, false, false);
  e = frameBesideField.edges(1, 0, 0);
  ASSERT_EQ(e.leftRuns, 2);
  EXPECT_EQ(e.left[0].lines, LeftLines::kEven);
  EXPECT_EQ(e.left[1].lines, LeftLines::kOdd);
}

}  // namespace
}  // namespace H264
