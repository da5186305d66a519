#include "macroblock/macroblock_record.h"

#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

int codedBlockFlagTerm(BlockKind kind, int plane, const MacroblockRecord* n, int blockIndex) {
  if (!n || n->mbType == kMbIPcm) return 1;
  int component = plane > 0 ? plane - 1 : 0;
  const std::uint8_t* blocks =
      plane == 0 ? n->codedBlockFlagLuma : n->codedBlockFlagChromaAc[component];
  switch (kind) {
    case BlockKind::kChromaDc:
      return n->cbpChroma ? n->codedBlockFlagChromaDc[component] : 0;
    case BlockKind::kDc:  // only an Intra_16x16 neighbour has a DC block
      if (n->mbType == kMbINxN) return 0;
      return plane == 0 ? n->codedBlockFlagLumaDc : n->codedBlockFlagChromaDc[component];
    case BlockKind::kChromaAc:
      return n->cbpChroma == 2 ? n->codedBlockFlagChromaAc[component][blockIndex] : 0;
    case BlockKind::k8x8:
      if (!((n->cbpLuma >> (blockIndex >> 2)) & 1) || !n->transform8x8) return 0;
      return blocks[blockIndex & ~3];
    default:  // an 8x8-transformed neighbour answers through its 8x8 block's entries
      return (n->cbpLuma >> (blockIndex >> 2)) & 1 ? blocks[blockIndex] : 0;
  }
}

ISTREL_LEVEL_END
}  // namespace H264
