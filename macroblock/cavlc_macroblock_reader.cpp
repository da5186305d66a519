#include "macroblock/cavlc_macroblock_reader.h"

#include "base/level.h"
#include "syntax/cavlc_reader.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

void CavlcMacroblockReader::residualBlock(BlockKind kind, int plane, int blockIndex,
                                          int maxNumCoeff, NeighbourBlock a, NeighbourBlock b,
                                          MacroblockRecord& current, bool /*fieldCoded*/,
                                          ResidualLevels& out) {
  int nC = mbHeightC_ == 8 ? -1 : -2;  // chroma DC
  if (kind != BlockKind::kChromaDc) {
    const int nA = a.mb ? a.mb->totalCoeff[plane][a.blockIndex] : 0;
    const int nB = b.mb ? b.mb->totalCoeff[plane][b.blockIndex] : 0;
    nC = a.mb && b.mb ? (nA + nB + 1) >> 1 : nA + nB;
  }
  readResidualBlock(parser_, nC, maxNumCoeff, out);
  if (kind != BlockKind::kDc && kind != BlockKind::kChromaDc) {
    current.totalCoeff[plane][blockIndex] = static_cast<std::uint8_t>(out.count);
  }
}

ISTREL_LEVEL_END
}  // namespace H264
