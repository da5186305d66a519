// The vector reconstruction kernels against their plain twins, on identical copies of random but
// realistic inputs and of extreme ones, comparing the whole picture area around the block. The
// seed is printed; ISTREL_KERNEL_SEED=<seed> replays a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "recon/inverse_transform.h"

#if defined(__SSE4_1__)

namespace H264 {
namespace {

constexpr int kPredStride = 16;
constexpr int kCanvas = 32;  // samples per row and rows of the picture area
constexpr int kOrigin = 8;   // the block's top-left corner in it
constexpr int kIterations = 1500;
constexpr int kMaxValues[] = {255, 511, 1023, 4095, 16383};

const std::uint32_t kSeed = [] {
  const char* fixed = std::getenv("ISTREL_KERNEL_SEED");
  const auto s = fixed ? static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10)) : 20261205u;
  std::printf("transform kernels: seed %u (ISTREL_KERNEL_SEED=%u replays it)\n", s, s);
  return s;
}();
std::mt19937 rng(kSeed);

int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

std::vector<std::int32_t> prediction(int lo, int hi) {
  std::vector<std::int32_t> pred(kPredStride * 16);
  for (auto& p : pred) p = uniform(lo, hi);
  return pred;
}

std::int32_t extremeValue() {
  const std::int32_t values[] = {std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max(),
                                 (1 << 21) - 1,  // the largest conformant magnitude at 14 bits
                                 -(1 << 21), 0};
  const int pick = uniform(0, 5);
  return pick < 5 ? values[pick] : static_cast<std::int32_t>(rng());
}

// Runs both twins into picture areas filled with a guard value: they must agree on every sample
// and write nothing outside the w x h block at kOrigin.
template <typename T, typename Plain, typename Vector>
void compare(int w, int h, Plain plain, Vector vector, const char* what) {
  const T guard = static_cast<T>(0xA5A5);
  std::vector<T> a(kCanvas * kCanvas, guard), b = a;
  plain(a.data() + kOrigin * kCanvas + kOrigin);
  vector(b.data() + kOrigin * kCanvas + kOrigin);
  for (int k = 0; k < kCanvas * kCanvas; ++k) {
    const int x = k % kCanvas - kOrigin, y = k / kCanvas - kOrigin;
    ASSERT_EQ(a[k], b[k]) << what << " " << w << "x" << h << " at " << x << ", " << y << " seed "
                          << kSeed;
    if (x < 0 || y < 0 || x >= w || y >= h) {
      ASSERT_EQ(b[k], guard) << what << " wrote outside at " << x << ", " << y;
    }
  }
}

// A random residual through the forward transform, quantised with a random step and with the
// diagonals after a random one dropped, scaled as the residual readers deliver it.
const int kForward4[4][4] = {{1, 1, 1, 1}, {2, 1, -1, -2}, {1, -1, -1, 1}, {1, -2, 2, -1}};
const int kGain4[4] = {4, 5, 4, 5};
const int kForward8[8][8] = {{8, 8, 8, 8, 8, 8, 8, 8},     {12, 10, 6, 3, -3, -6, -10, -12},
                             {8, 4, -4, -8, -8, -4, 4, 8}, {10, -3, -12, -6, 6, 12, 3, -10},
                             {8, -8, -8, 8, 8, -8, -8, 8}, {6, -12, 3, 10, -10, -3, 12, -6},
                             {4, -8, 8, -4, -4, 8, -8, 4}, {3, -6, 10, -12, 12, -10, 6, -3}};
const int kGain8[8] = {512, 578, 320, 578, 512, 578, 320, 578};

