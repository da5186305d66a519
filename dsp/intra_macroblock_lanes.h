// Intra_16x16 and chroma prediction (ITU-T H.264 clauses 8.3.3 and 8.3.4, chroma of
// ChromaArrayType 1 and 2) written once over four int32 lanes, for every instruction set: the
// file of each level defines a Lanes type in its own unnamed namespace (load, store, splat,
// zero, add, sum, ramp, shiftRight<n>, clamp; see dsp/x86/sse41_intra.cpp) and instantiates
// predict16x16<Lanes> and predictChroma<Lanes, H>.
//
// A row of a W-wide block is W / 4 vectors. The plane modes keep a row's vectors in registers
// and step them down by c, so each sample costs an add, a shift and a clamp.
#pragma once

#include <cstdint>

#include "base/compiler.h"
#include "dsp/intra_samples.h"
#include "dsp/kernels.h"

namespace H264::intra_macroblock_lanes {

// Every row of a W x H block is `row`.
template <typename L, int W, int H>
ISTREL_FORCE_INLINE void fillRows(const typename L::V (&row)[W / 4], std::int32_t* pred,
                                  int stride) {
  for (int y = 0; y < H; ++y, pred += stride) {
    for (int k = 0; k < W / 4; ++k) L::store(pred + 4 * k, row[k]);
  }
}

template <typename L, int W, int H>
ISTREL_FORCE_INLINE void vertical(const std::int32_t* top, std::int32_t* pred, int stride) {
  typename L::V row[W / 4];
  for (int k = 0; k < W / 4; ++k) row[k] = L::load(top + 4 * k);
  fillRows<L, W, H>(row, pred, stride);
}

template <typename L, int W, int H>
ISTREL_FORCE_INLINE void horizontal(const std::int32_t* left, std::int32_t* pred, int stride) {
  for (int y = 0; y < H; ++y, pred += stride) {
    const typename L::V across = L::splat(left[y]);
    for (int k = 0; k < W / 4; ++k) L::store(pred + 4 * k, across);
  }
}

template <typename L, int W, int H>
ISTREL_FORCE_INLINE void plane(const intra::References& r, int bitDepth, std::int32_t* pred,
                               int stride) {
  using V = typename L::V;
  const intra::Plane p = intra::planeOf<W, H>(r);
  V row[W / 4];  // start + b * x + c * y before the shift, y the row being written
  row[0] = L::ramp(p.start, p.b);
  const V across = L::splat(4 * p.b);
  for (int k = 1; k < W / 4; ++k) row[k] = L::add(row[k - 1], across);
  const V down = L::splat(p.c), zero = L::zero(), maxValue = L::splat((1 << bitDepth) - 1);
  for (int y = 0; y < H; ++y, pred += stride) {
    for (int k = 0; k < W / 4; ++k) {
      L::store(pred + 4 * k, L::clamp(L::template shiftRight<5>(row[k]), zero, maxValue));
      row[k] = L::add(row[k], down);
    }
  }
}

// Mode in Intra16x16PredMode numbering: 0 vertical, 1 horizontal, 2 DC, 3 plane.
template <typename L>
void predict16x16(int mode, const std::int32_t* top, const std::int32_t* left, std::int32_t topLeft,
                  unsigned sides, int bitDepth, std::int32_t* pred, int stride) {
  using V = typename L::V;
  const intra::References r = intra::referencesOf(top, left, topLeft, sides);
  switch (mode) {
    case 0:
      return vertical<L, 16, 16>(r.top, pred, stride);
    case 1:
      return horizontal<L, 16, 16>(r.left, pred, stride);
    case 2: {
      const auto sum16 = [](const std::int32_t* s) {
        return L::sum(
            L::add(L::add(L::load(s), L::load(s + 4)), L::add(L::load(s + 8), L::load(s + 12))));
      };
      const V dc =
          L::splat(intra::dcValue(r.hasTop, r.hasLeft, sum16(r.top), sum16(r.left), 4, bitDepth));
      const V row[4] = {dc, dc, dc, dc};
      return fillRows<L, 16, 16>(row, pred, stride);
    }
    default:
      return plane<L, 16, 16>(r, bitDepth, pred, stride);
  }
}

// Mode in intra_chroma_pred_mode numbering: 0 DC, 1 horizontal, 2 vertical, 3 plane.
template <typename L, int H>
void predictChroma(int mode, const std::int32_t* top, const std::int32_t* left,
                   std::int32_t topLeft, unsigned sides, int bitDepth, std::int32_t* pred,
                   int stride) {
  using V = typename L::V;
  const intra::References r = intra::referencesOf(top, left, topLeft, sides);
  switch (mode) {
    case 0: {  // each 4x4 block from its four samples above and four on the left
      const std::int32_t topSums[2] = {L::sum(L::load(r.top)), L::sum(L::load(r.top + 4))};
      for (int yO = 0; yO < H; yO += 4) {
        const std::int32_t leftSum = L::sum(L::load(r.left + yO));
        V row[2];
        for (int k = 0; k < 2; ++k) {
          row[k] = L::splat(
              intra::chromaDcValue(4 * k, yO, r.hasTop, r.hasLeft, topSums[k], leftSum, bitDepth));
        }
        fillRows<L, 8, 4>(row, pred + yO * stride, stride);
      }
      return;
    }
    case 1:
      return horizontal<L, 8, H>(r.left, pred, stride);
    case 2:
      return vertical<L, 8, H>(r.top, pred, stride);
    default:
      return plane<L, 8, H>(r, bitDepth, pred, stride);
  }
}

}  // namespace H264::intra_macroblock_lanes
