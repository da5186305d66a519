// Sample arithmetic that the intra prediction modes share (ITU-T H.264 clause 8.3): the
// [1 2 1] filter, DC values and block fills, over int32 prediction rows.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/compiler.h"

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
