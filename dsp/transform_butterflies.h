// The butterflies of the inverse transforms (clauses 8.5.12.2 and 8.5.13.2),
// written once over a lane type V: a plain 32-bit value that wraps like a
// vector lane, or a vector of such lanes. V needs +, -, >> by a constant and
// splat(V, x).
#pragma once

#include <cstdint>

#include "base/compiler.h"

namespace H264::butterflies {

// One pass over four lines.
template <typename V>
ISTREL_FORCE_INLINE void inverse4(V* x) {
  const V e0 = x[0] + x[2], e1 = x[0] - x[2];
  const V e2 = (x[1] >> 1) - x[3], e3 = x[1] + (x[3] >> 1);
  x[0] = e0 + e3;
  x[1] = e1 + e2;
  x[2] = e1 - e2;
  x[3] = e0 - e3;
}

// One pass over eight lines.
template <typename V>
ISTREL_FORCE_INLINE void inverse8(V* x) {
  const V g0 = x[0] + x[4];
  const V g1 = x[5] - x[3] - x[7] - (x[7] >> 1);
  const V g2 = x[0] - x[4];
  const V g3 = x[1] + x[7] - x[3] - (x[3] >> 1);
  const V g4 = (x[2] >> 1) - x[6];
  const V g5 = x[7] - x[1] + x[5] + (x[5] >> 1);
  const V g6 = x[2] + (x[6] >> 1);
  const V g7 = x[3] + x[5] + x[1] + (x[1] >> 1);
  const V h0 = g0 + g6, h1 = g1 + (g7 >> 2), h2 = g2 + g4, h3 = g3 + (g5 >> 2);
  const V h4 = g2 - g4, h5 = (g3 >> 2) - g5, h6 = g0 - g6, h7 = g7 - (g1 >> 2);
  x[0] = h0 + h7;
  x[1] = h2 + h5;
  x[2] = h4 + h3;
  x[3] = h6 + h1;
  x[4] = h6 - h1;
  x[5] = h4 - h3;
  x[6] = h2 - h5;
  x[7] = h0 - h7;
}

// The whole 8x8 transform of a block held in registers of four lanes, row i
// in lo[i] (columns 0 to 3) and hi[i] (4 to 7): rows, then columns. The
// caller's transpose8(lo, hi) is found by argument-dependent lookup.
template <typename V>
ISTREL_FORCE_INLINE void inverse8x8(V* lo, V* hi) {
  transpose8(lo, hi);
  inverse8(lo);
  inverse8(hi);
  transpose8(lo, hi);
  inverse8(lo);
  inverse8(hi);
}

// Clause 8.5.12.2 / 8.5.13.2: the residual is (h + 32) >> 6.
template <typename V>
ISTREL_FORCE_INLINE V roundResidual(V h) {
  return (h + splat(h, 32)) >> 6;
}

// A plain lane: 32 bits that wrap, so the plain kernels agree with the
// vector ones on any input and never overflow.
struct Lane {
  std::uint32_t bits;
};

ISTREL_FORCE_INLINE Lane lane(std::int32_t x) { return {static_cast<std::uint32_t>(x)}; }
ISTREL_FORCE_INLINE std::int32_t value(Lane a) { return static_cast<std::int32_t>(a.bits); }
ISTREL_FORCE_INLINE Lane operator+(Lane a, Lane b) { return {a.bits + b.bits}; }
ISTREL_FORCE_INLINE Lane operator-(Lane a, Lane b) { return {a.bits - b.bits}; }
ISTREL_FORCE_INLINE Lane operator>>(Lane a, int shift) { return lane(value(a) >> shift); }
ISTREL_FORCE_INLINE Lane splat(Lane, std::int32_t x) { return lane(x); }

}  // namespace H264::butterflies
