#include "recon/intra_prediction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace H264 {
namespace {

// Hand-computed cases for rules that coded streams rarely reach.

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

using Predictor = bool (*)(int, const IntraEdges&, int, std::int32_t*, int);

const PlaneRowKernel kPlaneRow = kernelsFor<unsigned short>(KernelLevel::kPlain).planeRow;

bool intra16x16(int mode, const IntraEdges& e, int bitDepth, std::int32_t* pred, int stride) {
  return predictIntra16x16(mode, e, bitDepth, pred, stride, kPlaneRow);
}

Block luma(Predictor predict, int n, int mode, const IntraEdges& e, int bitDepth = 8) {
  return run([&](std::int32_t* p, int s) { return predict(mode, e, bitDepth, p, s); }, n, n);
}

Block chroma(int height, int mode, const IntraEdges& e, int bitDepth = 8) {
  return run(
      [&](std::int32_t* p, int s) {
        return predictIntraChroma(mode, e, 8, height, bitDepth, p, s, kPlaneRow);
      },
      8, height);
}

IntraEdges edges(bool top, bool topRight, bool left, bool topLeft) {
  IntraEdges e{};
  e.hasTop = top, e.hasTopRight = topRight, e.hasLeft = left, e.hasTopLeft = topLeft;
  return e;
}

int at(const Block& b, int w, int x, int y) { return b[static_cast<std::size_t>(y * w + x)]; }

TEST(IntraPrediction, DcWithoutNeighboursIsHalfRange) {
  const IntraEdges none = edges(false, false, false, false);
  for (auto [depth, half] : {std::pair{8, 128}, std::pair{10, 512}, std::pair{14, 8192}}) {
    EXPECT_EQ(luma(predictIntra4x4, 4, 2, none, depth), Block(16, half));
    EXPECT_EQ(luma(predictIntra8x8, 8, 2, none, depth), Block(64, half));
    EXPECT_EQ(luma(intra16x16, 16, 2, none, depth), Block(256, half));
    EXPECT_EQ(chroma(8, 0, none, depth), Block(64, half));
    EXPECT_EQ(chroma(16, 0, none, depth), Block(128, half));
  }
}

TEST(IntraPrediction, DcFromTheLeftColumnOnly) {
  IntraEdges e = edges(false, false, true, false);
  for (int y = 0; y < 16; ++y) e.left[y] = y + 1;
  EXPECT_EQ(luma(predictIntra4x4, 4, 2, e), Block(16, 3));  // (10 + 2) >> 2
  EXPECT_EQ(luma(intra16x16, 16, 2, e), Block(256, 9));     // (136 + 8) >> 4
  EXPECT_EQ(at(chroma(8, 0, e), 8, 7, 0), 3);               // upper right: its left rows
}

TEST(IntraPrediction, Chroma422DcLowerBlocks) {
  IntraEdges e = edges(true, false, true, false);
  for (int x = 0; x < 8; ++x) e.top[x] = x < 4 ? 100 : 200;
  for (int y = 0; y < 16; ++y) e.left[y] = 10 * (y / 4 + 1);  // groups 10, 20, 30, 40
  Block b = chroma(16, 0, e);
  EXPECT_EQ(at(b, 8, 0, 0), 55);   // (400 + 40 + 4) >> 3
  EXPECT_EQ(at(b, 8, 4, 0), 200);  // top right: its above group
  EXPECT_EQ(at(b, 8, 0, 4), 20);   // left column: its left group
  EXPECT_EQ(at(b, 8, 0, 8), 30);
  EXPECT_EQ(at(b, 8, 3, 15), 40);
  EXPECT_EQ(at(b, 8, 4, 8), 115);   // (800 + 120 + 4) >> 3
  EXPECT_EQ(at(b, 8, 7, 15), 120);  // (800 + 160 + 4) >> 3
  e.hasLeft = false;
  b = chroma(16, 0, e);
  EXPECT_EQ(at(b, 8, 0, 8), 100);
  EXPECT_EQ(at(b, 8, 0, 12), 100);
  EXPECT_EQ(at(b, 8, 4, 12), 200);
}

TEST(IntraPrediction, PlaneClipsAtFourteenBits) {
  IntraEdges e = edges(true, false, true, true);
  for (int i = 0; i < 16; ++i) e.top[i] = e.left[i] = i < 8 ? 0 : 16383;
  // H = V = 36 * 16383, b = c = 46077, a = 524256.
  const Block b = luma(intra16x16, 16, 3, e, 14);
  EXPECT_EQ(at(b, 16, 0, 0), 0);
  EXPECT_EQ(at(b, 16, 15, 15), 16383);
  EXPECT_EQ(at(b, 16, 7, 7), 16383);  // 524272 >> 5
  EXPECT_EQ(at(b, 16, 6, 7), 14943);  // (524272 - 46077) >> 5
  EXPECT_EQ(at(b, 16, 5, 7), 13503);  // (524272 - 92154) >> 5
}

TEST(IntraPrediction, Intra8x8ReferenceFiltering) {
  IntraEdges e = edges(true, true, false, false);
  for (int x = 0; x < 16; ++x) e.top[x] = 16 + 8 * x;
  Block b = luma(predictIntra8x8, 8, 0, e);  // vertical, no top-left
  EXPECT_EQ(at(b, 8, 0, 0), 18);             // (3 * 16 + 24 + 2) >> 2
  EXPECT_EQ(at(b, 8, 1, 5), 24);             // (16 + 48 + 32 + 2) >> 2
  EXPECT_EQ(at(b, 8, 7, 7), 72);             // (64 + 144 + 80 + 2) >> 2
  e.hasTopLeft = true, e.topLeft = 40;
  EXPECT_EQ(at(luma(predictIntra8x8, 8, 0, e), 8, 0, 3), 24);  // (40 + 32 + 24 + 2) >> 2
  e.hasTopLeft = false, e.hasTopRight = false, e.top[8] = 9999;
  b = luma(predictIntra8x8, 8, 0, e);
  EXPECT_EQ(at(b, 8, 7, 0), 70);  // (64 + 2 * 72 + 72 + 2) >> 2, p[8, -1] repeats p[7, -1]
  // Diagonal_Down_Left reads p'[8..15, -1], all 72 once p[7, -1] is repeated.
  EXPECT_EQ(at(luma(predictIntra8x8, 8, 3, e), 8, 7, 7), 72);
  e = edges(false, false, true, false);
  for (int y = 0; y < 8; ++y) e.left[y] = 100 + 4 * y;
  b = luma(predictIntra8x8, 8, 1, e, 10);  // horizontal, no top-left
  EXPECT_EQ(at(b, 8, 3, 0), 101);          // (300 + 104 + 2) >> 2
  EXPECT_EQ(at(b, 8, 0, 7), 127);          // (124 + 3 * 128 + 2) >> 2
}

TEST(IntraPrediction, Intra4x4TopRightSubstitution) {
  IntraEdges e = edges(true, false, false, false);
  for (int x = 0; x < 8; ++x) e.top[x] = x < 4 ? 10 * (x + 1) : 9999;
  const Block b = luma(predictIntra4x4, 4, 3, e);  // Diagonal_Down_Left
  EXPECT_EQ(at(b, 4, 0, 0), 20);                   // (10 + 40 + 30 + 2) >> 2
  EXPECT_EQ(at(b, 4, 2, 0), 38);                   // (30 + 80 + 40 + 2) >> 2
  EXPECT_EQ(at(b, 4, 3, 3), 40);
  EXPECT_EQ(at(luma(predictIntra4x4, 4, 7, e), 4, 3, 1), 40);  // Vertical_Left
}

TEST(IntraPrediction, RefusesIllegalModesAndMissingSamplesWritingNothing) {
  std::vector<std::int32_t> pred(16 * 16, kUntouched);
  std::int32_t* p = pred.data();
  IntraEdges e = edges(true, true, true, true);
  for (int mode : {-1, 9, 100}) {
    EXPECT_FALSE(predictIntra4x4(mode, e, 8, p, 16));
    EXPECT_FALSE(predictIntra8x8(mode, e, 8, p, 16));
  }
  for (int mode : {-1, 4}) {
    EXPECT_FALSE(predictIntra16x16(mode, e, 8, p, 16, kPlaneRow));
    EXPECT_FALSE(predictIntraChroma(mode, e, 8, 8, 8, p, 16, kPlaneRow));
  }
  EXPECT_FALSE(predictIntraChroma(0, e, 8, 4, 8, p, 16, kPlaneRow));
  EXPECT_FALSE(predictIntraChroma(0, e, 16, 16, 8, p, 16, kPlaneRow));
  e = edges(true, true, false, false);
  EXPECT_FALSE(predictIntra4x4(1, e, 8, p, 16));  // horizontal without left
  EXPECT_FALSE(predictIntra8x8(8, e, 8, p, 16));  // Horizontal_Up without left
  e.hasLeft = true;
  EXPECT_FALSE(predictIntra4x4(4, e, 8, p, 16));  // Diagonal_Down_Right without p[-1, -1]
  EXPECT_FALSE(predictIntra8x8(5, e, 8, p, 16));  // Vertical_Right without p[-1, -1]
  EXPECT_FALSE(predictIntra16x16(3, e, 8, p, 16, kPlaneRow));  // plane without p[-1, -1]
  EXPECT_FALSE(predictIntraChroma(3, e, 8, 16, 8, p, 16, kPlaneRow));
  e.hasTop = false;
  EXPECT_FALSE(predictIntra16x16(0, e, 8, p, 16, kPlaneRow));
  EXPECT_FALSE(predictIntraChroma(2, e, 8, 8, 8, p, 16, kPlaneRow));  // chroma vertical
  EXPECT_FALSE(predictIntra8x8(7, e, 8, p, 16));                      // Vertical_Left
  EXPECT_FALSE(predictIntra4x4(3, e, 8, p, 16));                      // Diagonal_Down_Left
  EXPECT_EQ(pred, std::vector<std::int32_t>(16 * 16, kUntouched));
}

TEST(IntraPrediction, DerivedModes) {
  EXPECT_EQ(deriveIntraPredMode(-1, -1, true, 0), 2);
  EXPECT_EQ(deriveIntraPredMode(-1, 0, true, 0), 2);  // one unavailable: DC, not the other mode
  EXPECT_EQ(deriveIntraPredMode(0, -1, true, 0), 2);
  EXPECT_EQ(deriveIntraPredMode(5, 3, true, 0), 3);
  EXPECT_EQ(deriveIntraPredMode(2, 8, true, 0), 2);   // I_16x16 neighbour
  EXPECT_EQ(deriveIntraPredMode(5, 3, false, 2), 2);  // rem below the predicted mode
  EXPECT_EQ(deriveIntraPredMode(5, 3, false, 3), 4);  // rem at or above: skips it
  EXPECT_EQ(deriveIntraPredMode(5, 3, false, 7), 8);
  EXPECT_EQ(deriveIntraPredMode(-1, 7, false, 2), 3);
  EXPECT_EQ(deriveIntraPredMode(8, 8, false, 7), 7);
  EXPECT_EQ(deriveIntraPredMode(0, 0, false, 0), 1);
}

}  // namespace
}  // namespace H264
