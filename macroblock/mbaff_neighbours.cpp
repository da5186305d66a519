#include "macroblock/mbaff_neighbours.h"

#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

// A row above the current macroblock, in pair X (D, B or C).
MbaffNeighbour above(NeighbourPair x, bool xField, bool currentField, bool currentTop, int yN) {
  if (currentField && currentTop)
    return xField ? MbaffNeighbour{x, 0, yN} : MbaffNeighbour{x, 1, 2 * yN};
  return {x, 1, yN};
}

// The left pair A at rows 0 <= yN < maxH.
MbaffNeighbour left(bool aField, bool currentField, bool currentTop, int yN, int maxH) {
  NeighbourPair a = NeighbourPair::kA;
  if (!currentField) {
    if (!aField) return {a, currentTop ? 0 : 1, yN};
    return {a, yN % 2, (yN + (currentTop ? 0 : maxH)) >> 1};
  }
  if (aField) return {a, currentTop ? 0 : 1, yN};
  int row = 2 * yN + (currentTop ? 0 : 1);
  return row < maxH ? MbaffNeighbour{a, 0, row} : MbaffNeighbour{a, 1, row - maxH};
}

}  // namespace

MbaffNeighbour locateMbaffNeighbour(bool currentField, bool currentTop, const PairCoding& coding,
                                    int xN, int yN, int maxW, int maxH) {
  if (yN >= maxH || (xN >= maxW && yN >= 0)) return {NeighbourPair::kNone, 0, 0};
  if (xN >= 0 && xN < maxW && yN >= 0) return {NeighbourPair::kCurrent, currentTop ? 0 : 1, yN};
  if (yN >= 0) return left(coding.aField, currentField, currentTop, yN, maxH);
  if (!currentField && !currentTop) {
    if (xN >= maxW) return {NeighbourPair::kNone, 0, 0};
    if (xN >= 0) return {NeighbourPair::kCurrent, 0, yN};
    // Beside a field pair this is the bottom field macroblock's row just
    // above the current macroblock; encoders reconstruct with that sample.
    return coding.aField ? MbaffNeighbour{NeighbourPair::kA, 1, (yN + maxH) >> 1}
                         : MbaffNeighbour{NeighbourPair::kA, 0, yN};
  }
  if (xN < 0) return above(NeighbourPair::kD, coding.dField, currentField, currentTop, yN);
  if (xN < maxW) return above(NeighbourPair::kB, coding.bField, currentField, currentTop, yN);
  return above(NeighbourPair::kC, coding.cField, currentField, currentTop, yN);
}

ISTREL_LEVEL_END
}  // namespace H264
