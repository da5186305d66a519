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
#include <string>
#include <vector>

#include "recon/inverse_transform.h"

#if defined(__SSE4_1__)

namespace {

std::uint32_t kernelSeed() {
  static const std::uint32_t seed = [] {
    const char* fixed = std::getenv("ISTREL_KERNEL_SEED");
    const std::uint32_t s = fixed ? static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10))
                                  : std::random_device{}();
    std::printf("transform kernels: seed %u (ISTREL_KERNEL_SEED=%u replays it)\n", s, s);
    return s;
  }();
  return seed;
}

constexpr int kPredStride = 16;
constexpr int kCanvas = 32;  // samples per row and rows of the picture area
constexpr int kOrigin = 8;   // the block's top-left corner in it
constexpr int kIterations = 1500;

const int kMaxValues8[] = {255};
const int kMaxValues16[] = {511, 1023, 4095, 16383};

// A picture area filled with a guard value around (and under) the block.
template <typename T>
struct Canvas {
  static constexpr T kGuard = static_cast<T>(0xA5A5);
  std::vector<T> samples = std::vector<T>(kCanvas * kCanvas, kGuard);

  T* block() { return samples.data() + kOrigin * kCanvas + kOrigin; }

  bool guardIntact(int width, int height) const {
    for (int y = 0; y < kCanvas; ++y) {
      for (int x = 0; x < kCanvas; ++x) {
        const bool inside =
            y >= kOrigin && y < kOrigin + height && x >= kOrigin && x < kOrigin + width;
        if (!inside && samples[y * kCanvas + x] != kGuard) return false;
      }
    }
    return true;
  }
};

template <typename T>
std::string firstDifference(const Canvas<T>& plain, const Canvas<T>& vector) {
  for (int k = 0; k < kCanvas * kCanvas; ++k) {
    if (plain.samples[k] != vector.samples[k]) {
      return "at (" + std::to_string(k % kCanvas - kOrigin) + ", " +
             std::to_string(k / kCanvas - kOrigin) + ") plain " + std::to_string(plain.samples[k]) +
             " vector " + std::to_string(vector.samples[k]);
    }
  }
  return "none";
}

class Random {
 public:
  Random() : engine_(kernelSeed()) {}
  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
  std::int32_t anyInt32() {
    return static_cast<std::int32_t>(std::uniform_int_distribution<std::uint32_t>()(engine_));
  }

 private:
  std::mt19937 engine_;
};

std::vector<std::int32_t> prediction(Random& random, int lo, int hi) {
  std::vector<std::int32_t> pred(kPredStride * 16);
  for (auto& p : pred) p = random.uniform(lo, hi);
  return pred;
}

// --- Coefficients: forward transform of a random residual, quantised, as the readers scale --

std::int64_t roundedQuotient(std::int64_t a, std::int64_t b) {
  return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

// The forward transform matrices; the inverse transforms undo them up to the row gains.
const int kForward4[4][4] = {{1, 1, 1, 1}, {2, 1, -1, -2}, {1, -1, -1, 1}, {1, -2, 2, -1}};
const int kGain4[4] = {4, 5, 4, 5};
const int kForward8[8][8] = {{8, 8, 8, 8, 8, 8, 8, 8},     {12, 10, 6, 3, -3, -6, -10, -12},
                             {8, 4, -4, -8, -8, -4, 4, 8}, {10, -3, -12, -6, 6, 12, 3, -10},
                             {8, -8, -8, 8, 8, -8, -8, 8}, {6, -12, 3, 10, -10, -3, 12, -6},
                             {4, -8, 8, -4, -4, 8, -8, 4}, {3, -6, 10, -12, 12, -10, 6, -3}};
const int kGain8[8] = {512, 578, 320, 578, 512, 578, 320, 578};

// Coefficients of a residual, quantised with the given step, diagonals after lastDiagonal
// quantised away; scaled as the residual readers deliver them.
template <int N>
std::vector<std::int32_t> forwardCoefficients(const std::vector<std::int64_t>& residual, int step,
                                              int lastDiagonal) {
  const auto forward = [](int i, int j) { return N == 4 ? kForward4[i][j] : kForward8[i][j]; };
  const auto gain = [](int i) { return N == 4 ? kGain4[i] : kGain8[i]; };
  // One residual unit in the coefficients: 64 for 4x4, 4096 for 8x8.
  const std::int64_t unit = N == 4 ? 64 : 4096;
  std::vector<std::int64_t> rows(N * N, 0);
  for (int i = 0; i < N; ++i)
    for (int j = 0; j < N; ++j)
      for (int k = 0; k < N; ++k) rows[i * N + j] += forward(i, k) * residual[k * N + j];
  std::vector<std::int32_t> coeff(N * N, 0);
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j <= std::min(N - 1, lastDiagonal - i); ++j) {
      std::int64_t w = 0;
      for (int k = 0; k < N; ++k) w += rows[i * N + k] * forward(j, k);
      const std::int64_t level = roundedQuotient(w * unit, std::int64_t{gain(i)} * gain(j) * step);
      coeff[i * N + j] = static_cast<std::int32_t>(level * step);
    }
  }
  return coeff;
}

