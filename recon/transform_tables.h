#pragma once

#include <cstdint>

// normAdjust of ITU-T H.264 clause 8.5.9: a few values per qP % 6, picked per position by the
// position's class (raster order within the block).
namespace H264::tables {

inline constexpr std::int32_t kNormAdjust4x4[6][3] = {
    {10, 16, 13}, {11, 18, 14}, {13, 20, 16}, {14, 23, 18}, {16, 25, 20}, {18, 29, 23},
};

inline constexpr std::uint8_t kNormClass4x4[16] = {
    0, 2, 0, 2,  //
    2, 1, 2, 1,  //
    0, 2, 0, 2,  //
    2, 1, 2, 1,  //
};

inline constexpr std::int32_t kNormAdjust8x8[6][6] = {
    {20, 18, 32, 19, 25, 24}, {22, 19, 35, 21, 28, 26}, {26, 23, 42, 24, 33, 31},
    {28, 25, 45, 26, 35, 33}, {32, 28, 51, 30, 40, 38}, {36, 32, 58, 34, 46, 43},
};

inline constexpr std::uint8_t kNormClass8x8[64] = {
    0, 3, 4, 3, 0, 3, 4, 3,  //
    3, 1, 5, 1, 3, 1, 5, 1,  //
    4, 5, 2, 5, 4, 5, 2, 5,  //
    3, 1, 5, 1, 3, 1, 5, 1,  //
    0, 3, 4, 3, 0, 3, 4, 3,  //
    3, 1, 5, 1, 3, 1, 5, 1,  //
    4, 5, 2, 5, 4, 5, 2, 5,  //
    3, 1, 5, 1, 3, 1, 5, 1,  //
};

constexpr std::int32_t normAdjust4x4(int m, int position) {
  return kNormAdjust4x4[m][kNormClass4x4[position]];
}

constexpr std::int32_t normAdjust8x8(int m, int position) {
  return kNormAdjust8x8[m][kNormClass8x8[position]];
}

// Clause 8.5.11.1: the parsed chroma DC level found at each raster position of the 2-wide,
// 4-high matrix of 4:2:2.
inline constexpr std::uint8_t kChromaDc422Scan[8] = {0, 2, 1, 5, 3, 6, 4, 7};

// Position of 4x4 block k of a macroblock (clause 6.4.3) in the raster of the 4x4 grid of
// blocks: row (y / 4) * 4 plus column x / 4.
inline constexpr std::uint8_t kBlockRaster4x4[16] = {0, 1, 4,  5,  2,  3,  6,  7,
                                                     8, 9, 12, 13, 10, 11, 14, 15};

}  // namespace H264::tables
