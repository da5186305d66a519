// A rule of the deblocking filter no whole stream reaches: macroblocks that
// no slice decoded. (disable_deblocking_filter_idc 2 and field pictures:
// tests/streams/loop_filter_test.cpp.)
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

}  // namespace
}  // namespace H264
