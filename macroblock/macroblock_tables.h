// Constant tables of the macroblock layer.
#pragma once

#include <cstdint>

namespace H264 {

// Position of 4x4 block k inside its macroblock (clause 6.4.3); chroma blocks
// are numbered like the luma block at the same position.
constexpr std::uint8_t kBlockX[16] = {0, 4, 0, 4, 8, 12, 8, 12, 0, 4, 0, 4, 8, 12, 8, 12};
constexpr std::uint8_t kBlockY[16] = {0, 0, 4, 4, 0, 0, 4, 4, 8, 8, 12, 12, 8, 8, 12, 12};

// Index of the 4x4 block holding (x, y), 0 <= x, y < 16.
constexpr int blockIndexAt(int x, int y) {
  return 8 * (y / 8) + 4 * (x / 8) + 2 * ((y % 8) / 4) + (x % 8) / 4;
}

// coded_block_pattern of Intra macroblocks by codeNum (Table 9-4).
extern const std::uint8_t kCodedBlockPatternIntra[48];          // ChromaArrayType 1, 2
extern const std::uint8_t kCodedBlockPatternIntraNoChroma[16];  // ChromaArrayType 0, 3

// QPC by qPI (Table 8-15), qPI 0..51.
extern const std::uint8_t kChromaQp[52];

}  // namespace H264
