// The inverse transforms and the add-and-clip with SSE4.1: one 32-bit lane
// per line, the plain kernels' butterflies.
#include <smmintrin.h>

#include <limits>
#include <utility>

#include "dsp/kernel_levels.h"
#include "dsp/transform_butterflies.h"

namespace H264::sse41 {
namespace {

using butterflies::inverse4;
using butterflies::roundResidual;

struct Vec {
  __m128i v;
};

ISTREL_FORCE_INLINE Vec operator+(Vec a, Vec b) { return {_mm_add_epi32(a.v, b.v)}; }
ISTREL_FORCE_INLINE Vec operator-(Vec a, Vec b) { return {_mm_sub_epi32(a.v, b.v)}; }
ISTREL_FORCE_INLINE Vec operator>>(Vec a, int shift) { return {_mm_srai_epi32(a.v, shift)}; }
ISTREL_FORCE_INLINE Vec splat(Vec, std::int32_t x) { return {_mm_set1_epi32(x)}; }

ISTREL_FORCE_INLINE Vec load4(const std::int32_t* p) {
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
}

ISTREL_FORCE_INLINE void transpose4(Vec* r) {
  const __m128i t0 = _mm_unpacklo_epi32(r[0].v, r[1].v);
  const __m128i t1 = _mm_unpacklo_epi32(r[2].v, r[3].v);
  const __m128i t2 = _mm_unpackhi_epi32(r[0].v, r[1].v);
  const __m128i t3 = _mm_unpackhi_epi32(r[2].v, r[3].v);
  r[0].v = _mm_unpacklo_epi64(t0, t1);
  r[1].v = _mm_unpackhi_epi64(t0, t1);
  r[2].v = _mm_unpacklo_epi64(t2, t3);
  r[3].v = _mm_unpackhi_epi64(t2, t3);
}

// lo[i] holds columns 0..3 of row i, hi[i] columns 4..7.
ISTREL_FORCE_INLINE void transpose8(Vec* lo, Vec* hi) {
  transpose4(lo);
  transpose4(lo + 4);
  transpose4(hi);
  transpose4(hi + 4);
  for (int i = 0; i < 4; ++i) std::swap(hi[i], lo[i + 4]);
}

// The packs saturate to [0, 65535]; the minimum clips to the maximum.
ISTREL_FORCE_INLINE __m128i clip16(Vec a, Vec b, __m128i max16) {
  return _mm_min_epu16(_mm_packus_epi32(a.v, b.v), max16);
}

ISTREL_FORCE_INLINE __m128i maxVector(int maxValue) {
  return _mm_set1_epi16(static_cast<short>(std::min(maxValue, 65535)));
}

using Sample = unsigned short;

ISTREL_FORCE_INLINE void store4(Sample* dst, __m128i s) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), s);
}

ISTREL_FORCE_INLINE void store8(Sample* dst, __m128i s) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
}

void reconstruct4x4(std::int32_t* coeff, const std::int32_t* pred, int predStride, Sample* dst,
                    std::ptrdiff_t dstStride, int maxValue) {
  Vec r[4];
  for (int i = 0; i < 4; ++i) r[i] = load4(coeff + 4 * i);
  transpose4(r);
  inverse4(r);
  transpose4(r);
  inverse4(r);
  const __m128i max16 = maxVector(maxValue);
  for (int i = 0; i < 4; ++i) {
    const Vec u = load4(pred + i * predStride) + roundResidual(r[i]);
    store4(dst + i * dstStride, clip16(u, u, max16));
  }
}

void reconstruct8x8(std::int32_t* coeff, const std::int32_t* pred, int predStride, Sample* dst,
                    std::ptrdiff_t dstStride, int maxValue) {
  Vec lo[8], hi[8];
  for (int i = 0; i < 8; ++i) {
    lo[i] = load4(coeff + 8 * i);
    hi[i] = load4(coeff + 8 * i + 4);
  }
  butterflies::inverse8x8(lo, hi);
  const __m128i max16 = maxVector(maxValue);
  for (int i = 0; i < 8; ++i) {
    const std::int32_t* p = pred + i * predStride;
    const Vec left = load4(p) + roundResidual(lo[i]);
    const Vec right = load4(p + 4) + roundResidual(hi[i]);
    store8(dst + i * dstStride, clip16(left, right, max16));
  }
}

void addDc4x4(std::int32_t dc, const std::int32_t* pred, int predStride, Sample* dst,
              std::ptrdiff_t dstStride, int maxValue) {
  const Vec r = roundResidual(Vec{_mm_set1_epi32(dc)});
  const __m128i max16 = maxVector(maxValue);
  for (int i = 0; i < 4; ++i) {
    const Vec u = load4(pred + i * predStride) + r;
    store4(dst + i * dstStride, clip16(u, u, max16));
  }
}

void copyPrediction(const std::int32_t* pred, int predStride, Sample* dst, std::ptrdiff_t dstStride,
                    int width, int height) {
  const __m128i max16 = maxVector(std::numeric_limits<Sample>::max());
  for (int i = 0; i < height; ++i) {
    const std::int32_t* p = pred + i * predStride;
    Sample* d = dst + i * dstStride;
    int x = 0;
    for (; x + 8 <= width; x += 8) store8(d + x, clip16(load4(p + x), load4(p + x + 4), max16));
    if (x < width) store4(d + x, clip16(load4(p + x), load4(p + x), max16));
  }
}

}  // namespace

void fillTransforms(Kernels<unsigned short>& k) {
  k.reconstruct4x4 = reconstruct4x4;
  k.reconstruct8x8 = reconstruct8x8;
  k.addDc4x4 = addDc4x4;
  k.copyPrediction = copyPrediction;
}

}  // namespace H264::sse41
