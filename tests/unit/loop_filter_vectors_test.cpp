// Every committed loop-filter vector (coded with x264's deblocking filter
// on) decodes in conformant mode to the encoder's own reconstruction, with
// the plain kernels and with the best this processor runs; the compatible
// mode never filters.
#include <gtest/gtest.h>
#include <zoncore/threads.h>

#include <string>
#include <vector>

#include "base/cpu.h"
#include "common/annexb_file.h"
#include "common/stream_decoder.h"
#include "support/vectors.h"

namespace {

using istrel::test::VectorCase;
using istrel::tools::StreamDecoder;

// x264 filters next to the I_PCM macroblocks of streams deeper than 8 bits
// with QP'Y 0, that is QPY -QpBdOffsetY, where clause 8.7.2.2 takes qPp 0:
// a few edges beside them differ in this vector.
bool encoderDeviates(const VectorCase& c) { return c.name == "lf_pcm_422_10bit"; }

// The md5 lines of every frame of `c` decoded in `mode`, the deblocking
// filter on or off.
std::vector<std::string> decodedMd5Lines(const VectorCase& c, H264::DecodeMode mode,
                                         bool deblock = true) {
  istrel::tools::AnnexBStream stream =
      istrel::tools::splitAnnexB(istrel::tools::readFile(c.path()));
  StreamDecoder decoder(mode);
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

class LoopFilterVectors : public testing::TestWithParam<VectorCase> {};

TEST_P(LoopFilterVectors, ConformantModeIsBitExact) {
  const VectorCase& c = GetParam();
  const H264::KernelLevel best = H264::defaultKernelLevel();
  for (H264::KernelLevel level : {H264::KernelLevel::kPlain, best}) {
    H264::limitKernelLevel(level);
    const std::vector<std::string> decoded = decodedMd5Lines(c, H264::DecodeMode::kConformant);
    H264::limitKernelLevel(best);
    if (encoderDeviates(c)) {
      EXPECT_NE(decoded, istrel::test::expectedMd5Lines(c)) << "expected x264's I_PCM QP to show";
    } else {
      EXPECT_EQ(decoded, istrel::test::expectedMd5Lines(c)) << H264::kernelLevelName(level);
    }
  }
}

// The host's path takes at most ten slices of a frame and sequence
// parameter set 0 only, and derives some Intra_8x8 modes of MBAFF frames
// its own way (README).
TEST_P(LoopFilterVectors, CompatibleModeNeverFilters) {
  const VectorCase& c = GetParam();
  auto named = [&c](const char* part) { return c.name.find(part) != std::string::npos; };
  if (c.slices > 10 || named("sps_id") || named("mbaff") || named("1080i")) {
    GTEST_SKIP() << "a stream the compatible mode decodes otherwise";
  }
  EXPECT_EQ(decodedMd5Lines(c, H264::DecodeMode::kCompatible),
            decodedMd5Lines(c, H264::DecodeMode::kConformant, false));
}

// The rows of the filter run as a wavefront on the worker pool: one worker,
// two, or more than the processors, give the same pictures.
TEST(LoopFilterWorkers, AnyWorkerCountGivesTheReconstruction) {
  int found = 0;
  for (const VectorCase& c : istrel::test::loadVectorManifest("loop_filter.txt")) {
    if (c.name != "lf_slices10_422_10bit" && c.name != "lf_mbaff_slices10_420_8bit" &&
        c.name != "lf_1080i_422_10bit") {
      continue;
    }
    ++found;
    for (int workers : {1, 2, 16}) {
      zoncore::threads::SetWorkerCount(workers);
      EXPECT_EQ(decodedMd5Lines(c, H264::DecodeMode::kConformant),
                istrel::test::expectedMd5Lines(c))
          << c.name << ", " << workers << " workers";
    }
  }
  zoncore::threads::SetWorkerCount(0);
  EXPECT_EQ(found, 3);
}

INSTANTIATE_TEST_SUITE_P(Committed, LoopFilterVectors,
                         testing::ValuesIn(istrel::test::loadVectorManifest("loop_filter.txt")),
                         [](const testing::TestParamInfo<VectorCase>& info) {
                           return info.param.name;
                         });

}  // namespace
