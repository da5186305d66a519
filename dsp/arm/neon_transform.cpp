// The inverse transforms and the add-and-clip with NEON: one 32-bit lane per
// line, the plain kernels' butterflies.
#include <arm_neon.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "dsp/dc_transform.h"
#include "dsp/kernel_levels.h"
#include "dsp/transform_butterflies.h"

namespace H264::neon {
namespace {

using butterflies::inverse4;
using butterflies::roundResidual;

struct Vec {
  int32x4_t v;
};

ISTREL_FORCE_INLINE Vec operator+(Vec a, Vec b) { return {vaddq_s32(a.v, b.v)}; }
ISTREL_FORCE_INLINE Vec operator-(Vec a, Vec b) { return {vsubq_s32(a.v, b.v)}; }
// A shift by a negative count shifts right, arithmetically for signed lanes;
// the butterflies' counts are constants, so this becomes an immediate shift.
ISTREL_FORCE_INLINE Vec operator>>(Vec a, int shift) {
  return {vshlq_s32(a.v, vdupq_n_s32(-shift))};
}
ISTREL_FORCE_INLINE Vec splat(Vec, std::int32_t x) { return {vdupq_n_s32(x)}; }

ISTREL_FORCE_INLINE Vec load4(const std::int32_t* p) { return {vld1q_s32(p)}; }

ISTREL_FORCE_INLINE void transpose4(Vec* r) {
  const int32x4_t t0 = vtrn1q_s32(r[0].v, r[1].v);  // r00 r10 r02 r12
  const int32x4_t t1 = vtrn2q_s32(r[0].v, r[1].v);  // r01 r11 r03 r13
  const int32x4_t t2 = vtrn1q_s32(r[2].v, r[3].v);
  const int32x4_t t3 = vtrn2q_s32(r[2].v, r[3].v);
  const auto wide = [](int32x4_t v) { return vreinterpretq_s64_s32(v); };
  r[0].v = vreinterpretq_s32_s64(vtrn1q_s64(wide(t0), wide(t2)));
  r[1].v = vreinterpretq_s32_s64(vtrn1q_s64(wide(t1), wide(t3)));
  r[2].v = vreinterpretq_s32_s64(vtrn2q_s64(wide(t0), wide(t2)));
  r[3].v = vreinterpretq_s32_s64(vtrn2q_s64(wide(t1), wide(t3)));
}

// lo[i] holds columns 0..3 of row i, hi[i] columns 4..7.
ISTREL_FORCE_INLINE void transpose8(Vec* lo, Vec* hi) {
  transpose4(lo);
  transpose4(lo + 4);
  transpose4(hi);
  transpose4(hi + 4);
  for (int i = 0; i < 4; ++i) std::swap(hi[i], lo[i + 4]);
}

using Sample = unsigned short;

// Prediction plus residual, clipped as the plain store clips its 64-bit sum:
// the add saturates at 32 bits (never wraps), the narrowing saturates to
// [0, 65535], the minimum clips to the maximum.
ISTREL_FORCE_INLINE uint16x4_t clip16(Vec pred, Vec residual, uint16x4_t max16) {
  return vmin_u16(vqmovun_s32(vqaddq_s32(pred.v, residual.v)), max16);
}

ISTREL_FORCE_INLINE uint16x4_t maxVector(int maxValue) {
  return vdup_n_u16(static_cast<std::uint16_t>(std::clamp(maxValue, 0, 65535)));
}

void reconstruct4x4(std::int32_t* coeff, const std::int32_t* pred, int predStride, Sample* dst,
                    std::ptrdiff_t dstStride, int maxValue) {
  // The interleaving load hands over the columns: r[j] holds element j of
  // every row, so the first pass transforms the rows.
  const int32x4x4_t columns = vld4q_s32(coeff);
  Vec r[4] = {{columns.val[0]}, {columns.val[1]}, {columns.val[2]}, {columns.val[3]}};
  inverse4(r);
  transpose4(r);
  inverse4(r);
  const uint16x4_t max16 = maxVector(maxValue);
  for (int i = 0; i < 4; ++i) {
    vst1_u16(dst + i * dstStride, clip16(load4(pred + i * predStride), roundResidual(r[i]), max16));
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
  const uint16x4_t max16 = maxVector(maxValue);
  for (int i = 0; i < 8; ++i) {
    const std::int32_t* p = pred + i * predStride;
    const uint16x4_t left = clip16(load4(p), roundResidual(lo[i]), max16);
    const uint16x4_t right = clip16(load4(p + 4), roundResidual(hi[i]), max16);
    vst1q_u16(dst + i * dstStride, vcombine_u16(left, right));
  }
}

void addDc4x4(std::int32_t dc, const std::int32_t* pred, int predStride, Sample* dst,
              std::ptrdiff_t dstStride, int maxValue) {
  const Vec r = roundResidual(Vec{vdupq_n_s32(dc)});
  const uint16x4_t max16 = maxVector(maxValue);
  for (int i = 0; i < 4; ++i) {
    vst1_u16(dst + i * dstStride, clip16(load4(pred + i * predStride), r, max16));
  }
}

// The narrowing saturates to the sample type, as the plain store does.
void copyPrediction(const std::int32_t* pred, int predStride, Sample* dst, std::ptrdiff_t dstStride,
                    int width, int height) {
  for (int i = 0; i < height; ++i) {
    const std::int32_t* p = pred + i * predStride;
    Sample* d = dst + i * dstStride;
    int x = 0;
    for (; x + 8 <= width; x += 8) {
      vst1q_u16(d + x,
                vcombine_u16(vqmovun_s32(vld1q_s32(p + x)), vqmovun_s32(vld1q_s32(p + x + 4))));
    }
    if (x < width) vst1_u16(d + x, vqmovun_s32(vld1q_s32(p + x)));
  }
}

// Two 64-bit products x * levelScale through the steps; the low 32 bits of each.
ISTREL_FORCE_INLINE int32x2_t scaleDc2(int32x2_t x, std::int32_t levelScale,
                                       const dc::Dc422Steps& s) {
  int64x2_t t = vmull_s32(x, vdup_n_s32(levelScale));
  t = vaddq_s64(vshlq_s64(t, vdupq_n_s64(s.up)), vdupq_n_s64(s.round));
  t = vaddq_s64(vshlq_s64(t, vdupq_n_s64(-s.down)), vdupq_n_s64(s.finalRound));
  return vmovn_s64(vshlq_s64(t, vdupq_n_s64(-s.finalShift)));
}

// (x0 + x1, x0 - x1) of each pair of lanes.
ISTREL_FORCE_INLINE int32x4_t pairTransform(int32x4_t w) {
  const int32x4_t swapped = vrev64q_s32(w);
  return vtrn1q_s32(vaddq_s32(w, swapped), vsubq_s32(w, swapped));
}

// The rows of the 2-wide matrix in 32 bits, which the levels' bound allows.
void chromaDc422(const std::int32_t* levels, std::int32_t levelScale, int qPDc, bool conformant,
                 std::int32_t* dc) {
  const int32x4_t a = vld1q_s32(levels), b = vld1q_s32(levels + 4);  // rows 0, 1 and 2, 3
  const int32x4_t u = vaddq_s32(a, b), v = vsubq_s32(a, b);
  // The 4-point transform down the columns: rows 0 and 3, rows 1 and 2.
  const int32x4_t rows03 = vcombine_s32(vadd_s32(vget_low_s32(u), vget_high_s32(u)),
                                        vsub_s32(vget_low_s32(u), vget_high_s32(u)));
  const int32x4_t rows12 = vcombine_s32(vadd_s32(vget_low_s32(v), vget_high_s32(v)),
                                        vsub_s32(vget_low_s32(v), vget_high_s32(v)));
  const int32x4_t f03 = pairTransform(rows03), f12 = pairTransform(rows12);
  const dc::Dc422Steps steps = dc::dc422Steps(qPDc, conformant);
  vst1q_s32(dc, vcombine_s32(scaleDc2(vget_low_s32(f03), levelScale, steps),
                             scaleDc2(vget_low_s32(f12), levelScale, steps)));
  vst1q_s32(dc + 4, vcombine_s32(scaleDc2(vget_high_s32(f12), levelScale, steps),
                                 scaleDc2(vget_high_s32(f03), levelScale, steps)));
}

}  // namespace

void fillTransforms(Kernels<unsigned short>& k) {
  k.reconstruct4x4 = reconstruct4x4;
  k.reconstruct8x8 = reconstruct8x8;
  k.addDc4x4 = addDc4x4;
  k.copyPrediction = copyPrediction;
  k.chromaDc422 = chromaDc422;
}

}  // namespace H264::neon
