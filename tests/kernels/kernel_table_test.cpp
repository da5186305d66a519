// Every vector kernel in the table against its plain twin, at every level
// this processor runs: identical copies of random but realistic inputs and
// of extreme ones, whole output areas compared, guard samples around them.
// The seed is printed; ISTREL_KERNEL_SEED=<seed> replays a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "dsp/kernels.h"
#include "kernels/replaced_entries.h"
#include "recon/deblocking_tables.h"

namespace H264 {
namespace {

using Sample = unsigned short;
using Table = Kernels<Sample>;

constexpr int kPredStride = 16;
constexpr int kCanvas = 32;  // samples per row and rows of the picture area
constexpr int kOrigin = 8;   // the block's top-left corner in it
constexpr int kIterations = 1500;
constexpr int kMaxValues[] = {255, 511, 1023, 4095, 16383};

const std::uint32_t kSeed = [] {
  const char* fixed = std::getenv("ISTREL_KERNEL_SEED");
  const auto s = fixed ? static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10)) : 20261205u;
  std::printf("kernel table: seed %u (ISTREL_KERNEL_SEED=%u replays it)\n", s, s);
  return s;
}();

class KernelTable : public testing::TestWithParam<KernelLevel> {
 protected:
  const Table& plain = kernelsFor<Sample>(KernelLevel::kPlain);
  const Table& vector = kernelsFor<Sample>(GetParam());
  std::mt19937 rng{kSeed};

  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

  std::vector<std::int32_t> prediction(int lo, int hi) {
    std::vector<std::int32_t> pred(kPredStride * 16);
    for (auto& p : pred) p = uniform(lo, hi);
    return pred;
  }

  std::int32_t extremeValue() {
    const std::int32_t values[] = {std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max(),
                                   (1 << 21) - 1,  // the largest conformant magnitude at 14 bits
                                   -(1 << 21), 0};
    const int pick = uniform(0, 5);
    return pick < 5 ? values[pick] : static_cast<std::int32_t>(rng());
  }

  std::vector<std::int32_t> realisticCoefficients(int n, int maxValue);
};

// Runs both twins into picture areas filled with a guard value: they must
// agree on every sample and write nothing outside the w x h block.
template <typename Plain, typename Vector>
void compare(int w, int h, Plain plain, Vector vector, const char* what) {
  const Sample guard = 0xA5A5;
  std::vector<Sample> a(kCanvas * kCanvas, guard), b = a;
  plain(a.data() + kOrigin * kCanvas + kOrigin);
  vector(b.data() + kOrigin * kCanvas + kOrigin);
  for (int k = 0; k < kCanvas * kCanvas; ++k) {
    const int x = k % kCanvas - kOrigin, y = k / kCanvas - kOrigin;
    ASSERT_EQ(a[k], b[k]) << what << " " << w << "x" << h << " at " << x << ", " << y << " seed "
                          << kSeed;
    if (x < 0 || y < 0 || x >= w || y >= h) {
      ASSERT_EQ(b[k], guard) << what << " wrote outside at " << x << ", " << y;
    }
  }
}

// A random residual through the forward transform, quantised with a random
// step and with the diagonals after a random one dropped, scaled as the
// residual readers deliver it: every end-of-block shape occurs.
const int kForward4[4][4] = {{1, 1, 1, 1}, {2, 1, -1, -2}, {1, -1, -1, 1}, {1, -2, 2, -1}};
const int kGain4[4] = {4, 5, 4, 5};
const int kForward8[8][8] = {{8, 8, 8, 8, 8, 8, 8, 8},     {12, 10, 6, 3, -3, -6, -10, -12},
                             {8, 4, -4, -8, -8, -4, 4, 8}, {10, -3, -12, -6, 6, 12, 3, -10},
                             {8, -8, -8, 8, 8, -8, -8, 8}, {6, -12, 3, 10, -10, -3, 12, -6},
                             {4, -8, 8, -4, -4, 8, -8, 4}, {3, -6, 10, -12, 12, -10, 6, -3}};
