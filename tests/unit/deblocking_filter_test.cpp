// A rule of the deblocking filter no whole stream reaches: macroblocks that
// no slice decoded. (disable_deblocking_filter_idc 2 and field pictures:
// tests/streams/loop_filter_test.cpp.)
#include "recon/deblocking_filter.h"

#include <gtest/gtest.h>

#include "dsp/kernels.h"
#include "recon/macroblock_edges.h"

namespace H264 {
namespace {

TEST(DeblockingEdges, UndecodedMacroblocksAreNeitherFilteredNorAvailable) {
  // Two slices of a 2x2 frame, the upper row and the lower; no slice decoded
  // the upper right macroblock.
  const FilterMacroblock mbs[] = {{30, 0, 1}, {30, 0, 0}, {30, 0, 2}, {30, 0, 2}};
  const FilterSlice slices[] = {{.decoding = true, .disableIdc = 0},
                                {.decoding = true, .disableIdc = 0}};
  std::uint8_t usable[] = {1, 1};
  MacroblockMap map(mbs, slices, usable, 2, 2);
  MacroblockEdges e;
  EXPECT_FALSE(map.pictureEdges(1, 0, false, e));
  ASSERT_TRUE(map.pictureEdges(1, 1, false, e));
  EXPECT_EQ(e.topRuns, 0);
  // Nor are the macroblocks of a slice the filter leaves out.
  usable[1] = 0;
  EXPECT_FALSE(map.pictureEdges(0, 1, false, e));
}

}  // namespace
}  // namespace H264
