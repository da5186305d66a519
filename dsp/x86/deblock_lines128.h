// The deblocking filter's edges with 128-bit registers: eight lines at a
// time (four in the lower half), one 16-bit lane per line; across vertical
// edges the rows are transposed in and out. The SSE4.1 kernels are these;
// the AVX2 ones use them for runs shorter than sixteen lines.
#pragma once

#include <smmintrin.h>

#include <cstddef>

#include "dsp/deblock_lanes.h"
#include "dsp/kernels.h"

namespace H264 {
namespace {
namespace lines128 {

using Sample = unsigned short;
using deblock_lanes::Edge;

struct V128 {
  __m128i v;
};

ISTREL_FORCE_INLINE V128 operator+(V128 a, V128 b) { return {_mm_add_epi16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V128 operator-(V128 a, V128 b) { return {_mm_sub_epi16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V128 operator&(V128 a, V128 b) { return {_mm_and_si128(a.v, b.v)}; }
ISTREL_FORCE_INLINE V128 sra(V128 a, int n) { return {_mm_srai_epi16(a.v, n)}; }
ISTREL_FORCE_INLINE V128 srl(V128 a, int n) { return {_mm_srli_epi16(a.v, n)}; }
ISTREL_FORCE_INLINE V128 sll(V128 a, int n) { return {_mm_slli_epi16(a.v, n)}; }
ISTREL_FORCE_INLINE V128 absDiff(V128 a, V128 b) {
  return {_mm_abs_epi16(_mm_sub_epi16(a.v, b.v))};
}
ISTREL_FORCE_INLINE V128 less(V128 a, V128 b) { return {_mm_cmplt_epi16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V128 select(V128 mask, V128 a, V128 b) {
  return {_mm_blendv_epi8(b.v, a.v, mask.v)};
}
ISTREL_FORCE_INLINE V128 clamp(V128 a, V128 lo, V128 hi) {
  return {_mm_min_epi16(_mm_max_epi16(a.v, lo.v), hi.v)};
}
ISTREL_FORCE_INLINE V128 average(V128 a, V128 b) { return {_mm_avg_epu16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V128 splat(V128, std::int32_t x) {
  return {_mm_set1_epi16(static_cast<short>(x))};
}

ISTREL_FORCE_INLINE __m128i load8(const Sample* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
ISTREL_FORCE_INLINE __m128i load4(const Sample* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
ISTREL_FORCE_INLINE void store8(Sample* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
ISTREL_FORCE_INLINE void store4(Sample* p, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

// Eight rows of eight 16-bit samples into eight columns, and back.
ISTREL_FORCE_INLINE void transpose8(__m128i* r) {
  __m128i t[8], u[8];
  for (int i = 0; i < 4; ++i) {
    t[2 * i] = _mm_unpacklo_epi16(r[2 * i], r[2 * i + 1]);
    t[2 * i + 1] = _mm_unpackhi_epi16(r[2 * i], r[2 * i + 1]);
  }
  for (int i = 0; i < 2; ++i) {
    u[4 * i] = _mm_unpacklo_epi32(t[4 * i], t[4 * i + 2]);
    u[4 * i + 1] = _mm_unpackhi_epi32(t[4 * i], t[4 * i + 2]);
    u[4 * i + 2] = _mm_unpacklo_epi32(t[4 * i + 1], t[4 * i + 3]);
    u[4 * i + 3] = _mm_unpackhi_epi32(t[4 * i + 1], t[4 * i + 3]);
  }
  for (int i = 0; i < 4; ++i) {
    r[2 * i] = _mm_unpacklo_epi64(u[i], u[i + 4]);
    r[2 * i + 1] = _mm_unpackhi_epi64(u[i], u[i + 4]);
  }
}

// Eight rows of four samples (p1 p0 q0 q1) into four columns.
ISTREL_FORCE_INLINE void transpose8x4(const __m128i* r, __m128i* c) {
  const __m128i t0 = _mm_unpacklo_epi16(r[0], r[1]), t1 = _mm_unpacklo_epi16(r[2], r[3]);
  const __m128i t2 = _mm_unpacklo_epi16(r[4], r[5]), t3 = _mm_unpacklo_epi16(r[6], r[7]);
  const __m128i u0 = _mm_unpacklo_epi32(t0, t1), u1 = _mm_unpackhi_epi32(t0, t1);
  const __m128i u2 = _mm_unpacklo_epi32(t2, t3), u3 = _mm_unpackhi_epi32(t2, t3);
  c[0] = _mm_unpacklo_epi64(u0, u2);
  c[1] = _mm_unpackhi_epi64(u0, u2);
  c[2] = _mm_unpacklo_epi64(u1, u3);
  c[3] = _mm_unpackhi_epi64(u1, u3);
}

// Four columns back into eight rows of four samples, two rows a register.
ISTREL_FORCE_INLINE void transpose4x8(const __m128i* c, __m128i* rowPairs) {
  const __m128i a0 = _mm_unpacklo_epi16(c[0], c[1]), a1 = _mm_unpackhi_epi16(c[0], c[1]);
  const __m128i b0 = _mm_unpacklo_epi16(c[2], c[3]), b1 = _mm_unpackhi_epi16(c[2], c[3]);
  rowPairs[0] = _mm_unpacklo_epi32(a0, b0);
  rowPairs[1] = _mm_unpackhi_epi32(a0, b0);
  rowPairs[2] = _mm_unpacklo_epi32(a1, b1);
  rowPairs[3] = _mm_unpackhi_epi32(a1, b1);
}

// Lines adjacent, samples `stride` apart: `n` (4 or 8) lines.
template <bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void horizontal(Sample* q0, std::ptrdiff_t stride, int n,
                                    const deblock_lanes::Limits<V128>& l) {
  const int first = kLumaStyle ? -4 : -2, last = kLumaStyle ? 4 : 2;
  __m128i r[8] = {};
  for (int k = first; k < last; ++k)
    r[4 + k] = n == 8 ? load8(q0 + k * stride) : load4(q0 + k * stride);
  Edge<V128> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
  deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
  const __m128i out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
  const int changed = kLumaStyle ? 3 : 1;
  for (int k = -changed; k < changed; ++k) {
    if (n == 8) {
      store8(q0 + k * stride, out[4 + k]);
    } else {
      store4(q0 + k * stride, out[4 + k]);
    }
  }
}

// Lines `stride` apart, samples adjacent: `n` (4 or 8) lines; four lines
// fill the other four lanes with copies and store only their own.
template <bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void vertical(Sample* q0, std::ptrdiff_t stride, int n,
                                  const deblock_lanes::Limits<V128>& l) {
  if constexpr (kLumaStyle) {
    __m128i r[8];
    for (int i = 0; i < 8; ++i) r[i] = load8(q0 + (i % n) * stride - 4);
    transpose8(r);
    Edge<V128> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
    deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
    __m128i out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
    transpose8(out);
    for (int i = 0; i < n; ++i) store8(q0 + i * stride - 4, out[i]);
  } else {
    __m128i r[8], c[4];
    for (int i = 0; i < 8; ++i) r[i] = load4(q0 + (i % n) * stride - 2);
    transpose8x4(r, c);
    Edge<V128> e{{}, {}, {c[0]}, {c[1]}, {c[2]}, {c[3]}, {}, {}};
    deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
    const __m128i columns[4] = {e.p1.v, e.p0.v, e.q0.v, e.q1.v};
    __m128i pairs[4];
    transpose4x8(columns, pairs);
    for (int i = 0; i < n; ++i) {
      const __m128i pair = pairs[i / 2];
      store4(q0 + i * stride - 2, i % 2 ? _mm_unpackhi_epi64(pair, pair) : pair);
    }
  }
}

// `n` (4 or 8) lines of an edge.
template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void filterLines(Sample* q0, std::ptrdiff_t stride, int n,
                                     const deblock_lanes::Limits<V128>& l) {
  if constexpr (kOrientation == kVerticalEdge) {
    vertical<kStrong, kLumaStyle>(q0, stride, n, l);
  } else {
    horizontal<kStrong, kLumaStyle>(q0, stride, n, l);
  }
}

// Lines `from` to `lines` of an edge, eight at a time and the last four alone.
template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void filterEdgeFrom(int from, Sample* q0, std::ptrdiff_t stride, int lines,
                                        const EdgeThresholds& t) {
  const deblock_lanes::Limits<V128> l = deblock_lanes::limitsOf(V128{}, t);
  const std::ptrdiff_t along = kOrientation == kVerticalEdge ? stride : 1;
  for (int i = from; i < lines; i += 8) {
    filterLines<kOrientation, kStrong, kLumaStyle>(q0 + i * along, stride, lines - i >= 8 ? 8 : 4,
                                                   l);
  }
}

}  // namespace lines128
}  // namespace
}  // namespace H264
