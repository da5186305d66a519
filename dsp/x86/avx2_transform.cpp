// The 8x8 inverse transform and add-and-clip with AVX2: a row of eight
// 32-bit lanes per register, the plain kernels' butterflies.
#include <immintrin.h>

#include "dsp/kernel_levels.h"
#include "dsp/transform_butterflies.h"

namespace H264::avx2 {
namespace {

using butterflies::inverse8;
using butterflies::roundResidual;

struct Vec {
  __m256i v;
};

ISTREL_FORCE_INLINE Vec operator+(Vec a, Vec b) { return {_mm256_add_epi32(a.v, b.v)}; }
ISTREL_FORCE_INLINE Vec operator-(Vec a, Vec b) { return {_mm256_sub_epi32(a.v, b.v)}; }
ISTREL_FORCE_INLINE Vec operator>>(Vec a, int shift) { return {_mm256_srai_epi32(a.v, shift)}; }
ISTREL_FORCE_INLINE Vec splat(Vec, std::int32_t x) { return {_mm256_set1_epi32(x)}; }

ISTREL_FORCE_INLINE Vec load8(const std::int32_t* p) {
  return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))};
}

ISTREL_FORCE_INLINE void transpose8(Vec* r) {
  __m256i t[8], u[8];
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_epi32(r[i].v, r[i + 1].v);
    t[i + 1] = _mm256_unpackhi_epi32(r[i].v, r[i + 1].v);
  }
  for (int i = 0; i < 8; i += 4) {
    u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
    u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
    u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
    u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
  }
  for (int i = 0; i < 4; ++i) {
    r[i].v = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
    r[i + 4].v = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
  }
}

void reconstruct8x8(std::int32_t* coeff, const std::int32_t* pred, int predStride,
                    unsigned short* dst, std::ptrdiff_t dstStride, int maxValue) {
  Vec r[8];
  for (int i = 0; i < 8; ++i) r[i] = load8(coeff + 8 * i);
  transpose8(r);
  inverse8(r);
  transpose8(r);
  inverse8(r);
  const __m128i max16 = _mm_set1_epi16(static_cast<short>(maxValue < 65535 ? maxValue : 65535));
  for (int i = 0; i < 8; ++i) {
    const Vec u = load8(pred + i * predStride) + roundResidual(r[i]);
    // The pack saturates to [0, 65535]; the minimum clips to the maximum.
    const __m128i packed =
        _mm_packus_epi32(_mm256_castsi256_si128(u.v), _mm256_extracti128_si256(u.v, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i * dstStride), _mm_min_epu16(packed, max16));
  }
}

}  // namespace

void fillTransforms(Kernels<unsigned short>& k) { k.reconstruct8x8 = reconstruct8x8; }

}  // namespace H264::avx2
