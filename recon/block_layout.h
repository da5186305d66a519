// Where the blocks of a macroblock lie (ITU-T H.264 clause 6.4.3).
#pragma once

#include <array>
#include <cstdint>

namespace H264 {

// Position of 4x4 block k inside its macroblock; chroma blocks are numbered
// like the luma block at the same position (4:2:2 uses 0-3 and 8-11).
inline constexpr std::uint8_t kBlockX[16] = {0, 4, 0, 4, 8, 12, 8, 12, 0, 4, 0, 4, 8, 12, 8, 12};
inline constexpr std::uint8_t kBlockY[16] = {0, 0, 4, 4, 0, 0, 4, 4, 8, 8, 12, 12, 8, 8, 12, 12};

// Index of the 4x4 block holding (x, y), 0 <= x, y < 16.
constexpr int blockIndexAt(int x, int y) {
  return 8 * (y / 8) + 4 * (x / 8) + 2 * ((y % 8) / 4) + (x % 8) / 4;
}

// Position of block k in the raster of the macroblock's 4x4 grid of blocks.
inline constexpr std::array<std::uint8_t, 16> kBlockRaster4x4 = [] {
  std::array<std::uint8_t, 16> raster{};
  for (int k = 0; k < 16; ++k) raster[k] = static_cast<std::uint8_t>(kBlockY[k] + kBlockX[k] / 4);
  return raster;
}();

// The chroma blocks of a component in decoding order (4:2:0 uses the first four).
inline constexpr int kChromaBlocks[8] = {0, 1, 2, 3, 8, 9, 10, 11};

// Clause 8.5.11.1: the parsed 4:2:2 chroma DC level found at each raster
// position of the 2-wide, 4-high matrix (c0 c2 / c1 c5 / c3 c6 / c4 c7).
inline constexpr std::uint8_t kChromaDc422Raster[8] = {0, 2, 1, 5, 3, 6, 4, 7};
// The other way round: the raster position of each parsed level.
inline constexpr std::array<std::uint8_t, 8> kChromaDc422RasterOf = [] {
  std::array<std::uint8_t, 8> t{};
  for (int r = 0; r < 8; ++r) t[kChromaDc422Raster[r]] = static_cast<std::uint8_t>(r);
  return t;
}();
inline constexpr std::array<std::uint8_t, 8> kIdentity8 = {0, 1, 2, 3, 4, 5, 6, 7};

}  // namespace H264
