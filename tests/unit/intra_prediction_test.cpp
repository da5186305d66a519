#include "recon/intra_prediction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace H264 {
namespace {

// ---- The clauses' equations, transcribed plainly over p[x, y] ------------------------------

// Neighbouring samples p[x, y] that are "available for Intra prediction"; reading any other
// sample is a test failure, so the reference also checks the modes' conditions of use.
class Refs {
 public:
  bool has(int x, int y) const { return samples_.count({x, y}) != 0; }
  int operator()(int x, int y) const {
    auto it = samples_.find({x, y});
    EXPECT_TRUE(it != samples_.end()) << "p[" << x << ", " << y << "] read but unavailable";
    return it == samples_.end() ? 0 : it->second;
  }
  void set(int x, int y, int value) { samples_[{x, y}] = value; }
  bool hasTopRun(int from, int to) const {  // p[x, -1], x = from..to
    for (int x = from; x <= to; ++x)
      if (!has(x, -1)) return false;
    return true;
  }
  bool hasLeftRun(int from, int to) const {  // p[-1, y], y = from..to
    for (int y = from; y <= to; ++y)
      if (!has(-1, y)) return false;
    return true;
  }

 private:
  std::map<std::pair<int, int>, int> samples_;
};

Refs refsFrom(const IntraEdges& e, int width, int height, bool withTopRight) {
  Refs p;
  for (int x = 0; x < width; ++x)
    if (e.hasTop) p.set(x, -1, e.top[x]);
  for (int x = width; x < 2 * width; ++x)
    if (withTopRight && e.hasTopRight) p.set(x, -1, e.top[x]);
  for (int y = 0; y < height; ++y)
    if (e.hasLeft) p.set(-1, y, e.left[y]);
  if (e.hasTopLeft) p.set(-1, -1, e.topLeft);
  return p;
}

// "When samples p[x, -1], with x = n..2n-1, are marked as not available ... and p[n-1, -1] is
// marked as available", they are substituted by p[n-1, -1].
void substituteTopRight(Refs& p, int n) {
  bool anyMissing = false;
  for (int x = n; x < 2 * n; ++x) anyMissing = anyMissing || !p.has(x, -1);
  if (anyMissing && p.has(n - 1, -1))
    for (int x = n; x < 2 * n; ++x) p.set(x, -1, p(n - 1, -1));
}

using Block = std::vector<int>;  // width x height, row by row
using Prediction = std::optional<Block>;
using Formula = std::function<int(int x, int y)>;

Block evaluate(int w, int h, const Formula& f) {
  Block b(static_cast<std::size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b[static_cast<std::size_t>(y * w + x)] = f(x, y);
  return b;
}

int clip1(int v, int bitDepth) { return std::min(std::max(v, 0), (1 << bitDepth) - 1); }

// Clauses 8.3.1.2.1 to 8.3.1.2.9 (n = 4) and 8.3.2.2.2 to 8.3.2.2.10 (n = 8, p filtered).
Prediction referenceNxN(int mode, const Refs& p, int n, int bitDepth) {
  const bool top = p.hasTopRun(0, n - 1), topWide = p.hasTopRun(0, 2 * n - 1);
  const bool left = p.hasLeftRun(0, n - 1), all = top && p.hasLeftRun(-1, n - 1);
  const int last = n - 1;
  switch (mode) {
    case 0:
      if (!top) return std::nullopt;
      return evaluate(n, n, [&](int x, int) { return p(x, -1); });
    case 1:
      if (!left) return std::nullopt;
      return evaluate(n, n, [&](int, int y) { return p(-1, y); });
    case 2: {
      int sumTop = 0, sumLeft = 0;
      for (int i = 0; i < n && top; ++i) sumTop += p(i, -1);
      for (int i = 0; i < n && left; ++i) sumLeft += p(-1, i);
      int dc = 1 << (bitDepth - 1);
      if (n == 4 && top && left) dc = (sumTop + sumLeft + 4) >> 3;
      if (n == 8 && top && left) dc = (sumTop + sumLeft + 8) >> 4;
      if (n == 4 && top != left) dc = (sumTop + sumLeft + 2) >> 2;
      if (n == 8 && top != left) dc = (sumTop + sumLeft + 4) >> 3;
      return evaluate(n, n, [&](int, int) { return dc; });
    }
    case 3:  // Diagonal_Down_Left
      if (!topWide) return std::nullopt;
      return evaluate(n, n, [&](int x, int y) {
        if (x == last && y == last) return (p(2 * n - 2, -1) + 3 * p(2 * n - 1, -1) + 2) >> 2;
        return (p(x + y, -1) + 2 * p(x + y + 1, -1) + p(x + y + 2, -1) + 2) >> 2;
      });
    case 4:  // Diagonal_Down_Right
      if (!all) return std::nullopt;
      return evaluate(n, n, [&](int x, int y) {
        if (x > y) return (p(x - y - 2, -1) + 2 * p(x - y - 1, -1) + p(x - y, -1) + 2) >> 2;
        if (x < y) return (p(-1, y - x - 2) + 2 * p(-1, y - x - 1) + p(-1, y - x) + 2) >> 2;
        return (p(0, -1) + 2 * p(-1, -1) + p(-1, 0) + 2) >> 2;
      });
    case 5:  // Vertical_Right
      if (!all) return std::nullopt;
      return evaluate(n, n, [&](int x, int y) {
        const int zVR = 2 * x - y;
        if (zVR >= 0 && zVR % 2 == 0)
          return (p(x - (y >> 1) - 1, -1) + p(x - (y >> 1), -1) + 1) >> 1;
        if (zVR >= 0)
          return (p(x - (y >> 1) - 2, -1) + 2 * p(x - (y >> 1) - 1, -1) + p(x - (y >> 1), -1) +
                  2) >>
                 2;
        if (zVR == -1) return (p(-1, 0) + 2 * p(-1, -1) + p(0, -1) + 2) >> 2;
        if (n == 4) return (p(-1, y - 1) + 2 * p(-1, y - 2) + p(-1, y - 3) + 2) >> 2;
        return (p(-1, y - 2 * x - 1) + 2 * p(-1, y - 2 * x - 2) + p(-1, y - 2 * x - 3) + 2) >> 2;
      });
    case 6:  // Horizontal_Down
      if (!all) return std::nullopt;
      return evaluate(n, n, [&](int x, int y) {
        const int zHD = 2 * y - x;
        if (zHD >= 0 && zHD % 2 == 0)
          return (p(-1, y - (x >> 1) - 1) + p(-1, y - (x >> 1)) + 1) >> 1;
        if (zHD >= 0)
          return (p(-1, y - (x >> 1) - 2) + 2 * p(-1, y - (x >> 1) - 1) + p(-1, y - (x >> 1)) +
                  2) >>
                 2;
        if (zHD == -1) return (p(-1, 0) + 2 * p(-1, -1) + p(0, -1) + 2) >> 2;
        if (n == 4) return (p(x - 1, -1) + 2 * p(x - 2, -1) + p(x - 3, -1) + 2) >> 2;
        return (p(x - 2 * y - 1, -1) + 2 * p(x - 2 * y - 2, -1) + p(x - 2 * y - 3, -1) + 2) >> 2;
      });
    case 7:  // Vertical_Left
      if (!topWide) return std::nullopt;
      return evaluate(n, n, [&](int x, int y) {
        if (y % 2 == 0) return (p(x + (y >> 1), -1) + p(x + (y >> 1) + 1, -1) + 1) >> 1;
        return (p(x + (y >> 1), -1) + 2 * p(x + (y >> 1) + 1, -1) + p(x + (y >> 1) + 2, -1) + 2) >>
               2;
      });
    case 8:  // Horizontal_Up
      if (!left) return std::nullopt;
      return evaluate(n, n, [&](int x, int y) {
        const int zHU = x + 2 * y, limit = n == 4 ? 5 : 13;
        if (zHU < limit && zHU % 2 == 0)
          return (p(-1, y + (x >> 1)) + p(-1, y + (x >> 1) + 1) + 1) >> 1;
        if (zHU < limit)
          return (p(-1, y + (x >> 1)) + 2 * p(-1, y + (x >> 1) + 1) + p(-1, y + (x >> 1) + 2) +
                  2) >>
                 2;
        if (zHU == limit) return (p(-1, last - 1) + 3 * p(-1, last) + 2) >> 2;
        return p(-1, last);
      });
    default:
      return std::nullopt;
  }
}

Prediction reference4x4(int mode, const IntraEdges& e, int bitDepth) {
  Refs p = refsFrom(e, 4, 4, true);
  substituteTopRight(p, 4);
  return referenceNxN(mode, p, 4, bitDepth);
}

// Clause 8.3.2.2.1, condition by condition.
Refs filter8x8(const Refs& p) {
  Refs q;
  if (p.hasTopRun(0, 15)) {
    if (p.has(-1, -1))
      q.set(0, -1, (p(-1, -1) + 2 * p(0, -1) + p(1, -1) + 2) >> 2);
    else
      q.set(0, -1, (3 * p(0, -1) + p(1, -1) + 2) >> 2);
    for (int x = 1; x <= 14; ++x)
      q.set(x, -1, (p(x - 1, -1) + 2 * p(x, -1) + p(x + 1, -1) + 2) >> 2);
    q.set(15, -1, (p(14, -1) + 3 * p(15, -1) + 2) >> 2);
  }
  if (p.has(-1, -1)) {
    if (!p.has(0, -1) || !p.has(-1, 0)) {
      if (p.has(0, -1))
        q.set(-1, -1, (3 * p(-1, -1) + p(0, -1) + 2) >> 2);
      else if (p.has(-1, 0))
        q.set(-1, -1, (3 * p(-1, -1) + p(-1, 0) + 2) >> 2);
      else
        q.set(-1, -1, p(-1, -1));
    } else {
      q.set(-1, -1, (p(0, -1) + 2 * p(-1, -1) + p(-1, 0) + 2) >> 2);
    }
  }
  if (p.hasLeftRun(0, 7)) {
    if (p.has(-1, -1))
      q.set(-1, 0, (p(-1, -1) + 2 * p(-1, 0) + p(-1, 1) + 2) >> 2);
    else
      q.set(-1, 0, (3 * p(-1, 0) + p(-1, 1) + 2) >> 2);
    for (int y = 1; y <= 6; ++y)
      q.set(-1, y, (p(-1, y - 1) + 2 * p(-1, y) + p(-1, y + 1) + 2) >> 2);
    q.set(-1, 7, (p(-1, 6) + 3 * p(-1, 7) + 2) >> 2);
  }
  return q;
}

Prediction reference8x8(int mode, const IntraEdges& e, int bitDepth) {
  Refs p = refsFrom(e, 8, 8, true);
  substituteTopRight(p, 8);
  return referenceNxN(mode, filter8x8(p), 8, bitDepth);
}

// Clause 8.3.3.
Prediction reference16x16(int mode, const IntraEdges& e, int bitDepth) {
  const Refs p = refsFrom(e, 16, 16, false);
  const bool top = p.hasTopRun(0, 15), left = p.hasLeftRun(0, 15);
  switch (mode) {
    case 0:
      if (!top) return std::nullopt;
      return evaluate(16, 16, [&](int x, int) { return p(x, -1); });
    case 1:
      if (!left) return std::nullopt;
      return evaluate(16, 16, [&](int, int y) { return p(-1, y); });
    case 2: {
      int dc = 1 << (bitDepth - 1), sumTop = 0, sumLeft = 0;
      for (int i = 0; i < 16; ++i) {
        if (top) sumTop += p(i, -1);
        if (left) sumLeft += p(-1, i);
      }
      if (top && left)
        dc = (sumTop + sumLeft + 16) >> 5;
      else if (left)
        dc = (sumLeft + 8) >> 4;
      else if (top)
        dc = (sumTop + 8) >> 4;
      return evaluate(16, 16, [&](int, int) { return dc; });
    }
    case 3: {
      if (!top || !left || !p.has(-1, -1)) return std::nullopt;
      int H = 0, V = 0;
      for (int i = 0; i <= 7; ++i) {
        H += (i + 1) * (p(8 + i, -1) - p(6 - i, -1));
        V += (i + 1) * (p(-1, 8 + i) - p(-1, 6 - i));
      }
      const int a = 16 * (p(-1, 15) + p(15, -1)), b = (5 * H + 32) >> 6, c = (5 * V + 32) >> 6;
      return evaluate(16, 16, [&](int x, int y) {
        return clip1((a + b * (x - 7) + c * (y - 7) + 16) >> 5, bitDepth);
      });
    }
    default:
      return std::nullopt;
  }
}

// Clause 8.3.4 for chroma_format_idc 1 (height 8) and 2 (height 16).
Prediction referenceChroma(int mode, const IntraEdges& e, int height, int bitDepth) {
  const int MbWidthC = 8, MbHeightC = height, chromaFormatIdc = height == 8 ? 1 : 2;
  const Refs p = refsFrom(e, MbWidthC, MbHeightC, false);
  const bool top = p.hasTopRun(0, MbWidthC - 1), left = p.hasLeftRun(0, MbHeightC - 1);
  switch (mode) {
    case 0: {
      Block pred(static_cast<std::size_t>(MbWidthC * MbHeightC));
      for (int chroma4x4BlkIdx = 0; chroma4x4BlkIdx < (1 << (chromaFormatIdc + 1));
           ++chroma4x4BlkIdx) {
        const int xO = 4 * (chroma4x4BlkIdx % 2), yO = 4 * (chroma4x4BlkIdx / 2);
        int sumTop = 0, sumLeft = 0;
        for (int i = 0; i < 4; ++i) {
          if (top) sumTop += p(i + xO, -1);
          if (left) sumLeft += p(-1, i + yO);
        }
        int s = 1 << (bitDepth - 1);
        if ((xO == 0 && yO == 0) || (xO > 0 && yO > 0)) {
          if (top && left)
            s = (sumTop + sumLeft + 4) >> 3;
          else if (left)
            s = (sumLeft + 2) >> 2;
          else if (top)
            s = (sumTop + 2) >> 2;
        } else if (xO > 0 && yO == 0) {
          if (top)
            s = (sumTop + 2) >> 2;
          else if (left)
            s = (sumLeft + 2) >> 2;
        } else {
          if (left)
            s = (sumLeft + 2) >> 2;
          else if (top)
            s = (sumTop + 2) >> 2;
        }
        for (int y = 0; y < 4; ++y)
          for (int x = 0; x < 4; ++x)
            pred[static_cast<std::size_t>((y + yO) * MbWidthC + x + xO)] = s;
      }
      return pred;
    }
    case 1:
      if (!left) return std::nullopt;
      return evaluate(MbWidthC, MbHeightC, [&](int, int y) { return p(-1, y); });
    case 2:
      if (!top) return std::nullopt;
      return evaluate(MbWidthC, MbHeightC, [&](int x, int) { return p(x, -1); });
    case 3: {
      if (!top || !left || !p.has(-1, -1)) return std::nullopt;
      const int xCF = 0, yCF = chromaFormatIdc != 1 ? 4 : 0;
      int H = 0, V = 0;
      for (int x = 0; x <= 3 + xCF; ++x) H += (x + 1) * (p(4 + xCF + x, -1) - p(2 + xCF - x, -1));
      for (int y = 0; y <= 3 + yCF; ++y) V += (y + 1) * (p(-1, 4 + yCF + y) - p(-1, 2 + yCF - y));
      const int a = 16 * (p(-1, MbHeightC - 1) + p(MbWidthC - 1, -1));
      const int b = (34 * H + 32) >> 6;
      const int c = ((34 - 29 * (chromaFormatIdc != 1)) * V + 32) >> 6;
      return evaluate(MbWidthC, MbHeightC, [&](int x, int y) {
        return clip1((a + b * (x - 3 - xCF) + c * (y - 3 - yCF) + 16) >> 5, bitDepth);
      });
    }
    default:
      return std::nullopt;
  }
}

// ---- Running the kernels ----------------------------------------------------------------

constexpr std::int32_t kUntouched = -7777;
constexpr int kPad = 3;

struct Output {
  bool ok;
  Block samples;
  bool wroteOutside;
  bool wroteAnything;
};

using Kernel = std::function<bool(std::int32_t* pred, int stride)>;

Output run(const Kernel& kernel, int w, int h) {
  const int stride = w + kPad;
  std::vector<std::int32_t> buffer(static_cast<std::size_t>(stride * (h + 1)), kUntouched);
  Output out{kernel(buffer.data(), stride), Block(static_cast<std::size_t>(w * h)), false, false};
  for (int y = 0; y <= h; ++y) {
    for (int x = 0; x < stride; ++x) {
      const std::int32_t v = buffer[static_cast<std::size_t>(y * stride + x)];
      const bool inside = x < w && y < h;
      if (inside) out.samples[static_cast<std::size_t>(y * w + x)] = v;
      if (v != kUntouched) (inside ? out.wroteAnything : out.wroteOutside) = true;
    }
  }
  return out;
}

void expectSame(const Output& got, const Prediction& want) {
  EXPECT_FALSE(got.wroteOutside);
  ASSERT_EQ(got.ok, want.has_value());
  if (got.ok)
    EXPECT_EQ(got.samples, *want);
  else
    EXPECT_FALSE(got.wroteAnything);
}

// Random sample values: uniform, only the extremes (plane clipping), or a ramp.
class EdgeSource {
 public:
  explicit EdgeSource(std::uint32_t seed) : rng_(seed) {}
  IntraEdges make(int bitDepth, unsigned availability) {
    const int maxValue = (1 << bitDepth) - 1;
    const int style = pick(0, 3);
    const int rampStart = pick(0, maxValue), rampStep = pick(-maxValue / 16, maxValue / 16);
    int i = 0;
    auto sample = [&] {
      ++i;
      if (style == 1) return pick(0, 1) * maxValue;
      if (style == 2) return clip1(rampStart + rampStep * i, bitDepth);
      return pick(0, maxValue);
    };
    IntraEdges e{};
    for (auto& v : e.left) v = sample();
    e.topLeft = sample();
    for (auto& v : e.top) v = sample();
    e.hasTop = availability & 1;
    e.hasTopRight = availability & 2;
    e.hasLeft = availability & 4;
    e.hasTopLeft = availability & 8;
    return e;
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  std::mt19937 rng_;
};

constexpr std::uint32_t kSeed = 0x1A7E4;
constexpr int kTrials = 24;
constexpr int kBitDepths[] = {8, 10, 14};

using Reference = std::function<Prediction(int mode, const IntraEdges& e, int bitDepth)>;
using Predictor =
    std::function<bool(int mode, const IntraEdges& e, int bitDepth, std::int32_t*, int stride)>;

// Every mode (and a few outside the table), every availability pattern, random edges.
void compareWithReference(const Predictor& predict, const Reference& reference, int w, int h,
                          int modeCount) {
  std::cout << "seed " << kSeed << "\n";
  EdgeSource source(kSeed);
  for (int bitDepth : kBitDepths) {
    for (unsigned availability = 0; availability < 16; ++availability) {
      for (int mode = -1; mode <= modeCount; ++mode) {
        for (int trial = 0; trial < kTrials; ++trial) {
          const IntraEdges e = source.make(bitDepth, availability);
          SCOPED_TRACE(testing::Message()
                       << "seed " << kSeed << " depth " << bitDepth << " availability "
                       << availability << " mode " << mode << " trial " << trial);
          const Output got =
              run([&](std::int32_t* pred,
                      int stride) { return predict(mode, e, bitDepth, pred, stride); },
                  w, h);
          expectSame(got, reference(mode, e, bitDepth));
          if (testing::Test::HasFailure()) return;
        }
      }
    }
  }
}

TEST(IntraPrediction, Intra4x4MatchesTheEquations) {
  compareWithReference(predictIntra4x4, reference4x4, 4, 4, 9);
}

TEST(IntraPrediction, Intra8x8MatchesTheEquations) {
  compareWithReference(predictIntra8x8, reference8x8, 8, 8, 9);
}

TEST(IntraPrediction, Intra16x16MatchesTheEquations) {
  compareWithReference(predictIntra16x16, reference16x16, 16, 16, 4);
}

TEST(IntraPrediction, ChromaMatchesTheEquations) {
  for (int height : {8, 16}) {
    SCOPED_TRACE(height);
    compareWithReference(
        [height](int mode, const IntraEdges& e, int bitDepth, std::int32_t* pred, int stride) {
          return predictIntraChroma(mode, e, 8, height, bitDepth, pred, stride);
        },
        [height](int mode, const IntraEdges& e, int bitDepth) {
          return referenceChroma(mode, e, height, bitDepth);
        },
        8, height, 4);
  }
}

// ---- Hand-computed cases ----------------------------------------------------------------

IntraEdges noEdges() { return IntraEdges{}; }

int at(const Block& b, int w, int x, int y) { return b[static_cast<std::size_t>(y * w + x)]; }

Block predicted(const Predictor& predict, int mode, const IntraEdges& e, int bitDepth, int w,
                int h) {
  const Output out =
      run([&](std::int32_t* pred, int stride) { return predict(mode, e, bitDepth, pred, stride); },
          w, h);
  EXPECT_TRUE(out.ok);
  return out.samples;
}

TEST(IntraPrediction, DcFromTheLeftColumnOnly) {
  IntraEdges e = noEdges();
  e.hasLeft = true;
  e.left[0] = 1, e.left[1] = 2, e.left[2] = 3, e.left[3] = 4;
  EXPECT_EQ(predicted(predictIntra4x4, 2, e, 8, 4, 4), Block(16, 3));  // (10 + 2) >> 2
}

TEST(IntraPrediction, DcWithoutNeighboursIsHalfRange) {
  for (auto [depth, half] : {std::pair{8, 128}, std::pair{10, 512}, std::pair{14, 8192}}) {
    EXPECT_EQ(predicted(predictIntra4x4, 2, noEdges(), depth, 4, 4), Block(16, half));
    EXPECT_EQ(predicted(predictIntra8x8, 2, noEdges(), depth, 8, 8), Block(64, half));
    EXPECT_EQ(predicted(predictIntra16x16, 2, noEdges(), depth, 16, 16), Block(256, half));
  }
}

IntraEdges chroma422Edges(bool hasLeft) {
  IntraEdges e = noEdges();
  e.hasTop = true;
  e.hasLeft = hasLeft;
  for (int x = 0; x < 8; ++x) e.top[x] = x < 4 ? 100 : 200;
  for (int y = 0; y < 16; ++y) e.left[y] = 10 * (y / 4 + 1);  // groups 10, 20, 30, 40
  return e;
}

Block chroma422Dc(const IntraEdges& e) {
  const Output out =
      run([&](std::int32_t* pred,
              int stride) { return predictIntraChroma(0, e, 8, 16, 8, pred, stride); },
          8, 16);
  EXPECT_TRUE(out.ok);
  return out.samples;
}

TEST(IntraPrediction, Chroma422DcLowerBlocks) {
  const Block b = chroma422Dc(chroma422Edges(true));
  EXPECT_EQ(at(b, 8, 0, 0), 55);   // (400 + 40 + 4) >> 3
  EXPECT_EQ(at(b, 8, 4, 0), 200);  // top row: its above group
  EXPECT_EQ(at(b, 8, 0, 4), 20);   // left column: its left group
  EXPECT_EQ(at(b, 8, 0, 8), 30);
  EXPECT_EQ(at(b, 8, 3, 15), 40);
  EXPECT_EQ(at(b, 8, 4, 8), 115);   // (800 + 120 + 4) >> 3
  EXPECT_EQ(at(b, 8, 7, 15), 120);  // (800 + 160 + 4) >> 3
}

TEST(IntraPrediction, Chroma422DcLowerBlocksWithoutLeft) {
  const Block b = chroma422Dc(chroma422Edges(false));
  EXPECT_EQ(at(b, 8, 0, 8), 100);
  EXPECT_EQ(at(b, 8, 0, 12), 100);
  EXPECT_EQ(at(b, 8, 4, 12), 200);
}

TEST(IntraPrediction, PlaneClipsAtFourteenBits) {
  IntraEdges e = noEdges();
  e.hasTop = e.hasLeft = e.hasTopLeft = true;
  for (int i = 0; i < 16; ++i) e.top[i] = e.left[i] = i < 8 ? 0 : 16383;
  // H = V = 36 * 16383, b = c = 46077, a = 524256.
  const Block b = predicted(predictIntra16x16, 3, e, 14, 16, 16);
  EXPECT_EQ(at(b, 16, 0, 0), 0);
  EXPECT_EQ(at(b, 16, 15, 15), 16383);
  EXPECT_EQ(at(b, 16, 7, 7), 16383);  // 524272 >> 5
  EXPECT_EQ(at(b, 16, 6, 7), 14943);  // (524272 - 46077) >> 5
  EXPECT_EQ(at(b, 16, 5, 7), 13503);  // (524272 - 92154) >> 5
}

IntraEdges rampTop8x8() {
  IntraEdges e = noEdges();
  e.hasTop = e.hasTopRight = true;
  for (int x = 0; x < 16; ++x) e.top[x] = 16 + 8 * x;
  return e;
}

TEST(IntraPrediction, Intra8x8FilterWithoutTopLeft) {
  const Block b = predicted(predictIntra8x8, 0, rampTop8x8(), 8, 8, 8);
  EXPECT_EQ(at(b, 8, 0, 0), 18);  // (3 * 16 + 24 + 2) >> 2
  EXPECT_EQ(at(b, 8, 1, 5), 24);  // (16 + 48 + 32 + 2) >> 2
  EXPECT_EQ(at(b, 8, 7, 7), 72);  // (64 + 144 + 80 + 2) >> 2
}

TEST(IntraPrediction, Intra8x8FilterWithTopLeft) {
  IntraEdges e = rampTop8x8();
  e.hasTopLeft = true;
  e.topLeft = 40;
  EXPECT_EQ(at(predicted(predictIntra8x8, 0, e, 8, 8, 8), 8, 0, 3), 24);  // (40 + 32 + 24 + 2) >> 2
}

TEST(IntraPrediction, Intra8x8FilterWithoutTopRight) {
  IntraEdges e = rampTop8x8();
  e.hasTopRight = false;
  e.top[8] = 9999;  // must not be read
  const Block b = predicted(predictIntra8x8, 0, e, 8, 8, 8);
  EXPECT_EQ(at(b, 8, 7, 0), 70);  // (64 + 2 * 72 + 72 + 2) >> 2
  // Diagonal_Down_Left reads p'[8..15, -1], all 72 once p[7, -1] is repeated.
  EXPECT_EQ(at(predicted(predictIntra8x8, 3, e, 8, 8, 8), 8, 7, 7), 72);
}

TEST(IntraPrediction, Intra8x8LeftFilterWithoutTopLeft) {
  IntraEdges e = noEdges();
  e.hasLeft = true;
  for (int y = 0; y < 8; ++y) e.left[y] = 100 + 4 * y;
  const Block b = predicted(predictIntra8x8, 1, e, 10, 8, 8);
  EXPECT_EQ(at(b, 8, 3, 0), 101);  // (300 + 104 + 2) >> 2
  EXPECT_EQ(at(b, 8, 0, 7), 127);  // (124 + 3 * 128 + 2) >> 2
}

TEST(IntraPrediction, RejectsModesOutsideTheirTables) {
  IntraEdges e = rampTop8x8();
  e.hasLeft = e.hasTopLeft = true;
  std::int32_t pred[16 * 16];
  for (int mode : {-1, 9, 100}) {
    EXPECT_FALSE(predictIntra4x4(mode, e, 8, pred, 16));
    EXPECT_FALSE(predictIntra8x8(mode, e, 8, pred, 16));
  }
  for (int mode : {-1, 4}) {
    EXPECT_FALSE(predictIntra16x16(mode, e, 8, pred, 16));
    EXPECT_FALSE(predictIntraChroma(mode, e, 8, 8, 8, pred, 16));
  }
  EXPECT_FALSE(predictIntraChroma(0, e, 8, 4, 8, pred, 16));
  EXPECT_FALSE(predictIntraChroma(0, e, 16, 16, 8, pred, 16));
}

TEST(IntraPrediction, RejectsModesNeedingUnavailableSamples) {
  IntraEdges e = rampTop8x8();
  std::int32_t pred[16 * 16];
  EXPECT_FALSE(predictIntra4x4(1, e, 8, pred, 16));  // horizontal without left
  EXPECT_FALSE(predictIntra8x8(8, e, 8, pred, 16));  // Horizontal_Up without left
  e.hasLeft = true;
  EXPECT_FALSE(predictIntra4x4(4, e, 8, pred, 16));    // Diagonal_Down_Right without p[-1, -1]
  EXPECT_FALSE(predictIntra16x16(3, e, 8, pred, 16));  // plane without p[-1, -1]
  EXPECT_FALSE(predictIntraChroma(3, e, 8, 16, 8, pred, 16));
  e.hasTop = false;
  EXPECT_FALSE(predictIntra16x16(0, e, 8, pred, 16));
  EXPECT_FALSE(predictIntraChroma(2, e, 8, 8, 8, pred, 16));  // chroma vertical
  EXPECT_FALSE(predictIntra8x8(7, e, 8, pred, 16));           // Vertical_Left
  EXPECT_TRUE(predictIntra8x8(2, e, 8, pred, 16));
}

TEST(IntraPrediction, DerivedModes) {
  EXPECT_EQ(deriveIntraPredMode(-1, -1, true, 0), 2);
  EXPECT_EQ(deriveIntraPredMode(-1, 0, true, 0), 2);  // one unavailable: DC, not the other mode
  EXPECT_EQ(deriveIntraPredMode(0, -1, true, 0), 2);
  EXPECT_EQ(deriveIntraPredMode(5, 3, true, 0), 3);
  EXPECT_EQ(deriveIntraPredMode(2, 8, true, 0), 2);   // I_16x16 neighbour
  EXPECT_EQ(deriveIntraPredMode(5, 3, false, 2), 2);  // rem below the predicted mode
  EXPECT_EQ(deriveIntraPredMode(5, 3, false, 3), 4);  // rem at or above: skips it
  EXPECT_EQ(deriveIntraPredMode(5, 3, false, 7), 8);
  EXPECT_EQ(deriveIntraPredMode(-1, 7, false, 1), 1);
  EXPECT_EQ(deriveIntraPredMode(-1, 7, false, 2), 3);
  EXPECT_EQ(deriveIntraPredMode(8, 8, false, 7), 7);
  EXPECT_EQ(deriveIntraPredMode(0, 0, false, 0), 1);
}

}  // namespace
}  // namespace H264
