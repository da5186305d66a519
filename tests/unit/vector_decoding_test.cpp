// Every committed vector decodes to the encoder's own reconstruction.
#include <gtest/gtest.h>

#include "common/annexb_file.h"
#include "common/stream_decoder.h"
#include "support/vectors.h"

namespace {

using istrel::test::VectorCase;
using istrel::tools::StreamDecoder;

// Decodes `c` in `mode` with the kernels and slice decoding of `level`;
// returns the number of frames whose planes differ.
int mismatchingFrames(const VectorCase& c, H264::DecodeMode mode, H264::KernelLevel level) {
  istrel::tools::AnnexBStream stream =
      istrel::tools::splitAnnexB(istrel::tools::readFile(c.path()));
  std::vector<std::string> expected = istrel::test::expectedMd5Lines(c);
  EXPECT_EQ(expected.size(), stream.units.size());
  StreamDecoder decoder(mode, level);
  int mismatches = 0;
  for (std::size_t i = 0; i < stream.units.size() && i < expected.size(); ++i) {
    EXPECT_TRUE(decoder.decode(stream, stream.units[i]));
    EXPECT_EQ(decoder.core().errorFlags(), 0u) << "frame " << i;
    mismatches += istrel::tools::md5Line(i, decoder.view()) == expected[i] ? 0 : 1;
  }
  return mismatches;
}

// Every vector at every level this processor runs.
class VectorDecoding : public testing::TestWithParam<std::tuple<VectorCase, H264::KernelLevel>> {};

TEST_P(VectorDecoding, ConformantModeIsBitExact) {
  const auto& [c, level] = GetParam();
  EXPECT_EQ(mismatchingFrames(c, H264::DecodeMode::kConformant, level), 0);
}

TEST_P(VectorDecoding, CompatibleModeIsBitExactWhereItCannotDeviate) {
  const auto& [c, level] = GetParam();
  int mismatches = mismatchingFrames(c, H264::DecodeMode::kCompatible, level);
  if (istrel::test::compatibleModeDeviates(c)) {
    EXPECT_GT(mismatches, 0) << "expected the documented chroma DC rounding to show";
  } else {
    EXPECT_EQ(mismatches, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Committed, VectorDecoding,
                         testing::Combine(testing::ValuesIn(istrel::test::loadVectorManifest()),
                                          testing::ValuesIn(H264::kernelLevelsHere())),
                         [](const auto& info) {
                           std::string level = H264::kernelLevelName(std::get<1>(info.param));
                           std::erase(level, '.');
                           return std::get<0>(info.param).name + "_" + level;
                         });

}  // namespace
