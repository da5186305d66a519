// Scans and default scaling lists of ITU-T H.264.
#pragma once

#include <cstdint>

namespace H264 {

// Raster position (row * width + column) of each scan index, Tables 8-12, 8-13.
extern const std::uint8_t kZigzagScan4x4[16];
extern const std::uint8_t kFieldScan4x4[16];
extern const std::uint8_t kZigzagScan8x8[64];
extern const std::uint8_t kFieldScan8x8[64];

// Default_4x4_Intra and Default_8x8_Intra (Tables 7-3, 7-4), raster order.
extern const std::uint8_t kDefaultScaling4x4Intra[16];
extern const std::uint8_t kDefaultScaling8x8Intra[64];
// Flat_4x4_16 and Flat_8x8_16.
extern const std::uint8_t kFlatScaling4x4[16];
extern const std::uint8_t kFlatScaling8x8[64];

}  // namespace H264
