// v210 conversion: every layout of a last partial group, stripes, chroma rows and depths.
#include "api/v210_converter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/v210_model.h"

namespace istrel::test {
namespace {

constexpr char kCanary = static_cast<char>(0xA5);

// The layout of a picture and of its conversion.
struct Layout {
  int width;
  bool is422, full;
  int lumaDepth, chromaDepth;
  int height = 24;
};

// Converts a picture of random samples in layout `l` into a host buffer
// prefilled with a canary, so untouched bytes show; what is wrong with the
// rows as the model packs them (v210Problem), empty when nothing is.
std::string conversionProblem(const Layout& l) {
  std::mt19937 random(static_cast<unsigned>(l.width * 7919 + l.height));
  std::vector<unsigned short> planes[3];  // luma, Cb, Cr
  for (int c = 0; c < 3; ++c) {
    const int rows = c && !l.is422 ? l.height / 2 : l.height;
    planes[c].resize(std::size_t(c ? l.width / 2 : l.width) * rows);
    for (auto& s : planes[c])
      s = static_cast<unsigned short>(random() % (1u << (c ? l.chromaDepth : l.lumaDepth)));
  }
  const H264::V210Geometry geometry = H264::V210Geometry::of(l.width, l.height, l.full);
  std::vector<char> output(geometry.bytes(), kCanary);
  H264::V210Job job{};
  job.output = output.data();
  for (int c = 0; c < 3; ++c) job.planes[c] = planes[c].data();
  job.width = l.width;
  job.is422 = l.is422;
  job.bitDepthLuma = l.lumaDepth;
  job.bitDepthChroma = l.chromaDepth;
  job.kernels = &H264::kernelsFor<unsigned short>(H264::defaultKernelLevel());
  job.geometry = geometry;
  H264::convertToV210(job);
  const V210Source source{{planes[0].data(), planes[1].data(), planes[2].data()},
                          l.width,
                          l.is422,
                          l.lumaDepth,
                          l.chromaDepth};
  return v210Problem(source, geometry, output.data(), kCanary);
}

// The rows a conversion writes: half width and height for the preview, six
// stripes or three, rows as long as the host says (128 bytes per 48 pixels).
TEST(V210Geometry, RowsStripesAndBytes) {
  const struct {
    int width, height;
    bool full;
    int outWidth, outHeight, stripes, rowsPerStripe, rowBytes;
  } cases[] = {{1920, 1080, true, 1920, 1080, 6, 180, 5120},
               {1920, 1080, false, 960, 540, 3, 180, 2560},
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
    EXPECT_EQ(g.rowBytes, c.rowBytes);
  }
}

// Output widths with remainders 1..5 after the whole groups, full size and
// preview, each component scaled from its own depth (the padding never); and
// 1088 rows, whose last two are beyond the last whole stripe of 181.
TEST(V210Converter, PartialGroupsArePaddedAndBytesAfterThemUntouched) {
  const Layout layouts[] = {
      {7, true, true, 10, 10},    {8, true, true, 8, 8},         {9, false, true, 12, 12},
      {10, false, true, 8, 10},   {11, true, true, 10, 8},       {14, true, false, 14, 9},
      {16, false, false, 10, 10}, {22, true, false, 9, 14},      {96, false, false, 10, 10},
      {96, true, false, 8, 12},   {96, true, true, 10, 10, 1088}};
  for (const auto& l : layouts) {
    SCOPED_TRACE(testing::Message()
                 << l.width << "x" << l.height << (l.is422 ? " 4:2:2 " : " 4:2:0 ") << l.full << " "
                 << l.lumaDepth << " " << l.chromaDepth);
    EXPECT_EQ(conversionProblem(l), "");
  }
}

}  // namespace
}  // namespace istrel::test
