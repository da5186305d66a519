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
#include "support/v210_model.h"
#include "support/vectors.h"

namespace {

using H264::V210Job;
using istrel::test::VectorCase;
using Words = istrel::test::V210Words;

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
  int width, rows, rowBytes;
  std::vector<char> bytes;

  Output(int pictureWidth, int pictureHeight, bool full)
      : width(full ? pictureWidth : pictureWidth / 2),
        rows(full ? pictureHeight : pictureHeight / 2),
        rowBytes(static_cast<int>(zonmediatypes::UncompressedPixelFormatRowBytes(
            zonmediatypes::kPixelFormat_V210_422_10u_709, width))),
        bytes(std::size_t(rowBytes) * rows, kCanary) {}
  Output(const Picture& p, bool full, int stripes) : Output(p.width, p.height, full) {
    V210Job job{bytes.data(),  {},
                p.height,      p.width,
                stripes,       p.is422,
                full,          p.lumaDepth,
                p.chromaDepth, &H264::kernelsFor<unsigned short>(H264::defaultKernelLevel())};
    for (int c = 0; c < 3; ++c) job.planes[c] = p.planes[c].data();
    H264::convertToV210(job);
  }
  const char* row(int o) const { return bytes.data() + std::ptrdiff_t(o) * rowBytes; }
  int groups() const { return istrel::test::v210Groups(width); }
};

istrel::test::V210Source sourceOf(const Picture& p) {
  return {{p.planes[0].data(), p.planes[1].data(), p.planes[2].data()},
          p.width,
          p.is422,
          p.lumaDepth,
          p.chromaDepth};
}

// Rows [begin, end) hold the picture as the model says, and nothing past their last group.
void expectConverted(const Picture& p, const Output& out, bool full, int begin, int end) {
  const istrel::test::V210Source source = sourceOf(p);
  for (int o = begin; o < end; ++o) {
    Words want[3], got[3];
    istrel::test::expectedV210Row(source, full, o, out.width, want);
    EXPECT_TRUE(istrel::test::unpackV210Row(out.row(o), out.groups(), got)) << "row " << o;
    for (int c = 0; c < 3; ++c) ASSERT_EQ(got[c], want[c]) << "row " << o << " component " << c;
    for (const char* b = out.row(o) + 16 * out.groups(); b < out.row(o) + out.rowBytes; ++b) {
      ASSERT_EQ(*b, kCanary) << "row " << o << ": byte past the last group";
    }
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
    const Output out(p, l.full, l.full ? 6 : 3);
    expectConverted(p, out, l.full, 0, out.rows);
  }
}

TEST(V210Converter, RowsBeyondTheLastWholeStripeStayUntouched) {
  const Picture p(96, 1088, true);
  const Output out(p, true, 6);  // 181 rows per stripe
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
  h->width = static_cast<int>(h->decoder->pictureFormat().lumaWidth);
  for (std::size_t i = 0; i < stream.units.size(); ++i) {
    for (bool full : {true, false}) {
      frame = istrel::test::unitBytes(stream, i);
      Output out(h->width, h->height, full);
      ASSERT_EQ(AVCIDecodeFrame(nullptr, h, frame.data(), static_cast<int>(frame.size()),
                                out.bytes.data(), full),
                0);
      EXPECT_EQ(istrel::test::hostMd5(*h, i), expected.at(i));
      const int stripes = full ? 6 : 3;
      expectConverted(Picture(*h, c.depth), out, full, 0, out.rows / stripes * stripes);
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
