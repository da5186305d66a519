// The CABAC syntax elements of I-slice macroblocks (clauses 9.3.2 and 9.3.3):
// binarisations and context selection over the arithmetic decoder. The
// increments that depend on neighbouring macroblocks come from the caller.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "base/errors.h"
#include "base/level.h"
#include "macroblock/cabac_engine.h"
#include "macroblock/residual_contexts.h"
#include "syntax/residual_levels.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

class CabacSyntax {
 public:
  // Initialises the contexts for an I slice and starts the arithmetic
  // decoder at `byteOffset` of the slice's RBSP.
  void start(const std::uint8_t* data, std::size_t size, std::size_t byteOffset, int sliceQpY);
  // Restarts the arithmetic decoder after I_PCM samples (clause 9.3.1.2).
  void restart(std::size_t byteOffset);
  // Where the samples of an I_PCM macroblock begin, in bits from the RBSP start.
  std::size_t pcmBitPosition() const { return engine_.bitPosition(); }

  bool mbFieldDecodingFlag(int ctxInc);
  int mbTypeI(int ctxInc);
  bool transformSize8x8Flag(int ctxInc);
  bool prevIntraPredModeFlag();
  int remIntraPredMode();
  int intraChromaPredMode(int ctxInc);
  bool codedBlockPatternLumaBin(int ctxInc);
  bool codedBlockPatternChromaBin(int bin, int ctxInc);
  // Refuses a value beyond +-maxMagnitude as a slice error.
  int mbQpDelta(int ctxInc, int maxMagnitude);
  bool endOfSlice();

  bool codedBlockFlag(int ctxBlockCat, int ctxInc);
  // Significance map and levels of a coded block (clause 7.3.5.3.3): each
  // nonzero coefficient goes to place(coefficient number, level), highest
  // first; returns their count.
  template <typename Place>
  int residualLevels(int ctxBlockCat, int maxNumCoeff, bool fieldCoded, Place place);

 private:
  int decision(int ctxIdx) { return engine_.decodeDecision(contexts_[ctxIdx]); }

  CabacEngine engine_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  ContextVariable contexts_[kContextCount];
};

namespace cabac {

// Coefficient levels above this cannot come from a conforming stream
// (clause 7.4.5.3.3 bounds them to 16 + bitDepth bits).
inline constexpr int kMaxSuffixPrefix = 22;

// coeff_abs_level_minus1: truncated unary prefix (cMax 14) in context bins,
// then a 0th-order Exp-Golomb suffix in bypass bins (UEG0, clause 9.3.2.3).
ISTREL_FORCE_INLINE int absLevelMinus1(CabacEngine::Cursor& engine, ContextVariable& first,
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

}  // namespace cabac

// Significance map, then the levels in reverse scan order (clause 7.3.5.3.3).
template <typename Place>
int CabacSyntax::residualLevels(int cat, int maxNumCoeff, bool fieldCoded, Place place) {
  ContextVariable* const significantCtx =
      contexts_ + kResidualContexts.significant[fieldCoded][cat];
  ContextVariable* const lastCtx = contexts_ + kResidualContexts.last[fieldCoded][cat];
  const SignificanceIncrements inc = significanceIncrements(cat, maxNumCoeff, fieldCoded);
  // The engine's state stays in registers through the block.
  CabacEngine::Cursor engine = engine_.cursor();
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
  for (int n = 0; n < count; ++n) {
    const int firstInc = gt1 ? 0 : std::min(4, 1 + eq1);
    const int level =
        1 + cabac::absLevelMinus1(engine, absCtx[firstInc], absCtx[5 + std::min(gt1Limit, gt1)]);
    if (level == 1) {
      ++eq1;
    } else {
      ++gt1;
    }
    place(significant[count - 1 - n], engine.decodeBypass() ? -level : level);
  }
  engine_.resume(engine);
  return count;
}

ISTREL_LEVEL_END
}  // namespace H264
