// The bit position of a reader over one RBSP and its two-word window onto
// the bytes there. A plain value: a hot loop copies it into a local variable,
// where no store through another pointer can alias it and it stays in
// registers, and copies it back when done.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/compiler.h"
#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

class BitWindow {
 public:
  BitWindow(const unsigned char* start, std::uint32_t sizeBytes);

  // The next 32 bits, without consuming them. Bits past the end read as 0.
  ISTREL_FORCE_INLINE std::uint32_t peek32() const {
    return static_cast<std::uint32_t>((words_ << bitPos_) >> 32);
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
    std::uint32_t value = static_cast<std::uint32_t>(words_ >> (63 - bitPos_)) & 1;
    skipBits(1);
    return value;
  }

  ISTREL_FORCE_INLINE bool readFlag() { return readBit() != 0; }

  void alignToByte() { skipBits((8 - (bitPos_ & 7)) & 7); }
  // Moves to `bitOffset` bits from the start of the RBSP.
  void seek(std::size_t bitOffset);
  bool byteAligned() const { return (bitPos_ & 7) == 0; }

  // Bits consumed since the start of the RBSP.
  std::size_t bitOffset() const { return wordOffset_ * 8 + bitPos_; }
  std::uint32_t sizeBytes() const { return sizeBytes_; }
  const unsigned char* data() const { return start_; }

 private:
  // The big-endian word at `offset`; bytes outside the RBSP read as 0, so
  // nothing past its end is ever touched.
  static std::uint32_t loadWord(const unsigned char* start, std::uint32_t size,
                                std::size_t offset) {
    if (offset + 4 <= size) {
      return loadBigEndian<std::uint32_t>(start + offset);
    }
    return loadTail(start, size, offset);
  }
  static std::uint32_t loadTail(const unsigned char* start, std::uint32_t size, std::size_t offset);

  ISTREL_FORCE_INLINE void advanceWord() {
    bitPos_ -= 32;
    wordOffset_ += 4;
    words_ = words_ << 32 | loadWord(start_, sizeBytes_, wordOffset_ + 4);
  }

  const unsigned char* start_;
  std::uint32_t sizeBytes_;
  std::size_t wordOffset_ = 0;  // byte offset of the word holding the next bit
  std::uint32_t bitPos_ = 0;    // bits of that word already consumed, 0 to 31
  std::uint64_t words_;         // the word holding the next bit, then the word after it
};

ISTREL_LEVEL_END
}  // namespace H264
