// v210 conversion: every layout of a last partial group, stripes, chroma rows and depths.
#include "api/v210_converter.h"

#include <gtest/gtest.h>
#include <zonmediatypes/pixel_format.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "support/v210_check.h"

namespace istrel::test {
namespace {

// The rows a conversion writes: half width and height for the preview, six
// stripes or three, rows as long as the host says (128 bytes per 48 pixels).
TEST(V210Geometry, RowsStripesAndBytes) {
  const struct {
    int width, height;
    bool full;
    int outWidth, outHeight, stripes, rowsPerStripe, rowBytes;
  } cases[] = {{1920, 1080, true, 1920, 1080, 6, 180, 5120},
               {1920, 1080, false, 960, 540, 3, 180, 2560},
               {1280, 720, true, 1280, 720, 6, 120, 3456},
               {1920, 1088, true, 1920, 1088, 6, 181, 5120},
               {1440, 1081, false, 720, 540, 3, 180, 1920},
               {49, 5, true, 49, 5, 6, 0, 256},
               {1, 8, false, 0, 0, 3, 0, 0}};
  for (const auto& c : cases) {
    const H264::V210Geometry g = H264::V210Geometry::of(c.width, c.height, c.full);
    SCOPED_TRACE(testing::Message()
                 << c.width << "x" << c.height << (c.full ? " full" : " preview"));
    EXPECT_EQ(g.width, c.outWidth);
    EXPECT_EQ(g.height, c.outHeight);
    EXPECT_EQ(g.stripes, c.stripes);
    EXPECT_EQ(g.rowsPerStripe(), c.rowsPerStripe);
    EXPECT_EQ(g.rowsWritten(), c.rowsPerStripe * c.stripes);
    EXPECT_EQ(g.rowBytes, c.rowBytes);
    EXPECT_EQ(g.bytes(), std::size_t(c.rowBytes) * c.outHeight);
  }
}

// Output widths with remainders 1..5 after the whole groups, full size and
// preview, each component scaled from its own depth (the padding never).
TEST(V210Converter, PartialGroupsArePaddedAndBytesAfterThemUntouched) {
  const struct {
    int width;
    bool is422, full;
    int lumaDepth, chromaDepth;
  } layouts[] = {{7, true, true, 10, 10},    {8, true, true, 8, 8},    {9, false, true, 12, 12},
                 {10, false, true, 8, 10},   {11, true, true, 10, 8},  {14, true, false, 14, 9},
                 {16, false, false, 10, 10}, {22, true, false, 9, 14}, {96, false, false, 10, 10},
                 {96, true, false, 8, 12}};
  for (const auto& l : layouts) {
    SCOPED_TRACE(testing::Message() << l.width << (l.is422 ? " 4:2:2 " : " 4:2:0 ") << l.full << " "
                                    << l.lumaDepth << " " << l.chromaDepth);
    const Picture p(l.width, 24, l.is422, l.lumaDepth, l.chromaDepth);
    const Output out(p, l.full);
    expectConverted(p, out, l.full, 0, out.rows);
  }
}

TEST(V210Converter, RowsBeyondTheLastWholeStripeStayUntouched) {
  const Picture p(96, 1088, true);
  const Output out(p, true);  // 181 rows per stripe
  expectConverted(p, out, true, 0, 1086);
  for (const char* b = out.row(1086); b < out.row(1088); ++b) ASSERT_EQ(*b, kCanary);
}

}  // namespace
}  // namespace istrel::test
