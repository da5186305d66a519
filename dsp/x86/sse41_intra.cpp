// Intra prediction kernels with SSE4.1.
#include <smmintrin.h>

#include <cstddef>
#include <utility>

#include "base/compiler.h"
#include "dsp/kernel_levels.h"

namespace H264::sse41 {
namespace {

void planeRow(std::int32_t* dst, int width, std::int32_t start, std::int32_t step,
              std::int32_t maxValue) {
  const __m128i step4 = _mm_set1_epi32(4 * step);
  const __m128i zero = _mm_setzero_si128();
  const __m128i maxv = _mm_set1_epi32(maxValue);
  __m128i v = _mm_add_epi32(_mm_set1_epi32(start), _mm_setr_epi32(0, step, 2 * step, 3 * step));
  for (int x = 0; x < width; x += 4, v = _mm_add_epi32(v, step4)) {
    const __m128i clipped = _mm_min_epi32(_mm_max_epi32(_mm_srai_epi32(v, 5), zero), maxv);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), clipped);
  }
}

// ---- Intra_8x8 ------------------------------------------------------------------------------
//
// The whole block stays in registers. The filtered references f lie on one line in the order of
// clause 8.3.2.2's figure, bottom-left to top-right: position 1 is p'[-1, 7], 8 is p'[-1, 0],
// 9 is p'[-1, -1], 10 + x is p'[x, -1]; position 0 repeats position 1 and 26 repeats 25. Every
// directional sample is f, its [1 2 1] tap g or its [1 1] tap h at some position, and every row
// of a mode is eight consecutive entries of one sequence of vectors (a window at a fixed offset).

using V = __m128i;

ISTREL_FORCE_INLINE V load4(const std::int32_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const V*>(p));
}
ISTREL_FORCE_INLINE void store4(std::int32_t* p, V v) {
  _mm_storeu_si128(reinterpret_cast<V*>(p), v);
}
ISTREL_FORCE_INLINE void fillRow(std::int32_t* p, V v) { store4(p, v), store4(p + 4, v); }
ISTREL_FORCE_INLINE V reverse4(V v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)); }
ISTREL_FORCE_INLINE V taps121(V before, V at, V after) {
  return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(before, _mm_slli_epi32(at, 1)),
                                      _mm_add_epi32(after, _mm_set1_epi32(2))),
                        2);
}
ISTREL_FORCE_INLINE V taps11(V at, V after) {
  return _mm_srai_epi32(_mm_add_epi32(_mm_add_epi32(at, after), _mm_set1_epi32(1)), 1);
}

// Lanes 1 and 3 (kOdd) or 0 and 2 of a, then the same of b.
template <bool kOdd>
ISTREL_FORCE_INLINE V alternateLanes(V a, V b) {
  constexpr int kImm = kOdd ? _MM_SHUFFLE(3, 1, 3, 1) : _MM_SHUFFLE(2, 0, 2, 0);
  return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), kImm));
}

// The four samples of a sequence of vectors from sample kOffset on.
template <int kOffset, std::size_t N>
ISTREL_FORCE_INLINE V samplesAt(const V (&v)[N]) {
  constexpr int q = kOffset / 4, r = kOffset % 4;
  static_assert(kOffset >= 0 && q + (r ? 1 : 0) < static_cast<int>(N));
  if constexpr (r == 0) {
    return v[q];
  } else {
    return _mm_alignr_epi8(v[q + 1], v[q], 4 * r);
  }
}

// Row y of the block is the window of `v` at kFirst + kStep * y; rows are `stride` apart.
template <int kFirst, int kStep, std::size_t N, int... Y>
ISTREL_FORCE_INLINE void storeRows(const V (&v)[N], std::int32_t* pred, int stride,
                                   std::integer_sequence<int, Y...>) {
  ((store4(pred + Y * stride, samplesAt<kFirst + kStep * Y>(v)),
    store4(pred + Y * stride + 4, samplesAt<kFirst + kStep * Y + 4>(v))),
   ...);
}

template <int kFirst, int kStep, int kRows, std::size_t N>
ISTREL_FORCE_INLINE void rows(const V (&v)[N], std::int32_t* pred, int stride) {
  storeRows<kFirst, kStep>(v, pred, stride, std::make_integer_sequence<int, kRows>());
}

