// The frame scan of the host path: the slices among the other NAL units,
// each unescaped in place at an aligned offset, ten at most.
#include <gtest/gtest.h>

#include <vector>

#include "api/frame_driver.h"
#include "support/bit_writer.h"

namespace H264 {
namespace {

using istrel::test::appendNal;
using istrel::test::Bytes;
using istrel::test::kIdrSliceNal;
using istrel::test::kPpsNal;
using istrel::test::kSpsNal;

Bytes payloadAt(const Bytes& buffer, const WorkItem& item) {
  auto first = buffer.begin() + item.offset;
  return Bytes(first, first + item.length);
}

TEST(FrameScan, FindsSlicesPastOtherUnitsAndAlignsTheirPayloads) {
  Bytes stream;
  appendNal(stream, nalHeaderByte(0, kNalAccessUnitDelimiter), {0xF0}, false, true);
  appendNal(stream, kSpsNal, {0x7A, 0x10, 0x29}, false, true);
  appendNal(stream, kPpsNal, {0xCE, 0x3C, 0x80}, false);
  appendNal(stream, kIdrSliceNal, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x80}, false,
            true);                                                    // 13 bytes
  appendNal(stream, nalHeaderByte(0, kNalSei), {0x05, 0x80}, false);  // SEI between slices
  appendNal(stream, nalHeaderByte(0, kNalNonIdrSlice), {0x21, 0, 0, 3, 1, 0x80}, false);
  appendNal(stream, nalHeaderByte(0, kNalFiller), {0xFF, 0xFF, 0x80}, false);
  appendNal(stream, nalHeaderByte(2, kNalIdrSlice), {0x42, 0x80}, false);
  std::vector<WorkItem> items = scanSlices(stream.data(), static_cast<int>(stream.size())).items;
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].offset, 0);
  EXPECT_EQ(items[0].length, 13u);
  EXPECT_EQ(items[0].nalHeader, kIdrSliceNal);
  EXPECT_EQ(items[1].offset, 16);  // 13 rounded up to a multiple of four
  EXPECT_EQ(payloadAt(stream, items[1]), (Bytes{0x21, 0, 0, 1, 0x80}));
  EXPECT_EQ(items[1].nalHeader, nalHeaderByte(0, kNalNonIdrSlice));
  EXPECT_EQ(items[2].offset, 24);
  EXPECT_EQ(payloadAt(stream, items[2]), (Bytes{0x42, 0x80}));
}

TEST(FrameScan, TakesAtMostTenSlices) {
  Bytes stream;
  for (std::uint8_t i = 0; i < 11; ++i) appendNal(stream, kIdrSliceNal, {i, 0x80});
  std::vector<WorkItem> items = scanSlices(stream.data(), static_cast<int>(stream.size())).items;
  ASSERT_EQ(items.size(), 10u);
  EXPECT_EQ(payloadAt(stream, items[9]), (Bytes{9, 0x80}));
}

TEST(FrameScan, StopsAtTheEndOfTheBuffer) {
  Bytes stream = {0, 0, 1};  // a start code cut before its header byte
  EXPECT_TRUE(scanSlices(stream.data(), 3).items.empty());
  EXPECT_TRUE(scanSlices(nullptr, 0).items.empty());
  Bytes noise(64, 0xFF);
  EXPECT_TRUE(scanSlices(noise.data(), 64).items.empty());
}

}  // namespace
}  // namespace H264