const int kGain8[8] = {512, 578, 320, 578, 512, 578, 320, 578};

std::vector<std::int32_t> KernelTable::realisticCoefficients(int n, int maxValue) {
  const auto forward = [n](int i, int j) { return n == 4 ? kForward4[i][j] : kForward8[i][j]; };
  const auto gain = [n](int i) { return std::int64_t{n == 4 ? kGain4[i] : kGain8[i]}; };
  const std::int64_t unit = n == 4 ? 64 : 4096;  // one residual unit in the coefficients
  const int step = uniform(1, 160), lastDiagonal = uniform(0, 2 * n - 2);
  std::vector<std::int64_t> residual(n * n), rows(n * n, 0);
  for (auto& r : residual) r = uniform(-maxValue, maxValue);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) rows[i * n + j] += forward(i, k) * residual[k * n + j];
  std::vector<std::int32_t> coeff(n * n, 0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j <= std::min(n - 1, lastDiagonal - i); ++j) {
      std::int64_t w = 0;
      for (int k = 0; k < n; ++k) w += rows[i * n + k] * forward(j, k);
      const std::int64_t a = w * unit, b = gain(i) * gain(j) * step;
      coeff[i * n + j] =
          static_cast<std::int32_t>((a >= 0 ? (a + b / 2) / b : -((b / 2 - a) / b)) * step);
    }
  }
  return coeff;
}

std::string levelName(const testing::TestParamInfo<KernelLevel>& info) {
  std::string name = kernelLevelName(info.param);
  name.erase(std::remove(name.begin(), name.end(), '.'), name.end());
  return name;
}

// A suite of kernels, instantiated at the levels whose table replaces any of
// `entries` (replaced_entries.h); elsewhere there is nothing to compare.
#define KERNEL_SUITE(Suite, ...)                                                             \
  class Suite : public KernelTable {};                                                       \
  GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Suite);                                      \
  INSTANTIATE_TEST_SUITE_P(Levels, Suite, testing::ValuesIn(levelsReplacing({__VA_ARGS__})), \
                           levelName)

KERNEL_SUITE(KernelTableReconstruct, "reconstruct4x4", "reconstruct8x8");
TEST_P(KernelTableReconstruct, MatchesPlain) {
  for (int n : {4, 8}) {
    const Table::Reconstruct p = n == 4 ? plain.reconstruct4x4 : plain.reconstruct8x8;
    const Table::Reconstruct v = n == 4 ? vector.reconstruct4x4 : vector.reconstruct8x8;
    if (p == v) continue;
    for (int maxValue : kMaxValues) {
      for (int i = 0; i < kIterations; ++i) {
        const auto pred = prediction(0, maxValue);
        std::vector<std::int32_t> coeff = realisticCoefficients(n, maxValue);
        if (i % 8 == 7) std::generate(coeff.begin(), coeff.end(), [&] { return extremeValue(); });
        std::vector<std::int32_t> copy = coeff;
        compare(
            n, n,
            [&](Sample* d) { p(coeff.data(), pred.data(), kPredStride, d, kCanvas, maxValue); },
            [&](Sample* d) { v(copy.data(), pred.data(), kPredStride, d, kCanvas, maxValue); },
            "reconstruct");
        if (HasFatalFailure()) return;
      }
    }
  }
}

KERNEL_SUITE(KernelTableAddDc, "addDc4x4");
TEST_P(KernelTableAddDc, MatchesPlain) {
  for (int maxValue : kMaxValues) {
    for (int i = 0; i < kIterations; ++i) {
      const auto pred = prediction(0, maxValue);
      const std::int32_t dc =
          i % 8 == 7 ? extremeValue() : uniform(-128 * maxValue, 128 * maxValue);
      compare(
          4, 4,
          [&](Sample* d) { plain.addDc4x4(dc, pred.data(), kPredStride, d, kCanvas, maxValue); },
          [&](Sample* d) { vector.addDc4x4(dc, pred.data(), kPredStride, d, kCanvas, maxValue); },
          "addDc4x4");
      if (HasFatalFailure()) return;
    }
  }
}

