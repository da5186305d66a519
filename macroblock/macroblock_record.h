// What a decoded macroblock leaves for the macroblocks after it.
#pragma once

#include <cstdint>

#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

enum MbTypeI : std::uint32_t {
  kMbINxN = 0,   // Intra_4x4 or Intra_8x8
  kMbIPcm = 25,  // 1..24 are the Intra_16x16 variants
};

enum IntraKind : std::uint8_t {
  kIntra4x4 = 0,
  kIntra8x8 = 1,
  kIntraOther = 2,  // Intra_16x16 and I_PCM: neighbours see DC (mode 2)
};

// The kinds of residual block, in the order of ctxBlockCat 0 to 5.
enum class BlockKind { kDc, kAc, k4x4, kChromaDc, kChromaAc, k8x8 };

struct MacroblockRecord {
  std::uint32_t mbType;
  std::uint32_t mbAddr;
  std::uint8_t intraKind;
  std::uint8_t intra4x4PredMode[16];
  std::uint8_t intra8x8PredMode[4];
  std::uint8_t intraChromaPredMode;
  std::uint8_t cbpLuma;
  std::uint8_t cbpChroma;
  std::uint8_t transform8x8;
  std::uint8_t fieldFlag;
  std::int32_t mbQpDelta;
  // CAVLC TotalCoeff per plane (Y, Cb, Cr) and 4x4 block; 16 for I_PCM.
  std::uint8_t totalCoeff[3][16];
  // CABAC coded_block_flag: the Intra_16x16 DC block, each luma 4x4 block (an
  // 8x8 block sets its four entries), and per chroma component its DC block
  // and its 4x4 blocks (in 4:4:4 the Cb and Cr planes coded like luma).
  std::uint8_t codedBlockFlagLumaDc;
  std::uint8_t codedBlockFlagLuma[16];
  std::uint8_t codedBlockFlagChromaDc[2];
  std::uint8_t codedBlockFlagChromaAc[2][16];
};

// A neighbouring block location (clause 6.4.12): the macroblock holding it,
// or null when it is not available, and the block index inside it.
struct NeighbourBlock {
  const MacroblockRecord* mb;
  int blockIndex;
};

// condTermFlagN of coded_block_flag (clause 9.3.3.1.1.9) for a block of
// `kind` in `plane` whose neighbouring block is block `blockIndex` of
// macroblock `n`, null when not available. The current macroblock is intra,
// so an unavailable neighbour counts 1.
int codedBlockFlagTerm(BlockKind kind, int plane, const MacroblockRecord* n, int blockIndex);

ISTREL_LEVEL_END
}  // namespace H264
