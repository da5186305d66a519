// Constant tables of the macroblock layer.
#pragma once

#include <cstdint>

namespace H264 {

// coded_block_pattern of Intra macroblocks by codeNum (Table 9-4).
extern const std::uint8_t kCodedBlockPatternIntra[48];          // ChromaArrayType 1, 2
extern const std::uint8_t kCodedBlockPatternIntraNoChroma[16];  // ChromaArrayType 0, 3

}  // namespace H264