// f and its taps g and h, each 7 vectors from position 1.
struct Taps {
  V f[7], g[7], h[7];
};

// Clause 8.3.2.2.1 on the references; unavailable sides read as 0, as in the plain kernel.
ISTREL_FORCE_INLINE void filteredLine(const std::int32_t* top, const std::int32_t* left,
                                      std::int32_t topLeft, unsigned sides, Taps& t) {
  const bool hasTop = sides & kIntraTop, hasLeft = sides & kIntraLeft;
  const bool hasCorner = sides & kIntraTopLeft;
  const V zero = _mm_setzero_si128();
  V T[4] = {zero, zero, zero, zero};
  if (hasTop) {
    T[0] = load4(top), T[1] = load4(top + 4);
    const bool right = sides & kIntraTopRight;
    T[2] = right ? load4(top + 8) : _mm_shuffle_epi32(T[1], 0xFF);
    T[3] = right ? load4(top + 12) : T[2];
  }
  const V L0 = hasLeft ? load4(left) : zero, L1 = hasLeft ? load4(left + 4) : zero;
  const std::int32_t c = hasCorner ? topLeft : 0;
  const std::int32_t t0 = _mm_cvtsi128_si32(T[0]), l0 = _mm_cvtsi128_si32(L0);
  // Next to an unavailable corner each side repeats its own first sample.
  const V beforeTop = _mm_set1_epi32(hasCorner ? c : t0);
  const V beforeLeft = _mm_set1_epi32(hasCorner ? c : l0);
  const V t15 = _mm_shuffle_epi32(T[3], 0xFF), l7 = _mm_shuffle_epi32(L1, 0xFF);
  V FT[4];
  for (int k = 0; k < 4; ++k) {
    const V before = _mm_alignr_epi8(T[k], k ? T[k - 1] : beforeTop, 12);
    const V after = _mm_alignr_epi8(k < 3 ? T[k + 1] : t15, T[k], 4);
    FT[k] = taps121(before, T[k], after);
  }
  const V FL0 = taps121(_mm_alignr_epi8(L0, beforeLeft, 12), L0, _mm_alignr_epi8(L1, L0, 4));
  const V FL1 = taps121(_mm_alignr_epi8(L1, L0, 12), L1, _mm_alignr_epi8(l7, L1, 4));
  const std::int32_t fc = hasCorner ? (((hasTop ? t0 : c) + 2 * c + (hasLeft ? l0 : c) + 2) >> 2)
                                    : ((l0 + t0 + 2) >> 2);
  V* f = t.f;
  f[0] = reverse4(FL1);
  f[1] = reverse4(FL0);
  f[2] = _mm_alignr_epi8(FT[0], _mm_set1_epi32(fc), 12);
  f[3] = _mm_alignr_epi8(FT[1], FT[0], 12);
  f[4] = _mm_alignr_epi8(FT[2], FT[1], 12);
  f[5] = _mm_alignr_epi8(FT[3], FT[2], 12);
  f[6] = _mm_shuffle_epi32(FT[3], 0xFF);       // position 26 repeats 25
  const V first = _mm_shuffle_epi32(f[0], 0);  // position 0 repeats 1
  for (int k = 0; k < 7; ++k) {
    const V after = _mm_alignr_epi8(k < 6 ? f[k + 1] : f[6], f[k], 4);
    t.g[k] = taps121(_mm_alignr_epi8(f[k], k ? f[k - 1] : first, 12), f[k], after);
    t.h[k] = taps11(f[k], after);
  }
}

