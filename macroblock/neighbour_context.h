// The neighbouring 4x4 blocks A (left) and B (above) of every block of the
// current macroblock (clause 6.4.11.4), resolved once per macroblock: inside
// the macroblock from a table, across its left and upper edges from the
// locations the concrete decoder resolved when the macroblock started. The
// residual blocks (nC in CAVLC, coded_block_flag in CABAC) and the intra
// mode prediction ask for them per block.
#pragma once

#include <array>
#include <cstdint>

#include "base/compiler.h"
#include "base/level.h"
#include "macroblock/macroblock_record.h"
#include "recon/block_layout.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

class NeighbourContext {
 public:
  // Which blocks: of luma (and of chroma coded like luma), or of chroma.
  enum Kind { kLuma = 0, kChroma = 1 };

  // The blocks beside the macroblock's edges: lookup(xN, yN) resolves a
  // location outside it, here (-1, 4 * row) for `rows` block rows and
  // (4 * column, -1) for `columns` block columns.
  template <typename Lookup>
  ISTREL_FORCE_INLINE void resolve(Kind kind, int rows, int columns, Lookup lookup) {
    for (int r = 0; r < rows; ++r) left_[kind][r] = lookup(-1, 4 * r);
    for (int c = 0; c < columns; ++c) above_[kind][c] = lookup(4 * c, -1);
  }

  // Blocks A and B of block k of the current macroblock `current`.
  ISTREL_FORCE_INLINE NeighbourBlock left(Kind kind, int k, const MacroblockRecord* current) const {
    const int inside = kInside[k].left;
    return inside >= 0 ? NeighbourBlock{current, inside} : left_[kind][kBlockY[k] / 4];
  }
  ISTREL_FORCE_INLINE NeighbourBlock above(Kind kind, int k,
                                           const MacroblockRecord* current) const {
    const int inside = kInside[k].above;
    return inside >= 0 ? NeighbourBlock{current, inside} : above_[kind][kBlockX[k] / 4];
  }

 private:
  struct Inside {
    std::int8_t left, above;  // the block inside the macroblock, -1 across its edge
  };
  static constexpr std::array<Inside, 16> kInside = [] {
    std::array<Inside, 16> t{};
    for (int k = 0; k < 16; ++k) {
      const int x = kBlockX[k], y = kBlockY[k];
      t[k].left = static_cast<std::int8_t>(x > 0 ? blockIndexAt(x - 4, y) : -1);
      t[k].above = static_cast<std::int8_t>(y > 0 ? blockIndexAt(x, y - 4) : -1);
    }
    return t;
  }();

  NeighbourBlock left_[2][4]{};
  NeighbourBlock above_[2][4]{};
};

ISTREL_LEVEL_END
}  // namespace H264
