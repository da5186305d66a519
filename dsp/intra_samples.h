// Sample arithmetic that the intra prediction modes share (ITU-T H.264 clause 8.3): the
// [1 2 1] filter, DC values, the plane of Intra_16x16 and chroma, block fills, over int32
// prediction rows.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/compiler.h"
#include "dsp/kernels.h"

namespace H264::intra {

ISTREL_FORCE_INLINE std::int32_t filter121(std::int32_t a, std::int32_t b, std::int32_t c) {
  return (a + 2 * b + c + 2) >> 2;
}

// DC of an n x n block (n = 1 << log2n) from the sums of its n top and n left samples.
ISTREL_FORCE_INLINE std::int32_t dcValue(bool useTop, bool useLeft, std::int32_t topSum,
                                         std::int32_t leftSum, int log2n, int bitDepth) {
  if (useTop && useLeft) return (topSum + leftSum + (1 << log2n)) >> (log2n + 1);
  if (useTop) return (topSum + (1 << (log2n - 1))) >> log2n;
  if (useLeft) return (leftSum + (1 << (log2n - 1))) >> log2n;
  return 1 << (bitDepth - 1);
}

// Clauses 8.3.4.1 to 8.3.4.3: the DC of the 4x4 chroma block at (xO, yO) from the sums of the
// four samples above it and the four left of it. It takes both, but prefers the samples above
// on the top row and those on the left in the left column, when that side is available.
ISTREL_FORCE_INLINE std::int32_t chromaDcValue(int xO, int yO, bool hasTop, bool hasLeft,
                                               std::int32_t topSum, std::int32_t leftSum,
                                               int bitDepth) {
  const bool useTop = hasTop && !(xO == 0 && yO > 0 && hasLeft);
  const bool useLeft = hasLeft && !(yO == 0 && xO > 0 && hasTop);
  return dcValue(useTop, useLeft, topSum, leftSum, 2, bitDepth);
}

// The neighbours of an Intra_16x16 or chroma block, an unavailable side read from zeros.
struct References {
  const std::int32_t* top;   // p[0..15, -1]
  const std::int32_t* left;  // p[-1, 0..15]
  std::int32_t topLeft;      // p[-1, -1]
  bool hasTop, hasLeft;
};

inline constexpr std::int32_t kNoSamples[16] = {};

ISTREL_FORCE_INLINE References referencesOf(const std::int32_t* top, const std::int32_t* left,
                                            std::int32_t topLeft, unsigned sides) {
  const bool hasTop = sides & kIntraTop, hasLeft = sides & kIntraLeft;
  return {hasTop ? top : kNoSamples, hasLeft ? left : kNoSamples,
          sides & kIntraTopLeft ? topLeft : 0, hasTop, hasLeft};
}

// Plane prediction of a W x H block (clauses 8.3.3.4 and 8.3.4.4; W is 16 or 8, so xCF is 0,
// and yCF is 4 when H is 16): sample (x, y) is Clip1((start + b * x + c * y) >> 5).
struct Plane {
  std::int32_t start, b, c;
};

// H or V over a run of n samples preceded by p[-1, -1].
template <int Nn>
ISTREL_FORCE_INLINE std::int32_t planeGradient(const std::int32_t* run, std::int32_t corner) {
  constexpr int kHalf = Nn / 2;
  std::int32_t g = kHalf * (run[Nn - 1] - corner);
  for (int i = 0; i < kHalf - 1; ++i) g += (i + 1) * (run[kHalf + i] - run[kHalf - 2 - i]);
  return g;
}

// b or c from H or V: 5 for a 16-sample side (luma, 4:2:2 chroma height), 34 for 8 samples.
template <int Nn>
ISTREL_FORCE_INLINE std::int32_t planeSlope(std::int32_t gradient) {
  return ((Nn == 16 ? 5 : 34) * gradient + 32) >> 6;
}

template <int W, int H>
ISTREL_FORCE_INLINE Plane planeOf(const References& r) {
  const std::int32_t b = planeSlope<W>(planeGradient<W>(r.top, r.topLeft));
  const std::int32_t c = planeSlope<H>(planeGradient<H>(r.left, r.topLeft));
  const std::int32_t a = 16 * (r.left[H - 1] + r.top[W - 1]);
  return {a - b * (W / 2 - 1) - c * (H / 2 - 1) + 16, b, c};
}

template <int N>
ISTREL_FORCE_INLINE std::int32_t sum(const std::int32_t* v) {
  std::int32_t s = 0;
  for (int i = 0; i < N; ++i) s += v[i];
  return s;
}

template <int W, int H>
ISTREL_FORCE_INLINE void fill(std::int32_t value, std::int32_t* pred, int stride) {
  for (int y = 0; y < H; ++y, pred += stride) std::fill_n(pred, W, value);
}

template <int W, int H>
ISTREL_FORCE_INLINE void fillVertical(const std::int32_t* top, std::int32_t* pred, int stride) {
  for (int y = 0; y < H; ++y, pred += stride) std::copy_n(top, W, pred);
}

template <int W, int H>
ISTREL_FORCE_INLINE void fillHorizontal(const std::int32_t* left, std::int32_t* pred, int stride) {
  for (int y = 0; y < H; ++y, pred += stride) std::fill_n(pred, W, left[y]);
}

}  // namespace H264::intra
