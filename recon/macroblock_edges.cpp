#include "recon/macroblock_edges.h"

namespace H264 {
namespace {

bool isField(const FilterMacroblock& mb) { return (mb.flags & FilterMacroblock::kField) != 0; }

}  // namespace

bool MacroblockMap::start(const FilterMacroblock& q, MacroblockEdges& e) const {
  if (!decoded(q)) return false;
  e.q = &q;
  e.slice = &slices_[q.slice - 1];
  e.leftRuns = e.topRuns = 0;
  // disable_deblocking_filter_idc 1 filters no edge of the macroblock.
  e.internal = e.slice->disableIdc != 1;
  return e.internal;
}

void MacroblockMap::addLeft(const FilterMacroblock& p, LeftLines lines, MacroblockEdges& e) const {
  if (available(p, e)) e.left[e.leftRuns++] = {&p, lines};
}

void MacroblockMap::addTop(const FilterMacroblock& p, int qRow, int acrossRows, int bS,
                           MacroblockEdges& e) const {
  if (available(p, e)) {
    e.top[e.topRuns++] = {&p, static_cast<std::uint8_t>(qRow),
                          static_cast<std::uint8_t>(acrossRows), static_cast<std::uint8_t>(bS)};
  }
}

// Every macroblock of an I slice is intra: bS is 4 on macroblock edges,
// except horizontal ones that have a field macroblock on either side (all
// macroblocks of a field picture are field macroblocks), and 3 inside
// (clause 8.7.2.1).
bool MacroblockMap::pictureEdges(int mbX, int mbY, bool fieldPicture, MacroblockEdges& e) const {
  const FilterMacroblock* q = records_ + mbY * widthInMbs_ + mbX;
  if (!start(*q, e)) return false;
  e.mbX = mbX;
  e.mbRow = mbY;
  e.rowOffset = 0;
  e.lineRows = 1;
  if (mbX > 0) addLeft(q[-1], LeftLines::kAll, e);
  if (mbY > 0) addTop(q[-widthInMbs_], 0, 1, fieldPicture ? 3 : 4, e);
  return true;
}

// Clause 8.7 with MbaffFrameFlag 1: the macroblocks across the left edge
// follow the rows of the left pair, those across the top edge the rows of
// the pair above (clause 6.4.12.2 gives the same macroblocks).
bool MacroblockMap::mbaffEdges(int pairX, int pairY, int bottom, MacroblockEdges& e) const {
  const FilterMacroblock* pair = records_ + 2 * (pairY * widthInMbs_ + pairX);
  const FilterMacroblock& q = pair[bottom];
  if (!start(q, e)) return false;
  const bool field = isField(q);
  e.mbX = pairX;
  e.mbRow = 2 * pairY + (field ? 0 : bottom);
  e.rowOffset = field ? bottom : 0;
  e.lineRows = field ? 2 : 1;
  if (pairX > 0) {
    const FilterMacroblock* left = pair - 2;
    const bool leftField = isField(left[0]);
    if (leftField == field) {
      addLeft(left[bottom], LeftLines::kAll, e);
    } else if (!field) {
      addLeft(left[0], LeftLines::kEven, e);
      addLeft(left[1], LeftLines::kOdd, e);
    } else {
      addLeft(left[0], LeftLines::kUpperHalf, e);
      addLeft(left[1], LeftLines::kLowerHalf, e);
    }
  }
  if (!field && bottom) {
    addTop(pair[0], 0, 1, 4, e);  // inside a frame pair
    return true;
  }
  if (pairY == 0) return true;
  const FilterMacroblock* above = pair - 2 * widthInMbs_;
  const bool aboveField = isField(above[0]);
  if (field) {
    // A field macroblock meets the rows of its own parity above.
    addTop(above[bottom || !aboveField ? 1 : 0], 0, 2, 3, e);
  } else if (!aboveField) {
    addTop(above[1], 0, 1, 4, e);
  } else {
    // A frame macroblock under a field pair: its top edge is filtered as two
    // field edges, the top field's rows and then the bottom field's.
    addTop(above[0], 0, 2, 3, e);
    addTop(above[1], 1, 2, 3, e);
  }
  return true;
}

}  // namespace H264
