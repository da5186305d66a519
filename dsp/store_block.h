// Clause 8.5.14 over a block in plain C++: prediction plus residual, clipped
// and stored.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "base/compiler.h"

namespace H264 {

template <typename T>
ISTREL_FORCE_INLINE T clipSample(std::int64_t x, int maxValue) {
  return static_cast<T>(std::clamp<std::int64_t>(x, 0, maxValue));
}

// dst = Clip(pred + residualAt(i, j)) over a width x height block.
template <typename T, typename Residual>
ISTREL_FORCE_INLINE void storeBlock(int width, int height, const std::int32_t* pred, int predStride,
                                    T* dst, std::ptrdiff_t dstStride, int maxValue,
                                    Residual residualAt) {
  for (int i = 0; i < height; ++i) {
    for (int j = 0; j < width; ++j) {
      const std::int64_t sum = std::int64_t{pred[i * predStride + j]} + residualAt(i, j);
      dst[i * dstStride + j] = clipSample<T>(sum, maxValue);
    }
  }
}

}  // namespace H264