void intra8x8(int mode, const std::int32_t* top, const std::int32_t* left, std::int32_t topLeft,
              unsigned sides, int bitDepth, std::int32_t* pred, int stride) {
  Taps t;
  filteredLine(top, left, topLeft, sides, t);
  const V(&f)[7] = t.f;
  const V(&g)[7] = t.g;
  const V(&h)[7] = t.h;
  switch (mode) {
    case 0:  // Vertical: p'[x, -1]
      return rows<9, 0, 8>(f, pred, stride);
    case 1: {  // Horizontal: p'[-1, y], at position 8 - y
      const V low = reverse4(f[1]), high = reverse4(f[0]);  // p'[-1, 0..3], p'[-1, 4..7]
      const V across[8] = {_mm_shuffle_epi32(low, 0x00),  _mm_shuffle_epi32(low, 0x55),
                           _mm_shuffle_epi32(low, 0xAA),  _mm_shuffle_epi32(low, 0xFF),
                           _mm_shuffle_epi32(high, 0x00), _mm_shuffle_epi32(high, 0x55),
                           _mm_shuffle_epi32(high, 0xAA), _mm_shuffle_epi32(high, 0xFF)};
      for (int y = 0; y < 8; ++y) fillRow(pred + y * stride, across[y]);
      return;
    }
    case 2: {  // DC
      const bool useTop = sides & kIntraTop, useLeft = sides & kIntraLeft;
      V s = _mm_setzero_si128();
      if (useTop) s = _mm_add_epi32(samplesAt<9>(f), samplesAt<13>(f));
      if (useLeft) s = _mm_add_epi32(s, _mm_add_epi32(f[0], f[1]));
      s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
      s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
      const std::int32_t total = _mm_cvtsi128_si32(s);
      const std::int32_t value = useTop && useLeft   ? (total + 8) >> 4
                                 : useTop || useLeft ? (total + 4) >> 3
                                                     : 1 << (bitDepth - 1);
      for (int y = 0; y < 8; ++y) fillRow(pred + y * stride, _mm_set1_epi32(value));
      return;
    }
    case 3:  // Diagonal_Down_Left: g at 11 + x + y
      return rows<10, 1, 8>(g, pred, stride);
    case 4:  // Diagonal_Down_Right: g at 9 + x - y
      return rows<8, -1, 8>(g, pred, stride);
    case 5: {  // Vertical_Right: even rows g4 g6 g8 h9.., odd rows g3 g5 g7 g9 g10..
      // g at positions 2, 4, 6, 8 and 1, 3, 5, 7, each moved on by one.
      const V even[3] = {_mm_alignr_epi8(h[2], alternateLanes<true>(g[0], g[1]), 4),
                         samplesAt<9>(h), samplesAt<13>(h)};
      const V odd[3] = {_mm_alignr_epi8(g[2], alternateLanes<false>(g[0], g[1]), 4),
                        samplesAt<9>(g), samplesAt<13>(g)};
      rows<3, -1, 4>(even, pred, 2 * stride);
      return rows<3, -1, 4>(odd, pred + stride, 2 * stride);
    }
    case 6: {  // Horizontal_Down: h1 g2 h2 g3 .. h8 g9 g10 .. g15, rows from 14 - 2y
      const V g2 = samplesAt<1>(g), g6 = samplesAt<5>(g);
      const V r[6] = {_mm_unpacklo_epi32(h[0], g2),
                      _mm_unpackhi_epi32(h[0], g2),
                      _mm_unpacklo_epi32(h[1], g6),
                      _mm_unpackhi_epi32(h[1], g6),
                      samplesAt<9>(g),
                      samplesAt<13>(g)};
      return rows<14, -2, 8>(r, pred, stride);
    }
    case 7:  // Vertical_Left: even rows h at 10 + x + y/2, odd rows g at 11 + x + y/2
      rows<9, 1, 4>(h, pred, 2 * stride);
      return rows<10, 1, 4>(g, pred + stride, 2 * stride);
    default: {  // Horizontal_Up: h7 g7 h6 g6 .. h1 g1, then p'[-1, 7]
      const V hHigh = reverse4(h[1]), hLow = reverse4(h[0]);
      const V gHigh = reverse4(g[1]), gLow = reverse4(g[0]);
      const V h7 = _mm_alignr_epi8(hLow, hHigh, 4), h3 = _mm_srli_si128(hLow, 4);
      const V g7 = _mm_alignr_epi8(gLow, gHigh, 4), g3 = _mm_srli_si128(gLow, 4);
      const V last = _mm_shuffle_epi32(f[0], 0);
      const V m[6] = {_mm_unpacklo_epi32(h7, g7),
                      _mm_unpackhi_epi32(h7, g7),
                      _mm_unpacklo_epi32(h3, g3),
                      _mm_blend_epi16(_mm_unpackhi_epi32(h3, g3), last, 0xF0),
                      last,
                      last};
      return rows<0, 2, 8>(m, pred, stride);
    }
  }
}

}  // namespace

void fillIntra(Kernels<unsigned short>& k) {
  k.planeRow = planeRow;
  k.intra8x8 = intra8x8;
}

}  // namespace H264::sse41
