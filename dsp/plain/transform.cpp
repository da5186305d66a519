// The inverse transforms and the add-and-clip in plain C++.
#include <algorithm>
#include <limits>

#include "dsp/dc_transform.h"
#include "dsp/kernel_levels.h"
#include "dsp/store_block.h"
#include "dsp/transform_butterflies.h"

namespace H264::plain {
namespace {

using namespace butterflies;

template <int N>
ISTREL_FORCE_INLINE void transformLine(std::int32_t* p, int step) {
  Lane x[N];
  for (int k = 0; k < N; ++k) x[k] = lane(p[k * step]);
  if constexpr (N == 4) {
    inverse4(x);
  } else {
    inverse8(x);
  }
  for (int k = 0; k < N; ++k) p[k * step] = value(x[k]);
}

template <int N, typename T>
void reconstruct(std::int32_t* coeff, const std::int32_t* pred, int predStride, T* dst,
                 std::ptrdiff_t dstStride, int maxValue) {
  for (int i = 0; i < N; ++i) transformLine<N>(coeff + N * i, 1);
  for (int j = 0; j < N; ++j) transformLine<N>(coeff + j, N);
  storeBlock(N, N, pred, predStride, dst, dstStride, maxValue,
             [coeff](int i, int j) { return value(roundResidual(lane(coeff[N * i + j]))); });
}

template <typename T>
void addDc4x4(std::int32_t dc, const std::int32_t* pred, int predStride, T* dst,
              std::ptrdiff_t dstStride, int maxValue) {
  const std::int32_t r = value(roundResidual(lane(dc)));
  storeBlock(4, 4, pred, predStride, dst, dstStride, maxValue, [r](int, int) { return r; });
}

// Saturates to the sample type, like the vector versions' packs.
template <typename T>
void copyPrediction(const std::int32_t* pred, int predStride, T* dst, std::ptrdiff_t dstStride,
                    int width, int height) {
  storeBlock(width, height, pred, predStride, dst, dstStride, std::numeric_limits<T>::max(),
             [](int, int) { return 0; });
}

void chromaDc422(const std::int32_t* levels, std::int32_t levelScale, int qPDc, bool conformant,
                 std::int32_t* dc) {
  std::int64_t f[8];
  std::copy_n(levels, 8, f);
  for (int j = 0; j < 2; ++j) dc::hadamard4(f + j, 2);
  for (int i = 0; i < 4; ++i) {
    const std::int64_t a = f[2 * i], b = f[2 * i + 1];
    f[2 * i] = a + b;
    f[2 * i + 1] = a - b;
  }
  for (int r = 0; r < 8; ++r) {
    dc[r] =
        conformant ? dc::scale(f[r], levelScale, qPDc) : dc::scaleTwoStep(f[r], levelScale, qPDc);
  }
}

}  // namespace

void fillTransforms(Kernels<unsigned short>& k) {
  k.reconstruct4x4 = reconstruct<4, unsigned short>;
  k.reconstruct8x8 = reconstruct<8, unsigned short>;
  k.addDc4x4 = addDc4x4<unsigned short>;
  k.copyPrediction = copyPrediction<unsigned short>;
  k.chromaDc422 = chromaDc422;
}

}  // namespace H264::plain
