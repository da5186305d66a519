// The inverse transforms and the add-and-clip with SSE4.1: one 32-bit lane
// per line, the plain kernels' butterflies.
#include <smmintrin.h>

#include <limits>
#include <utility>

#include "dsp/dc_transform.h"
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

template <int Width>
ISTREL_FORCE_INLINE void copyRow(const std::int32_t* p, Sample* d, __m128i max16) {
  if constexpr (Width == 4) {
    store4(d, clip16(load4(p), load4(p), max16));
  } else {
    for (int x = 0; x < Width; x += 8) store8(d + x, clip16(load4(p + x), load4(p + x + 4), max16));
  }
}

// The two sizes blocks come in are straight-line code: a loop whose length
// changes from call to call mispredicts its exit.
template <int Width, int Height>
ISTREL_FORCE_INLINE void copyBlock(const std::int32_t* pred, int predStride, Sample* dst,
                                   std::ptrdiff_t dstStride, __m128i max16) {
  for (int i = 0; i < Height; ++i)
    copyRow<Width>(pred + i * predStride, dst + i * dstStride, max16);
}

void copyPrediction(const std::int32_t* pred, int predStride, Sample* dst, std::ptrdiff_t dstStride,
                    int width, int height) {
  const __m128i max16 = maxVector(std::numeric_limits<Sample>::max());
  if (width == 4 && height == 4) return copyBlock<4, 4>(pred, predStride, dst, dstStride, max16);
  if (width == 8 && height == 8) return copyBlock<8, 8>(pred, predStride, dst, dstStride, max16);
  for (int i = 0; i < height; ++i) {
    const std::int32_t* p = pred + i * predStride;
    Sample* d = dst + i * dstStride;
    int x = 0;
    for (; x + 8 <= width; x += 8) copyRow<8>(p + x, d + x, max16);
    if (x < width) copyRow<4>(p + x, d + x, max16);
  }
}

// Four 64-bit products x * levelScale through the steps; the low 32 bits of each.
ISTREL_FORCE_INLINE __m128i scaleDc4(__m128i x, __m128i levelScale, const dc::Dc422Steps& s) {
  const __m128i up = _mm_cvtsi32_si128(s.up), down = _mm_cvtsi32_si128(s.down);
  const __m128i finalShift = _mm_cvtsi32_si128(s.finalShift);
  const __m128i round = _mm_set1_epi64x(s.round), finalRound = _mm_set1_epi64x(s.finalRound);
  __m128i t[2] = {_mm_mul_epi32(x, levelScale), _mm_mul_epi32(_mm_srli_epi64(x, 32), levelScale)};
  for (__m128i& v : t) {
    v = _mm_srl_epi64(_mm_add_epi64(_mm_sll_epi64(v, up), round), down);
    v = _mm_srl_epi64(_mm_add_epi64(v, finalRound), finalShift);
  }
  return _mm_blend_epi16(t[0], _mm_slli_epi64(t[1], 32), 0xCC);
}

// (x0 + x1, x0 - x1) of each pair of lanes.
ISTREL_FORCE_INLINE __m128i pairTransform(__m128i w) {
  return _mm_add_epi32(
      _mm_shuffle_epi32(w, _MM_SHUFFLE(2, 2, 0, 0)),
      _mm_sign_epi32(_mm_shuffle_epi32(w, _MM_SHUFFLE(3, 3, 1, 1)), _mm_setr_epi32(1, -1, 1, -1)));
}

// The rows of the 2-wide matrix in 32 bits, which the levels' bound allows.
void chromaDc422(const std::int32_t* levels, std::int32_t levelScale, int qPDc, bool conformant,
                 std::int32_t* dc) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels));      // rows 0, 1
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + 4));  // rows 2, 3
  const __m128i u = _mm_add_epi32(a, b), v = _mm_sub_epi32(a, b);
  const __m128i signs = _mm_setr_epi32(1, 1, -1, -1);
  // The 4-point transform down the columns: rows 0 and 3, rows 1 and 2.
  const __m128i rows03 =
      _mm_add_epi32(_mm_unpacklo_epi64(u, u), _mm_sign_epi32(_mm_unpackhi_epi64(u, u), signs));
  const __m128i rows12 =
      _mm_add_epi32(_mm_unpacklo_epi64(v, v), _mm_sign_epi32(_mm_unpackhi_epi64(v, v), signs));
  const __m128i f03 = pairTransform(rows03), f12 = pairTransform(rows12);
  const __m128i ls = _mm_set1_epi32(levelScale);
  const dc::Dc422Steps steps = dc::dc422Steps(qPDc, conformant);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dc),
                   scaleDc4(_mm_unpacklo_epi64(f03, f12), ls, steps));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dc + 4),
                   scaleDc4(_mm_unpackhi_epi64(f12, f03), ls, steps));
}

}  // namespace

void fillTransforms(Kernels<unsigned short>& k) {
  k.reconstruct4x4 = reconstruct4x4;
  k.reconstruct8x8 = reconstruct8x8;
  k.addDc4x4 = addDc4x4;
  k.copyPrediction = copyPrediction;
  k.chromaDc422 = chromaDc422;
}

}  // namespace H264::sse41
