// The chroma QP, and the 4:2:2 chroma DC scaling at QPs and with weights the vectors do not
// reach.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "dsp/kernels.h"
#include "recon/chroma_qp.h"
#include "recon/inverse_transform.h"
#include "support/intra_stream.h"

namespace H264 {
namespace {

// Clause 8.5.8: qPI = Clip3(-QpBdOffsetC, 51, QPY + qPOffset), and QPC is
// qPI below 30, then Table 8-15 (the tests' plain model, support/intra_stream.h);
// over every QPY, offset and bit depth.
TEST(ChromaQp, FollowsTheClause) {
  for (int qpBdOffset = 0; qpBdOffset <= 36; qpBdOffset += 6) {
    for (int qpY = -qpBdOffset; qpY <= 51; ++qpY) {
      for (int offset = -12; offset <= 12; ++offset) {
        ASSERT_EQ(chromaQp(qpY, offset, qpBdOffset),
                  istrel::test::chromaQpFor(qpY, offset, qpBdOffset))
            << "QPY " << qpY << " offset " << offset << " QpBdOffsetC " << qpBdOffset;
      }
    }
  }
}

// QP'C,DC = qP + 3 and q = QP'C,DC / 6; below 36 the DC scales as (x + 2^(5 - q)) >> (6 - q).
TEST(InverseTransform, ChromaDc422CompatibleRoundingAgreesFrom24) {
  const Kernels<unsigned short>& kernels = kernelsFor<unsigned short>(KernelLevel::kPlain);
  // q = 3 and x = f * LevelScale = 3: two steps give 1, the clause gives 0.
  std::int32_t ls[6][16] = {};
  ls[0][0] = 3;
  std::int32_t compatible[8] = {1}, conformant[8] = {1};
  inverseChromaDc422(compatible, ls, 15, false, kernels);
  inverseChromaDc422(conformant, ls, 15, true, kernels);
  EXPECT_EQ(std::count(compatible, compatible + 8, 1), 8);
  EXPECT_EQ(std::count(conformant, conformant + 8, 0), 8);
  // Odd LevelScale values (weights of 17) are the ones that can round differently.
  std::uint8_t weights[16];
  std::fill(weights, weights + 16, std::uint8_t{17});
  buildLevelScale4x4(weights, ls);
  std::mt19937 rng(41);
  int differing = 0;
  for (int qP = 0; qP <= 87; ++qP) {
    const int qPDc = qP + 3;
    for (int trial = 0; trial < 20; ++trial) {
      for (int k = 0; k < 8; ++k)
        compatible[k] = conformant[k] = static_cast<int>(rng() % 201) - 100;
      inverseChromaDc422(compatible, ls, qP, false, kernels);
      inverseChromaDc422(conformant, ls, qP, true, kernels);
      for (int k = 0; k < 8; ++k) {
        const int excess = compatible[k] - conformant[k];
        ASSERT_TRUE(excess == 0 || (excess == 1 && qPDc < 24)) << qP << ' ' << excess;
        differing += excess;
      }
    }
  }
  EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace H264