std::vector<std::int32_t> realisticCoefficients(int n, int maxValue) {
  const auto forward = [n](int i, int j) { return n == 4 ? kForward4[i][j] : kForward8[i][j]; };
  const auto gain = [n](int i) { return std::int64_t{n == 4 ? kGain4[i] : kGain8[i]}; };
  const std::int64_t unit = n == 4 ? 64 : 4096;  // one residual unit in the coefficients
  const int step = uniform(1, 160), lastDiagonal = uniform(0, 2 * n - 2);
  std::vector<std::int64_t> residual(n * n), rows(n * n, 0);
  for (auto& r : residual) r = uniform(-maxValue, maxValue);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) rows[i * n + j] += forward(i, k) * residual[k * n + j];
  std::vector<std::int32_t> coeff(n * n, 0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= std::min(n - 1, lastDiagonal - i); ++j) {
      std::int64_t w = 0;
      for (int k = 0; k < n; ++k) w += rows[i * n + k] * forward(j, k);
      const std::int64_t a = w * unit, b = gain(i) * gain(j) * step;
      coeff[i * n + j] =
          static_cast<std::int32_t>((a >= 0 ? (a + b / 2) / b : -((b / 2 - a) / b)) * step);
    }
  }
  return coeff;
}

template <typename T>
using Reconstruct = void (*)(std::int32_t*, const std::int32_t*, int, T*, std::ptrdiff_t, int);

template <typename T>
void checkReconstruct(int n, Reconstruct<T> plain, Reconstruct<T> vector) {
  for (int maxValue : kMaxValues) {
    if (maxValue > std::numeric_limits<T>::max()) continue;
    for (int i = 0; i < kIterations; ++i) {
      const auto pred = prediction(0, maxValue);
      std::vector<std::int32_t> coeff = realisticCoefficients(n, maxValue);
      if (i % 8 == 7) std::generate(coeff.begin(), coeff.end(), extremeValue);
      std::vector<std::int32_t> copy = coeff;
      compare<T>(
          n, n,
          [&](T* dst) { plain(coeff.data(), pred.data(), kPredStride, dst, kCanvas, maxValue); },
          [&](T* dst) { vector(copy.data(), pred.data(), kPredStride, dst, kCanvas, maxValue); },
          "reconstruct");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(TransformKernel, Reconstruct) {
  checkReconstruct<std::uint8_t>(4, plain::reconstruct4x4, sse41::reconstruct4x4);
  checkReconstruct<std::uint16_t>(4, plain::reconstruct4x4, sse41::reconstruct4x4);
  checkReconstruct<std::uint8_t>(8, plain::reconstruct8x8, sse41::reconstruct8x8);
  checkReconstruct<std::uint16_t>(8, plain::reconstruct8x8, sse41::reconstruct8x8);
}

template <typename T>
void checkAddDcAndCopy() {
  for (int maxValue : kMaxValues) {
    if (maxValue > std::numeric_limits<T>::max()) continue;
    for (int i = 0; i < kIterations; ++i) {
      const auto pred = prediction(0, maxValue);
      const std::int32_t dc =
          i % 8 == 7 ? extremeValue() : uniform(-128 * maxValue, 128 * maxValue);
      compare<T>(
          4, 4,
          [&](T* dst) { plain::addDc4x4(dc, pred.data(), kPredStride, dst, kCanvas, maxValue); },
          [&](T* dst) { sse41::addDc4x4(dc, pred.data(), kPredStride, dst, kCanvas, maxValue); },
          "addDc4x4");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
  // Luma and chroma shapes and one with a 4-sample tail; predictions out of range saturate to
  // the sample type in both versions.
  const int shapes[][2] = {{4, 4}, {8, 8}, {16, 16}, {8, 16}, {4, 8}, {12, 16}};
  for (const auto& s : shapes) {
    for (int i = 0; i < kIterations / 10; ++i) {
      const int hi = i % 8 == 7 ? 1 << 20 : std::numeric_limits<T>::max();
      const auto pred = prediction(i % 8 == 7 ? -hi : 0, hi);
      compare<T>(
          s[0], s[1],
          [&](T* dst) {
            plain::copyPrediction(pred.data(), kPredStride, dst, kCanvas, s[0], s[1]);
          },
          [&](T* dst) {
            sse41::copyPrediction(pred.data(), kPredStride, dst, kCanvas, s[0], s[1]);
          },
          "copyPrediction");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(TransformKernel, AddDcAndCopyPrediction) {
  checkAddDcAndCopy<std::uint8_t>();
  checkAddDcAndCopy<std::uint16_t>();
}

}  // namespace
}  // namespace H264

#else

TEST(TransformKernel, NoVectorKernelsInThisBuild) { GTEST_SKIP() << "no SSE4.1"; }

#endif
