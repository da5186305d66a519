// Intra prediction kernels with SSE4.1.
#include <smmintrin.h>

#include "dsp/intra8x8_lanes.h"
#include "dsp/intra_macroblock_lanes.h"
#include "dsp/kernel_levels.h"

namespace H264::sse41 {
namespace {

// Four int32 lanes for dsp/intra8x8_lanes.h and dsp/intra_macroblock_lanes.h.
struct Lanes {
  using V = __m128i;
  static V load(const std::int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void store(std::int32_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static V splat(std::int32_t x) { return _mm_set1_epi32(x); }
  static V zero() { return _mm_setzero_si128(); }
  static V add(V a, V b) { return _mm_add_epi32(a, b); }
  // (a + 2b + c + 2) >> 2 and (a + b + 1) >> 1.
  static V tap121(V a, V b, V c) {
    const V sum = _mm_add_epi32(_mm_add_epi32(a, _mm_slli_epi32(b, 1)), c);
    return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(2)), 2);
  }
  static V tap11(V a, V b) {
    return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(a, b), _mm_set1_epi32(1)), 1);
  }
  // Lanes r to r + 3 of lo then hi.
  template <int r>
  static V ext(V lo, V hi) {
    return _mm_alignr_epi8(hi, lo, 4 * r);
  }
  template <int i>
  static V broadcast(V v) {
    return _mm_shuffle_epi32(v, i * 0x55);
  }
  static std::int32_t first(V v) { return _mm_cvtsi128_si32(v); }
  static V reverse(V v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)); }
  static V zipLow(V a, V b) { return _mm_unpacklo_epi32(a, b); }
  static V zipHigh(V a, V b) { return _mm_unpackhi_epi32(a, b); }
  // Lanes 1 and 3 (odd) or 0 and 2 of a, then the same of b.
  template <bool odd>
  static V alternate(V a, V b) {
    constexpr int kImm = odd ? _MM_SHUFFLE(3, 1, 3, 1) : _MM_SHUFFLE(2, 0, 2, 0);
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), kImm));
  }
  // Lanes 0 and 1 of a, 2 and 3 of b.
  static V lowThenHigh(V a, V b) { return _mm_blend_epi16(a, b, 0xF0); }
  static std::int32_t sum(V v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_cvtsi128_si32(_mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1))));
  }
  // start, start + step, start + 2 step, start + 3 step.
  static V ramp(std::int32_t start, std::int32_t step) {
    return _mm_setr_epi32(start, start + step, start + 2 * step, start + 3 * step);
  }
  // Arithmetic shift.
  template <int n>
  static V shiftRight(V v) {
    return _mm_srai_epi32(v, n);
  }
  static V clamp(V v, V lo, V hi) { return _mm_min_epi32(_mm_max_epi32(v, lo), hi); }
};

}  // namespace

void fillIntra(Kernels<unsigned short>& k) {
  k.intra8x8 = intra8x8_lanes::predict<Lanes>;
  k.intra16x16 = intra_macroblock_lanes::predict16x16<Lanes>;
  k.intraChroma8x8 = intra_macroblock_lanes::predictChroma<Lanes, 8>;
  k.intraChroma8x16 = intra_macroblock_lanes::predictChroma<Lanes, 16>;
}

}  // namespace H264::sse41
