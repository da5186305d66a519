// Bit reader over one RBSP (a NAL unit payload with its emulation-prevention
// bytes already removed), ITU-T H.264 clauses 7.2 and 9.1.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/compiler.h"
#include "base/errors.h"
#include "base/level.h"
#include "syntax/bit_window.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

class StreamParser : public BitWindow {
 public:
  // `syntaxError` is the code thrown for an Exp-Golomb code that no stream
  // may hold: the calling parser's own error (parameter sets or slices).
  StreamParser(const unsigned char* start, std::uint32_t sizeBytes, int syntaxError = kSliceError)
      : BitWindow(start, sizeBytes), syntaxError_(syntaxError) {}
  virtual ~StreamParser() = default;

  StreamParser(const StreamParser&) = delete;
  StreamParser& operator=(const StreamParser&) = delete;

  // ue(v) and se(v), clause 9.1. A code with 32 or more leading zero bits
  // throws the syntax error given at construction.
  ISTREL_FORCE_INLINE std::uint32_t readUe() {
    std::uint32_t window = peek32();
    if (window == 0) fail(syntaxError_);
    unsigned leadingZeros = static_cast<unsigned>(std::countl_zero(window));
    skipBits(leadingZeros + 1);
    if (leadingZeros == 0) return 0;
    return (1u << leadingZeros) - 1 + readBits(leadingZeros);
  }

  ISTREL_FORCE_INLINE std::int32_t readSe() {
    std::uint32_t k = readUe();
    std::int32_t magnitude = static_cast<std::int32_t>((k >> 1) + (k & 1));
    return (k & 1) ? magnitude : -magnitude;
  }

  // rbsp_trailing_bits: 1 when the stop bit is 1 (the position then moves to
  // the next byte boundary), 0 when it is 0.
  int readTrailingBits();

  // more_rbsp_data(), clause 7.2: 1 while data other than the trailing bits
  // follows the current position. Consumes nothing.
  int moreRbspData() const;

  // The position and window, for a hot loop to work on a local copy.
  BitWindow& window() { return *this; }

 private:
  int syntaxError_;
};

ISTREL_LEVEL_END
}  // namespace H264
