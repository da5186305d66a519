// The nonzero coefficients of one residual block, as the entropy decoders
// deliver them.
#pragma once

#include <cstdint>

namespace H264 {

// Highest coefficient number first. position is counted from the block's
// first coded coefficient (0 .. maxNumCoeff - 1); the caller adds startIdx
// and maps it through its scan.
struct ResidualLevels {
  int count;  // TotalCoeff
  std::int32_t level[64];
  std::uint8_t position[64];
};

}  // namespace H264
