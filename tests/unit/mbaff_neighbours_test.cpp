// Neighbouring locations in MBAFF frames (Table 6-4), for every kind of
// current macroblock against frame and field neighbouring pairs.
#include "macroblock/mbaff_neighbours.h"

#include <gtest/gtest.h>

namespace H264 {
namespace {

using P = NeighbourPair;

struct Case {
  bool currentField, currentTop, neighbourField;
  int xN, yN;
  MbaffNeighbour expected;
};

MbaffNeighbour at(const Case& c) {
  PairCoding coding{c.neighbourField, c.neighbourField, c.neighbourField, c.neighbourField};
  return locateMbaffNeighbour(c.currentField, c.currentTop, coding, c.xN, c.yN, 16, 16);
}

TEST(MbaffNeighbours, Table6_4) {
  const Case cases[] = {
      // frame top: above pairs give their bottom macroblock, rows as they are
      {false, true, false, -1, -1, {P::kD, 1, -1}},
      {false, true, true, 0, -1, {P::kB, 1, -1}},
      {false, true, false, -1, 5, {P::kA, 0, 5}},
      {false, true, true, -1, 5, {P::kA, 1, 2}},  // odd frame rows in the bottom field
      // frame bottom: the own top macroblock above, nothing above right
      {false, false, true, 3, -1, {P::kCurrent, 0, -1}},
      {false, false, true, 16, -1, {P::kNone, 0, 0}},
      {false, false, true, -1, -1, {P::kA, 1, 7}},  // the sample right above-left
      {false, false, true, -1, 4, {P::kA, 0, 10}},
      {false, false, true, -1, 5, {P::kA, 1, 10}},
      // field top: frame pairs above are seen as fields
      {true, true, false, 0, -1, {P::kB, 1, -2}},
      {true, true, false, -1, -1, {P::kD, 1, -2}},
      {true, true, false, -1, 3, {P::kA, 0, 6}},
      {true, true, false, -1, 9, {P::kA, 1, 2}},
      // field bottom
      {true, false, false, 0, -1, {P::kB, 1, -1}},
      {true, false, false, -1, 3, {P::kA, 0, 7}},
      {true, false, false, -1, 12, {P::kA, 1, 9}},
      // inside, and below
      {true, false, true, 4, 4, {P::kCurrent, 1, 4}},
      {false, true, true, 4, 16, {P::kNone, 0, 0}},
  };
  for (const Case& c : cases) {
    MbaffNeighbour n = at(c);
    EXPECT_EQ(n.pair, c.expected.pair)
        << c.currentField << c.currentTop << c.neighbourField << " (" << c.xN << "," << c.yN << ")";
    if (n.pair == P::kNone) continue;
    EXPECT_EQ(n.bottom, c.expected.bottom) << "(" << c.xN << "," << c.yN << ")";
    EXPECT_EQ(n.yM, c.expected.yM) << "(" << c.xN << "," << c.yN << ")";
  }
}

}  // namespace
}  // namespace H264