// Luma and chroma shapes and one with a 4-sample tail; predictions out of
// range saturate to the sample type in both versions.
KERNEL_SUITE(KernelTableCopyPrediction, "copyPrediction");
TEST_P(KernelTableCopyPrediction, MatchesPlain) {
  const int shapes[][2] = {{4, 4}, {8, 8}, {16, 16}, {8, 16}, {4, 8}, {12, 16}};
  for (const auto& s : shapes) {
    for (int i = 0; i < kIterations / 10; ++i) {
      const int hi = i % 8 == 7 ? 1 << 20 : std::numeric_limits<Sample>::max();
      const auto pred = prediction(i % 8 == 7 ? -hi : 0, hi);
      compare(
          s[0], s[1],
          [&](Sample* d) {
            plain.copyPrediction(pred.data(), kPredStride, d, kCanvas, s[0], s[1]);
          },
          [&](Sample* d) {
            vector.copyPrediction(pred.data(), kPredStride, d, kCanvas, s[0], s[1]);
          },
          "copyPrediction");
      if (HasFatalFailure()) return;
    }
  }
}

// The whole range of start and step values that bit depths 8 to 14
// produce, with clipping on both sides.
KERNEL_SUITE(KernelTablePlaneRow, "planeRow");
TEST_P(KernelTablePlaneRow, MatchesPlain) {
  constexpr int kGuard = 4;
  for (int trial = 0; trial < 20000; ++trial) {
    const int bitDepth = uniform(8, 14), width = 4 * uniform(1, 4);
    const std::int32_t maxValue = (1 << bitDepth) - 1;
    const std::int32_t step = uniform(-2 * (maxValue + 1), 2 * (maxValue + 1));
    const std::int32_t start = uniform(-40 * (maxValue + 1), 40 * (maxValue + 1));
    std::vector<std::int32_t> a(width + kGuard, -1), b(width + kGuard, -1);
    plain.planeRow(a.data(), width, start, step, maxValue);
    vector.planeRow(b.data(), width, start, step, maxValue);
    ASSERT_EQ(a, b) << "seed " << kSeed << " trial " << trial << " start " << start << " step "
                    << step << " width " << width;
  }
}

// 4:2:2 chroma DC: levels of conforming magnitudes and the extremes the
// kernel accepts (magnitudes up to 2^27 - 1), LevelScale of any weight, every
// QP'C,DC of bit depths 8 to 14 and both roundings.
KERNEL_SUITE(KernelTableChromaDc422, "chromaDc422");
TEST_P(KernelTableChromaDc422, MatchesPlain) {
  constexpr int kMaxLevel = (1 << 27) - 1;
  for (int trial = 0; trial < 20000; ++trial) {
    std::int32_t levels[8];
    const int range = trial % 4 == 0 ? kMaxLevel : trial % 4 == 1 ? (1 << 22) : 2000;
    for (auto& l : levels) {
      l = trial % 16 == 15 ? (uniform(0, 1) ? kMaxLevel : -kMaxLevel) : uniform(-range, range);
    }
    const std::int32_t levelScale = uniform(0, 255 * 25);
    const int qPDc = uniform(3, 87 + 3);
    const bool conformant = uniform(0, 1) != 0;
    std::int32_t a[8 + 2], b[8 + 2];
    std::fill_n(a, 10, -7);
    std::fill_n(b, 10, -7);
    plain.chromaDc422(levels, levelScale, qPDc, conformant, a);
    vector.chromaDc422(levels, levelScale, qPDc, conformant, b);
    for (int k = 0; k < 10; ++k) {
      ASSERT_EQ(a[k], b[k]) << "seed " << kSeed << " trial " << trial << " qPDc " << qPDc
                            << " levelScale " << levelScale << " conformant " << conformant
                            << " at " << k;
    }
  }
}

