#include "macroblock/cabac_syntax.h"

#include <algorithm>

#include "base/errors.h"
#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

// ctxIdxOffset of the macroblock-layer elements (Table 9-34).
enum ContextOffset : int {
  kMbTypeI = 3,
  kMbFieldDecodingFlag = 70,
  kMbQpDelta = 60,
  kIntraChromaPredMode = 64,
  kPrevIntraPredModeFlag = 68,
  kRemIntraPredMode = 69,
  kCodedBlockPatternLuma = 73,
  kCodedBlockPatternChroma = 77,
  kTransformSize8x8Flag = 399,
};

}  // namespace

void CabacSyntax::start(const std::uint8_t* data, std::size_t size, std::size_t byteOffset,
                        int sliceQpY) {
  data_ = data;
  size_ = size;
  initCabacContexts(contexts_, sliceQpY);
  engine_.start(data, size, byteOffset);
}

void CabacSyntax::restart(std::size_t byteOffset) { engine_.start(data_, size_, byteOffset); }

bool CabacSyntax::mbFieldDecodingFlag(int ctxInc) {
  return decision(kMbFieldDecodingFlag + ctxInc) != 0;
}

// Table 9-36 with the context assignment of Table 9-39.
int CabacSyntax::mbTypeI(int ctxInc) {
  if (!decision(kMbTypeI + ctxInc)) return 0;  // I_NxN
  if (engine_.decodeTerminate()) return 25;    // I_PCM
  int luma15 = decision(kMbTypeI + 3);
  int chroma = decision(kMbTypeI + 4);
  if (chroma) chroma += decision(kMbTypeI + 5);
  int predMode = decision(kMbTypeI + 6) << 1;
  predMode |= decision(kMbTypeI + 7);
  return 1 + predMode + 4 * chroma + 12 * luma15;
}

bool CabacSyntax::transformSize8x8Flag(int ctxInc) {
  return decision(kTransformSize8x8Flag + ctxInc) != 0;
}

bool CabacSyntax::prevIntraPredModeFlag() { return decision(kPrevIntraPredModeFlag) != 0; }

int CabacSyntax::remIntraPredMode() {
  int value = decision(kRemIntraPredMode);
  value |= decision(kRemIntraPredMode) << 1;
  value |= decision(kRemIntraPredMode) << 2;
  return value;
}

int CabacSyntax::intraChromaPredMode(int ctxInc) {
  if (!decision(kIntraChromaPredMode + ctxInc)) return 0;
  if (!decision(kIntraChromaPredMode + 3)) return 1;
  return decision(kIntraChromaPredMode + 3) ? 3 : 2;
}

bool CabacSyntax::codedBlockPatternLumaBin(int ctxInc) {
  return decision(kCodedBlockPatternLuma + ctxInc) != 0;
}

bool CabacSyntax::codedBlockPatternChromaBin(int bin, int ctxInc) {
  return decision(kCodedBlockPatternChroma + 4 * bin + ctxInc) != 0;
}

// Unary bins mapped as se(v) codes (Table 9-3).
int CabacSyntax::mbQpDelta(int ctxInc, int maxMagnitude) {
  int k = 0;
  int ctxIdx = kMbQpDelta + ctxInc;
  while (decision(ctxIdx)) {
    if (++k > 2 * maxMagnitude) fail(kSliceError);
    ctxIdx = kMbQpDelta + (k == 1 ? 2 : 3);
  }
  return (k & 1) ? (k + 1) / 2 : -(k / 2);
}

bool CabacSyntax::endOfSlice() { return engine_.decodeTerminate() != 0; }

bool CabacSyntax::codedBlockFlag(int ctxBlockCat, int ctxInc) {
  return decision(kResidualContexts.codedBlockFlag[ctxBlockCat] + ctxInc) != 0;
}

ISTREL_LEVEL_END
}  // namespace H264
