// Slices and v210 stripes run in parallel: the pictures and the v210 rows
// must not depend on how many threads run them, nor on the run.
#include <gtest/gtest.h>
#include <zoncore/threads.h>
#include <zonmediatypes/pixel_format.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/annexb_file.h"
#include "common/md5.h"
#include "common/picture_view.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"
#include "support/vectors.h"
#include "syntax/parameters_decoder.h"

namespace {

using istrel::test::VectorCase;
using namespace istrel::tools;

// What one decode of one frame gave: the whole coded planes and both v210
// outputs, each as a digest.
struct Decoded {
  std::string planes;
  std::string full;
  std::string preview;
  bool operator==(const Decoded&) const = default;
};

std::string digest(const void* data, std::size_t size) {
  Md5 md5;
  md5.update(data, size);
  return md5.hexDigest();
}

std::size_t v210Size(int width, int height, bool full) {
  int step = full ? 1 : 2;
  return zonmediatypes::UncompressedPixelFormatRowBytes(
             zonmediatypes::kPixelFormat_V210_422_10u_709, width / step) *
         static_cast<std::size_t>(height / step);
}

class WorkerCounts : public testing::TestWithParam<std::string> {
 protected:
  void TearDown() override { zoncore::threads::SetWorkerCount(0); }

  // Every frame of `c`, decoded twice on one handle with `workers` threads.
  std::vector<Decoded> decodeTwice(const VectorCase& c, const AnnexBStream& stream, int workers) {
    zoncore::threads::SetWorkerCount(workers);
    std::vector<Decoded> decoded;
    AVCIntraInfo* h = AVCINewTepDecoder();
    EXPECT_EQ(AVCIFileOpen(h), 1);
    h->is422 = c.csp == "i422";
    h->height = c.height;
    std::vector<std::uint8_t> first(stream.bytes.begin() + stream.units[0].begin,
                                    stream.bytes.begin() + stream.units[0].end);
    EXPECT_EQ(AVCIReadAspectRatio(h, first.data(), static_cast<int>(first.size())), 0);
    h->width = static_cast<int>(h->decoder->pictureFormat().lumaWidth);
    for (std::size_t i = 0; i < stream.units.size(); ++i) {
      for (int pass = 0; pass < 2; ++pass) {
        Decoded d;
        for (bool full : {true, false}) {
          std::vector<std::uint8_t> frame(stream.bytes.begin() + stream.units[i].begin,
                                          stream.bytes.begin() + stream.units[i].end);
          std::vector<char> out(v210Size(h->width, h->height, full));
          EXPECT_EQ(AVCIDecodeFrame(nullptr, h, frame.data(), static_cast<int>(frame.size()),
                                    out.data(), full),
                    0);
          (full ? d.full : d.preview) = digest(out.data(), out.size());
        }
        const H264::PictureFormat& f = h->decoder->pictureFormat();
        Md5 planes;
        planes.update(h->planes[0], std::size_t{f.lumaWidth} * f.lumaHeight * 2);
        for (int p = 1; p < 3; ++p) {
          planes.update(h->planes[p], std::size_t{f.chromaWidth} * f.chromaHeight * 2);
        }
        d.planes = planes.hexDigest();
        decoded.push_back(d);
      }
      if (i == 0 && !istrel::test::compatibleModeDeviates(c)) {
        const std::uint16_t* planes[3];
        for (int p = 0; p < 3; ++p)
          planes[p] = reinterpret_cast<const std::uint16_t*>(h->planes[p]);
        const H264::PictureFormat& f = h->decoder->pictureFormat();
        const std::ptrdiff_t strides[3] = {f.lumaWidth, f.chromaWidth, f.chromaWidth};
        EXPECT_EQ(md5Line(0, displayWindow(*h->decoder->parameters().sps(0), planes, strides)),
                  istrel::test::expectedMd5Lines(c).at(0));
      }
    }
    EXPECT_EQ(h->decoder->errorFlags(), 0u);
    AVCIFileClose(h);
    AVCIntraDispose(h);
    return decoded;
  }
};

TEST_P(WorkerCounts, SameFramesTwiceAndWithAnyCount) {
  std::vector<VectorCase> manifest = istrel::test::loadVectorManifest();
  auto c = std::find_if(manifest.begin(), manifest.end(),
                        [&](const VectorCase& v) { return v.name == GetParam(); });
  ASSERT_NE(c, manifest.end());
  ASSERT_EQ(c->slices, 10);
  AnnexBStream stream = splitAnnexB(readFile(c->path()));

  std::vector<Decoded> reference = decodeTwice(*c, stream, 1);
  ASSERT_EQ(reference.size(), 2 * stream.units.size());
  for (std::size_t i = 0; i < reference.size(); i += 2) {
    EXPECT_EQ(reference[i], reference[i + 1]) << "frame " << i / 2 << " decoded twice differs";
  }
  for (int workers : {2, 16}) {
    EXPECT_EQ(decodeTwice(*c, stream, workers), reference) << workers << " workers";
  }
}

// Ten slices each: CAVLC, CABAC, and MBAFF with both.
INSTANTIATE_TEST_SUITE_P(Determinism, WorkerCounts,
                         testing::Values("avci100_720p_422_10bit", "avci50_720p_420_10bit",
                                         "mbaff_cabac_slices10_422_10bit",
                                         "mbaff_avci100_1080i_422_10bit"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

}  // namespace
