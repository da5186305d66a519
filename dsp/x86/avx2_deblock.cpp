// The edge filters of the deblocking filter with AVX2: sixteen lines at a
// time, one 16-bit lane per line. Across vertical luma-style edges lines i
// and i + 8 share a register, one in each half, so the transposes stay
// within halves. Runs of eight or four lines (chroma, MBAFF edges split by
// rows) and chroma-style vertical edges, whose rows of four samples cost
// more to gather than the wider registers save, take the 128-bit code of
// dsp/x86/deblock_lines128.h.
#include <immintrin.h>

#include "dsp/deblock_lanes.h"
#include "dsp/kernel_levels.h"
#include "dsp/x86/deblock_lines128.h"

namespace H264::avx2 {
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

// Eight samples of row `low` into the lower half and of row `high` into the upper.
ISTREL_FORCE_INLINE __m256i loadPair(const Sample* low, const Sample* high) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
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

// Sixteen lines adjacent, samples `stride` apart.
template <bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void horizontal(Sample* q0, std::ptrdiff_t stride,
                                    const deblock_lanes::Limits<V>& l) {
  const int first = kLumaStyle ? -4 : -2, last = kLumaStyle ? 4 : 2;
  __m256i r[8] = {};
  for (int k = first; k < last; ++k) {
    r[4 + k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q0 + k * stride));
  }
  Edge<V> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
  deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
  const __m256i out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
  const int changed = kLumaStyle ? 3 : 1;
  for (int k = -changed; k < changed; ++k) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q0 + k * stride), out[4 + k]);
  }
}

// Sixteen lines `stride` apart, eight samples of each adjacent.
template <bool kStrong>
ISTREL_FORCE_INLINE void vertical(Sample* q0, std::ptrdiff_t stride,
                                  const deblock_lanes::Limits<V>& l) {
  Sample* start = q0 - 4;
  __m256i r[8];
  for (int i = 0; i < 8; ++i) r[i] = loadPair(start + i * stride, start + (i + 8) * stride);
  transpose8(r);
  Edge<V> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
  deblock_lanes::filter<kStrong, true>(e, l);
  __m256i out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
  transpose8(out);
  for (int i = 0; i < 8; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(start + i * stride),
                     _mm256_castsi256_si128(out[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(start + (i + 8) * stride),
                     _mm256_extracti128_si256(out[i], 1));
  }
}

// The edge filters, as fillEdgeFilters takes them.
struct Edges {
  template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
  static void filter(Sample* q0, std::ptrdiff_t stride, int lines, const EdgeThresholds& t) {
    const std::ptrdiff_t along = kOrientation == kVerticalEdge ? stride : 1;
    constexpr bool kWide = kLumaStyle || kOrientation == kHorizontalEdge;
    int i = 0;
    if (kWide && lines >= 16) {
      const deblock_lanes::Limits<V> l = deblock_lanes::limitsOf(V{}, t);
      for (; lines - i >= 16; i += 16) {
        if constexpr (kOrientation == kVerticalEdge) {
          vertical<kStrong>(q0 + i * along, stride, l);
        } else {
          horizontal<kStrong, kLumaStyle>(q0 + i * along, stride, l);
        }
      }
    }
    if (i < lines) {
      lines128::filterEdgeFrom<kOrientation, kStrong, kLumaStyle>(i, q0, stride, lines, t);
    }
  }
};

}  // namespace

void fillDeblock(Kernels<unsigned short>& k) { fillEdgeFilters<Edges>(k); }

}  // namespace H264::avx2
