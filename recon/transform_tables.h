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

}  // namespace H264::tables
