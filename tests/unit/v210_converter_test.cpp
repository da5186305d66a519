#include "api/v210_converter.h"

#include <gtest/gtest.h>
#include <zonmediatypes/pixel_format.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using H264::V210Job;

constexpr char kCanary = static_cast<char>(0xA5);
constexpr int kGroupBytes = 16;

struct Picture {
  int width;
  int height;
  bool is422;
  int lumaDepth;
  int chromaDepth;
  std::vector<unsigned short> luma;
  std::vector<unsigned short> cb;
  std::vector<unsigned short> cr;

  int chromaWidth() const { return width / 2; }
  int chromaHeight() const { return is422 ? height : height / 2; }
};

Picture blankPicture(int width, int height, bool is422, int lumaDepth, int chromaDepth) {
  Picture p{width, height, is422, lumaDepth, chromaDepth, {}, {}, {}};
  p.luma.resize(static_cast<size_t>(width) * height);
  p.cb.resize(static_cast<size_t>(p.chromaWidth()) * p.chromaHeight());
  p.cr.resize(p.cb.size());
  return p;
}

Picture randomPicture(int width, int height, bool is422, int lumaDepth = 10, int chromaDepth = 10) {
  Picture p = blankPicture(width, height, is422, lumaDepth, chromaDepth);
  std::mt19937 random(static_cast<unsigned>(width * 7919 + height));
  std::uniform_int_distribution<int> luma(0, (1 << lumaDepth) - 1);
  std::uniform_int_distribution<int> chroma(0, (1 << chromaDepth) - 1);
  for (auto& s : p.luma) s = static_cast<unsigned short>(luma(random));
  for (auto& s : p.cb) s = static_cast<unsigned short>(chroma(random));
  for (auto& s : p.cr) s = static_cast<unsigned short>(chroma(random));
  return p;
}

// The host buffer, prefilled with a canary so untouched bytes can be told apart.
struct Output {
  int width;  // pixels per output row
  int rows;
  int rowBytes;
  std::vector<char> bytes;

  Output(const Picture& p, bool fullResolution)
      : width(fullResolution ? p.width : p.width / 2),
        rows(fullResolution ? p.height : p.height / 2),
        rowBytes(static_cast<int>(zonmediatypes::UncompressedPixelFormatRowBytes(
            zonmediatypes::kPixelFormat_V210_422_10u_709, width))),
        bytes(static_cast<size_t>(rowBytes) * rows, kCanary) {}

  const char* row(int o) const { return bytes.data() + static_cast<ptrdiff_t>(o) * rowBytes; }
  int groups() const { return (width + 5) / 6; }
};

V210Job jobFor(const Picture& p, char* output, int stripes, bool fullResolution) {
  return V210Job{output,         {p.luma.data(), p.cb.data(), p.cr.data()},
                 p.height,       p.width,
                 stripes,        p.is422,
                 fullResolution, p.lumaDepth,
                 p.chromaDepth};
}

struct Components {
  std::vector<std::uint32_t> y, cb, cr;
  bool topBitsClear = true;
  bool operator==(const Components&) const = default;
};

std::uint32_t wordAt(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
         std::uint32_t{b[3]} << 24;
}

// v210 is the component sequence Cb Y Cr Y Cb Y Cr Y ..., three 10-bit fields per word.
Components unpack(const char* row, int groups) {
  Components c;
  for (int w = 0; w < groups * 4; ++w) {
    const std::uint32_t word = wordAt(row + 4 * w);
    c.topBitsClear = c.topBitsClear && (word >> 30) == 0;
    for (int k = 0; k < 3; ++k) {
      const std::uint32_t value = (word >> (10 * k)) & 0x3FF;
      const int n = 3 * w + k;
      (n % 2 == 1 ? c.y : n % 4 == 0 ? c.cb : c.cr).push_back(value);
    }
  }
  return c;
}

std::uint32_t toTenBits(unsigned short v, int depth) {
  return depth < 10 ? std::uint32_t{v} << (10 - depth) : std::uint32_t{v} >> (depth - 10);
}

// What output row `o` should hold: the picture subsampled by t, then padded with black up to
// whole groups; a padded group takes source pixels only in whole 4:2:2 pairs.
Components expectedRow(const Picture& p, bool fullResolution, int o) {
  const int t = fullResolution ? 1 : 2;
  const int width = p.width / t;
  const int remainder = width % 6;
  const int sourced = width - remainder + (remainder % 2 == 0 ? remainder : 0);
  const int chromaRow = p.is422 ? o * t : t * (o / 2);
  const unsigned short* luma = &p.luma[static_cast<size_t>(o) * t * p.width];
  const size_t chromaStart = static_cast<size_t>(chromaRow) * p.chromaWidth();
  Components c;
  const int padded = (width + 5) / 6 * 6;
  for (int x = 0; x < padded; ++x) {
    c.y.push_back(x < sourced ? toTenBits(luma[x * t], p.lumaDepth) : 16);
  }
  for (int x = 0; x < padded / 2; ++x) {
    const bool inside = x < sourced / 2;
    c.cb.push_back(inside ? toTenBits(p.cb[chromaStart + x * t], p.chromaDepth) : 128);
    c.cr.push_back(inside ? toTenBits(p.cr[chromaStart + x * t], p.chromaDepth) : 128);
  }
  return c;
}

