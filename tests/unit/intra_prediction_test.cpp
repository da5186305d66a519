// Intra prediction where coded streams do not go: the plane clipping at 14 bits, and the
// refusals of modes whose samples are missing.
#include "recon/intra_prediction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace H264 {
namespace {

constexpr std::int32_t kUntouched = -7777;
using Block = std::vector<int>;  // row by row
using Kernel = std::function<bool(std::int32_t* pred, int stride)>;

// Runs a kernel into a buffer wider and taller than the block and returns the block; the kernel
// must succeed and write nothing outside the block.
Block run(const Kernel& kernel, int w, int h) {
  const int stride = w + 3;
  std::vector<std::int32_t> buffer(static_cast<std::size_t>(stride * (h + 1)), kUntouched);
  EXPECT_TRUE(kernel(buffer.data(), stride));
  Block block;
  for (int y = 0; y <= h; ++y) {
    for (int x = 0; x < stride; ++x) {
      const int v = buffer[static_cast<std::size_t>(y * stride + x)];
      if (x < w && y < h) {
        block.push_back(v);
      } else {
        EXPECT_EQ(v, kUntouched) << "written outside at " << x << ", " << y;
      }
    }
  }
  return block;
}

const Kernels<unsigned short>& kPlain = kernelsFor<unsigned short>(KernelLevel::kPlain);
const PlaneRowKernel kPlaneRow = kPlain.planeRow;

IntraEdges edges(bool top, bool topRight, bool left, bool topLeft) {
  IntraEdges e{};
  e.hasTop = top, e.hasTopRight = topRight, e.hasLeft = left, e.hasTopLeft = topLeft;
  return e;
}

TEST(IntraPrediction, PlaneClipsAtFourteenBits) {
  IntraEdges e = edges(true, false, true, true);
  for (int i = 0; i < 16; ++i) e.top[i] = e.left[i] = i < 8 ? 0 : 16383;
  // H = V = 36 * 16383, b = c = 46077, a = 524256.
  const Kernel plane = [&](std::int32_t* p, int stride) {
    return predictIntra16x16(3, e, 14, p, stride, kPlaneRow);  // Intra_16x16_Plane at 14 bits
  };
  const Block b = run(plane, 16, 16);
  EXPECT_EQ(b.at(0), 0);
  EXPECT_EQ(b.at(16 * 15 + 15), 16383);
  EXPECT_EQ(b.at(16 * 7 + 7), 16383);  // 524272 >> 5
  EXPECT_EQ(b.at(16 * 7 + 6), 14943);  // (524272 - 46077) >> 5
  EXPECT_EQ(b.at(16 * 7 + 5), 13503);  // (524272 - 92154) >> 5
}

TEST(IntraPrediction, RefusesIllegalModesAndMissingSamplesWritingNothing) {
  std::vector<std::int32_t> pred(16 * 16, kUntouched);
  std::int32_t* p = pred.data();
  IntraEdges e = edges(true, true, true, true);
  for (int mode : {-1, 9, 100}) {
    EXPECT_FALSE(predictIntraNxN(mode, e, 8, p, 16, kPlain.intra4x4));
    EXPECT_FALSE(predictIntraNxN(mode, e, 8, p, 16, kPlain.intra8x8));
  }
  for (int mode : {-1, 4}) {
    EXPECT_FALSE(predictIntra16x16(mode, e, 8, p, 16, kPlaneRow));
    EXPECT_FALSE(predictIntraChroma(mode, e, 8, 8, 8, p, 16, kPlaneRow));
  }
  EXPECT_FALSE(predictIntraChroma(0, e, 8, 4, 8, p, 16, kPlaneRow));
  EXPECT_FALSE(predictIntraChroma(0, e, 16, 16, 8, p, 16, kPlaneRow));
  e = edges(true, true, false, false);
  EXPECT_FALSE(predictIntraNxN(1, e, 8, p, 16, kPlain.intra4x4));  // horizontal without left
  EXPECT_FALSE(predictIntraNxN(8, e, 8, p, 16, kPlain.intra8x8));  // Horizontal_Up without left
  e.hasLeft = true;
  EXPECT_FALSE(
      predictIntraNxN(4, e, 8, p, 16, kPlain.intra4x4));  // Diagonal_Down_Right without p[-1, -1]
  EXPECT_FALSE(
      predictIntraNxN(5, e, 8, p, 16, kPlain.intra8x8));       // Vertical_Right without p[-1, -1]
  EXPECT_FALSE(predictIntra16x16(3, e, 8, p, 16, kPlaneRow));  // plane without p[-1, -1]
  EXPECT_FALSE(predictIntraChroma(3, e, 8, 16, 8, p, 16, kPlaneRow));
  e.hasTop = false;
  EXPECT_FALSE(predictIntra16x16(0, e, 8, p, 16, kPlaneRow));
  EXPECT_FALSE(predictIntraChroma(2, e, 8, 8, 8, p, 16, kPlaneRow));  // chroma vertical
  EXPECT_FALSE(predictIntraNxN(7, e, 8, p, 16, kPlain.intra8x8));     // Vertical_Left
  EXPECT_FALSE(predictIntraNxN(3, e, 8, p, 16, kPlain.intra4x4));     // Diagonal_Down_Left
  EXPECT_EQ(pred, std::vector<std::int32_t>(16 * 16, kUntouched));
}

}  // namespace
}  // namespace H264
