// Every vector kernel in the table against its plain twin, at every level
// this processor runs: identical copies of random but realistic inputs and
// of extreme ones, whole output areas compared, guard samples around them.
// The seed is printed; ISTREL_KERNEL_SEED=<seed> replays a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <ostream>
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
constexpr Sample kGuard = 0xA5A5;
constexpr int kMaxValues[] = {255, 511, 1023, 4095, 16383};

const std::uint32_t kSeed = [] {
  const char* fixed = std::getenv("ISTREL_KERNEL_SEED");
  const auto s = fixed ? static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10)) : 20261205u;
  std::printf("kernel table: seed %u (ISTREL_KERNEL_SEED=%u replays it)\n", s, s);
  return s;
}();

// The inputs of one trial. Both twins draw them from copies of the same
// engine, so they get the same ones.
struct Draw {
  std::mt19937 engine;

  int operator()(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); }

  std::vector<std::int32_t> prediction(int lo, int hi) {
    std::vector<std::int32_t> pred(kPredStride * 16);
    for (auto& p : pred) p = (*this)(lo, hi);
    return pred;
  }

  std::int32_t extremeValue() {
    const std::int32_t values[] = {std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max(),
                                   (1 << 21) - 1,  // the largest conformant magnitude at 14 bits
                                   -(1 << 21), 0};
    const int pick = (*this)(0, 5);
    return pick < 5 ? values[pick] : static_cast<std::int32_t>(engine());
  }

  std::vector<std::int32_t> realisticCoefficients(int n, int maxValue);
};

// What a kernel left in its output area, guards included, and how many
// guards outside the area it may write it overwrote.
struct Output {
  std::vector<std::int64_t> values;
  int strays = 0;
};