template <int N>
std::vector<std::int64_t> randomResidual(Random& random, int maxValue) {
  std::vector<std::int64_t> residual(N * N);
  for (auto& r : residual) r = random.uniform(-maxValue, maxValue);
  return residual;
}

template <int N>
std::vector<std::int32_t> realisticCoefficients(Random& random, int maxValue) {
  const int step = random.uniform(1, 160);
  const int lastDiagonal = random.uniform(0, 2 * N - 2);
  return forwardCoefficients<N>(randomResidual<N>(random, maxValue), step, lastDiagonal);
}

std::int32_t extremeValue(Random& random) {
  switch (random.uniform(0, 5)) {
    case 0:
      return std::numeric_limits<std::int32_t>::min();
    case 1:
      return std::numeric_limits<std::int32_t>::max();
    case 2:
      return (1 << 21) - 1;  // the largest conformant magnitude at 14 bits
    case 3:
      return -(1 << 21);
    case 4:
      return 0;
    default:
      return random.anyInt32();
  }
}

std::vector<std::int32_t> extremeCoefficients(Random& random, int count) {
  std::vector<std::int32_t> coeff(count);
  for (auto& c : coeff) c = extremeValue(random);
  return coeff;
}

// --- Comparisons -----------------------------------------------------------------------------

template <typename T>
using Reconstruct = void (*)(std::int32_t*, const std::int32_t*, int, T*, std::ptrdiff_t, int);

template <typename T>
void compareReconstruct(int n, Reconstruct<T> plain, Reconstruct<T> vector,
                        const std::vector<std::int32_t>& coeff,
                        const std::vector<std::int32_t>& pred, int maxValue) {
  Canvas<T> plainOut, vectorOut;
  auto plainCoeff = coeff, vectorCoeff = coeff;
  plain(plainCoeff.data(), pred.data(), kPredStride, plainOut.block(), kCanvas, maxValue);
  vector(vectorCoeff.data(), pred.data(), kPredStride, vectorOut.block(), kCanvas, maxValue);
  ASSERT_EQ(plainOut.samples, vectorOut.samples)
      << n << 'x' << n << " max " << maxValue << ' ' << firstDifference(plainOut, vectorOut);
  ASSERT_TRUE(plainOut.guardIntact(n, n));
  ASSERT_TRUE(vectorOut.guardIntact(n, n));
}

