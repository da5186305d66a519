#include "macroblock/macroblock_tables.h"

namespace H264 {

const std::uint8_t kCodedBlockPatternIntra[48] = {
    47, 31, 15, 0,  23, 27, 29, 30, 7, 11, 13, 14, 39, 43, 45, 46, 16, 3,  5,  10, 12, 19, 21, 26,
    28, 35, 37, 42, 44, 1,  2,  4,  8, 17, 18, 20, 24, 6,  9,  22, 25, 32, 33, 34, 36, 40, 38, 41};

const std::uint8_t kCodedBlockPatternIntraNoChroma[16] = {15, 0,  7, 11, 13, 14, 3, 5,
                                                          10, 12, 1, 2,  4,  8,  6, 9};

}  // namespace H264
