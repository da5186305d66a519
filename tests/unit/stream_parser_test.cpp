#include "syntax/stream_parser.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/bit_writer.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;

StreamParser over(const std::vector<std::uint8_t>& bytes) {
  return StreamParser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

TEST(StreamParser, ReadsFieldsAcrossWordBoundaries) {
  BitWriter w;
  // Widths chosen so reads straddle, and end exactly on, 32-bit boundaries.
  const int widths[] = {3, 29, 7, 25, 32, 1, 31, 13, 19, 32, 5};
  std::vector<std::uint32_t> values;
  std::uint32_t seed = 12345;
  for (int width : widths) {
    seed = seed * 1103515245u + 12345u;
    std::uint32_t v = width == 32 ? seed : seed & ((1u << width) - 1);
    values.push_back(v);
    w.bits(v, width);
  }
  std::vector<std::uint8_t> bytes = w.bytes();
  StreamParser p = over(bytes);
  std::size_t consumed = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(p.readBits(static_cast<unsigned>(widths[i])), values[i]) << "field " << i;
    consumed += static_cast<std::size_t>(widths[i]);
    EXPECT_EQ(p.bitOffset(), consumed);
  }
}

TEST(StreamParser, SingleBitsAndAWordEndingRead) {
  std::vector<std::uint8_t> bytes = {0x00, 0x00, 0x00, 0x01, 0x80, 0, 0, 0};
  StreamParser p = over(bytes);
  p.readBits(25);
  EXPECT_EQ(p.readBits(7), 1u);  // ends exactly on the word boundary
  EXPECT_EQ(p.bitOffset(), 32u);
  EXPECT_EQ(p.readBit(), 1u);
  EXPECT_EQ(p.readBit(), 0u);
}

TEST(StreamParser, ExpGolombCodes) {
  EXPECT_EQ(over({0x80}).readUe(), 0u);
  EXPECT_EQ(over({0x40}).readUe(), 1u);
  EXPECT_EQ(over({0x20, 0x00}).readUe(), 3u);
  BitWriter w;
  const std::uint32_t values[] = {0, 1, 2, 7, 254, 255, 65535, 1u << 20, 0xFFFFFFFEu};
  for (std::uint32_t v : values) w.ue(v);
  for (std::int32_t v : {1, -1, 2, -2, 0, 100000, -100000}) w.se(v);
  std::vector<std::uint8_t> bytes = w.bytes();
  StreamParser p = over(bytes);
  for (std::uint32_t v : values) EXPECT_EQ(p.readUe(), v);
  for (std::int32_t v : {1, -1, 2, -2, 0, 100000, -100000}) EXPECT_EQ(p.readSe(), v);
}

// The code readUe() throws over `bytes`, or 0.
int ueErrorOver(const std::vector<std::uint8_t>& bytes, int syntaxError) {
  StreamParser p(bytes.data(), static_cast<std::uint32_t>(bytes.size()), syntaxError);
  try {
    p.readUe();
  } catch (int code) {
    return code;
  }
  return 0;
}

TEST(StreamParser, CodeWithThirtyTwoLeadingZerosIsTheCallersSyntaxError) {
  std::vector<std::uint8_t> bytes = {0, 0, 0, 0, 0x80};
  EXPECT_EQ(ueErrorOver(bytes, kSliceError), kSliceError);
  EXPECT_EQ(ueErrorOver(bytes, kParameterSetError), kParameterSetError);
  EXPECT_EQ(ueErrorOver({0, 0, 0, 1, 0x80}, kSliceError), 0);  // 31 zeros: the longest code
}

TEST(StreamParser, BytesPastTheEndReadAsZeroAndAreNeverTouched) {
  // The RBSP is the first three bytes; what follows must not be read.
  std::vector<std::uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  StreamParser p(bytes.data(), 3);
  EXPECT_EQ(p.readBits(24), 0xFFFFFFu);
  EXPECT_EQ(p.readBits(32), 0u);
  EXPECT_EQ(p.readBits(32), 0u);
  EXPECT_THROW(p.readUe(), int);
}

TEST(StreamParser, TrailingBitsAlignToTheNextByte) {
  std::vector<std::uint8_t> bytes = {0x10, 0x01, 0x00, 0x01, 0x80, 0x00};
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
  std::vector<std::uint8_t> bytes = {0xAB, 0x80};
  StreamParser p = over(bytes);
  EXPECT_EQ(p.moreRbspData(), 1);  // not yet in the last byte
  p.readBits(8);
  EXPECT_EQ(p.moreRbspData(), 0);  // 1000 0000: only the trailing bits remain

  std::vector<std::uint8_t> last = {0x58};  // 0101 1000
  StreamParser q = over(last);
  EXPECT_EQ(q.moreRbspData(), 1);  // the next bit is 0
  q.readBits(3);
  EXPECT_EQ(q.moreRbspData(), 1);  // 1 1000: a data bit before the stop bit
  q.readBits(1);
  EXPECT_EQ(q.moreRbspData(), 0);  // 1000
  q.readBits(4);
  EXPECT_EQ(q.moreRbspData(), 0);  // past the end: nothing more, ever
}

}  // namespace
}  // namespace H264
