// The edge filters of the deblocking filter with AVX2: sixteen lines at a
// time, one 16-bit lane per line. Across vertical edges lines i and i + 8
// share a register, one in each half, so the transposes stay within halves;
// runs of eight or four lines use the lower half only.
#include <immintrin.h>

#include "dsp/kernel_levels.h"
#include "dsp/x86/deblock_lanes.h"

namespace H264 {
namespace {

using Sample = unsigned short;
using deblock_lanes::Edge;

struct V {
  __m256i v;
};

ISTREL_FORCE_INLINE V operator+(V a, V b) { return {_mm256_add_epi16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V operator-(V a, V b) { return {_mm256_sub_epi16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V operator&(V a, V b) { return {_mm256_and_si256(a.v, b.v)}; }
ISTREL_FORCE_INLINE V sra(V a, int n) { return {_mm256_srai_epi16(a.v, n)}; }
ISTREL_FORCE_INLINE V srl(V a, int n) { return {_mm256_srli_epi16(a.v, n)}; }
ISTREL_FORCE_INLINE V sll(V a, int n) { return {_mm256_slli_epi16(a.v, n)}; }
ISTREL_FORCE_INLINE V absDiff(V a, V b) { return {_mm256_abs_epi16(_mm256_sub_epi16(a.v, b.v))}; }
ISTREL_FORCE_INLINE V less(V a, V b) { return {_mm256_cmpgt_epi16(b.v, a.v)}; }
ISTREL_FORCE_INLINE V select(V mask, V a, V b) { return {_mm256_blendv_epi8(b.v, a.v, mask.v)}; }
ISTREL_FORCE_INLINE V clamp(V a, V lo, V hi) {
  return {_mm256_min_epi16(_mm256_max_epi16(a.v, lo.v), hi.v)};
}
ISTREL_FORCE_INLINE V average(V a, V b) { return {_mm256_avg_epu16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V splat(V, std::int32_t x) {
  return {_mm256_set1_epi16(static_cast<short>(x))};
}

// Eight or four samples from p into the lower half; the upper half is zero.
ISTREL_FORCE_INLINE __m256i loadLow(const Sample* p, int samples) {
  const __m128i* a = reinterpret_cast<const __m128i*>(p);
  return _mm256_zextsi128_si256(samples == 8 ? _mm_loadu_si128(a) : _mm_loadl_epi64(a));
}

// Samples of row `low` into the lower half and of row `high` into the upper.
ISTREL_FORCE_INLINE __m256i loadPair(const Sample* low, const Sample* high, int samples) {
  const __m128i* a = reinterpret_cast<const __m128i*>(low);
  const __m128i* b = reinterpret_cast<const __m128i*>(high);
  if (samples == 8)
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(a)), _mm_loadu_si128(b),
                                   1);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadl_epi64(a)), _mm_loadl_epi64(b), 1);
}

ISTREL_FORCE_INLINE void store(Sample* p, __m128i v, int samples) {
  __m128i* a = reinterpret_cast<__m128i*>(p);
  if (samples == 8) {
    _mm_storeu_si128(a, v);
  } else {
    _mm_storel_epi64(a, v);
  }
}

// Within each half: eight rows of eight samples into eight columns and back.
ISTREL_FORCE_INLINE void transpose8(__m256i* r) {
  __m256i t[8], u[8];
  for (int i = 0; i < 4; ++i) {
    t[2 * i] = _mm256_unpacklo_epi16(r[2 * i], r[2 * i + 1]);
    t[2 * i + 1] = _mm256_unpackhi_epi16(r[2 * i], r[2 * i + 1]);
  }
  for (int i = 0; i < 2; ++i) {
    u[4 * i] = _mm256_unpacklo_epi32(t[4 * i], t[4 * i + 2]);
    u[4 * i + 1] = _mm256_unpackhi_epi32(t[4 * i], t[4 * i + 2]);
    u[4 * i + 2] = _mm256_unpacklo_epi32(t[4 * i + 1], t[4 * i + 3]);
    u[4 * i + 3] = _mm256_unpackhi_epi32(t[4 * i + 1], t[4 * i + 3]);
  }
  for (int i = 0; i < 4; ++i) {
    r[2 * i] = _mm256_unpacklo_epi64(u[i], u[i + 4]);
    r[2 * i + 1] = _mm256_unpackhi_epi64(u[i], u[i + 4]);
  }
}

// Within each half: eight rows of four samples (p1 p0 q0 q1) into four columns.
ISTREL_FORCE_INLINE void transpose8x4(const __m256i* r, __m256i* c) {
  const __m256i t0 = _mm256_unpacklo_epi16(r[0], r[1]), t1 = _mm256_unpacklo_epi16(r[2], r[3]);
  const __m256i t2 = _mm256_unpacklo_epi16(r[4], r[5]), t3 = _mm256_unpacklo_epi16(r[6], r[7]);
  const __m256i u0 = _mm256_unpacklo_epi32(t0, t1), u1 = _mm256_unpackhi_epi32(t0, t1);
  const __m256i u2 = _mm256_unpacklo_epi32(t2, t3), u3 = _mm256_unpackhi_epi32(t2, t3);
  c[0] = _mm256_unpacklo_epi64(u0, u2);
  c[1] = _mm256_unpackhi_epi64(u0, u2);
  c[2] = _mm256_unpacklo_epi64(u1, u3);
  c[3] = _mm256_unpackhi_epi64(u1, u3);
}

// Within each half: four columns back into rows of four samples, rows 2k
// and 2k + 1 in register k.
ISTREL_FORCE_INLINE void transpose4x8(const __m256i* c, __m256i* rowPairs) {
  const __m256i a0 = _mm256_unpacklo_epi16(c[0], c[1]), a1 = _mm256_unpackhi_epi16(c[0], c[1]);
  const __m256i b0 = _mm256_unpacklo_epi16(c[2], c[3]), b1 = _mm256_unpackhi_epi16(c[2], c[3]);
  rowPairs[0] = _mm256_unpacklo_epi32(a0, b0);
  rowPairs[1] = _mm256_unpackhi_epi32(a0, b0);
  rowPairs[2] = _mm256_unpacklo_epi32(a1, b1);
  rowPairs[3] = _mm256_unpackhi_epi32(a1, b1);
}

ISTREL_FORCE_INLINE __m128i half(__m256i v, int upper) {
  return upper ? _mm256_extracti128_si256(v, 1) : _mm256_castsi256_si128(v);
}

// Lines adjacent, samples `stride` apart: `n` (4, 8 or 16) lines.
template <bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void horizontal(Sample* q0, std::ptrdiff_t stride, int n,
                                    const deblock_lanes::Limits<V>& l) {
  const int first = kLumaStyle ? -4 : -2, last = kLumaStyle ? 4 : 2;
  __m256i r[8] = {};
  for (int k = first; k < last; ++k) {
    const Sample* p = q0 + k * stride;
    r[4 + k] = n == 16 ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)) : loadLow(p, n);
  }
  Edge<V> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
  deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
  const __m256i out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
  const int changed = kLumaStyle ? 3 : 1;
  for (int k = -changed; k < changed; ++k) {
    Sample* p = q0 + k * stride;
    if (n == 16) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), out[4 + k]);
    } else {
      store(p, _mm256_castsi256_si128(out[4 + k]), n);
    }
  }
}

