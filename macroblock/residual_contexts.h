// Context index offsets of the residual syntax elements by ctxBlockCat
// (clause 9.3.3.1.1.9 and Tables 9-34, 9-40 and 9-43).
#pragma once

#include <cstdint>

#include "base/compiler.h"

namespace H264 {

enum CtxBlockCat : int {
  kCatLumaDc = 0,
  kCatLumaAc = 1,
  kCatLuma4x4 = 2,
  kCatChromaDc = 3,
  kCatChromaAc = 4,
  kCatLuma8x8 = 5,
  kCatCbDc = 6,
  kCatCb8x8 = 9,
  kCatCrDc = 10,
  kCatCr8x8 = 13,
};

struct ResidualContexts {
  std::uint16_t significant[2][14];  // frame-coded, field-coded
  std::uint16_t last[2][14];
  std::uint16_t absLevel[14];
  std::uint16_t codedBlockFlag[14];
};

inline constexpr std::uint8_t kSigCatOffset[14] = {0,  15, 29, 44, 47, 0,  0,
                                                   15, 29, 0,  0,  15, 29, 0};
inline constexpr std::uint8_t kAbsCatOffset[14] = {0,  10, 20, 30, 39, 0,  0,
                                                   10, 20, 0,  0,  10, 20, 0};
inline constexpr std::uint8_t kCbfCatOffset[14] = {0, 4, 8, 12, 16, 0, 0, 4, 8, 4, 0, 4, 8, 8};

// ctxIdxOffset plus ctxBlockCatOffset, ready to add ctxIdxInc to.
inline constexpr ResidualContexts kResidualContexts = [] {
  constexpr std::uint16_t sigFrame[14] = {105, 105, 105, 105, 105, 402, 484,
                                          484, 484, 660, 528, 528, 528, 718};
  constexpr std::uint16_t sigField[14] = {277, 277, 277, 277, 277, 436, 776,
                                          776, 776, 675, 820, 820, 820, 733};
  constexpr std::uint16_t lastFrame[14] = {166, 166, 166, 166, 166, 417, 572,
                                           572, 572, 690, 616, 616, 616, 748};
  constexpr std::uint16_t lastField[14] = {338, 338, 338, 338, 338, 451, 864,
                                           864, 864, 699, 908, 908, 908, 757};
  constexpr std::uint16_t abs[14] = {227, 227, 227, 227, 227, 426, 952,
                                     952, 952, 708, 982, 982, 982, 766};
  constexpr std::uint16_t cbf[14] = {85,  85,  85,   85,  85,  1012, 460,
                                     460, 460, 1012, 472, 472, 472,  1012};
  ResidualContexts t{};
  for (int c = 0; c < 14; ++c) {
    t.significant[0][c] = static_cast<std::uint16_t>(sigFrame[c] + kSigCatOffset[c]);
    t.significant[1][c] = static_cast<std::uint16_t>(sigField[c] + kSigCatOffset[c]);
    t.last[0][c] = static_cast<std::uint16_t>(lastFrame[c] + kSigCatOffset[c]);
    t.last[1][c] = static_cast<std::uint16_t>(lastField[c] + kSigCatOffset[c]);
    t.absLevel[c] = static_cast<std::uint16_t>(abs[c] + kAbsCatOffset[c]);
    t.codedBlockFlag[c] = static_cast<std::uint16_t>(cbf[c] + kCbfCatOffset[c]);
  }
  return t;
}();

// ctxIdxInc of significant_coeff_flag in 8x8 blocks (frame, field) and of
// last_significant_coeff_flag, by scan position (Table 9-43).
extern const std::uint8_t kSignificant8x8Inc[2][63];
extern const std::uint8_t kLast8x8Inc[63];

// ctxIdxInc of significant_coeff_flag and of last_significant_coeff_flag by
// scan position, for one kind of block (clause 9.3.3.1.3).
struct SignificanceIncrements {
  const std::uint8_t* significant;
  const std::uint8_t* last;
};

extern const std::uint8_t kScanPositionInc[16];
extern const std::uint8_t kChromaDc420Inc[4];
extern const std::uint8_t kChromaDc422Inc[8];

ISTREL_FORCE_INLINE SignificanceIncrements significanceIncrements(int cat, int maxNumCoeff,
                                                                  bool fieldCoded) {
  if (cat == kCatChromaDc) {
    const std::uint8_t* inc = maxNumCoeff == 8 ? kChromaDc422Inc : kChromaDc420Inc;
    return {inc, inc};
  }
  if (cat == kCatLuma8x8 || cat == kCatCb8x8 || cat == kCatCr8x8) {
    return {kSignificant8x8Inc[fieldCoded], kLast8x8Inc};
  }
  return {kScanPositionInc, kScanPositionInc};
}

}  // namespace H264