template <typename T, int N>
void checkReconstruct(Reconstruct<T> plain, Reconstruct<T> vector, const int* maxValues,
                      int maxValueCount) {
  SCOPED_TRACE("seed " + std::to_string(kernelSeed()));
  Random random;
  for (int m = 0; m < maxValueCount; ++m) {
    const int maxValue = maxValues[m];
    for (int i = 0; i < kIterations; ++i) {
      const auto pred = prediction(random, 0, maxValue);
      const auto coeff = i % 8 == 7 ? extremeCoefficients(random, N * N)
                                    : realisticCoefficients<N>(random, maxValue);
      compareReconstruct<T>(N, plain, vector, coeff, pred, maxValue);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

TEST(TransformKernel, Reconstruct4x4) {
  checkReconstruct<unsigned char, 4>(H264::plain::reconstruct4x4<unsigned char>,
                                     H264::sse41::reconstruct4x4<unsigned char>, kMaxValues8, 1);
  checkReconstruct<unsigned short, 4>(H264::plain::reconstruct4x4<unsigned short>,
                                      H264::sse41::reconstruct4x4<unsigned short>, kMaxValues16, 4);
}

TEST(TransformKernel, Reconstruct8x8) {
  checkReconstruct<unsigned char, 8>(H264::plain::reconstruct8x8<unsigned char>,
                                     H264::sse41::reconstruct8x8<unsigned char>, kMaxValues8, 1);
  checkReconstruct<unsigned short, 8>(H264::plain::reconstruct8x8<unsigned short>,
                                      H264::sse41::reconstruct8x8<unsigned short>, kMaxValues16, 4);
}

template <typename T>
void checkAddDc(const int* maxValues, int maxValueCount) {
  SCOPED_TRACE("seed " + std::to_string(kernelSeed()));
  Random random;
  for (int m = 0; m < maxValueCount; ++m) {
    const int maxValue = maxValues[m];
    for (int i = 0; i < kIterations; ++i) {
      const auto pred = prediction(random, 0, maxValue);
      const std::int32_t dc =
          i % 8 == 7 ? extremeValue(random) : random.uniform(-128 * maxValue, 128 * maxValue);
      Canvas<T> plainOut, vectorOut;
      H264::plain::addDc4x4(dc, pred.data(), kPredStride, plainOut.block(), kCanvas, maxValue);
      H264::sse41::addDc4x4(dc, pred.data(), kPredStride, vectorOut.block(), kCanvas, maxValue);
      ASSERT_EQ(plainOut.samples, vectorOut.samples)
          << "dc " << dc << ' ' << firstDifference(plainOut, vectorOut);
      ASSERT_TRUE(vectorOut.guardIntact(4, 4));
    }
  }
}

TEST(TransformKernel, AddDc4x4) {
  checkAddDc<unsigned char>(kMaxValues8, 1);
  checkAddDc<unsigned short>(kMaxValues16, 4);
}

// Block shapes of luma (4x4, 8x8, 16x16) and chroma (8x8, 8x16) and one with a 4-sample tail.
template <typename T>
void checkCopyPrediction() {
  SCOPED_TRACE("seed " + std::to_string(kernelSeed()));
  const int shapes[][2] = {{4, 4}, {8, 8}, {16, 16}, {8, 16}, {4, 8}, {12, 16}};
  Random random;
  for (const auto& shape : shapes) {
    for (int i = 0; i < kIterations / 10; ++i) {
      // Out-of-range predictions saturate to the sample type in both versions.
      const int hi = i % 8 == 7 ? 1 << 20 : std::numeric_limits<T>::max();
      const auto pred = prediction(random, i % 8 == 7 ? -hi : 0, hi);
      Canvas<T> plainOut, vectorOut;
      H264::plain::copyPrediction(pred.data(), kPredStride, plainOut.block(), kCanvas, shape[0],
                                  shape[1]);
      H264::sse41::copyPrediction(pred.data(), kPredStride, vectorOut.block(), kCanvas, shape[0],
                                  shape[1]);
      ASSERT_EQ(plainOut.samples, vectorOut.samples)
          << shape[0] << 'x' << shape[1] << ' ' << firstDifference(plainOut, vectorOut);
      ASSERT_TRUE(vectorOut.guardIntact(shape[0], shape[1]));
    }
  }
}

TEST(TransformKernel, CopyPrediction) {
  checkCopyPrediction<unsigned char>();
  checkCopyPrediction<unsigned short>();
}

// Unquantised coefficients give back their residual, so the comparisons above run on
// meaningful blocks.
template <int N>
void checkForwardCoefficients(Reconstruct<unsigned short> reconstruct) {
  Random random;
  const std::vector<std::int32_t> pred(kPredStride * 16, 2048);
  for (int i = 0; i < 100; ++i) {
    const auto residual = randomResidual<N>(random, 2000);
    auto coeff = forwardCoefficients<N>(residual, 1, 2 * N - 2);
    Canvas<unsigned short> out;
    reconstruct(coeff.data(), pred.data(), kPredStride, out.block(), kCanvas, 4095);
    for (int k = 0; k < N * N; ++k) {
      const int sample = out.block()[(k / N) * kCanvas + k % N];
      ASSERT_LE(std::abs(sample - 2048 - residual[k]), 1) << N << ' ' << k;
    }
  }
}

TEST(TransformKernel, ForwardCoefficientsReconstructTheirResidual) {
  SCOPED_TRACE("seed " + std::to_string(kernelSeed()));
  checkForwardCoefficients<4>(H264::plain::reconstruct4x4<unsigned short>);
  checkForwardCoefficients<8>(H264::plain::reconstruct8x8<unsigned short>);
}

}  // namespace

#else

TEST(TransformKernel, NoVectorKernelsInThisBuild) { GTEST_SKIP() << "no SSE4.1"; }

#endif
