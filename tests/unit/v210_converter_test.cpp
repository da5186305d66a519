// v210 conversion: every layout of a last partial group, stripes, chroma rows and depths,
// and the bytes the exported functions deliver for two vectors.
#include "api/v210_converter.h"

#include <gtest/gtest.h>
#include <zonmediatypes/pixel_format.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "support/host.h"
#include "support/vectors.h"

namespace {

using H264::V210Job;
using istrel::test::VectorCase;
using Words = std::vector<std::uint32_t>;

constexpr char kCanary = static_cast<char>(0xA5);

struct Picture {
  int width, height;
  bool is422;
  int lumaDepth, chromaDepth;
  std::vector<unsigned short> planes[3];  // luma, Cb, Cr

  Picture(int w, int h, bool is422, int lumaDepth = 10, int chromaDepth = 10)
      : width(w), height(h), is422(is422), lumaDepth(lumaDepth), chromaDepth(chromaDepth) {
    std::mt19937 random(static_cast<unsigned>(w * 7919 + h));
    for (int c = 0; c < 3; ++c) {
      planes[c].resize(c ? std::size_t(w / 2) * (is422 ? h : h / 2) : std::size_t(w) * h);
      for (auto& s : planes[c])
        s = static_cast<unsigned short>(random() % (1u << (c ? chromaDepth : lumaDepth)));
    }
  }
  // The rows a handle decoded, as far as its host fields reach.
  Picture(const AVCIntraInfo& h, int depth) : Picture(h.width, h.height, h.is422, depth, depth) {
    for (int c = 0; c < 3; ++c) {
      std::copy_n(reinterpret_cast<const unsigned short*>(h.planes[c]), planes[c].size(),
                  planes[c].begin());
    }
  }
};

// A host buffer prefilled with a canary, so untouched bytes show; with a
// picture, what V210Converter writes into it.
struct Output {
  H264::V210Geometry geometry;
  int width, rows, rowBytes;
  std::vector<char> bytes;

  Output(int pictureWidth, int pictureHeight, bool full)
      : geometry(H264::V210Geometry::of(pictureWidth, pictureHeight, full)),
        width(geometry.width),
        rows(geometry.height),
        rowBytes(geometry.rowBytes),
        bytes(geometry.bytes(), kCanary) {}
  explicit Output(const Picture& p, bool full) : Output(p.width, p.height, full) {
    V210Job job{};
    job.output = bytes.data();
    for (int c = 0; c < 3; ++c) job.planes[c] = p.planes[c].data();
    job.width = p.width;
    job.is422 = p.is422;
    job.bitDepthLuma = p.lumaDepth;
    job.bitDepthChroma = p.chromaDepth;
    job.kernels = &H264::kernelsFor<unsigned short>(H264::defaultKernelLevel());
    job.geometry = geometry;
    H264::convertToV210(job);
  }
  const char* row(int o) const { return bytes.data() + std::ptrdiff_t(o) * rowBytes; }
  int groups() const { return (width + 5) / 6; }
};

std::uint32_t wordAt(const char* p) {  // little-endian
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

// v210 is the component sequence Cb Y Cr Y Cb Y Cr Y ..., three 10-bit fields per word.
void unpack(const Output& out, int o, Words c[3]) {
  for (int w = 0; w < out.groups() * 4; ++w) {
    const std::uint32_t word = wordAt(out.row(o) + 4 * w);
    EXPECT_EQ(word >> 30, 0u) << "row " << o;
    for (int k = 0; k < 3; ++k) {
      const int n = 3 * w + k;
      c[n % 2 ? 0 : n % 4 ? 2 : 1].push_back((word >> (10 * k)) & 0x3FF);
    }
  }
}

// Rows [begin, end) hold the picture subsampled by t, padded with black up to whole groups (a
// padded group takes source pixels only in whole pairs), and nothing past their last group.
void expectConverted(const Picture& p, const Output& out, bool full, int begin, int end) {
  const auto tenBits = [](unsigned v, int d) { return d < 10 ? v << (10 - d) : v >> (d - 10); };
  const int t = full ? 1 : 2, remainder = out.width % 6;
  const int sourced = out.width - remainder + (remainder % 2 ? 0 : remainder);
  for (int o = begin; o < end; ++o) {
    const std::size_t lumaRow = std::size_t(o) * t * p.width;
    const std::size_t chromaRow = std::size_t(p.is422 ? o * t : t * (o / 2)) * (p.width / 2);
    Words want[3], got[3];
    for (int x = 0; x < out.groups() * 6; ++x) {
      want[0].push_back(x < sourced ? tenBits(p.planes[0][lumaRow + x * t], p.lumaDepth) : 16);
      for (int c = 1; c < 3 && x % 2 == 0; ++c) {
        want[c].push_back(x < sourced ? tenBits(p.planes[c][chromaRow + x / 2 * t], p.chromaDepth)
                                      : 128);
      }
    }
    unpack(out, o, got);
    for (int c = 0; c < 3; ++c) ASSERT_EQ(got[c], want[c]) << "row " << o << " component " << c;
    for (const char* b = out.row(o) + 16 * out.groups(); b < out.row(o) + out.rowBytes; ++b) {
      ASSERT_EQ(*b, kCanary) << "row " << o << ": byte past the last group";
    }
  }
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

// Two committed vectors through the exported functions, as a host decodes
// them (4:2:0 CABAC in ten slices; 4:2:2 8-bit, a partial last group): the
// planes are the encoder's reconstruction, and the v210 rows of the stripes,
// full size and preview, hold those planes.
class ExportedVectors : public testing::TestWithParam<std::string> {};

TEST_P(ExportedVectors, DecodeAsAHostDoes) {
  const VectorCase c = istrel::test::vectorNamed(GetParam());
  const istrel::tools::AnnexBStream stream =
      istrel::tools::splitAnnexB(istrel::tools::readFile(c.path()));
  const std::vector<std::string> expected = istrel::test::expectedMd5Lines(c);
  AVCIntraInfo* h = AVCINewTepDecoder();
  ASSERT_EQ(AVCIFileOpen(h), 1);
  h->is422 = c.csp == "i422";
  h->height = c.height;
  std::vector<std::uint8_t> frame = istrel::test::unitBytes(stream, 0);
  ASSERT_EQ(AVCIReadAspectRatio(h, frame.data(), static_cast<int>(frame.size())), 0);
  h->width = static_cast<int>(h->decoder->pictureFormat().lumaWidth);  // the coded width
  for (std::size_t i = 0; i < stream.units.size(); ++i) {
    for (bool full : {true, false}) {
      frame = istrel::test::unitBytes(stream, i);
      Output out(h->width, h->height, full);
      ASSERT_EQ(AVCIDecodeFrame(nullptr, h, frame.data(), static_cast<int>(frame.size()),
                                out.bytes.data(), full),
                0);
      EXPECT_EQ(istrel::test::hostMd5(*h, i), expected.at(i));
      expectConverted(Picture(*h, c.depth), out, full, 0, out.geometry.rowsWritten());
    }
  }
  EXPECT_EQ(h->decoder->errorFlags(), 0u);
  AVCIFileClose(h);
  AVCIntraDispose(h);
}

INSTANTIATE_TEST_SUITE_P(Committed, ExportedVectors,
                         testing::Values("avci50_720p_420_10bit", "cavlc_422_8bit"),
                         [](const auto& info) { return info.param; });

}  // namespace
