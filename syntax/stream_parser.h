// Bit reader over one RBSP (a NAL unit payload with its emulation-prevention
// bytes already removed), ITU-T H.264 clauses 7.2 and 9.1.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/compiler.h"
#include "core/errors.h"

namespace H264 {

class StreamParser {
 public:
  // `syntaxError` is the code thrown for an Exp-Golomb code that no stream
  // may hold: the calling parser's own error (parameter sets or slices).
  StreamParser(const unsigned char* start, std::uint32_t sizeBytes, int syntaxError = kSliceError);
  virtual ~StreamParser() = default;

  StreamParser(const StreamParser&) = delete;
  StreamParser& operator=(const StreamParser&) = delete;

  // The next 32 bits, without consuming them. Bits past the end read as 0.
  ISTREL_FORCE_INLINE std::uint32_t peek32() const {
    return bitPos_ == 0 ? curWord_ : (curWord_ << bitPos_) | (nextWord_ >> (32 - bitPos_));
  }

  // Consumes n bits, 0 to 32.
  ISTREL_FORCE_INLINE void skipBits(unsigned n) {
    bitPos_ += n;
    if (bitPos_ >= 32) advanceWord();
  }

  // The next n bits, 1 to 32, as an unsigned value.
  ISTREL_FORCE_INLINE std::uint32_t readBits(unsigned n) {
    std::uint32_t value = peek32() >> (32 - n);
    skipBits(n);
    return value;
  }

  ISTREL_FORCE_INLINE std::uint32_t readBit() {
    std::uint32_t value = (curWord_ >> (31 - bitPos_)) & 1;
    skipBits(1);
    return value;
  }

  ISTREL_FORCE_INLINE bool readFlag() { return readBit() != 0; }

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

  void alignToByte();
  // Moves to `bitOffset` bits from the start of the RBSP.
  void seek(std::size_t bitOffset);
  bool byteAligned() const { return (bitPos_ & 7) == 0; }

  // Bits consumed since the start of the RBSP.
  std::size_t bitOffset() const { return wordOffset_ * 8 + bitPos_; }
  std::uint32_t sizeBytes() const { return sizeBytes_; }
  const unsigned char* data() const { return start_; }
  int syntaxError() const { return syntaxError_; }

 private:
  // Loads the big-endian word at `offset`; bytes outside the RBSP read as 0,
  // so nothing past its end is ever touched.
  std::uint32_t loadWord(std::size_t offset) const {
    if (offset + 4 <= sizeBytes_) {
      std::uint32_t raw;
      std::memcpy(&raw, start_ + offset, 4);
      if constexpr (std::endian::native == std::endian::little) raw = __builtin_bswap32(raw);
      return raw;
    }
    return loadTail(offset);
  }
  std::uint32_t loadTail(std::size_t offset) const;

  ISTREL_FORCE_INLINE void advanceWord() {
    bitPos_ -= 32;
    wordOffset_ += 4;
    curWord_ = nextWord_;
    nextWord_ = loadWord(wordOffset_ + 4);
  }

  const unsigned char* start_;
  std::uint32_t sizeBytes_;
  std::size_t wordOffset_ = 0;  // byte offset of the word holding the next bit
  std::uint32_t bitPos_ = 0;    // bits of that word already consumed, 0 to 31
  std::uint32_t curWord_;
  std::uint32_t nextWord_;
  int syntaxError_;
};

}  // namespace H264