bool untouched(const char* begin, const char* end) {
  for (const char* b = begin; b < end; ++b) {
    if (*b != kCanary) return false;
  }
  return true;
}

// Rows [begin, end) hold the converted picture and nothing past their last group was written.
::testing::AssertionResult rowsConverted(const Picture& p, const Output& out, bool fullResolution,
                                         int begin, int end) {
  for (int o = begin; o < end; ++o) {
    const Components actual = unpack(out.row(o), out.groups());
    if (!actual.topBitsClear) return ::testing::AssertionFailure() << "row " << o << ": bits 30-31";
    if (!(actual == expectedRow(p, fullResolution, o))) {
      return ::testing::AssertionFailure() << "row " << o << " differs from the picture";
    }
    if (!untouched(out.row(o) + out.groups() * kGroupBytes, out.row(o) + out.rowBytes)) {
      return ::testing::AssertionFailure() << "row " << o << ": bytes past the last group";
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult rowsUntouched(const Output& out, int begin, int end) {
  for (int o = begin; o < end; ++o) {
    if (!untouched(out.row(o), out.row(o) + out.rowBytes)) {
      return ::testing::AssertionFailure() << "row " << o << " was written";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(V210ConverterTest, FullHdFrameIsConvertedBySixStripes) {
  const Picture p = randomPicture(1920, 1080, true);
  Output out(p, true);
  ASSERT_EQ(out.rowBytes, 320 * kGroupBytes);
  H264::convertToV210(jobFor(p, out.bytes.data(), 6, true));
  EXPECT_TRUE(rowsConverted(p, out, true, 0, 1080));
}

TEST(V210ConverterTest, StripeWritesOnlyItsOwnRows) {
  const Picture p = randomPicture(48, 60, true);
  Output out(p, true);
  EXPECT_EQ(H264::convertStripeToV210(jobFor(p, out.bytes.data(), 6, true), 2), nullptr);
  EXPECT_TRUE(rowsUntouched(out, 0, 20));
  EXPECT_TRUE(rowsConverted(p, out, true, 20, 30));
  EXPECT_TRUE(rowsUntouched(out, 30, 60));
}

TEST(V210ConverterTest, RowsBeyondTheLastWholeStripeStayUntouched) {
  const Picture p = randomPicture(96, 1088, true);
  Output out(p, true);
  H264::convertToV210(jobFor(p, out.bytes.data(), 6, true));
  EXPECT_TRUE(rowsConverted(p, out, true, 0, 1086));
  EXPECT_TRUE(rowsUntouched(out, 1086, 1088));
}

TEST(V210ConverterTest, TooFewRowsForTheStripesWritesNothing) {
  const Picture p = randomPicture(12, 4, true);
  Output out(p, false);
  H264::convertToV210(jobFor(p, out.bytes.data(), 3, false));
  EXPECT_TRUE(rowsUntouched(out, 0, out.rows));
}

TEST(V210ConverterTest, Width1280PadsTheLastGroupAfterOnePair) {
  const Picture p = randomPicture(1280, 2, true);
  Output out(p, true);
  H264::convertToV210(jobFor(p, out.bytes.data(), 1, true));
  const char* tail = out.row(1) + 213 * kGroupBytes;
  const std::uint32_t y0 = p.luma[1280 + 1278], y1 = p.luma[1280 + 1279];
  const std::uint32_t cb0 = p.cb[640 + 639], cr0 = p.cr[640 + 639];
  EXPECT_EQ(wordAt(tail), cb0 + y0 * 1024 + cr0 * (1u << 20));
  EXPECT_EQ(wordAt(tail + 4), y1 + 128 * 1024 + 16 * (1u << 20));
  EXPECT_EQ(wordAt(tail + 8), 128 + 16 * 1024 + 128 * (1u << 20));
  EXPECT_EQ(wordAt(tail + 12), 16 + 128 * 1024 + 16 * (1u << 20));
  EXPECT_TRUE(untouched(tail + kGroupBytes, out.row(1) + out.rowBytes));
}

struct Layout {
  int width;
  bool is422;
  bool fullResolution;
};

std::string layoutName(const ::testing::TestParamInfo<Layout>& info) {
  return std::to_string(info.param.width) + (info.param.is422 ? "x422" : "x420") +
         (info.param.fullResolution ? "Full" : "Preview");
}

class V210LayoutTest : public ::testing::TestWithParam<Layout> {};

TEST_P(V210LayoutTest, MatchesThePictureAndPadsPartialGroups) {
  const Layout layout = GetParam();
  const Picture p = randomPicture(layout.width, 24, layout.is422);
  Output out(p, layout.fullResolution);
  H264::convertToV210(
      jobFor(p, out.bytes.data(), layout.fullResolution ? 6 : 3, layout.fullResolution));
  EXPECT_TRUE(rowsConverted(p, out, layout.fullResolution, 0, out.rows));
}

// Output widths 7..11 leave remainders 1..5 after the whole groups.
INSTANTIATE_TEST_SUITE_P(Tails, V210LayoutTest,
                         ::testing::Values(Layout{7, true, true}, Layout{8, true, true},
                                           Layout{9, false, true}, Layout{10, false, true},
                                           Layout{11, true, true}, Layout{14, true, false},
                                           Layout{16, false, false}, Layout{22, true, false}),
                         layoutName);

INSTANTIATE_TEST_SUITE_P(Subsampling, V210LayoutTest,
                         ::testing::Values(Layout{96, true, true}, Layout{96, false, true},
                                           Layout{96, true, false}, Layout{96, false, false}),
                         layoutName);

TEST(V210ConverterTest, Preview420TakesChromaFromEvenRowsInPairs) {
  Picture p = blankPicture(24, 16, false, 10, 10);
  for (int r = 0; r < p.chromaHeight(); ++r) {
    for (int x = 0; x < p.chromaWidth(); ++x) {
      p.cb[static_cast<size_t>(r * p.chromaWidth() + x)] = static_cast<unsigned short>(64 * r + x);
    }
  }
  Output out(p, false);
  H264::convertToV210(jobFor(p, out.bytes.data(), 1, false));
  const int chromaRows[] = {0, 0, 2, 2, 4, 4, 6, 6};
  for (int o = 0; o < out.rows; ++o) {
    const Components c = unpack(out.row(o), out.groups());
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(c.cb[static_cast<size_t>(x)], 64u * chromaRows[o] + 2u * x) << o << "," << x;
    }
  }
}

Picture flatPicture(int width, int lumaDepth, unsigned short luma, int chromaDepth,
                    unsigned short chroma) {
  Picture p = blankPicture(width, 2, true, lumaDepth, chromaDepth);
  std::fill(p.luma.begin(), p.luma.end(), luma);
  std::fill(p.cb.begin(), p.cb.end(), chroma);
  std::fill(p.cr.begin(), p.cr.end(), chroma);
  return p;
}

Components convertFirstRow(const Picture& p) {
  Output out(p, true);
  H264::convertToV210(jobFor(p, out.bytes.data(), 1, true));
  return unpack(out.row(0), out.groups());
}

TEST(V210ScalingTest, EightBitSamplesAreShiftedUp) {
  const Components c = convertFirstRow(flatPicture(12, 8, 200, 8, 100));
  EXPECT_EQ(c.y, std::vector<std::uint32_t>(12, 800));
  EXPECT_EQ(c.cb, std::vector<std::uint32_t>(6, 400));
  EXPECT_EQ(c.cr, std::vector<std::uint32_t>(6, 400));
}

TEST(V210ScalingTest, TwelveBitSamplesAreShiftedDown) {
  const Components c = convertFirstRow(flatPicture(12, 12, 4000, 12, 2052));
  EXPECT_EQ(c.y, std::vector<std::uint32_t>(12, 1000));
  EXPECT_EQ(c.cb, std::vector<std::uint32_t>(6, 513));
}

TEST(V210ScalingTest, LumaAndChromaUseTheirOwnDepths) {
  const Components eightBitLuma = convertFirstRow(flatPicture(6, 8, 255, 10, 1000));
  EXPECT_EQ(eightBitLuma.y, std::vector<std::uint32_t>(6, 1020));
  EXPECT_EQ(eightBitLuma.cr, std::vector<std::uint32_t>(3, 1000));
  const Components eightBitChroma = convertFirstRow(flatPicture(6, 10, 1000, 8, 255));
  EXPECT_EQ(eightBitChroma.y, std::vector<std::uint32_t>(6, 1000));
  EXPECT_EQ(eightBitChroma.cr, std::vector<std::uint32_t>(3, 1020));
}

TEST(V210ScalingTest, PaddingIsNotScaled) {
  const Components c = convertFirstRow(flatPicture(8, 8, 50, 8, 60));
  EXPECT_EQ(c.y,
            (std::vector<std::uint32_t>{200, 200, 200, 200, 200, 200, 200, 200, 16, 16, 16, 16}));
  EXPECT_EQ(c.cb, (std::vector<std::uint32_t>{240, 240, 240, 240, 128, 128}));
}

TEST(V210ConverterTest, WritesRowsAtAnyAlignment) {
  const Picture p = randomPicture(60, 8, true);
  Output aligned(p, true);
  H264::convertToV210(jobFor(p, aligned.bytes.data(), 2, true));
  std::vector<char> shifted(aligned.bytes.size() + 1, kCanary);
  H264::convertToV210(jobFor(p, shifted.data() + 1, 2, true));
  EXPECT_EQ(std::vector<char>(shifted.begin() + 1, shifted.end()), aligned.bytes);
}

}  // namespace
