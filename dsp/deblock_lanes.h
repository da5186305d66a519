// The edge filters of clauses 8.7.2.3 and 8.7.2.4 written once over a
// vector V of 16-bit lanes, one line of samples across the edge per lane,
// for every instruction set (the SSE4.1 and AVX2 kernels in dsp/x86/, the
// NEON ones in dsp/arm/). Each file that includes this defines V in its own
// unnamed namespace with +, -, &, sra, srl, sll (by a constant count),
// absDiff, less (a mask), select, clamp, average (rounding up, of unsigned
// lanes) and splat(V, value); all of them wrap at 16 bits.
//
// Samples have at most 14 bits (M = 16383), so every intermediate value
// fits 16 bits once the sums are reordered: the strong filter's sums reach
// 4M + 2 as unsigned values, the other differences stay within +-2M as
// signed ones.
//   (p2 + 2p1 + 2p0 + 2q0 + q1 + 4) >> 3 == (s + ((p2 + q1) >> 1) + 2) >> 2
//   (2p3 + 3p2 + s + 4) >> 3 == (p3 + p2 + ((p2 + s) >> 1) + 2) >> 2
//   ((q0 - p0) * 4 + (p1 - q1) + 4) >> 3 == ((q0 - p0) + ((p1 - q1) >> 2) + 1) >> 1
// with s = p1 + p0 + q0 (each an exact identity of floor divisions).
#pragma once

#include <cstdint>

#include "base/compiler.h"
#include "dsp/kernels.h"

namespace H264::deblock_lanes {

// The samples of up to four positions on each side of the edge.
template <typename V>
struct Edge {
  V p3, p2, p1, p0, q0, q1, q2, q3;
};

template <typename V>
struct Limits {
  V alpha, beta, tc0, maxValue, strongLimit, zero, one, two;
};

template <typename V>
ISTREL_FORCE_INLINE Limits<V> limitsOf(V tag, const EdgeThresholds& t) {
  return {splat(tag, t.alpha),
          splat(tag, t.beta),
          splat(tag, t.tc0),
          splat(tag, t.maxValue),
          splat(tag, (t.alpha >> 2) + 2),
          splat(tag, 0),
          splat(tag, 1),
          splat(tag, 2)};
}

// filterSamplesFlag: all ones in the lanes whose line is filtered.
template <typename V>
ISTREL_FORCE_INLINE V filterMask(const Edge<V>& e, const Limits<V>& l) {
  return less(absDiff(e.p0, e.q0), l.alpha) & less(absDiff(e.p1, e.p0), l.beta) &
         less(absDiff(e.q1, e.q0), l.beta);
}

// Clause 8.7.2.3 (bS below 4).
template <bool kLumaStyle, typename V>
ISTREL_FORCE_INLINE void filterNormal(Edge<V>& e, const Limits<V>& l) {
  const V mask = filterMask(e, l);
  V tc = l.tc0 + l.one;
  V ap = l.zero, aq = l.zero;  // ap < beta, aq < beta: all ones
  if constexpr (kLumaStyle) {
    ap = less(absDiff(e.p2, e.p0), l.beta);
    aq = less(absDiff(e.q2, e.q0), l.beta);
    tc = l.tc0 - ap - aq;
  }
  const V delta = clamp(sra(e.q0 - e.p0 + sra(e.p1 - e.q1, 2) + l.one, 1), l.zero - tc, tc) & mask;
  if constexpr (kLumaStyle) {
    const V mean = average(e.p0, e.q0);
    const V lowTc0 = l.zero - l.tc0;
    e.p1 = e.p1 + (clamp(sra(e.p2 + mean - sll(e.p1, 1), 1), lowTc0, l.tc0) & ap & mask);
    e.q1 = e.q1 + (clamp(sra(e.q2 + mean - sll(e.q1, 1), 1), lowTc0, l.tc0) & aq & mask);
  }
  e.p0 = clamp(e.p0 + delta, l.zero, l.maxValue);
  e.q0 = clamp(e.q0 - delta, l.zero, l.maxValue);
}

// Clause 8.7.2.4 (bS equal to 4).
template <bool kLumaStyle, typename V>
ISTREL_FORCE_INLINE void filterStrong(Edge<V>& e, const Limits<V>& l) {
  const V mask = filterMask(e, l);
  const V p0 = select(mask, srl(sll(e.p1, 1) + e.p0 + e.q1 + l.two, 2), e.p0);
  const V q0 = select(mask, srl(sll(e.q1, 1) + e.q0 + e.p1 + l.two, 2), e.q0);
  if constexpr (kLumaStyle) {
    const V near = less(absDiff(e.p0, e.q0), l.strongLimit) & mask;
    const V strongP = less(absDiff(e.p2, e.p0), l.beta) & near;
    const V strongQ = less(absDiff(e.q2, e.q0), l.beta) & near;
    const V sp = e.p1 + e.p0 + e.q0, sq = e.q1 + e.q0 + e.p0;
    const V p2s = e.p2 + sp, q2s = e.q2 + sq;
    const V newP0 = srl(sp + srl(e.p2 + e.q1, 1) + l.two, 2);
    const V newQ0 = srl(sq + srl(e.q2 + e.p1, 1) + l.two, 2);
    const V newP2 = srl(e.p3 + e.p2 + srl(p2s, 1) + l.two, 2);
    const V newQ2 = srl(e.q3 + e.q2 + srl(q2s, 1) + l.two, 2);
    e.p1 = select(strongP, srl(p2s + l.two, 2), e.p1);
    e.q1 = select(strongQ, srl(q2s + l.two, 2), e.q1);
    e.p2 = select(strongP, newP2, e.p2);
    e.q2 = select(strongQ, newQ2, e.q2);
    e.p0 = select(strongP, newP0, p0);
    e.q0 = select(strongQ, newQ0, q0);
  } else {
    e.p0 = p0;
    e.q0 = q0;
  }
}

template <bool kStrong, bool kLumaStyle, typename V>
ISTREL_FORCE_INLINE void filter(Edge<V>& e, const Limits<V>& l) {
  if constexpr (kStrong) {
    filterStrong<kLumaStyle>(e, l);
  } else {
    filterNormal<kLumaStyle>(e, l);
  }
}

}  // namespace H264::deblock_lanes
