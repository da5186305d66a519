#include "macroblock/cabac_syntax.h"

#include <algorithm>

#include "base/errors.h"
#include "base/level.h"
#include "macroblock/residual_contexts.h"

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

// Coefficient levels above this cannot come from a conforming stream
// (clause 7.4.5.3.3 bounds them to 16 + bitDepth bits).
constexpr int kMaxSuffixPrefix = 22;

// coeff_abs_level_minus1: truncated unary prefix (cMax 14) in context bins,
// then a 0th-order Exp-Golomb suffix in bypass bins (UEG0, clause 9.3.2.3).
ISTREL_FORCE_INLINE int absLevelMinus1(CabacEngine& engine, ContextVariable& first,
                                       ContextVariable& later) {
  if (!engine.decodeDecision(first)) return 0;
  int prefix = 1;
  unsigned state = later.state();  // in a register through the unary bins
  while (prefix < 14 && engine.decodeDecision(state)) ++prefix;
  later.packed = static_cast<ContextVariable::Packed>(state);
  if (prefix < 14) return prefix;
  int k = 0;
  int suffix = 0;
  while (engine.decodeBypass()) {
    suffix += 1 << k;
    if (++k > kMaxSuffixPrefix) fail(kSliceError);
  }
  while (k-- > 0) suffix += engine.decodeBypass() << k;
  return 14 + suffix;
}

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

// Significance map, then the levels in reverse scan order (clause 7.3.5.3.3).
void CabacSyntax::residualLevels(int cat, int maxNumCoeff, bool fieldCoded, ResidualLevels& out) {
  ContextVariable* const significantCtx =
      contexts_ + kResidualContexts.significant[fieldCoded][cat];
  ContextVariable* const lastCtx = contexts_ + kResidualContexts.last[fieldCoded][cat];
  const SignificanceIncrements inc = significanceIncrements(cat, maxNumCoeff, fieldCoded);
  // A local copy of the engine stays in registers through the block.
  CabacEngine engine = engine_;
  std::uint8_t significant[64];
  int count = 0;
  int i = 0;
  for (; i < maxNumCoeff - 1; ++i) {
    if (!engine.decodeDecision(significantCtx[inc.significant[i]])) continue;
    significant[count++] = static_cast<std::uint8_t>(i);
    if (engine.decodeDecision(lastCtx[inc.last[i]])) break;
  }
  if (i == maxNumCoeff - 1) significant[count++] = static_cast<std::uint8_t>(i);

  // ctxIdxInc of the prefix's first bin is 0 once a level above 1 was seen,
  // else 1 + the levels of 1 so far (up to 4); of its other bins 5 + the
  // levels above 1 so far (up to 4, chroma DC 3).
  ContextVariable* const absCtx = contexts_ + kResidualContexts.absLevel[cat];
  const int gt1Limit = cat == kCatChromaDc ? 3 : 4;
  int eq1 = 0;
  int gt1 = 0;
  out.count = count;
  for (int n = 0; n < count; ++n) {
    const int firstInc = gt1 ? 0 : std::min(4, 1 + eq1);
    const int level =
        1 + absLevelMinus1(engine, absCtx[firstInc], absCtx[5 + std::min(gt1Limit, gt1)]);
    if (level == 1) {
      ++eq1;
    } else {
      ++gt1;
    }
    out.level[n] = engine.decodeBypass() ? -level : level;
    out.position[n] = significant[count - 1 - n];
  }
  engine_ = engine;
}

ISTREL_LEVEL_END
}  // namespace H264
