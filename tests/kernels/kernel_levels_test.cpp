// Which level the decoders take and what each level's kernel table holds:
// the default is the best level the processor offers, every way of forcing a
// lower one takes effect, and each level replaces exactly its own entries.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "api/frame_decoder.h"
#include "base/cpu.h"
#include "istrel/istrel.h"
#include "kernels/replaced_entries.h"
#include "support/processor.h"

namespace H264 {
namespace {

using istrel::test::bestLevelOfThisProcessor;
using istrel::test::levelsOfThisProcessor;

// Restores the process-wide cap when a test that sets one ends.
struct CapGuard {
  ~CapGuard() { limitKernelLevel(bestLevelOfThisProcessor()); }
};

TEST(KernelLevels, TheDefaultIsTheBestThisProcessorOffers) {
  const KernelLevel best = bestLevelOfThisProcessor();
  EXPECT_EQ(kernelLevelsHere(), levelsOfThisProcessor());
  EXPECT_EQ(defaultKernelLevel(), best);
  EXPECT_EQ(FrameDecoder().core().kernelLevel(), best);
  EXPECT_EQ(&FrameDecoder().core().kernels(), &kernelsFor<unsigned short>(best));
}

TEST(KernelLevels, EachLevelReplacesItsOwnEntries) {
  for (KernelLevel level : kernelLevelsHere()) {
    if (level == KernelLevel::kPlain) continue;
    const auto own = tableEntries(kernelsFor<unsigned short>(level));
    const auto below = tableEntries(kernelsFor<unsigned short>(levelBelow(level)));
    std::set<std::string> replaced;
    for (std::size_t i = 0; i < own.size(); ++i) {
      if (own[i].second != below[i].second) replaced.insert(own[i].first);
    }
    EXPECT_EQ(replaced, ownEntries().at(level)) << kernelLevelName(level);
  }
}

// FrameDecoder(mode, level), the process-wide cap and the handles of the
// exported functions, which take the cap; a level the processor lacks
// gives the best one below it.
TEST(KernelLevels, ForcingALevelTakesEffect) {
  CapGuard guard;
  for (KernelLevel level :
       {KernelLevel::kPlain, KernelLevel::kSse41, KernelLevel::kAvx2, KernelLevel::kNeon}) {
    SCOPED_TRACE(kernelLevelName(level));
    KernelLevel expected = KernelLevel::kPlain;
    for (KernelLevel l : levelsOfThisProcessor()) {
      if (l <= level) expected = l;
    }
    for (DecodeMode mode : {DecodeMode::kCompatible, DecodeMode::kConformant}) {
      const FrameDecoder decoder(mode, level);
      EXPECT_EQ(decoder.core().kernelLevel(), expected);
      EXPECT_EQ(&decoder.core().kernels(), &kernelsFor<unsigned short>(expected));
    }
    limitKernelLevel(level);
    EXPECT_EQ(defaultKernelLevel(), expected);
    EXPECT_EQ(FrameDecoder().core().kernelLevel(), expected);
    AVCIntraInfo* handle = AVCINewTepDecoder();
    ASSERT_EQ(AVCIFileOpen(handle), 1);
    EXPECT_EQ(handle->decoder->kernelLevel(), expected);
    AVCIFileClose(handle);
    AVCIntraDispose(handle);
  }
}

}  // namespace
}  // namespace H264
