// Every committed stream's parameter sets and slice headers parse to what
// the encoder was asked for.
#include <gtest/gtest.h>

#include "common/annexb_file.h"
#include "common/stream_summary.h"
#include "support/vectors.h"
#include "syntax/slice_header.h"
#include "syntax/stream_parser.h"

namespace {

using istrel::test::VectorCase;
using istrel::tools::AnnexBStream;

class VectorStreams : public testing::TestWithParam<VectorCase> {};

std::uint32_t chromaFormatOf(const std::string& csp) {
  return csp == "i420" ? 1 : csp == "i422" ? 2 : 3;
}

TEST_P(VectorStreams, ParseAsEncoded) {
  const VectorCase& c = GetParam();
  AnnexBStream stream = istrel::tools::splitAnnexB(istrel::tools::readFile(c.path()));
  istrel::tools::StreamSummary summary;
  istrel::tools::summarise(stream, summary);
  EXPECT_EQ(summary.parameterSetErrors, 0u);
  EXPECT_EQ(summary.sliceErrors, 0u);
  const H264::SeqParameterSet* sps = istrel::tools::firstSps(summary);
  const H264::PicParameterSet* pps = istrel::tools::firstPps(summary);
  ASSERT_TRUE(sps && pps);
  EXPECT_EQ(H264::croppedWidth(*sps), static_cast<std::uint32_t>(c.width));
  EXPECT_EQ(H264::croppedHeight(*sps), static_cast<std::uint32_t>(c.height));
  EXPECT_EQ(sps->chroma_format_idc, chromaFormatOf(c.csp));
  EXPECT_EQ(sps->BitDepthY, static_cast<std::uint32_t>(c.depth));
  EXPECT_EQ(sps->BitDepthC, static_cast<std::uint32_t>(c.depth));
  EXPECT_EQ(pps->entropy_coding_mode_flag, c.entropy == "cabac" ? 1 : 0);
  EXPECT_EQ(stream.units.size(), static_cast<std::size_t>(c.frames));
  for (std::size_t slices : summary.slicesPerUnit) {
    EXPECT_EQ(slices, static_cast<std::size_t>(c.slices));
  }
}

INSTANTIATE_TEST_SUITE_P(Committed, VectorStreams,
                         testing::ValuesIn(istrel::test::loadVectorManifest()),
                         [](const testing::TestParamInfo<VectorCase>& info) {
                           return info.param.name;
                         });

TEST(VectorStreams, ManifestIsNotEmpty) {
  EXPECT_GE(istrel::test::loadVectorManifest().size(), 20u);
}

}  // namespace
