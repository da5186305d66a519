// The binary arithmetic decoder of CABAC (ITU-T H.264 clause 9.3.3.2) and the
// initialisation of its context variables for I slices (clause 9.3.1.1).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "base/compiler.h"
#include "base/level.h"
#include "macroblock/cabac_tables.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

// pStateIdx and valMPS packed into one byte, so a decision reads and writes
// a context once. The byte is an enumeration, not a character type: a store
// to a context then cannot alias the decoder's state, which stays in registers.
struct ContextVariable {
  enum class Packed : std::uint8_t {};

  constexpr ContextVariable() = default;
  constexpr ContextVariable(unsigned pStateIdxValue, unsigned valMpsValue)
      : packed(static_cast<Packed>(2 * pStateIdxValue + valMpsValue)) {}
  unsigned state() const { return static_cast<unsigned>(packed); }  // pStateIdx * 2 + valMPS
  unsigned pStateIdx() const { return state() >> 1; }
  unsigned valMPS() const { return state() & 1; }

  Packed packed{};
};

// Clause 9.3.1.1 for I slices, all kContextCount entries: SliceQPY is clipped
// to 0..51, so a negative SliceQPY of a high bit depth initialises as QP 0.
void initCabacContexts(ContextVariable* contexts, int sliceQpY);

// codIRange is kept exactly as the standard defines it (9 bits). codIOffset
// is kept scaled up together with the stream bits that follow it: value_ holds
// codIOffset << count_ plus the next count_ bits of the RBSP, so renormalising
// only lowers count_ and the comparisons scale codIRange instead. The bits
// consumed follow the standard's model: 9 at start(), then one per
// renormalisation shift and one per bypass bin. value_ is topped up several
// bytes at a time and always holds at least the 7 bits of the longest
// renormalisation.
class CabacEngine {
 public:
  // The decoding state a hot loop keeps in registers: codIOffset with the bits
  // after it, codIRange, and how many bits follow codIOffset. The byte
  // position stays with the engine, which the cursor asks for more bytes.
  class Cursor {
   public:
    // DecodeDecision (clause 9.3.3.2.1) with RenormD. Which symbol comes is
    // for the data to say, so the step computes with masks and a table
    // instead of branching: a branch here would mispredict on top of the
    // caller's own branch on the bin.
    ISTREL_FORCE_INLINE int decodeDecision(ContextVariable& ctx) {
      unsigned state = ctx.state();
      const int bin = decodeDecision(state);
      ctx.packed = static_cast<ContextVariable::Packed>(state);
      return bin;
    }

    // The same on a packed state held by the caller, for runs of bins that
    // share one context.
    ISTREL_FORCE_INLINE int decodeDecision(unsigned& state) {
      const std::uint32_t rangeLps = kRangeTabLps[state >> 1][(range_ >> 6) & 3];
      const std::uint32_t rangeMps = range_ - rangeLps;
      const std::uint64_t scaledMps = std::uint64_t{rangeMps} << count_;
      const auto lps = static_cast<unsigned>(value_ >= scaledMps);
      const std::uint64_t lpsMask = 0 - std::uint64_t{lps};
      value_ -= scaledMps & lpsMask;
      range_ = rangeMps ^ ((rangeMps ^ rangeLps) & static_cast<std::uint32_t>(lpsMask));
      const auto bin = static_cast<int>((state ^ lps) & 1);
      state = kNextState[state + 128 * lps];
      renormalise();
      return bin;
    }

    // DecodeBypass (clause 9.3.3.2.3).
    ISTREL_FORCE_INLINE int decodeBypass() {
      --count_;
      const std::uint64_t scaledRange = std::uint64_t{range_} << count_;
      const bool one = value_ >= scaledRange;
      value_ -= scaledRange & (0 - static_cast<std::uint64_t>(one));
      topUp();
      return one;
    }