// Lines `stride` apart, samples adjacent: `n` (4, 8 or 16) lines; runs
// shorter than sixteen fill the lower half only (four lines twice).
template <bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void vertical(Sample* q0, std::ptrdiff_t stride, int n,
                                  const deblock_lanes::Limits<V>& l) {
  constexpr int kSamples = kLumaStyle ? 8 : 4;
  Sample* start = q0 - kSamples / 2;
  __m256i r[8];
  for (int i = 0; i < 8; ++i) {
    r[i] = n == 16 ? loadPair(start + i * stride, start + (i + 8) * stride, kSamples)
                   : loadLow(start + (i % n) * stride, kSamples);
  }
  const int halves = n == 16 ? 2 : 1, rows = n == 16 ? 8 : n;
  if constexpr (kLumaStyle) {
    transpose8(r);
    Edge<V> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
    deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
    __m256i out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
    transpose8(out);
    for (int h = 0; h < halves; ++h) {
      for (int i = 0; i < rows; ++i) store(start + (i + 8 * h) * stride, half(out[i], h), 8);
    }
  } else {
    __m256i c[4];
    transpose8x4(r, c);
    Edge<V> e{{}, {}, {c[0]}, {c[1]}, {c[2]}, {c[3]}, {}, {}};
    deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
    const __m256i columns[4] = {e.p1.v, e.p0.v, e.q0.v, e.q1.v};
    __m256i pairs[4];
    transpose4x8(columns, pairs);
    for (int h = 0; h < halves; ++h) {
      for (int i = 0; i < rows; ++i) {
        const __m128i pair = half(pairs[i / 2], h);
        store(start + (i + 8 * h) * stride, i % 2 ? _mm_unpackhi_epi64(pair, pair) : pair, 4);
      }
    }
  }
}

template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
void filterEdge(Sample* q0, std::ptrdiff_t stride, int lines, const EdgeThresholds& t) {
  const deblock_lanes::Limits<V> l = deblock_lanes::limitsOf(V{}, t);
  const std::ptrdiff_t along = kOrientation == kVerticalEdge ? stride : 1;
  for (int i = 0; i < lines;) {
    const int left = lines - i, n = left >= 16 ? 16 : left >= 8 ? 8 : 4;
    if constexpr (kOrientation == kVerticalEdge) {
      vertical<kStrong, kLumaStyle>(q0 + i * along, stride, n, l);
    } else {
      horizontal<kStrong, kLumaStyle>(q0 + i * along, stride, n, l);
    }
    i += n;
  }
}

template <EdgeOrientation kOrientation>
void fillOrientation(Kernels<Sample>& k) {
  k.lumaEdge[kOrientation][0] = filterEdge<kOrientation, false, true>;
  k.lumaEdge[kOrientation][1] = filterEdge<kOrientation, true, true>;
  k.chromaEdge[kOrientation][0] = filterEdge<kOrientation, false, false>;
  k.chromaEdge[kOrientation][1] = filterEdge<kOrientation, true, false>;
}

}  // namespace

void fillAvx2Deblock(Kernels<Sample>& k) {
  fillOrientation<kVerticalEdge>(k);
  fillOrientation<kHorizontalEdge>(k);
}

}  // namespace H264