// Runs a kernel into a picture area filled with guards, its w x h block at
// kOrigin.
template <typename Kernel>
Output onCanvas(int w, int h, Kernel kernel) {
  std::vector<Sample> canvas(kCanvas * kCanvas, kGuard);
  kernel(canvas.data() + kOrigin * kCanvas + kOrigin);
  Output out{{canvas.begin(), canvas.end()}};
  for (int k = 0; k < kCanvas * kCanvas; ++k) {
    const int x = k % kCanvas - kOrigin, y = k / kCanvas - kOrigin;
    if ((x < 0 || y < 0 || x >= w || y >= h) && canvas[k] != kGuard) ++out.strays;
  }
  return out;
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

std::vector<std::int32_t> Draw::realisticCoefficients(int n, int maxValue) {
  const auto forward = [n](int i, int j) { return n == 4 ? kForward4[i][j] : kForward8[i][j]; };
  const auto gain = [n](int i) { return std::int64_t{n == 4 ? kGain4[i] : kGain8[i]}; };
  const std::int64_t unit = n == 4 ? 64 : 4096;  // one residual unit in the coefficients
  const int step = (*this)(1, 160), lastDiagonal = (*this)(0, 2 * n - 2);
  std::vector<std::int64_t> residual(n * n), rows(n * n, 0);
  for (auto& r : residual) r = (*this)(-maxValue, maxValue);
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

// Each sample range in turn; one trial in eight takes extreme coefficients.
template <int n>
Output reconstruct(const Table& table, Draw& draw, int trial) {
  const int maxValue = kMaxValues[trial % 5];
  const auto pred = draw.prediction(0, maxValue);
  std::vector<std::int32_t> coeff = draw.realisticCoefficients(n, maxValue);
  if (trial / 5 % 8 == 7)
    std::generate(coeff.begin(), coeff.end(), [&] { return draw.extremeValue(); });
  const Table::Reconstruct kernel = n == 4 ? table.reconstruct4x4 : table.reconstruct8x8;
  return onCanvas(n, n, [&](Sample* d) {
    kernel(coeff.data(), pred.data(), kPredStride, d, kCanvas, maxValue);
  });
}

Output addDc(const Table& table, Draw& draw, int trial) {
  const int maxValue = kMaxValues[trial % 5];
  const auto pred = draw.prediction(0, maxValue);
  const std::int32_t dc =
      trial / 5 % 8 == 7 ? draw.extremeValue() : draw(-128 * maxValue, 128 * maxValue);
  return onCanvas(
      4, 4, [&](Sample* d) { table.addDc4x4(dc, pred.data(), kPredStride, d, kCanvas, maxValue); });
}

// Luma and chroma shapes and one with a 4-sample tail; predictions out of
// range saturate to the sample type in both versions.
Output copyPrediction(const Table& table, Draw& draw, int trial) {
  const int shapes[][2] = {{4, 4}, {8, 8}, {16, 16}, {8, 16}, {4, 8}, {12, 16}};
  const int w = shapes[trial % 6][0], h = shapes[trial % 6][1];
  const bool extreme = trial / 6 % 8 == 7;
  const int hi = extreme ? 1 << 20 : std::numeric_limits<Sample>::max();
  const auto pred = draw.prediction(extreme ? -hi : 0, hi);
  return onCanvas(
      w, h, [&](Sample* d) { table.copyPrediction(pred.data(), kPredStride, d, kCanvas, w, h); });
}

// Intra prediction of a W x H block with the kernel of `entry`: every mode with every
// combination of available sides (the kernels must agree whatever they are given), references
// of bit depths 8 to 14, random or, one round of all modes and sides in eight, only 0 and the
// maximum. The block is predicted into rows wider than 16 and one row more than it has, filled
// with -1s: a sample written outside it shows on the canvas.
template <IntraKernel Table::*entry, int W, int H, int kModes>
Output intra(const Table& table, Draw& draw, int trial) {
  constexpr int kStride = 24;
  const int bitDepth = draw(8, 14), max = (1 << bitDepth) - 1;
  const bool extreme = trial / (16 * kModes) % 8 == 7;
  std::int32_t top[2 * W], left[H];
  for (auto* side : {top, left}) {
    for (int i = 0; i < (side == top ? 2 * W : H); ++i)
      side[i] = extreme ? draw(0, 1) * max : draw(0, max);
  }
  const std::int32_t topLeft = draw(0, max);
  const int mode = trial % kModes, sides = trial / kModes % 16;
  return onCanvas(W, H, [&](Sample* d) {
    std::int32_t pred[(H + 1) * kStride];
    std::fill_n(pred, (H + 1) * kStride, -1);
    (table.*entry)(mode, top, left, topLeft, static_cast<unsigned>(sides), bitDepth, pred, kStride);
    // Samples are never negative: what is left of the -1s is not copied.
    for (int y = 0; y <= H; ++y) {
      for (int x = 0; x < kStride; ++x) {
        if (pred[y * kStride + x] >= 0) d[y * kCanvas + x] = Sample(pred[y * kStride + x]);
      }
    }
  });
}

// 4:2:2 chroma DC: levels of conforming magnitudes and the extremes the
// kernel accepts (magnitudes up to 2^27 - 1), LevelScale of any weight, every
// QP'C,DC of bit depths 8 to 14 and both roundings.
Output chromaDc422(const Table& table, Draw& draw, int trial) {
  constexpr int kMaxLevel = (1 << 27) - 1;
  std::int32_t levels[8];
  const int range = trial % 4 == 0 ? kMaxLevel : trial % 4 == 1 ? (1 << 22) : 2000;
  for (auto& l : levels) {
    l = trial % 16 == 15 ? (draw(0, 1) ? kMaxLevel : -kMaxLevel) : draw(-range, range);
  }
  const std::int32_t levelScale = draw(0, 255 * 25);
  const int qPDc = draw(3, 87 + 3);
  const bool conformant = draw(0, 1) != 0;
  std::int32_t dc[8 + 2];
  std::fill_n(dc, 10, -7);
  table.chromaDc422(levels, levelScale, qPDc, conformant, dc);
  return {{dc, dc + 10}};
}

// Rows of 1 to 70 groups from samples of 8 to 14 bits (some rows only the
// extremes 0 and the maximum), into rows with guard bytes after.
template <bool preview>
Output packV210(const Table& table, Draw& draw, int trial) {
  const int groups = draw(1, 70), step = preview ? 2 : 1;
  const int lumaDepth = draw(8, 14), chromaDepth = draw(8, 14);
  std::vector<Sample> planes[3];
  for (int c = 0; c < 3; ++c) {
    const int depth = c ? chromaDepth : lumaDepth;
    // Exactly the samples the groups cover, so a read past them shows
    // under AddressSanitizer.
    planes[c].resize(static_cast<std::size_t>((c ? 3 : 6) * groups * step));
    const unsigned max = (1u << depth) - 1;
    for (Sample& s : planes[c]) {
      s = static_cast<Sample>(trial % 16 == 15 ? (draw.engine() & 1) * max
                                               : draw.engine() % (max + 1));
    }
  }
  const V210Shift shift{lumaDepth < 10 ? 10u - lumaDepth : 0, lumaDepth > 10 ? lumaDepth - 10u : 0,
                        chromaDepth < 10 ? 10u - chromaDepth : 0,
                        chromaDepth > 10 ? chromaDepth - 10u : 0};
  std::vector<char> row(16 * groups + 16, 0x5A);
  (preview ? table.packV210Preview : table.packV210)(row.data(), planes[0].data(), planes[1].data(),
                                                     planes[2].data(), groups, shift);
  return {{row.begin(), row.end()}};
}

// The deblocking filter's edge filters: 4, 8 and 16 lines, one or two rows
// apart (MBAFF), thresholds of Tables 8-16 and 8-17 at bit depths 8 to 14,
// lines random, close to each threshold or at 0 and the maximum. Only the
// samples a kernel may read are real; guard values fill the rest.
EdgeThresholds randomThresholds(Draw& draw, int bitDepth) {
  const int indexA = draw(0, 51), indexB = draw(0, 51), scale = bitDepth - 8;
  EdgeThresholds t{kAlphaPrime[indexA] << scale, kBetaPrime[indexB] << scale,
                   kTc0Prime[indexA][draw(0, 2)] << scale, (1 << bitDepth) - 1};
  if (draw(0, 9) == 0) {  // anything the kernels accept, beyond the tables
    t.alpha = draw(0, 255 << scale);
    t.beta = draw(0, 18 << scale);
    t.tc0 = draw(0, 25 << scale);
  }
  return t;
}

// One line: random, or each difference the filter tests close to its
// limit, or samples at 0 and the maximum only.
void fillLine(Draw& draw, const EdgeThresholds& t, int kind, int* s) {
  const int max = t.maxValue;
  if (kind == 0) {
    for (int k = 0; k < 8; ++k) s[k] = draw(0, max);
  } else if (kind == 1) {
    for (int k = 0; k < 8; ++k) s[k] = draw(0, 1) * max;
  } else {
    // s[3] = p0, s[4] = q0; steps outwards near beta, across the edge near
    // alpha or (alpha >> 2) + 2.
    auto near = [&](int from, int limit) {
      return std::clamp(from + (draw(0, 1) ? 1 : -1) * (limit + draw(-2, 1)), 0, max);
    };
    s[4] = draw(0, max);
    s[3] = near(s[4], draw(0, 1) ? t.alpha : (t.alpha >> 2) + 2);
    for (int k = 2; k >= 0; --k) s[k] = near(s[k + 1], draw(0, 3) ? t.beta : draw(0, t.beta));
    for (int k = 5; k < 8; ++k) s[k] = near(s[k - 1], draw(0, 3) ? t.beta : draw(0, t.beta));
  }
}

template <bool lumaStyle, int orientation, int strong>
Output edge(const Table& table, Draw& draw, int trial) {
  constexpr int kSize = 48, kEdge = 24;  // canvas side; the edge lies before sample 24
  constexpr bool vertical = orientation == kVerticalEdge;
  constexpr int reach = lumaStyle ? 4 : 2;
  const int bitDepth = draw(8, 14), lines = 4 << draw(0, 2), spacing = draw(1, 2);
  const EdgeThresholds t = randomThresholds(draw, bitDepth);
  std::vector<Sample> canvas(kSize * kSize, kGuard);
  // Sample k (-4..3: p3..q3) of line i: across a vertical edge the lines are
  // `spacing` rows apart, across a horizontal one the samples.
  for (int i = 0; i < lines; ++i) {
    int s[8];
    fillLine(draw, t, trial % 8 == 7 ? 1 : draw(0, 3) ? 2 : 0, s);
    for (int k = -reach; k < reach; ++k) {
      canvas[vertical ? (4 + i * spacing) * kSize + kEdge + k
                      : (kEdge + k * spacing) * kSize + 4 + i] = static_cast<Sample>(s[4 + k]);
    }
  }
  std::vector<bool> line(canvas.size());
  for (std::size_t k = 0; k < line.size(); ++k) line[k] = canvas[k] != kGuard;
  const int start = vertical ? 4 * kSize + kEdge : kEdge * kSize + 4;
  (lumaStyle ? table.lumaEdge : table.chromaEdge)[orientation][strong](
      canvas.data() + start, std::ptrdiff_t{kSize} * spacing, lines, t);
  Output out{{canvas.begin(), canvas.end()}};
  for (std::size_t k = 0; k < line.size(); ++k) out.strays += !line[k] && canvas[k] != kGuard;
  return out;
}

// The trials of each entry, by the name replaced_entries.h gives it.
struct Kernel {
  const char* entry;
  int trials;
  Output (*run)(const Table& table, Draw& draw, int trial);
};

const Kernel kKernels[] = {
    {"reconstruct4x4", 7500, reconstruct<4>},
    {"reconstruct8x8", 7500, reconstruct<8>},
    {"addDc4x4", 7500, addDc},
    {"copyPrediction", 900, copyPrediction},
    {"intra8x8", 14400, intra<&Table::intra8x8, 8, 8, 9>},
    {"intra16x16", 6400, intra<&Table::intra16x16, 16, 16, 4>},
    {"intraChroma8x8", 6400, intra<&Table::intraChroma8x8, 8, 8, 4>},
    {"intraChroma8x16", 6400, intra<&Table::intraChroma8x16, 8, 16, 4>},
    {"chromaDc422", 20000, chromaDc422},
    {"packV210", 3000, packV210<false>},
    {"packV210Preview", 3000, packV210<true>},
    {"lumaEdge[0][0]", 4000, edge<true, kVerticalEdge, 0>},
    {"lumaEdge[0][1]", 4000, edge<true, kVerticalEdge, 1>},
    {"lumaEdge[1][0]", 4000, edge<true, kHorizontalEdge, 0>},
    {"lumaEdge[1][1]", 4000, edge<true, kHorizontalEdge, 1>},
    {"chromaEdge[0][0]", 4000, edge<false, kVerticalEdge, 0>},
    {"chromaEdge[0][1]", 4000, edge<false, kVerticalEdge, 1>},
    {"chromaEdge[1][0]", 4000, edge<false, kHorizontalEdge, 0>},
    {"chromaEdge[1][1]", 4000, edge<false, kHorizontalEdge, 1>},
};

// An entry that is not plain C++ at a level this processor runs, as the
// expected table of replaced_entries.h says: an entry a level loses fails
// instead of leaving its kernel untested.
struct Case {
  KernelLevel level;
  std::string entry;
};

void PrintTo(const Case& c, std::ostream* os) { *os << kernelLevelName(c.level) << " " << c.entry; }

std::vector<Case> vectorCases() {
  std::vector<Case> cases;
  for (KernelLevel level : kernelLevelsHere()) {
    for (const std::string& entry : vectorEntries(level)) cases.push_back({level, entry});
  }
  return cases;
}

class KernelTable : public testing::TestWithParam<Case> {};
// A processor with no vector level has nothing to compare.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(KernelTable);

TEST_P(KernelTable, MatchesPlain) {
  const Case& c = GetParam();
  const Kernel* kernel = std::find_if(std::begin(kKernels), std::end(kKernels),
                                      [&c](const Kernel& k) { return k.entry == c.entry; });
  ASSERT_NE(kernel, std::end(kKernels)) << "no trials for " << c.entry;
  const Table& plain = kernelsFor<Sample>(KernelLevel::kPlain);
  const Table& vector = kernelsFor<Sample>(c.level);
  std::mt19937 engine(kSeed);
  for (int trial = 0; trial < kernel->trials; ++trial) {
    Draw forPlain{engine}, forVector{engine};
    const Output a = kernel->run(plain, forPlain, trial);
    const Output b = kernel->run(vector, forVector, trial);
    engine = forPlain.engine;
    const auto differs = std::mismatch(a.values.begin(), a.values.end(), b.values.begin()).first;
    ASSERT_TRUE(differs == a.values.end()) << "differs at output " << differs - a.values.begin()
                                           << ", trial " << trial << " seed " << kSeed;
    ASSERT_EQ(a.strays + b.strays, 0)
        << "wrote outside its output, trial " << trial << " seed " << kSeed;
  }
}

// sse41_reconstruct4x4, avx2_lumaEdge01, ...
INSTANTIATE_TEST_SUITE_P(Levels, KernelTable, testing::ValuesIn(vectorCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                           std::string name;
                           for (char ch :
                                kernelLevelName(info.param.level) + ("_" + info.param.entry)) {
                             if (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_')
                               name += ch;
                           }
                           return name;
                         });

}  // namespace
}  // namespace H264