   private:
    friend class CabacEngine;
    Cursor(std::uint64_t value, std::uint32_t range, int count, CabacEngine* engine)
        : value_(value), range_(range), count_(count), engine_(engine) {}

    // RenormD in one step: 0 to 7 shifts bring codIRange to 256..510.
    ISTREL_FORCE_INLINE void renormalise() {
      const int shift = std::countl_zero(range_) - 23;
      range_ <<= shift;
      count_ -= shift;
      topUp();
    }

    ISTREL_FORCE_INLINE void topUp() {
      if (count_ < kMaxShift) {
        const Refilled r = engine_->refill(value_, count_);
        value_ = r.value;
        count_ = r.count;
      }
    }

    std::uint64_t value_;  // codIOffset << count_, then stream bits
    std::uint32_t range_;  // codIRange
    int count_;            // stream bits in value_ below codIOffset
    CabacEngine* engine_;
  };

  // Starts the decoder at byte `byteOffset` of the RBSP `data` (clause 9.3.1.2),
  // after cabac_alignment_one_bit or after the samples of an I_PCM macroblock.
  // Bytes past `size` read as zero and nothing outside the RBSP is touched.
  // Throws kSliceError when codIOffset starts at 510 or 511.
  void start(const std::uint8_t* data, std::size_t size, std::size_t byteOffset);

  // The state for a hot loop, and the state it leaves.
  ISTREL_FORCE_INLINE Cursor cursor() { return {value_, range_, count_, this}; }
  ISTREL_FORCE_INLINE void resume(const Cursor& c) {
    value_ = c.value_;
    range_ = c.range_;
    count_ = c.count_;
  }

  ISTREL_FORCE_INLINE int decodeDecision(ContextVariable& ctx) {
    Cursor c = cursor();
    const int bin = c.decodeDecision(ctx);
    resume(c);
    return bin;
  }
  ISTREL_FORCE_INLINE int decodeBypass() {
    Cursor c = cursor();
    const int bin = c.decodeBypass();
    resume(c);
    return bin;
  }

  // DecodeTerminate (clause 9.3.3.2.2.3). A 1 reads nothing more: the last bit
  // the decoder has then taken is the last bit EncodeFlush wrote (clause
  // 9.3.4.5), the rbsp_stop_one_bit at the end of a slice. Renormalising there,
  // as DecodeDecision on ctxIdx 276 would, reads 7 bits too many.
  int decodeTerminate();

  // Bits consumed from the RBSP start in the standard's model: 8 x byteOffset of
  // the last start(), plus 9, plus one per renormalisation shift and per bypass
  // bin. After decodeTerminate() returned 1 for I_PCM, the pcm_alignment_zero_bits
  // begin here; after end_of_slice_flag 1, the last bit consumed is the
  // rbsp_stop_one_bit. On a corrupt slice this runs past 8 x size while zeros
  // are read. Bins decoded after a terminate bin of 1 without a new start() are
  // meaningless, though every call still returns at once.
  std::size_t bitPosition() const { return pos_ * 8 - static_cast<std::size_t>(count_); }

 private:
  // Tops `value` up with whole bytes from the RBSP to 48 to 55 bits below
  // codIOffset. Out of line: it runs once in several bins. Values in and out,
  // so that a cursor's state never needs an address.
  struct Refilled {
    std::uint64_t value;
    int count;
  };
  Refilled refill(std::uint64_t value, int count);

  static constexpr int kMaxShift = 7;  // codIRange 2 (pStateIdx 63) up to 256
  // codIOffset takes 9 bits of value_, the rest may hold stream bits.
  static constexpr int kMaxCount = 64 - 9;

  std::uint32_t range_ = 510;  // codIRange
  std::uint64_t value_ = 0;    // codIOffset << count_, then stream bits
  int count_ = 0;              // stream bits in value_ below codIOffset
  std::size_t pos_ = 0;        // byte offset of the first bit not yet in value_
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

ISTREL_LEVEL_END
}  // namespace H264
