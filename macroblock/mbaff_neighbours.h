// Neighbouring locations in MBAFF frames, clause 6.4.12.2 (Table 6-4).
#pragma once

#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

enum class NeighbourPair { kNone, kCurrent, kA, kB, kC, kD };

// The macroblock holding a location: a pair (the current one or a
// neighbouring one), which of its two macroblocks (0 top, 1 bottom), and the
// row yM inside it (negative rows count from its bottom).
struct MbaffNeighbour {
  NeighbourPair pair;
  int bottom;
  int yM;
};

// Whether each neighbouring pair is field coded (unavailable pairs: any).
struct PairCoding {
  bool aField, bField, cField, dField;
};

// Location (xN, yN) relative to the current macroblock, of a block maxW x maxH
// (16 x 16 luma, MbWidthC x MbHeightC chroma).
MbaffNeighbour locateMbaffNeighbour(bool currentField, bool currentTop, const PairCoding& coding,
                                    int xN, int yN, int maxW, int maxH);

ISTREL_LEVEL_END
}  // namespace H264
