// Every committed vector decodes to the encoder's own reconstruction in the
// conformant mode, at every instruction-set level this processor runs; the
// compatible mode gives what the vector list says of it.
#include <gtest/gtest.h>
#include <zoncore/threads.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/annexb_file.h"
#include "common/stream_decoder.h"
#include "support/vectors.h"

namespace {

using istrel::test::VectorCase;
using istrel::tools::StreamDecoder;

// The md5 lines of every frame of `c` decoded in `mode` with the kernels and
// slice decoding of `level`, the deblocking filter on or off.
std::vector<std::string> decodedMd5Lines(const VectorCase& c, H264::DecodeMode mode,
                                         H264::KernelLevel level = H264::defaultKernelLevel(),
                                         bool deblock = true) {
  istrel::tools::AnnexBStream stream =
      istrel::tools::splitAnnexB(istrel::tools::readFile(c.path()));
  StreamDecoder decoder(mode, level);
  decoder.core().setDeblocking(deblock);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < stream.units.size(); ++i) {
    if (!decoder.decode(stream, stream.units[i])) {
      ADD_FAILURE() << "no picture in frame " << i;
      break;
    }
    EXPECT_EQ(decoder.core().errorFlags(), 0u) << "frame " << i;
    lines.push_back(istrel::tools::md5Line(i, decoder.view()));
  }
  return lines;
}

using istrel::test::everyVector;
using istrel::test::vectorsWhereCompatibleIs;

// The manifests list every committed stream once, each with its expected
// pictures, one md5 line per frame.
TEST(VectorManifests, ListEveryCommittedVector) {
  std::set<std::string> listed, committed;
  for (const VectorCase& c : everyVector()) {
    EXPECT_TRUE(listed.insert(c.name).second) << c.name << " is listed twice";
    EXPECT_EQ(istrel::test::expectedMd5Lines(c).size(), static_cast<std::size_t>(c.frames))
        << c.name;
    EXPECT_TRUE(c.compatible == "same" || c.compatible == "unfiltered" ||
                c.compatible == "deviates" || c.compatible == "partial" ||
                c.compatible == "refused")
        << c.name << ": compatible column '" << c.compatible << "'";
  }
  for (const auto& entry : std::filesystem::directory_iterator(ISTREL_VECTOR_DIR)) {
    if (entry.path().extension() == ".264") committed.insert(entry.path().stem().string());
  }
  EXPECT_EQ(listed, committed);
}

using VectorAtLevel = std::tuple<VectorCase, H264::KernelLevel>;

std::string caseName(const testing::TestParamInfo<VectorAtLevel>& info) {
  std::string level = H264::kernelLevelName(std::get<1>(info.param));
  std::erase(level, '.');
  return std::get<0>(info.param).name + "_" + level;
}

// Each vector at every level this processor runs.
auto atEveryLevel(const std::vector<VectorCase>& cases) {
  return testing::Combine(testing::ValuesIn(cases), testing::ValuesIn(H264::kernelLevelsHere()));
}

class VectorDecoding : public testing::TestWithParam<VectorAtLevel> {};

TEST_P(VectorDecoding, ConformantModeIsBitExact) {
  const auto& [c, level] = GetParam();
  EXPECT_EQ(decodedMd5Lines(c, H264::DecodeMode::kConformant, level),
            istrel::test::expectedMd5Lines(c));
}

INSTANTIATE_TEST_SUITE_P(Committed, VectorDecoding, atEveryLevel(everyVector()), caseName);

// The compatible mode, as the vector list's `compatible` column says: the
// expected pictures; the conformant mode's without the loop filter, which it
// never applies; or, where it deviates by design, not those.
class CompatibleMode : public testing::TestWithParam<VectorAtLevel> {};
TEST_P(CompatibleMode, AsTheVectorListSays) {
  const auto& [c, level] = GetParam();
  const std::vector<std::string> got = decodedMd5Lines(c, H264::DecodeMode::kCompatible, level);
  if (c.compatible == "same") {
    EXPECT_EQ(got, istrel::test::expectedMd5Lines(c));
  } else if (c.compatible == "unfiltered") {
    EXPECT_EQ(got, decodedMd5Lines(c, H264::DecodeMode::kConformant, level, false));
  } else {
    EXPECT_NE(got, decodedMd5Lines(c, H264::DecodeMode::kConformant, level, false))
        << "expected the documented deviation to show";
  }
}
INSTANTIATE_TEST_SUITE_P(Same, CompatibleMode, atEveryLevel(vectorsWhereCompatibleIs("same")),
                         caseName);
INSTANTIATE_TEST_SUITE_P(Unfiltered, CompatibleMode,
                         atEveryLevel(vectorsWhereCompatibleIs("unfiltered")), caseName);
INSTANTIATE_TEST_SUITE_P(Deviates, CompatibleMode,
                         atEveryLevel(vectorsWhereCompatibleIs("deviates")), caseName);

// Slices run in parallel and the rows of the filter as a wavefront on the
// worker pool: one worker, two, or more than the processors give the same
// pictures (ten slices: CAVLC, CABAC, MBAFF; filtered: ten slices, MBAFF,
// 1080i).
TEST(WorkerCounts, AnyCountGivesTheReconstruction) {
  for (const char* name :
       {"avci100_720p_422_10bit", "avci50_720p_420_10bit", "mbaff_cabac_slices10_422_10bit",
        "lf_slices10_422_10bit", "lf_mbaff_slices10_420_8bit", "lf_1080i_422_10bit"}) {
    const VectorCase c = istrel::test::vectorNamed(name);
    for (int workers : {1, 2, 16}) {
      zoncore::threads::SetWorkerCount(workers);
      EXPECT_EQ(decodedMd5Lines(c, H264::DecodeMode::kConformant),
                istrel::test::expectedMd5Lines(c))
          << c.name << ", " << workers << " workers";
    }
  }
  zoncore::threads::SetWorkerCount(0);
}

}  // namespace
