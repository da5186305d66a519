// A damaged slice costs only its own macroblocks: the other slices of the
// frame decode as before, and the next frame is whole again.
#include <gtest/gtest.h>

#include "common/annexb_file.h"
#include "common/md5.h"
#include "common/stream_decoder.h"
#include "support/vectors.h"

namespace {

using namespace istrel::tools;

std::vector<std::uint16_t> lumaRows(const StreamDecoder& d, int first, int last) {
  PictureView v = d.view();
  std::vector<std::uint16_t> rows;
  for (int y = first; y < last; ++y) {
    rows.insert(rows.end(), v.plane[0] + y * v.stride[0],
                v.plane[0] + y * v.stride[0] + v.width[0]);
  }
  return rows;
}

// The n-th slice NAL unit of access unit `unit`.
const NalUnit& sliceOf(const AnnexBStream& s, const AccessUnit& unit, int n) {
  for (std::size_t i = unit.firstNal; i < unit.firstNal + unit.nalCount; ++i) {
    if (s.nals[i].isSlice() && n-- == 0) return s.nals[i];
  }
  throw std::out_of_range("no such slice");
}

TEST(SliceErrors, StayInsideTheirSlice) {
  // 1280x720, ten slices of 360 macroblocks (4.5 macroblock rows) each.
  AnnexBStream clean = splitAnnexB(readFile(istrel::test::samplePath()));
  StreamDecoder reference(H264::DecodeMode::kConformant);
  ASSERT_TRUE(reference.decode(clean, clean.units[0]));

  AnnexBStream damaged = clean;
  const NalUnit& slice5 = sliceOf(damaged, damaged.units[0], 5);
  for (std::size_t i = slice5.offset + 40; i < slice5.offset + slice5.size - 40; i += 7) {
    damaged.bytes[i] = 0xFF;
  }
  StreamDecoder decoder(H264::DecodeMode::kConformant);
  ASSERT_TRUE(decoder.decode(damaged, damaged.units[0]));
  EXPECT_EQ(decoder.core().errorFlags(), 2u);
  // Slices 0-4 end at macroblock 1800 (luma row 352 is still slice 4's),
  // slices 6-9 start at macroblock 2160 (row 432 onwards).
  EXPECT_EQ(lumaRows(decoder, 0, 352), lumaRows(reference, 0, 352));
  EXPECT_EQ(lumaRows(decoder, 432, 720), lumaRows(reference, 432, 720));

  ASSERT_TRUE(decoder.decode(clean, clean.units[1]));
  ASSERT_TRUE(reference.decode(clean, clean.units[1]));
  EXPECT_EQ(lumaRows(decoder, 0, 720), lumaRows(reference, 0, 720));
}

TEST(SliceErrors, TruncatedAndZeroedSlicesEndWithAnError) {
  AnnexBStream clean = splitAnnexB(readFile(istrel::test::samplePath()));
  for (int variant = 0; variant < 2; ++variant) {
    AnnexBStream damaged = clean;
    const NalUnit& slice = sliceOf(damaged, damaged.units[0], 2);
    std::size_t from = slice.offset + slice.size / 2;
    std::size_t to = variant == 0 ? from + 64 : slice.offset + slice.size;
    std::fill(damaged.bytes.begin() + static_cast<std::ptrdiff_t>(from),
              damaged.bytes.begin() + static_cast<std::ptrdiff_t>(to), std::uint8_t{0});
    damaged = splitAnnexB(damaged.bytes);  // zeros may end the NAL unit early
    StreamDecoder decoder(H264::DecodeMode::kCompatible);
    ASSERT_TRUE(decoder.decode(damaged, damaged.units[0]));
    EXPECT_EQ(decoder.core().errorFlags() & 2u, 2u) << "variant " << variant;
  }
}

}  // namespace