// Rows of 1 to 70 groups from samples of 8 to 14 bits (some rows only the
// extremes 0 and the maximum), into rows with guard bytes after.
KERNEL_SUITE(KernelTablePackV210, "packV210", "packV210Preview");
TEST_P(KernelTablePackV210, MatchesPlain) {
  for (bool preview : {false, true}) {
    const Table::PackV210 p = preview ? plain.packV210Preview : plain.packV210;
    const Table::PackV210 v = preview ? vector.packV210Preview : vector.packV210;
    if (p == v) continue;
    for (int trial = 0; trial < 3000; ++trial) {
      const int groups = uniform(1, 70), step = preview ? 2 : 1;
      const int lumaDepth = uniform(8, 14), chromaDepth = uniform(8, 14);
      std::vector<Sample> planes[3];
      for (int c = 0; c < 3; ++c) {
        const int depth = c ? chromaDepth : lumaDepth;
        // Exactly the samples the groups cover, so a read past them shows
        // under AddressSanitizer.
        planes[c].resize(static_cast<std::size_t>((c ? 3 : 6) * groups * step));
        const unsigned max = (1u << depth) - 1;
        for (Sample& s : planes[c]) {
          s = static_cast<Sample>(trial % 16 == 15 ? (rng() & 1) * max : rng() % (max + 1));
        }
      }
      const V210Shift shift{
          lumaDepth < 10 ? 10u - lumaDepth : 0, lumaDepth > 10 ? lumaDepth - 10u : 0,
          chromaDepth < 10 ? 10u - chromaDepth : 0, chromaDepth > 10 ? chromaDepth - 10u : 0};
      std::vector<char> a(16 * groups + 16, 0x5A), b = a;
      p(a.data(), planes[0].data(), planes[1].data(), planes[2].data(), groups, shift);
      v(b.data(), planes[0].data(), planes[1].data(), planes[2].data(), groups, shift);
      ASSERT_EQ(a, b) << (preview ? "preview" : "full size") << " groups " << groups << " seed "
                      << kSeed << " trial " << trial;
    }
  }
}

// The deblocking filter's edge filters: 4, 8 and 16 lines, one or two rows
// apart (MBAFF), thresholds of Tables 8-16 and 8-17 at bit depths 8 to 14,
// lines random, close to each threshold or at 0 and the maximum. Only the
// samples a kernel may read are real; guard values fill the rest.
class DeblockLines {
 public:
  static constexpr int kSize = 48, kEdge = 24;  // canvas side; the edge lies before sample 24
  std::vector<Sample> canvas = std::vector<Sample>(kSize * kSize, 0xA5A5);

  // Sample k (-4..3: p3..q3) of line i: across a vertical edge the lines are
  // `spacing` rows apart, across a horizontal one the samples.
  Sample& at(bool vertical, int spacing, int line, int k) {
    return vertical ? canvas[(4 + line * spacing) * kSize + kEdge + k]
                    : canvas[(kEdge + k * spacing) * kSize + 4 + line];
  }
};

EdgeThresholds randomThresholds(std::mt19937& rng, int bitDepth) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int indexA = pick(0, 51), indexB = pick(0, 51), scale = bitDepth - 8;
  EdgeThresholds t{kAlphaPrime[indexA] << scale, kBetaPrime[indexB] << scale,
                   kTc0Prime[indexA][pick(0, 2)] << scale, (1 << bitDepth) - 1};
  if (pick(0, 9) == 0) {  // anything the kernels accept, beyond the tables
    t.alpha = pick(0, 255 << scale);
    t.beta = pick(0, 18 << scale);
    t.tc0 = pick(0, 25 << scale);
  }
  return t;
}

