// The committed 4:2:0 and 4:2:2 vectors through the exported functions, as a
// host decodes them: the planes match the encoder's reconstruction and the
// v210 rows match an independent packing of those planes.
#include <gtest/gtest.h>

#include <cstring>

#include "common/annexb_file.h"
#include "common/picture_view.h"
#include "common/stream_summary.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"
#include "support/vectors.h"

namespace {

using istrel::test::VectorCase;
using namespace istrel::tools;

// v210 of one output row, written component by component in the order the
// format stores them: Cb Y Cr Y, three 10-bit fields per little-endian word.
std::vector<std::uint8_t> packRow(const std::vector<int>& y, const std::vector<int>& cb,
                                  const std::vector<int>& cr, int width) {
  int groups = (width + 5) / 6;
  int realPairs = width / 6 * 3 + (width % 6 % 2 == 0 ? width % 6 / 2 : 0);
  std::vector<int> fields;
  for (int pair = 0; pair < 3 * groups; ++pair) {
    bool real = pair < realPairs;
    fields.push_back(real ? cb[pair] : 128);
    fields.push_back(real ? y[2 * pair] : 16);
    fields.push_back(real ? cr[pair] : 128);
    fields.push_back(real ? y[2 * pair + 1] : 16);
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < fields.size(); i += 3) {
    std::uint32_t word = fields[i] | fields[i + 1] << 10 | fields[i + 2] << 20;
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<std::uint8_t>(word >> (8 * b)));
  }
  return bytes;
}

// Checks the full-size v210 rows against the decoded planes.
void expectV210Matches(const AVCIntraInfo& h, const std::vector<char>& out, int bitDepth) {
  const auto* luma = reinterpret_cast<const std::uint16_t*>(h.planes[0]);
  const auto* cb = reinterpret_cast<const std::uint16_t*>(h.planes[1]);
  const auto* cr = reinterpret_cast<const std::uint16_t*>(h.planes[2]);
  std::size_t rowBytes = static_cast<std::size_t>((h.width + 47) / 48 * 128);
  int rows = h.height / 6 * 6;  // the stripes leave the remainder rows alone
  for (int o = 0; o < rows; ++o) {
    int chromaRow = h.is422 ? o : o / 2;
    auto tenBits = [bitDepth](int v) {
      return bitDepth < 10 ? v << (10 - bitDepth) : v >> (bitDepth - 10);
    };
    std::vector<int> y(static_cast<std::size_t>(h.width) + 6), u(static_cast<std::size_t>(h.width)),
        v(u.size());
    for (int x = 0; x < h.width; ++x)
      y[static_cast<std::size_t>(x)] = tenBits(luma[o * h.width + x]);
    for (int x = 0; x < h.width / 2; ++x) {
      u[static_cast<std::size_t>(x)] = tenBits(cb[chromaRow * (h.width / 2) + x]);
      v[static_cast<std::size_t>(x)] = tenBits(cr[chromaRow * (h.width / 2) + x]);
    }
    std::vector<std::uint8_t> expected = packRow(y, u, v, h.width);
    ASSERT_EQ(0, std::memcmp(expected.data(), out.data() + o * rowBytes, expected.size()))
        << "row " << o;
  }
}

class ExportedVectors : public testing::TestWithParam<VectorCase> {};

TEST_P(ExportedVectors, DecodeAsAHostDoes) {
  const VectorCase& c = GetParam();
  if (c.csp == "i444") GTEST_SKIP() << "v210 carries 4:2:0 and 4:2:2 only";
  AnnexBStream stream = splitAnnexB(readFile(c.path()));
  StreamSummary summary;
  summarise(stream, summary);
  const H264::SeqParameterSet& sps = *summary.parameters.sps(0);
  AVCIntraInfo* h = AVCINewTepDecoder();
  ASSERT_EQ(AVCIFileOpen(h), 1);
  h->is422 = c.csp == "i422";
  h->width = static_cast<int>(H264::PictureFormat::of(sps).lumaWidth);
  h->height = c.height;
  std::vector<char> out(static_cast<std::size_t>((h->width + 47) / 48 * 128 * h->height));
  std::vector<std::string> expected = istrel::test::expectedMd5Lines(c);
  for (std::size_t i = 0; i < stream.units.size(); ++i) {
    const AccessUnit& unit = stream.units[i];
    std::vector<std::uint8_t> frame(stream.bytes.begin() + unit.begin,
                                    stream.bytes.begin() + unit.end);
    if (i == 0) {
      std::vector<std::uint8_t> copy = frame;
      ASSERT_EQ(AVCIReadAspectRatio(h, copy.data(), static_cast<int>(copy.size())), 0);
    }
    ASSERT_EQ(
        AVCIDecodeFrame(nullptr, h, frame.data(), static_cast<int>(frame.size()), out.data(), true),
        0);
    const std::uint16_t* planes[3];
    for (int p = 0; p < 3; ++p) planes[p] = reinterpret_cast<const std::uint16_t*>(h->planes[p]);
    const H264::PictureFormat& f = h->decoder->pictureFormat();
    const std::ptrdiff_t strides[3] = {f.lumaWidth, f.chromaWidth, f.chromaWidth};
    if (!istrel::test::compatibleModeDeviates(c)) {
      EXPECT_EQ(md5Line(i, displayWindow(sps, planes, strides)), expected.at(i)) << "frame " << i;
    }
    expectV210Matches(*h, out, c.depth);
  }
  EXPECT_EQ(h->decoder->errorFlags(), 0u);
  AVCIFileClose(h);
  AVCIntraDispose(h);
}

INSTANTIATE_TEST_SUITE_P(Committed, ExportedVectors,
                         testing::ValuesIn(istrel::test::loadVectorManifest()),
                         [](const testing::TestParamInfo<VectorCase>& info) {
                           return info.param.name;
                         });

}  // namespace
