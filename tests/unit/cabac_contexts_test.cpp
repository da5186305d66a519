// Context selection rules of the CABAC residual that vectors exercise only
// by chance.
#include <gtest/gtest.h>

#include "macroblock/macroblock_record.h"
#include "macroblock/residual_contexts.h"

namespace H264 {
namespace {

MacroblockRecord intraNxN(std::uint8_t cbpLuma, std::uint8_t cbpChroma, bool transform8x8) {
  MacroblockRecord mb{};
  mb.mbType = kMbINxN;
  mb.cbpLuma = cbpLuma;
  mb.cbpChroma = cbpChroma;
  mb.transform8x8 = transform8x8;
  return mb;
}

TEST(CabacContexts, ChromaDcSignificanceFollowsTheChromaFormat) {
  const int expected422[8] = {0, 0, 1, 1, 2, 2, 2, 2};
  SignificanceIncrements dc422 = significanceIncrements(kCatChromaDc, 8, false);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(dc422.significant[i], expected422[i]) << i;
    EXPECT_EQ(dc422.last[i], expected422[i]) << i;
  }
  const int expected420[4] = {0, 1, 2, 2};
  SignificanceIncrements dc420 = significanceIncrements(kCatChromaDc, 4, false);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dc420.significant[i], expected420[i]);
}

TEST(CabacContexts, EightByEightSignificanceDependsOnFieldCoding) {
  EXPECT_EQ(significanceIncrements(kCatLuma8x8, 64, false).significant[5], 5);
  EXPECT_EQ(significanceIncrements(kCatLuma8x8, 64, true).significant[5], 3);
  EXPECT_EQ(significanceIncrements(kCatCr8x8, 64, false).last[62], 8);
  EXPECT_EQ(significanceIncrements(kCatLuma4x4, 16, true).last[9], 9);
}

TEST(CabacContexts, CodedBlockFlagOfMissingAndRawNeighbours) {
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::k4x4, 0, nullptr, -1), 1);
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::kChromaDc, 1, nullptr, -1), 1);
  MacroblockRecord pcm{};
  pcm.mbType = kMbIPcm;
  for (BlockKind kind : {BlockKind::kDc, BlockKind::kAc, BlockKind::k4x4, BlockKind::kChromaDc,
                         BlockKind::kChromaAc, BlockKind::k8x8}) {
    EXPECT_EQ(codedBlockFlagTerm(kind, 0, &pcm, 5), 1);
  }
}

TEST(CabacContexts, CodedBlockFlagOfCodedNeighbours) {
  // An 8x8-transformed neighbour answers a 4x4 query through its 8x8 block.
  MacroblockRecord eight = intraNxN(0b0100, 0, true);
  std::fill_n(eight.codedBlockFlagLuma + 8, 4, std::uint8_t{1});
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::k4x4, 0, &eight, 10), 1);
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::k8x8, 0, &eight, 11), 1);
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::k4x4, 0, &eight, 2), 0) << "its pattern bit is clear";

  MacroblockRecord four = intraNxN(0b0001, 0, false);
  four.codedBlockFlagLuma[1] = 1;
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::k4x4, 0, &four, 1), 1);
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::k8x8, 0, &four, 1), 0) << "4x4-transformed neighbour";
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::kDc, 0, &four, 0), 0) << "no Intra_16x16 DC block";

  MacroblockRecord chroma = intraNxN(0, 1, false);
  chroma.codedBlockFlagChromaDc[1] = 1;
  chroma.codedBlockFlagChromaAc[1][3] = 1;
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::kChromaDc, 2, &chroma, 0), 1);
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::kChromaAc, 2, &chroma, 3), 0) << "chroma pattern 1";
  chroma.cbpChroma = 2;
  EXPECT_EQ(codedBlockFlagTerm(BlockKind::kChromaAc, 2, &chroma, 3), 1);
}

}  // namespace
}  // namespace H264
