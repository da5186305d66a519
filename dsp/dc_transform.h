// The Hadamard transform of the luma and chroma DC coefficients and the
// scaling of its results (ITU-T H.264 clauses 8.5.10 and 8.5.11.2), in 64 bits: levels are not
// range-checked, and with LevelScale below 2^15 no intermediate can overflow. The results are the
// low 32 bits of the exact values.
#pragma once

#include <cstdint>

#include "base/compiler.h"

namespace H264::dc {

// One 4-point Hadamard transform of p[0], p[step], p[2 * step], p[3 * step], in place.
ISTREL_FORCE_INLINE void hadamard4(std::int64_t* p, int step) {
  const std::int64_t a = p[0], b = p[step], c = p[2 * step], d = p[3 * step];
  p[0] = a + b + c + d;
  p[step] = a + b - c - d;
  p[2 * step] = a - b - c + d;
  p[3 * step] = a - b + c - d;
}

ISTREL_FORCE_INLINE std::int64_t times2Pow(std::int64_t x, int shift) {
  return x * (std::int64_t{1} << shift);
}

// Clause 8.5.10 (and 8.5.11.2 for 4:2:2): shift left from qP 36 on, round below.
ISTREL_FORCE_INLINE std::int32_t scale(std::int64_t f, std::int32_t levelScale, int qP) {
  const std::int64_t x = f * levelScale;
  if (qP >= 36) return static_cast<std::int32_t>(times2Pow(x, qP / 6 - 6));
  const int shift = 6 - qP / 6;
  return static_cast<std::int32_t>((x + (std::int64_t{1} << (shift - 1))) >> shift);
}

// The compatible mode's 4:2:2 rounding: offset and shift in two steps below q = 4.
ISTREL_FORCE_INLINE std::int32_t scaleTwoStep(std::int64_t f, std::int32_t levelScale, int qPDc) {
  const std::int64_t x = f * levelScale;
  const int q = qPDc / 6;
  if (q >= 4) return static_cast<std::int32_t>((times2Pow(x, q - 4) + 2) >> 2);
  return static_cast<std::int32_t>((((x + (std::int64_t{1} << (3 - q))) >> (4 - q)) + 2) >> 2);
}

// The same scalings as steps a vector kernel applies to every lane alike:
// ((((x << up) + round) >> down) + finalRound) >> finalShift. Only the low
// 32 bits of each result count, so logical shifts serve as well as
// arithmetic ones.
struct Dc422Steps {
  int up = 0;
  std::int64_t round = 0;
  int down = 0;
  std::int64_t finalRound = 0;
  int finalShift = 0;
};

ISTREL_FORCE_INLINE Dc422Steps dc422Steps(int qPDc, bool conformant) {
  const int q = qPDc / 6, pivot = conformant ? 6 : 4;
  Dc422Steps s;
  if (q >= pivot) {
    s.up = q - pivot;
  } else {
    s.down = pivot - q;
    s.round = std::int64_t{1} << (s.down - 1);
  }
  if (!conformant) {
    s.finalRound = 2;
    s.finalShift = 2;
  }
  return s;
}

}  // namespace H264::dc
