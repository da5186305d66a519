// The edge filters of the deblocking filter with NEON: the lane code of
// dsp/deblock_lanes.h on eight lines at a time (four in the lower half), one
// 16-bit lane per line, as the SSE4.1 kernels do. Across vertical edges the
// rows are transposed in and out with TRN1/TRN2.
#include <arm_neon.h>

#include <cstddef>

#include "dsp/deblock_lanes.h"
#include "dsp/kernel_levels.h"

namespace H264::neon {
namespace {

using Sample = unsigned short;
using deblock_lanes::Edge;
using deblock_lanes::Limits;

struct V {
  int16x8_t v;
};

ISTREL_FORCE_INLINE uint16x8_t u16(int16x8_t a) { return vreinterpretq_u16_s16(a); }
ISTREL_FORCE_INLINE int16x8_t s16(uint16x8_t a) { return vreinterpretq_s16_u16(a); }

ISTREL_FORCE_INLINE V operator+(V a, V b) { return {vaddq_s16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V operator-(V a, V b) { return {vsubq_s16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V operator&(V a, V b) { return {vandq_s16(a.v, b.v)}; }
// A shift by a negative count shifts right, arithmetically for signed lanes,
// logically for unsigned ones; the counts are constants, so these become
// immediate shifts.
ISTREL_FORCE_INLINE V sra(V a, int n) { return {vshlq_s16(a.v, vdupq_n_s16(-n))}; }
ISTREL_FORCE_INLINE V srl(V a, int n) { return {s16(vshlq_u16(u16(a.v), vdupq_n_s16(-n)))}; }
ISTREL_FORCE_INLINE V sll(V a, int n) { return {vshlq_s16(a.v, vdupq_n_s16(n))}; }
// Samples differ by at most 14 bits, so the absolute difference is exact.
ISTREL_FORCE_INLINE V absDiff(V a, V b) { return {vabdq_s16(a.v, b.v)}; }
ISTREL_FORCE_INLINE V less(V a, V b) { return {s16(vcltq_s16(a.v, b.v))}; }
ISTREL_FORCE_INLINE V select(V mask, V a, V b) { return {vbslq_s16(u16(mask.v), a.v, b.v)}; }
ISTREL_FORCE_INLINE V clamp(V a, V lo, V hi) { return {vminq_s16(vmaxq_s16(a.v, lo.v), hi.v)}; }
ISTREL_FORCE_INLINE V average(V a, V b) { return {s16(vrhaddq_u16(u16(a.v), u16(b.v)))}; }
ISTREL_FORCE_INLINE V splat(V, std::int32_t x) {
  return {vdupq_n_s16(static_cast<std::int16_t>(x))};
}

ISTREL_FORCE_INLINE int16x8_t load8(const Sample* p) { return s16(vld1q_u16(p)); }
ISTREL_FORCE_INLINE int16x4_t load4(const Sample* p) { return vreinterpret_s16_u16(vld1_u16(p)); }
ISTREL_FORCE_INLINE void store8(Sample* p, int16x8_t v) { vst1q_u16(p, u16(v)); }
ISTREL_FORCE_INLINE void store4(Sample* p, int16x4_t v) { vst1_u16(p, vreinterpret_u16_s16(v)); }

ISTREL_FORCE_INLINE int16x8_t trn1x32(int16x8_t a, int16x8_t b) {
  return vreinterpretq_s16_s32(vtrn1q_s32(vreinterpretq_s32_s16(a), vreinterpretq_s32_s16(b)));
}
ISTREL_FORCE_INLINE int16x8_t trn2x32(int16x8_t a, int16x8_t b) {
  return vreinterpretq_s16_s32(vtrn2q_s32(vreinterpretq_s32_s16(a), vreinterpretq_s32_s16(b)));
}
ISTREL_FORCE_INLINE int16x8_t trn1x64(int16x8_t a, int16x8_t b) {
  return vreinterpretq_s16_s64(vtrn1q_s64(vreinterpretq_s64_s16(a), vreinterpretq_s64_s16(b)));
}
ISTREL_FORCE_INLINE int16x8_t trn2x64(int16x8_t a, int16x8_t b) {
  return vreinterpretq_s16_s64(vtrn2q_s64(vreinterpretq_s64_s16(a), vreinterpretq_s64_s16(b)));
}

// Within each half of x[0..3]: four rows of four samples into four columns
// (and, applied again, back). x[j] then holds element j of each half's
// rows: of rows 0..3 in the lower half, of rows 4..7 in the upper.
ISTREL_FORCE_INLINE void transpose4Halves(int16x8_t* x) {
  const int16x8_t t0 = vtrn1q_s16(x[0], x[1]), t1 = vtrn2q_s16(x[0], x[1]);
  const int16x8_t t2 = vtrn1q_s16(x[2], x[3]), t3 = vtrn2q_s16(x[2], x[3]);
  x[0] = trn1x32(t0, t2);
  x[1] = trn1x32(t1, t3);
  x[2] = trn2x32(t0, t2);
  x[3] = trn2x32(t1, t3);
}

// Eight rows of eight samples into eight columns, and back.
ISTREL_FORCE_INLINE void transpose8(int16x8_t* r) {
  // r[j] and r[4 + j]: element j | j + 4 of rows 0..3 and of rows 4..7.
  transpose4Halves(r);
  transpose4Halves(r + 4);
  for (int j = 0; j < 4; ++j) {
    const int16x8_t low = r[j], high = r[4 + j];
    r[j] = trn1x64(low, high);
    r[4 + j] = trn2x64(low, high);
  }
}

// Lines adjacent, samples `stride` apart: `kLines` (4 or 8) lines.
template <int kLines, bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void horizontal(Sample* q0, std::ptrdiff_t stride, const Limits<V>& l) {
  const int first = kLumaStyle ? -4 : -2, last = kLumaStyle ? 4 : 2;
  int16x8_t r[8] = {};
  for (int k = first; k < last; ++k) {
    const Sample* row = q0 + k * stride;
    if constexpr (kLines == 8) {
      r[4 + k] = load8(row);
    } else {
      r[4 + k] = vcombine_s16(load4(row), load4(row));
    }
  }
  Edge<V> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
  deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
  const int16x8_t out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
  const int changed = kLumaStyle ? 3 : 1;
  for (int k = -changed; k < changed; ++k) {
    if constexpr (kLines == 8) {
      store8(q0 + k * stride, out[4 + k]);
    } else {
      store4(q0 + k * stride, vget_low_s16(out[4 + k]));
    }
  }
}

// Lines `stride` apart, samples adjacent: `kLines` (4 or 8) lines; four lines
// fill the other four lanes with copies and store only their own.
template <int kLines, bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void vertical(Sample* q0, std::ptrdiff_t stride, const Limits<V>& l) {
  if constexpr (kLumaStyle) {
    int16x8_t r[8];
    for (int i = 0; i < 8; ++i) r[i] = load8(q0 + (i % kLines) * stride - 4);
    transpose8(r);
    Edge<V> e{{r[0]}, {r[1]}, {r[2]}, {r[3]}, {r[4]}, {r[5]}, {r[6]}, {r[7]}};
    deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
    int16x8_t out[8] = {e.p3.v, e.p2.v, e.p1.v, e.p0.v, e.q0.v, e.q1.v, e.q2.v, e.q3.v};
    transpose8(out);
    for (int i = 0; i < kLines; ++i) store8(q0 + i * stride - 4, out[i]);
  } else {
    // Rows of p1 p0 q0 q1: row i in the lower half of c[i], row i + 4 in
    // the upper; transposed, c[j] holds sample j of every line.
    int16x8_t c[4];
    for (int i = 0; i < 4; ++i) {
      c[i] = vcombine_s16(load4(q0 + i * stride - 2), load4(q0 + ((i + 4) % kLines) * stride - 2));
    }
    transpose4Halves(c);
    Edge<V> e{{}, {}, {c[0]}, {c[1]}, {c[2]}, {c[3]}, {}, {}};
    deblock_lanes::filter<kStrong, kLumaStyle>(e, l);
    int16x8_t out[4] = {e.p1.v, e.p0.v, e.q0.v, e.q1.v};
    transpose4Halves(out);
    for (int i = 0; i < 4; ++i) {
      store4(q0 + i * stride - 2, vget_low_s16(out[i]));
      if constexpr (kLines == 8) store4(q0 + (i + 4) * stride - 2, vget_high_s16(out[i]));
    }
  }
}

// `kLines` (4 or 8) lines of an edge.
template <int kLines, EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
ISTREL_FORCE_INLINE void filterLines(Sample* q0, std::ptrdiff_t stride, const Limits<V>& l) {
  if constexpr (kOrientation == kVerticalEdge) {
    vertical<kLines, kStrong, kLumaStyle>(q0, stride, l);
  } else {
    horizontal<kLines, kStrong, kLumaStyle>(q0, stride, l);
  }
}

// The edge filters, as fillEdgeFilters takes them.
struct Edges {
  template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
  static void filter(Sample* q0, std::ptrdiff_t stride, int lines, const EdgeThresholds& t) {
    const Limits<V> l = deblock_lanes::limitsOf(V{}, t);
    const std::ptrdiff_t along = kOrientation == kVerticalEdge ? stride : 1;
    int i = 0;
    for (; lines - i >= 8; i += 8) {
      filterLines<8, kOrientation, kStrong, kLumaStyle>(q0 + i * along, stride, l);
    }
    if (i < lines) filterLines<4, kOrientation, kStrong, kLumaStyle>(q0 + i * along, stride, l);
  }
};

}  // namespace

void fillDeblock(Kernels<unsigned short>& k) { fillEdgeFilters<Edges>(k); }

}  // namespace H264::neon