// One line: random, or each difference the filter tests close to its
// limit, or samples at 0 and the maximum only.
void fillLine(std::mt19937& rng, const EdgeThresholds& t, int kind, int* s) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int max = t.maxValue;
  if (kind == 0) {
    for (int k = 0; k < 8; ++k) s[k] = pick(0, max);
  } else if (kind == 1) {
    for (int k = 0; k < 8; ++k) s[k] = pick(0, 1) * max;
  } else {
    // s[3] = p0, s[4] = q0; steps outwards near beta, across the edge near
    // alpha or (alpha >> 2) + 2.
    auto near = [&](int from, int limit) {
      return std::clamp(from + (pick(0, 1) ? 1 : -1) * (limit + pick(-2, 1)), 0, max);
    };
    s[4] = pick(0, max);
    s[3] = near(s[4], pick(0, 1) ? t.alpha : (t.alpha >> 2) + 2);
    for (int k = 2; k >= 0; --k) s[k] = near(s[k + 1], pick(0, 3) ? t.beta : pick(0, t.beta));
    for (int k = 5; k < 8; ++k) s[k] = near(s[k - 1], pick(0, 3) ? t.beta : pick(0, t.beta));
  }
}

KERNEL_SUITE(KernelTableEdgeFilters, "lumaEdge[0][0]", "lumaEdge[0][1]", "lumaEdge[1][0]",
             "lumaEdge[1][1]", "chromaEdge[0][0]", "chromaEdge[0][1]", "chromaEdge[1][0]",
             "chromaEdge[1][1]");
TEST_P(KernelTableEdgeFilters, MatchesPlain) {
  for (int orientation : {kVerticalEdge, kHorizontalEdge}) {
    for (int strong = 0; strong < 2; ++strong) {
      for (bool lumaStyle : {true, false}) {
        const Table::EdgeFilter p =
            (lumaStyle ? plain.lumaEdge : plain.chromaEdge)[orientation][strong];
        const Table::EdgeFilter v =
            (lumaStyle ? vector.lumaEdge : vector.chromaEdge)[orientation][strong];
        if (p == v) continue;
        const bool vertical = orientation == kVerticalEdge;
        const int reach = lumaStyle ? 4 : 2;
        for (int trial = 0; trial < 4000; ++trial) {
          const int bitDepth = uniform(8, 14), lines = 4 << uniform(0, 2), spacing = uniform(1, 2);
          const EdgeThresholds t = randomThresholds(rng, bitDepth);
          DeblockLines a;
          for (int i = 0; i < lines; ++i) {
            int s[8];
            fillLine(rng, t, trial % 8 == 7 ? 1 : uniform(0, 3) ? 2 : 0, s);
            for (int k = -reach; k < reach; ++k)
              a.at(vertical, spacing, i, k) = static_cast<Sample>(s[4 + k]);
          }
          DeblockLines b = a;
          std::vector<bool> line(a.canvas.size());
          for (std::size_t k = 0; k < line.size(); ++k) line[k] = a.canvas[k] != 0xA5A5;
          const std::ptrdiff_t stride = std::ptrdiff_t{DeblockLines::kSize} * spacing;
          const int start = vertical ? 4 * DeblockLines::kSize + DeblockLines::kEdge
                                     : DeblockLines::kEdge * DeblockLines::kSize + 4;
          p(a.canvas.data() + start, stride, lines, t);
          v(b.canvas.data() + start, stride, lines, t);
          ASSERT_EQ(a.canvas, b.canvas)
              << (vertical ? "vertical" : "horizontal") << (strong ? " bS 4" : " bS < 4")
              << (lumaStyle ? " luma-style" : " chroma-style") << " lines " << lines << " spacing "
              << spacing << " depth " << bitDepth << " alpha " << t.alpha << " beta " << t.beta
              << " tc0 " << t.tc0 << " seed " << kSeed << " trial " << trial;
          for (std::size_t k = 0; k < line.size(); ++k) {
            ASSERT_TRUE(line[k] || b.canvas[k] == 0xA5A5) << "wrote outside the lines at " << k;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace H264
