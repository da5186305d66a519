// Builds RBSPs bit by bit for parser tests and the fuzz targets, and wraps
// them into an Annex B byte stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "syntax/nal_unit.h"

namespace istrel::test {

class BitWriter {
 public:
  BitWriter& bits(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bit((value >> i) & 1);
    return *this;
  }
  BitWriter& bit(unsigned value) {
    if (used_ % 8 == 0) bytes_.push_back(0);
    if (value) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
    ++used_;
    return *this;
  }
  BitWriter& flag(bool value) { return bit(value ? 1 : 0); }
  // A code written out as '0' and '1' characters; spaces between them are skipped.
  BitWriter& code(const char* text) {
    for (; *text; ++text) {
      if (*text != ' ') bit(*text == '1');
    }
    return *this;
  }
  BitWriter& ue(std::uint32_t value) {
    std::uint64_t code = std::uint64_t{value} + 1;
    int length = 0;
    while ((code >> length) > 1) ++length;
    bits(0, length);
    for (int i = length; i >= 0; --i) bit(static_cast<unsigned>((code >> i) & 1));
    return *this;
  }
  BitWriter& se(std::int32_t value) {
    return ue(value > 0 ? static_cast<std::uint32_t>(2 * value - 1)
                        : static_cast<std::uint32_t>(-2 * std::int64_t{value}));
  }
  // cabac_alignment_one_bit up to the byte boundary.
  BitWriter& alignWithOnes() {
    while (used_ % 8) bit(1);
    return *this;
  }
  // rbsp_trailing_bits: the stop bit, then zeros to the byte boundary.
  BitWriter& trailing() {
    bit(1);
    while (used_ % 8) bit(0);
    return *this;
  }
  std::size_t bitCount() const { return used_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t used_ = 0;
};

using Bytes = std::vector<std::uint8_t>;

// The NAL unit header bytes of what the tests write, nal_ref_idc 3.
inline constexpr std::uint8_t kSpsNal = H264::nalHeaderByte(3, H264::kNalSps);
inline constexpr std::uint8_t kPpsNal = H264::nalHeaderByte(3, H264::kNalPps);
inline constexpr std::uint8_t kIdrSliceNal = H264::nalHeaderByte(3, H264::kNalIdrSlice);
inline constexpr std::uint8_t kSliceNal = H264::nalHeaderByte(3, H264::kNalNonIdrSlice);

// Appends a start code, the header byte and `payload`; with `escape` set,
// emulation-prevention bytes are inserted as an encoder would.
inline void appendNal(Bytes& stream, std::uint8_t header, const Bytes& payload, bool escape = true,
                      bool fourByteStartCode = false) {
  if (fourByteStartCode) stream.push_back(0);
  stream.insert(stream.end(), {0, 0, 1, header});
  int zeros = 0;
  for (std::uint8_t byte : payload) {
    if (escape && zeros >= 2 && byte <= 3) {
      stream.push_back(3);
      zeros = 0;
    }
    stream.push_back(byte);
    zeros = byte == 0 ? zeros + 1 : 0;
  }
}

}  // namespace istrel::test
