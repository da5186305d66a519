// The bit reader over one RBSP where the vectors do not take it: Exp-Golomb
// codes at their limits, and the end of the data.
#include <gtest/gtest.h>

#include <vector>

#include "support/bit_writer.h"
#include "support/thrown.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;
using Bytes = std::vector<std::uint8_t>;

StreamParser over(const Bytes& bytes, int syntaxError = kSliceError) {
  return StreamParser(bytes.data(), static_cast<std::uint32_t>(bytes.size()), syntaxError);
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
    EXPECT_EQ(istrel::test::thrownCode([&] { over({0, 0, 0, 0, 0x80}, code).readUe(); }), code);
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

}  // namespace
}  // namespace H264
