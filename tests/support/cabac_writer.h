// The CABAC arithmetic encoder, for streams the tests build themselves.
#pragma once

#include "macroblock/cabac_engine.h"
#include "support/bit_writer.h"

namespace istrel::test {

// The encoder of clause 9.3.4.2, written as plainly as the standard states it, so that the decoder
// is checked against the arithmetic from the other side. Constructed in the state InitEncoder
// leaves (also after the samples of an I_PCM macroblock); a terminate bin of 1 flushes it.
class CabacWriter {
 public:
  explicit CabacWriter(BitWriter& out) : out_(out) {}

  void decision(H264::ContextVariable& ctx, int binVal) {
    unsigned pStateIdx = ctx.pStateIdx(), valMPS = ctx.valMPS();
    const unsigned rangeLps = H264::kRangeTabLps[pStateIdx][(range_ >> 6) & 3];
    range_ -= rangeLps;
    if (static_cast<unsigned>(binVal) != valMPS) {
      low_ += range_;
      range_ = rangeLps;
      if (pStateIdx == 0) valMPS = 1 - valMPS;
      pStateIdx = H264::kTransIdxLps[pStateIdx];
    } else {
      pStateIdx = H264::kTransIdxMps[pStateIdx];
    }
    ctx = H264::ContextVariable(pStateIdx, valMPS);
    renormE();
  }

  // A 1 flushes; the last bit written, always 1, is the rbsp_stop_one_bit.
  void terminate(int binVal) {
    range_ -= 2;
    if (!binVal) return renormE();
    low_ += range_;
    range_ = 2;
    renormE();
    putBit((low_ >> 9) & 1);
    out_.bits(((low_ >> 7) & 3) | 1, 2);
  }

 private:
  void renormE() {
    for (; range_ < 256; range_ <<= 1, low_ <<= 1) {
      if (low_ < 256) {
        putBit(0);
      } else if (low_ >= 512) {
        low_ -= 512;
        putBit(1);
      } else {
        low_ -= 256;
        ++bitsOutstanding_;
      }
    }
  }

  void putBit(unsigned b) {
    if (!firstBitFlag_) out_.bit(b);
    firstBitFlag_ = false;
    for (; bitsOutstanding_ > 0; --bitsOutstanding_) out_.bit(1 - b);
  }

  BitWriter& out_;
  unsigned low_ = 0;
  unsigned range_ = 510;
  bool firstBitFlag_ = true;
  int bitsOutstanding_ = 0;
};

}  // namespace istrel::test
