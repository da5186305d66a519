// Committed vectors through the exported functions, as a host decodes them:
// the planes are the encoder's reconstruction, and the v210 rows of the
// stripes, full size and preview, hold those planes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/annexb_file.h"
#include "support/host.h"
#include "support/v210_check.h"
#include "support/vectors.h"

namespace istrel::test {
namespace {

// 4:2:0 CABAC in ten slices; 4:2:2 8-bit, a partial last group.
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
}  // namespace istrel::test
