// The CABAC syntax elements of I-slice macroblocks (clauses 9.3.2 and 9.3.3):
// binarisations and context selection over the arithmetic decoder. The
// increments that depend on neighbouring macroblocks come from the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/level.h"
#include "macroblock/cabac_engine.h"
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
  // Significance map and levels of a coded block (clause 7.3.5.3.3).
  void residualLevels(int ctxBlockCat, int maxNumCoeff, bool fieldCoded, ResidualLevels& out);

 private:
  int decision(int ctxIdx) { return engine_.decodeDecision(contexts_[ctxIdx]); }

  CabacEngine engine_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  ContextVariable contexts_[kContextCount];
};

ISTREL_LEVEL_END
}  // namespace H264
