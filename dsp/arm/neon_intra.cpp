// Intra prediction kernels with NEON.
#include <arm_neon.h>

#include "dsp/intra8x8_lanes.h"
#include "dsp/intra_macroblock_lanes.h"
#include "dsp/kernel_levels.h"

namespace H264::neon {
namespace {

// Four int32 lanes for dsp/intra8x8_lanes.h and dsp/intra_macroblock_lanes.h.
struct Lanes {
  using V = int32x4_t;
  static V load(const std::int32_t* p) { return vld1q_s32(p); }
  static void store(std::int32_t* p, V v) { vst1q_s32(p, v); }
  static V splat(std::int32_t x) { return vdupq_n_s32(x); }
  static V zero() { return vdupq_n_s32(0); }
  static V add(V a, V b) { return vaddq_s32(a, b); }
  // (a + 2b + c + 2) >> 2 and (a + b + 1) >> 1.
  static V tap121(V a, V b, V c) {
    return vshrq_n_s32(vaddq_s32(vaddq_s32(a, vshlq_n_s32(b, 1)), vaddq_s32(c, vdupq_n_s32(2))), 2);
  }
  static V tap11(V a, V b) { return vshrq_n_s32(vaddq_s32(vaddq_s32(a, b), vdupq_n_s32(1)), 1); }
  // Lanes r to r + 3 of lo then hi.
  template <int r>
  static V ext(V lo, V hi) {
    return vextq_s32(lo, hi, r);
  }
  template <int i>
  static V broadcast(V v) {
    return vdupq_laneq_s32(v, i);
  }
  static std::int32_t first(V v) { return vgetq_lane_s32(v, 0); }
  static V reverse(V v) {
    const V pairs = vrev64q_s32(v);
    return vextq_s32(pairs, pairs, 2);
  }
  static V zipLow(V a, V b) { return vzip1q_s32(a, b); }
  static V zipHigh(V a, V b) { return vzip2q_s32(a, b); }
  // Lanes 1 and 3 (odd) or 0 and 2 of a, then the same of b.
  template <bool odd>
  static V alternate(V a, V b) {
    return odd ? vuzp2q_s32(a, b) : vuzp1q_s32(a, b);
  }
  // Lanes 0 and 1 of a, 2 and 3 of b.
  static V lowThenHigh(V a, V b) { return vcombine_s32(vget_low_s32(a), vget_high_s32(b)); }
  static std::int32_t sum(V v) { return vaddvq_s32(v); }
  // start, start + step, start + 2 step, start + 3 step.
  static V ramp(std::int32_t start, std::int32_t step) {
    const std::int32_t offsets[4] = {0, 1, 2, 3};
    return vmlaq_n_s32(vdupq_n_s32(start), vld1q_s32(offsets), step);
  }
  // Arithmetic shift.
  template <int n>
  static V shiftRight(V v) {
    return vshrq_n_s32(v, n);
  }
  static V clamp(V v, V lo, V hi) { return vminq_s32(vmaxq_s32(v, lo), hi); }
};

}  // namespace

void fillIntra(Kernels<unsigned short>& k) {
  k.intra8x8 = intra8x8_lanes::predict<Lanes>;
  k.intra16x16 = intra_macroblock_lanes::predict16x16<Lanes>;
  k.intraChroma8x8 = intra_macroblock_lanes::predictChroma<Lanes, 8>;
  k.intraChroma8x16 = intra_macroblock_lanes::predictChroma<Lanes, 16>;
}

}  // namespace H264::neon
