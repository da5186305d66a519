#include "syntax/stream_parser.h"

#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

BitWindow::BitWindow(const unsigned char* start, std::uint32_t sizeBytes)
    : start_(start), sizeBytes_(sizeBytes) {
  seek(0);
}

std::uint32_t BitWindow::loadTail(const unsigned char* start, std::uint32_t size,
                                  std::size_t offset) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    std::uint32_t byte = offset + i < size ? start[offset + i] : 0;
    word |= byte << (24 - 8 * i);
  }
  return word;
}

void BitWindow::seek(std::size_t bitOffset) {
  wordOffset_ = bitOffset / 32 * 4;
  bitPos_ = static_cast<std::uint32_t>(bitOffset % 32);
  words_ = std::uint64_t{loadWord(start_, sizeBytes_, wordOffset_)} << 32 |
           loadWord(start_, sizeBytes_, wordOffset_ + 4);
}

int StreamParser::readTrailingBits() {
  if (readBit() == 0) return 0;
  alignToByte();
  return 1;
}

int StreamParser::moreRbspData() const {
  std::size_t byteOffset = bitOffset() / 8;
  if (byteOffset + 1 < sizeBytes()) return 1;
  if (byteOffset >= sizeBytes()) return 0;
  // In the last byte: only the stop bit and zero bits may remain.
  unsigned remaining = 8 - (bitOffset() & 7);
  std::uint32_t rest = peek32() >> (32 - remaining);
  return rest == (1u << (remaining - 1)) ? 0 : 1;
}

ISTREL_LEVEL_END
}  // namespace H264
