#include "macroblock/macroblock_tables.h"

namespace H264 {

const std::uint8_t kCodedBlockPatternIntra[48] = {
    47, 31, 15, 0,  23, 27, 29, 30, 7, 11, 13, 14, 39, 43, 45, 46, 16, 3,  5,  10, 12, 19, 21, 26,
    28, 35, 37, 42, 44, 1,  2,  4,  8, 17, 18, 20, 24, 6,  9,  22, 25, 32, 33, 34, 36, 40, 38, 41};

const std::uint8_t kCodedBlockPatternIntraNoChroma[16] = {15, 0,  7, 11, 13, 14, 3, 5,
                                                          10, 12, 1, 2,  4,  8,  6, 9};

const std::uint8_t kChromaQp[52] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                    13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
                                    26, 27, 28, 29, 29, 30, 31, 32, 32, 33, 34, 34, 35,
                                    35, 36, 36, 37, 37, 37, 38, 38, 38, 39, 39, 39, 39};

}  // namespace H264

#include "macroblock/residual_contexts.h"

namespace H264 {

const std::uint8_t kSignificant8x8Inc[2][63] = {
    {0,  1,  2, 3, 4, 5,  5,  4,  4,  3, 3, 4,  4,  4,  5,  5,  4,  4,  4,  4,  3,
     3,  6,  7, 7, 7, 8,  9,  10, 9,  8, 7, 7,  6,  11, 12, 13, 11, 6,  7,  8,  9,
     14, 10, 9, 8, 6, 11, 12, 13, 11, 6, 9, 14, 10, 9,  11, 12, 13, 11, 14, 10, 12},
    {0,  1,  1,  2,  2,  3,  3,  4,  5,  6,  7,  7,  7, 8,  4,  5,  6,  9,  10, 10, 8,
     11, 12, 11, 9,  9,  10, 10, 8,  11, 12, 11, 9,  9, 10, 10, 8,  11, 12, 11, 9,  9,
     10, 10, 8,  13, 13, 9,  9,  10, 10, 8,  13, 13, 9, 9,  10, 10, 14, 14, 14, 14, 14}};

const std::uint8_t kScanPositionInc[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

// Chroma DC: Min(i / NumC8x8, 2).
const std::uint8_t kChromaDc420Inc[4] = {0, 1, 2, 2};
const std::uint8_t kChromaDc422Inc[8] = {0, 0, 1, 1, 2, 2, 2, 2};

const std::uint8_t kLast8x8Inc[63] = {
    0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,
    3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7, 8, 8, 8};

}  // namespace H264

#include "macroblock/macroblock_record.h"

namespace H264 {

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

}  // namespace H264
