#include "syntax/stream_parser.h"

namespace H264 {

StreamParser::StreamParser(const unsigned char* start, std::uint32_t sizeBytes, int syntaxError)
    : start_(start), sizeBytes_(sizeBytes), syntaxError_(syntaxError) {
  curWord_ = loadWord(0);
  nextWord_ = loadWord(4);
}

std::uint32_t StreamParser::loadTail(std::size_t offset) const {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    std::uint32_t byte = offset + i < sizeBytes_ ? start_[offset + i] : 0;
    word |= byte << (24 - 8 * i);
  }
  return word;
}

int StreamParser::readTrailingBits() {
  if (readBit() == 0) return 0;
  alignToByte();
  return 1;
}

void StreamParser::seek(std::size_t bitOffset) {
  wordOffset_ = bitOffset / 32 * 4;
  bitPos_ = static_cast<std::uint32_t>(bitOffset % 32);
  curWord_ = loadWord(wordOffset_);
  nextWord_ = loadWord(wordOffset_ + 4);
}

void StreamParser::alignToByte() { skipBits((8 - (bitPos_ & 7)) & 7); }

int StreamParser::moreRbspData() const {
  std::size_t byteOffset = wordOffset_ + bitPos_ / 8;
  if (byteOffset + 1 < sizeBytes_) return 1;
  if (byteOffset >= sizeBytes_) return 0;
  // In the last byte: only the stop bit and zero bits may remain.
  unsigned remaining = 8 - (bitPos_ & 7);
  std::uint32_t rest = peek32() >> (32 - remaining);
  return rest == (1u << (remaining - 1)) ? 0 : 1;
}

}  // namespace H264
