// Intra prediction where coded streams do not go: the plane clipping at 14 bits, and the
// refusals of modes whose samples are missing.
#include "recon/intra_prediction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace H264 {
namespace {

const Kernels<unsigned short>& kPlain = kernelsFor<unsigned short>(KernelLevel::kPlain);

IntraEdges edges(bool top, bool topRight, bool left, bool topLeft) {
  IntraEdges e{};
  e.hasTop = top, e.hasTopRight = topRight, e.hasLeft = left, e.hasTopLeft = topLeft;
  return e;
}

TEST(IntraPrediction, PlaneClipsAtFourteenBits) {
  IntraEdges e = edges(true, false, true, true);
  for (int i = 0; i < 16; ++i) e.top[i] = e.left[i] = i < 8 ? 0 : 16383;
  // H = V = 36 * 16383, b = c = 46077, a = 524256.
  std::int32_t b[16 * 16];
  ASSERT_TRUE(predictIntra16x16(3, e, 14, b, 16, kPlain.intra16x16));  // Intra_16x16_Plane
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[16 * 15 + 15], 16383);
  EXPECT_EQ(b[16 * 7 + 7], 16383);  // 524272 >> 5
  EXPECT_EQ(b[16 * 7 + 6], 14943);  // (524272 - 46077) >> 5
  EXPECT_EQ(b[16 * 7 + 5], 13503);  // (524272 - 92154) >> 5
}

TEST(IntraPrediction, RefusesModesWhoseSamplesAreMissingWritingNothing) {
  const std::vector<std::int32_t> untouched(16 * 16, -7777);
  std::vector<std::int32_t> pred = untouched;
  std::int32_t* p = pred.data();
  IntraEdges e = edges(true, true, false, false);
  EXPECT_FALSE(predictIntraNxN(1, e, 8, p, 16, kPlain.intra4x4));  // horizontal without left
  EXPECT_FALSE(predictIntraNxN(8, e, 8, p, 16, kPlain.intra8x8));  // Horizontal_Up without left
  e.hasLeft = true;
  EXPECT_FALSE(
      predictIntraNxN(4, e, 8, p, 16, kPlain.intra4x4));  // Diagonal_Down_Right without p[-1, -1]
  EXPECT_FALSE(
      predictIntraNxN(5, e, 8, p, 16, kPlain.intra8x8));  // Vertical_Right without p[-1, -1]
  EXPECT_FALSE(predictIntra16x16(3, e, 8, p, 16, kPlain.intra16x16));  // plane without p[-1, -1]
  EXPECT_FALSE(predictIntraChroma(3, e, 8, p, 16, kPlain.intraChroma8x16));
  e.hasTop = false;
  EXPECT_FALSE(predictIntra16x16(0, e, 8, p, 16, kPlain.intra16x16));
  EXPECT_FALSE(predictIntraChroma(2, e, 8, p, 16, kPlain.intraChroma8x8));  // chroma vertical
  EXPECT_FALSE(predictIntraNxN(7, e, 8, p, 16, kPlain.intra8x8));           // Vertical_Left
  EXPECT_FALSE(predictIntraNxN(3, e, 8, p, 16, kPlain.intra4x4));           // Diagonal_Down_Left
  EXPECT_EQ(pred, untouched);
}

}  // namespace
}  // namespace H264
