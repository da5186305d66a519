// The bit reader over one RBSP: fields across its 32-bit words, Exp-Golomb
// codes, the trailing bits and the end of the data.
#include <gtest/gtest.h>

#include <vector>

#include "support/bit_writer.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;
using Bytes = std::vector<std::uint8_t>;

StreamParser over(const Bytes& bytes, int syntaxError = kSliceError) {
  return StreamParser(bytes.data(), static_cast<std::uint32_t>(bytes.size()), syntaxError);
}

TEST(StreamParser, ReadsFieldsAcrossWordBoundaries) {
  // Widths chosen so reads straddle, and end exactly on, 32-bit boundaries.
  const int widths[] = {3, 29, 7, 25, 32, 1, 31, 13, 19, 32, 5, 1, 1};
  std::vector<std::uint32_t> values;
  BitWriter w;
  std::uint32_t seed = 12345;
  for (int width : widths) {
    seed = seed * 1103515245u + 12345u;
    values.push_back(width == 32 ? seed : seed & ((1u << width) - 1));
    w.bits(values.back(), width);
  }
  const Bytes bytes = w.bytes();
  StreamParser p = over(bytes);
  std::size_t consumed = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const unsigned width = static_cast<unsigned>(widths[i]);
    EXPECT_EQ(width == 1 ? p.readBit() : p.readBits(width), values[i]) << "field " << i;
    EXPECT_EQ(p.bitOffset(), consumed += width);
  }
}

TEST(StreamParser, ExpGolombCodes) {
  EXPECT_EQ(over({0x20, 0x00}).readUe(), 3u);
  BitWriter w;
  const std::uint32_t values[] = {0, 1, 2, 7, 254, 255, 65535, 1u << 20, 0xFFFFFFFEu};
  const std::int32_t signedValues[] = {1, -1, 2, -2, 0, 100000, -100000};
  for (std::uint32_t v : values) w.ue(v);
  for (std::int32_t v : signedValues) w.se(v);
  const Bytes bytes = w.bytes();
  StreamParser p = over(bytes);
  for (std::uint32_t v : values) EXPECT_EQ(p.readUe(), v);
  for (std::int32_t v : signedValues) EXPECT_EQ(p.readSe(), v);
  // 31 leading zeros make the longest code; 32 are the caller's syntax error.
  EXPECT_NO_THROW(over({0, 0, 0, 1, 0x80}).readUe());
  for (int code : {kSliceError, kParameterSetError}) {
    try {
      over({0, 0, 0, 0, 0x80}, code).readUe();
      ADD_FAILURE() << "accepted 32 leading zeros";
    } catch (int thrown) {
      EXPECT_EQ(thrown, code);
    }
  }
}

TEST(StreamParser, BytesPastTheEndReadAsZeroAndAreNeverTouched) {
  // The RBSP is the first three bytes; what follows must not be read.
  const Bytes bytes(8, 0xFF);
  StreamParser p(bytes.data(), 3);
  EXPECT_EQ(p.readBits(24), 0xFFFFFFu);
  EXPECT_EQ(p.readBits(32), 0u);
  EXPECT_EQ(p.readBits(32), 0u);
  EXPECT_THROW(p.readUe(), int);
}

TEST(StreamParser, TrailingBitsAlignToTheNextByte) {
  const Bytes bytes = {0x10, 0x01, 0x00, 0x01, 0x80, 0x00};
  StreamParser p = over(bytes);
  p.readBits(3);
  EXPECT_EQ(p.readTrailingBits(), 1);  // stop bit at bit 3: skip to the byte's end
  EXPECT_EQ(p.bitOffset(), 8u);
  p.readBits(7);
  EXPECT_EQ(p.readTrailingBits(), 1);  // stop bit in the byte's last bit: no skip
  EXPECT_EQ(p.bitOffset(), 16u);
  p.readBits(15);
  EXPECT_EQ(p.readTrailingBits(), 1);  // bit 31: the window moves on
  EXPECT_EQ(p.bitOffset(), 32u);
  EXPECT_EQ(p.readTrailingBits(), 1);
  EXPECT_EQ(p.readTrailingBits(), 0);  // a zero where the stop bit belongs
}

TEST(StreamParser, MoreRbspDataLooksForTheStopBit) {
  const Bytes bytes = {0xAB, 0x58};  // 0x58: 0101 1000
  StreamParser p = over(bytes);
  EXPECT_EQ(p.moreRbspData(), 1);  // not yet in the last byte
  p.readBits(8);
  EXPECT_EQ(p.moreRbspData(), 1);  // the next bit is 0
  p.readBits(3);
  EXPECT_EQ(p.moreRbspData(), 1);  // 1 1000: a data bit before the stop bit
  p.readBits(1);
  EXPECT_EQ(p.moreRbspData(), 0);  // 1000: only the trailing bits remain
  p.readBits(4);
  EXPECT_EQ(p.moreRbspData(), 0);  // past the end: nothing more, ever
  const Bytes stop = {0xAB, 0x80};
  StreamParser q = over(stop);
  q.readBits(8);
  EXPECT_EQ(q.moreRbspData(), 0);
}

}  // namespace
}  // namespace H264
