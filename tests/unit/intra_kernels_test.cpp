#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <random>
#include <vector>

#include "recon/intra_prediction.h"

namespace H264 {
namespace {

#if defined(__SSE4_1__)
// The plane row as Intra_16x16 and chroma plane modes call it, over the whole range of start
// and step values that bit depths 8 to 14 produce, with clipping on both sides.
TEST(IntraKernels, PlaneRowSse41MatchesPlain) {
  constexpr std::uint32_t kSeed = 0x9E3779B9u;
  std::cout << "seed " << kSeed << "\n";
  std::mt19937 rng(kSeed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  constexpr int kGuard = 4;
  for (int trial = 0; trial < 20000; ++trial) {
    const int bitDepth = pick(8, 14), width = 4 * pick(1, 4);
    const std::int32_t maxValue = (1 << bitDepth) - 1;
    const std::int32_t step = pick(-2 * (maxValue + 1), 2 * (maxValue + 1));
    const std::int32_t start = pick(-40 * (maxValue + 1), 40 * (maxValue + 1));
    std::vector<std::int32_t> plain(width + kGuard, -1), vector(width + kGuard, -1);
    intra_kernels::planeRowPlain(plain.data(), width, start, step, maxValue);
    intra_kernels::planeRowSse41(vector.data(), width, start, step, maxValue);
    ASSERT_EQ(plain, vector) << "seed " << kSeed << " trial " << trial << " start " << start
                             << " step " << step << " width " << width;
  }
}
#else
TEST(IntraKernels, PlaneRowSse41MatchesPlain) { GTEST_SKIP() << "built without SSE4.1"; }
#endif

}  // namespace
}  // namespace H264
