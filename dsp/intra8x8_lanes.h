// Intra_8x8 prediction (ITU-T H.264 clause 8.3.2.2, with the reference filter of 8.3.2.2.1)
// written once over four int32 lanes, for every instruction set: the file of each level defines
// a Lanes type in its own unnamed namespace (load, store, splat, zero, add, tap121, tap11,
// ext<r>, broadcast<i>, first, reverse, zipLow, zipHigh, alternate<odd>, lowThenHigh, sum; see
// dsp/x86/sse41_intra.cpp) and instantiates predict<Lanes>.
//
// The whole block stays in registers. The filtered references f lie on one line, bottom-left to
// top-right: position 1 is p'[-1, 7], 8 is p'[-1, 0], 9 is p'[-1, -1], 10 + x is p'[x, -1];
// position 0 repeats position 1 and 26 repeats 25. Every directional sample is f, its [1 2 1]
// tap g or its [1 1] tap h at some position, and every row of a mode is eight consecutive
// entries of one sequence of vectors: a window at a fixed offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/compiler.h"
#include "dsp/intra_samples.h"
#include "dsp/kernels.h"

namespace H264::intra8x8_lanes {

// The four samples of a sequence of vectors from sample kOffset on.
template <typename L, int kOffset, std::size_t N>
ISTREL_FORCE_INLINE typename L::V samplesAt(const typename L::V (&v)[N]) {
  constexpr int q = kOffset / 4, r = kOffset % 4;
  static_assert(kOffset >= 0 && q + (r ? 1 : 0) < static_cast<int>(N));
  if constexpr (r == 0) {
    return v[q];
  } else {
    return L::template ext<r>(v[q], v[q + 1]);
  }
}

template <typename L, int kFirst, int kStep, std::size_t N, int... Y>
ISTREL_FORCE_INLINE void storeRows(const typename L::V (&v)[N], std::int32_t* pred, int stride,
                                   std::integer_sequence<int, Y...>) {
  ((L::store(pred + Y * stride, samplesAt<L, kFirst + kStep * Y>(v)),
    L::store(pred + Y * stride + 4, samplesAt<L, kFirst + kStep * Y + 4>(v))),
   ...);
}

// Row y of the block is the window of `v` at kFirst + kStep * y; rows are `stride` apart.
template <typename L, int kFirst, int kStep, int kRows, std::size_t N>
ISTREL_FORCE_INLINE void rows(const typename L::V (&v)[N], std::int32_t* pred, int stride) {
  storeRows<L, kFirst, kStep>(v, pred, stride, std::make_integer_sequence<int, kRows>());
}

template <typename L>
ISTREL_FORCE_INLINE void fill(std::int32_t* pred, int stride, const typename L::V (&across)[8]) {
  for (int y = 0; y < 8; ++y)
    L::store(pred + y * stride, across[y]), L::store(pred + y * stride + 4, across[y]);
}

// f and its taps g and h, each 7 vectors from position 1.
template <typename L>
struct Taps {
  typename L::V f[7], g[7], h[7];
};

// Clause 8.3.2.2.1 on the references; unavailable sides read as 0, as in the plain kernel.
template <typename L>
ISTREL_FORCE_INLINE Taps<L> filteredLine(const std::int32_t* top, const std::int32_t* left,
                                         std::int32_t topLeft, unsigned sides) {
  using V = typename L::V;
  const bool hasTop = sides & kIntraTop, hasLeft = sides & kIntraLeft;
  const bool hasCorner = sides & kIntraTopLeft;
  V T[4] = {L::zero(), L::zero(), L::zero(), L::zero()};
  if (hasTop) {
    T[0] = L::load(top), T[1] = L::load(top + 4);
    const bool right = sides & kIntraTopRight;
    T[2] = right ? L::load(top + 8) : L::template broadcast<3>(T[1]);
    T[3] = right ? L::load(top + 12) : T[2];
  }
  const V L0 = hasLeft ? L::load(left) : L::zero(), L1 = hasLeft ? L::load(left + 4) : L::zero();
  const std::int32_t c = hasCorner ? topLeft : 0;
  const std::int32_t t0 = L::first(T[0]), l0 = L::first(L0);
  // Next to an unavailable corner each side repeats its own first sample.
  const V beforeTop = L::splat(hasCorner ? c : t0), beforeLeft = L::splat(hasCorner ? c : l0);
  const V t15 = L::template broadcast<3>(T[3]), l7 = L::template broadcast<3>(L1);
  V FT[4];
  for (int k = 0; k < 4; ++k) {
    const V before = L::template ext<3>(k ? T[k - 1] : beforeTop, T[k]);
    FT[k] = L::tap121(before, T[k], L::template ext<1>(T[k], k < 3 ? T[k + 1] : t15));
  }
  const V FL0 = L::tap121(L::template ext<3>(beforeLeft, L0), L0, L::template ext<1>(L0, L1));
  const V FL1 = L::tap121(L::template ext<3>(L0, L1), L1, L::template ext<1>(L1, l7));
  const std::int32_t fc = hasCorner ? (((hasTop ? t0 : c) + 2 * c + (hasLeft ? l0 : c) + 2) >> 2)
                                    : ((l0 + t0 + 2) >> 2);
  Taps<L> t;
  V* f = t.f;
  f[0] = L::reverse(FL1);
  f[1] = L::reverse(FL0);
  f[2] = L::template ext<3>(L::splat(fc), FT[0]);
  f[3] = L::template ext<3>(FT[0], FT[1]);
  f[4] = L::template ext<3>(FT[1], FT[2]);
  f[5] = L::template ext<3>(FT[2], FT[3]);
  f[6] = L::template broadcast<3>(FT[3]);          // position 26 repeats 25
  const V first = L::template broadcast<0>(f[0]);  // position 0 repeats 1
  for (int k = 0; k < 7; ++k) {
    const V after = L::template ext<1>(f[k], k < 6 ? f[k + 1] : f[6]);
    t.g[k] = L::tap121(L::template ext<3>(k ? f[k - 1] : first, f[k]), f[k], after);
    t.h[k] = L::tap11(f[k], after);
  }
  return t;
}

template <typename L>
ISTREL_FORCE_INLINE void predict(int mode, const std::int32_t* top, const std::int32_t* left,
                                 std::int32_t topLeft, unsigned sides, int bitDepth,
                                 std::int32_t* pred, int stride) {
  using V = typename L::V;
  const Taps<L> t = filteredLine<L>(top, left, topLeft, sides);
  const V(&f)[7] = t.f;
  const V(&g)[7] = t.g;
  const V(&h)[7] = t.h;
  switch (mode) {
    case 0:  // Vertical: p'[x, -1]
      return rows<L, 9, 0, 8>(f, pred, stride);
    case 1: {  // Horizontal: p'[-1, y], at position 8 - y
      const V low = L::reverse(f[1]), high = L::reverse(f[0]);  // p'[-1, 0..3], p'[-1, 4..7]
      const V across[8] = {L::template broadcast<0>(low),  L::template broadcast<1>(low),
                           L::template broadcast<2>(low),  L::template broadcast<3>(low),
                           L::template broadcast<0>(high), L::template broadcast<1>(high),
                           L::template broadcast<2>(high), L::template broadcast<3>(high)};
      return fill<L>(pred, stride, across);
    }
    case 2: {  // DC
      const bool useTop = sides & kIntraTop, useLeft = sides & kIntraLeft;
      const std::int32_t topSum = L::sum(L::add(samplesAt<L, 9>(f), samplesAt<L, 13>(f)));
      const std::int32_t leftSum = L::sum(L::add(f[0], f[1]));
      const V dc = L::splat(intra::dcValue(useTop, useLeft, topSum, leftSum, 3, bitDepth));
      const V across[8] = {dc, dc, dc, dc, dc, dc, dc, dc};
      return fill<L>(pred, stride, across);
    }
    case 3:  // Diagonal_Down_Left: g at 11 + x + y
      return rows<L, 10, 1, 8>(g, pred, stride);
    case 4:  // Diagonal_Down_Right: g at 9 + x - y
      return rows<L, 8, -1, 8>(g, pred, stride);
    case 5: {  // Vertical_Right: even rows g4 g6 g8 h9.., odd rows g3 g5 g7 g9 g10..
      // g at positions 2, 4, 6, 8 and 1, 3, 5, 7, each moved on by one.
      const V even[3] = {L::template ext<1>(L::template alternate<true>(g[0], g[1]), h[2]),
                         samplesAt<L, 9>(h), samplesAt<L, 13>(h)};
      const V odd[3] = {L::template ext<1>(L::template alternate<false>(g[0], g[1]), g[2]),
                        samplesAt<L, 9>(g), samplesAt<L, 13>(g)};
      rows<L, 3, -1, 4>(even, pred, 2 * stride);
      return rows<L, 3, -1, 4>(odd, pred + stride, 2 * stride);
    }
    case 6: {  // Horizontal_Down: h1 g2 h2 g3 .. h8 g9 g10 .. g15, rows from 14 - 2y
      const V g2 = samplesAt<L, 1>(g), g6 = samplesAt<L, 5>(g);
      const V r[6] = {L::zipLow(h[0], g2),  L::zipHigh(h[0], g2), L::zipLow(h[1], g6),
                      L::zipHigh(h[1], g6), samplesAt<L, 9>(g),   samplesAt<L, 13>(g)};
      return rows<L, 14, -2, 8>(r, pred, stride);
    }
    case 7:  // Vertical_Left: even rows h at 10 + x + y/2, odd rows g at 11 + x + y/2
      rows<L, 9, 1, 4>(h, pred, 2 * stride);
      return rows<L, 10, 1, 4>(g, pred + stride, 2 * stride);
    default: {  // Horizontal_Up: h7 g7 h6 g6 .. h1 g1, then p'[-1, 7]
      const V hHigh = L::reverse(h[1]), hLow = L::reverse(h[0]);
      const V gHigh = L::reverse(g[1]), gLow = L::reverse(g[0]);
      const V h7 = L::template ext<1>(hHigh, hLow), h3 = L::template ext<1>(hLow, L::zero());
      const V g7 = L::template ext<1>(gHigh, gLow), g3 = L::template ext<1>(gLow, L::zero());
      const V last = L::template broadcast<0>(f[0]);
      const V m[6] = {L::zipLow(h7, g7),
                      L::zipHigh(h7, g7),
                      L::zipLow(h3, g3),
                      L::lowThenHigh(L::zipHigh(h3, g3), last),
                      last,
                      last};
      return rows<L, 0, 2, 8>(m, pred, stride);
    }
  }
}

}  // namespace H264::intra8x8_lanes
