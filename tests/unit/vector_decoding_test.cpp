// Every committed vector decodes to the encoder's own reconstruction.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/annexb_file.h"
#include "common/md5.h"
#include "common/stream_decoder.h"
#include "support/vectors.h"

namespace {

using istrel::test::VectorCase;
using istrel::tools::StreamDecoder;

struct FrameMd5 {
  std::string plane[3];
};

std::vector<FrameMd5> expectedMd5s(const VectorCase& c) {
  std::ifstream in(std::string(ISTREL_VECTOR_DIR) + "/" + c.name + ".md5");
  std::vector<FrameMd5> frames;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    int index;
    FrameMd5 f;
    if (fields >> index >> f.plane[0] >> f.plane[1] >> f.plane[2]) frames.push_back(f);
  }
  return frames;
}

std::string md5Of(const std::vector<std::uint8_t>& bytes) {
  istrel::tools::Md5 md5;
  md5.update(bytes.data(), bytes.size());
  return md5.hexDigest();
}

// Decodes `c` in `mode`; returns the number of frames whose planes differ.
int mismatchingFrames(const VectorCase& c, H264::DecodeMode mode) {
  istrel::tools::AnnexBStream stream =
      istrel::tools::splitAnnexB(istrel::tools::readFile(c.path()));
  std::vector<FrameMd5> expected = expectedMd5s(c);
  EXPECT_EQ(expected.size(), stream.units.size());
  StreamDecoder decoder(mode);
  int mismatches = 0;
  for (std::size_t i = 0; i < stream.units.size() && i < expected.size(); ++i) {
    EXPECT_TRUE(decoder.decode(stream, stream.units[i]));
    EXPECT_EQ(decoder.core().errorFlags(), 0u) << "frame " << i;
    bool same = true;
    istrel::tools::PictureView view = decoder.view();
    for (int p = 0; p < 3; ++p) {
      same = same && md5Of(istrel::tools::planeBytes(view, p)) == expected[i].plane[p];
    }
    mismatches += same ? 0 : 1;
  }
  return mismatches;
}

class VectorDecoding : public testing::TestWithParam<VectorCase> {};

TEST_P(VectorDecoding, ConformantModeIsBitExact) {
  const VectorCase& c = GetParam();
  EXPECT_EQ(mismatchingFrames(c, H264::DecodeMode::kConformant), 0);
}

TEST_P(VectorDecoding, CompatibleModeIsBitExactWhereItCannotDeviate) {
  const VectorCase& c = GetParam();
  int mismatches = mismatchingFrames(c, H264::DecodeMode::kCompatible);
  if (istrel::test::compatibleModeDeviates(c)) {
    EXPECT_GT(mismatches, 0) << "expected the documented chroma DC rounding to show";
  } else {
    EXPECT_EQ(mismatches, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Committed, VectorDecoding,
                         testing::ValuesIn(istrel::test::loadVectorManifest()),
                         [](const testing::TestParamInfo<VectorCase>& info) {
                           return info.param.name;
                         });

}  // namespace
