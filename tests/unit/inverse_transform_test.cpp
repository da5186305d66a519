#include "recon/inverse_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Matrix = std::vector<std::vector<std::int64_t>>;

Matrix zeros(int rows, int columns) { return Matrix(rows, std::vector<std::int64_t>(columns, 0)); }

Matrix product(const Matrix& a, const Matrix& b) {
  Matrix p = zeros(static_cast<int>(a.size()), static_cast<int>(b[0].size()));
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = 0; j < b[0].size(); ++j)
      for (size_t k = 0; k < b.size(); ++k) p[i][j] += a[i][k] * b[k][j];
  return p;
}

Matrix transposed(const Matrix& a) {
  Matrix t = zeros(static_cast<int>(a[0].size()), static_cast<int>(a.size()));
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = 0; j < a[0].size(); ++j) t[j][i] = a[i][j];
  return t;
}

Matrix fromRaster(const std::int32_t* c, int n) {
  Matrix m = zeros(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) m[i][j] = c[i * n + j];
  return m;
}

// Clause 8.5.12.2 as written: rows (e, f), then columns (g, h); returns h before rounding.
Matrix referenceTransform4x4(const std::int32_t* c) {
  const Matrix d = fromRaster(c, 4);
  Matrix e = zeros(4, 4), f = zeros(4, 4), g = zeros(4, 4), h = zeros(4, 4);
  for (int i = 0; i < 4; ++i) {
    e[i][0] = d[i][0] + d[i][2];
    e[i][1] = d[i][0] - d[i][2];
    e[i][2] = (d[i][1] >> 1) - d[i][3];
    e[i][3] = d[i][1] + (d[i][3] >> 1);
    f[i][0] = e[i][0] + e[i][3];
    f[i][1] = e[i][1] + e[i][2];
    f[i][2] = e[i][1] - e[i][2];
    f[i][3] = e[i][0] - e[i][3];
  }
  for (int j = 0; j < 4; ++j) {
    g[0][j] = f[0][j] + f[2][j];
    g[1][j] = f[0][j] - f[2][j];
    g[2][j] = (f[1][j] >> 1) - f[3][j];
    g[3][j] = f[1][j] + (f[3][j] >> 1);
    h[0][j] = g[0][j] + g[3][j];
    h[1][j] = g[1][j] + g[2][j];
    h[2][j] = g[1][j] - g[2][j];
    h[3][j] = g[0][j] - g[3][j];
  }
  return h;
}

// The 8-point equations of clause 8.5.13.2 applied to in[0..7], giving out[0..7].
std::array<std::int64_t, 8> reference8(const std::array<std::int64_t, 8>& d) {
  const std::int64_t a0 = d[0] + d[4];
  const std::int64_t a1 = -d[3] + d[5] - d[7] - (d[7] >> 1);
  const std::int64_t a2 = d[0] - d[4];
  const std::int64_t a3 = d[1] + d[7] - d[3] - (d[3] >> 1);
  const std::int64_t a4 = (d[2] >> 1) - d[6];
  const std::int64_t a5 = -d[1] + d[7] + d[5] + (d[5] >> 1);
  const std::int64_t a6 = d[2] + (d[6] >> 1);
  const std::int64_t a7 = d[3] + d[5] + d[1] + (d[1] >> 1);
  const std::int64_t b0 = a0 + a6;
  const std::int64_t b1 = a1 + (a7 >> 2);
  const std::int64_t b2 = a2 + a4;
  const std::int64_t b3 = a3 + (a5 >> 2);
  const std::int64_t b4 = a2 - a4;
  const std::int64_t b5 = (a3 >> 2) - a5;
  const std::int64_t b6 = a0 - a6;
  const std::int64_t b7 = a7 - (a1 >> 2);
  return {b0 + b7, b2 + b5, b4 + b3, b6 + b1, b6 - b1, b4 - b3, b2 - b5, b0 - b7};
}

Matrix referenceTransform8x8(const std::int32_t* c) {
  Matrix m = fromRaster(c, 8);
  for (int i = 0; i < 8; ++i) {
    std::array<std::int64_t, 8> row;
    std::copy(m[i].begin(), m[i].end(), row.begin());
    const auto out = reference8(row);
    std::copy(out.begin(), out.end(), m[i].begin());
  }
  for (int j = 0; j < 8; ++j) {
    std::array<std::int64_t, 8> column;
    for (int i = 0; i < 8; ++i) column[i] = m[i][j];
    const auto out = reference8(column);
    for (int i = 0; i < 8; ++i) m[i][j] = out[i];
  }
  return m;
}

// Clause 8.5.14 with the rounding of clauses 8.5.12.2 / 8.5.13.2.
std::vector<int> referenceSamples(const Matrix& h, const std::vector<std::int32_t>& pred,
                                  int maxValue) {
  const int n = static_cast<int>(h.size());
  std::vector<int> out(n * n);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      const std::int64_t u = pred[i * n + j] + ((h[i][j] + 32) >> 6);
      out[i * n + j] = static_cast<int>(std::clamp<std::int64_t>(u, 0, maxValue));
    }
  }
  return out;
}

template <typename T>
std::vector<int> widen(const std::vector<T>& samples) {
  return std::vector<int>(samples.begin(), samples.end());
}

std::vector<std::int32_t> randomValues(std::mt19937& rng, int count, int lo, int hi) {
  std::uniform_int_distribution<int> dist(lo, hi);
  std::vector<std::int32_t> v(count);
  for (auto& x : v) x = dist(rng);
  return v;
}

// --- LevelScale tables -------------------------------------------------------------------

// normAdjust of clause 8.5.9 written from its position conditions.
int normAdjust4x4(int m, int i, int j) {
  static const int v[6][3] = {{10, 16, 13}, {11, 18, 14}, {13, 20, 16},
                              {14, 23, 18}, {16, 25, 20}, {18, 29, 23}};
  if (i % 2 == 0 && j % 2 == 0) return v[m][0];
  if (i % 2 == 1 && j % 2 == 1) return v[m][1];
  return v[m][2];
}

int normAdjust8x8(int m, int i, int j) {
  static const int v[6][6] = {{20, 18, 32, 19, 25, 24}, {22, 19, 35, 21, 28, 26},
                              {26, 23, 42, 24, 33, 31}, {28, 25, 45, 26, 35, 33},
                              {32, 28, 51, 30, 40, 38}, {36, 32, 58, 34, 46, 43}};
  if (i % 4 == 0 && j % 4 == 0) return v[m][0];
  if (i % 2 == 1 && j % 2 == 1) return v[m][1];
  if (i % 4 == 2 && j % 4 == 2) return v[m][2];
  if ((i % 4 == 0 && j % 2 == 1) || (i % 2 == 1 && j % 4 == 0)) return v[m][3];
  if ((i % 4 == 0 && j % 4 == 2) || (i % 4 == 2 && j % 4 == 0)) return v[m][4];
  return v[m][5];
}

TEST(TransformLevelScale, FlatTablesStartAsKnown) {
  EXPECT_EQ(H264::kFlatLevelScale4x4[0][0], 160);
  EXPECT_EQ(H264::kFlatLevelScale4x4[0][1], 208);
  EXPECT_EQ(H264::kFlatLevelScale4x4[0][2], 160);
  EXPECT_EQ(H264::kFlatLevelScale4x4[0][3], 208);
  EXPECT_EQ(H264::kFlatLevelScale4x4[0][5], 256);
  EXPECT_EQ(H264::kFlatLevelScale8x8[0][0], 320);
  EXPECT_EQ(H264::kFlatLevelScale8x8[0][1], 304);
  EXPECT_EQ(H264::kFlatLevelScale8x8[5][18], 16 * 58);
}

TEST(TransformLevelScale, FlatTablesAreSixteenTimesNormAdjust) {
  for (int m = 0; m < 6; ++m) {
    for (int k = 0; k < 16; ++k)
      EXPECT_EQ(H264::kFlatLevelScale4x4[m][k], 16 * normAdjust4x4(m, k / 4, k % 4)) << m << k;
    for (int k = 0; k < 64; ++k)
      EXPECT_EQ(H264::kFlatLevelScale8x8[m][k], 16 * normAdjust8x8(m, k / 8, k % 8)) << m << k;
  }
}

TEST(TransformLevelScale, BuiltFromWeights) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> weight(1, 255);
  std::uint8_t w4[16], w8[64];
  for (auto& w : w4) w = static_cast<std::uint8_t>(weight(rng));
  for (auto& w : w8) w = static_cast<std::uint8_t>(weight(rng));
  std::int32_t ls4[6][16], ls8[6][64];
  H264::buildLevelScale4x4(w4, ls4);
  H264::buildLevelScale8x8(w8, ls8);
  for (int m = 0; m < 6; ++m) {
    for (int k = 0; k < 16; ++k) EXPECT_EQ(ls4[m][k], w4[k] * normAdjust4x4(m, k / 4, k % 4));
    for (int k = 0; k < 64; ++k) EXPECT_EQ(ls8[m][k], w8[k] * normAdjust8x8(m, k / 8, k % 8));
  }

  std::uint8_t flat[64];
  std::fill(flat, flat + 64, std::uint8_t{16});
  H264::buildLevelScale8x8(flat, ls8);
  EXPECT_TRUE(std::equal(&ls8[0][0], &ls8[0][0] + 6 * 64, &H264::kFlatLevelScale8x8[0][0]));
}

// --- The references against the transform matrices -----------------------------------------

// With coefficients whose shifts are exact, the butterflies are the matrix products
// Ci d Ci^T (4x4) and T^T d T / 64 (8x8, T the forward 8x8 matrix).
TEST(TransformReference, FourByFourIsTheInverseOfTheForwardMatrix) {
  const Matrix cf = {{1, 1, 1, 1}, {2, 1, -1, -2}, {1, -1, -1, 1}, {1, -2, 2, -1}};
  const int scale[4] = {4, 5, 4, 5};
  std::mt19937 rng(11);
  for (int trial = 0; trial < 200; ++trial) {
    const auto x = randomValues(rng, 16, -255, 255);
    const Matrix w = product(product(cf, fromRaster(x.data(), 4)), transposed(cf));
    // d = 1600 w / (s_i s_j) keeps every shift exact; the transform then returns 1600 x.
    std::int32_t d[16];
    for (int k = 0; k < 16; ++k)
      d[k] = static_cast<std::int32_t>(w[k / 4][k % 4] * 1600 / (scale[k / 4] * scale[k % 4]));
    const Matrix h = referenceTransform4x4(d);
    for (int k = 0; k < 16; ++k) ASSERT_EQ(h[k / 4][k % 4], 1600 * x[k]);
  }
}

TEST(TransformReference, EightByEightIsTheForwardMatrixTransposed) {
  const Matrix t = {{8, 8, 8, 8, 8, 8, 8, 8},     {12, 10, 6, 3, -3, -6, -10, -12},
                    {8, 4, -4, -8, -8, -4, 4, 8}, {10, -3, -12, -6, 6, 12, 3, -10},
                    {8, -8, -8, 8, 8, -8, -8, 8}, {6, -12, 3, 10, -10, -3, 12, -6},
                    {4, -8, 8, -4, -4, 8, -8, 4}, {3, -6, 10, -12, 12, -10, 6, -3}};
  const Matrix tt = product(t, transposed(t));
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j)
      if (i != j) {
        ASSERT_EQ(tt[i][j], 0);
      }
  std::mt19937 rng(13);
  for (int trial = 0; trial < 200; ++trial) {
    auto d = randomValues(rng, 64, -500, 500);
    for (auto& v : d) v *= 64;
    const Matrix expected = product(product(transposed(t), fromRaster(d.data(), 8)), t);
    const Matrix h = referenceTransform8x8(d.data());
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 8; ++j) ASSERT_EQ(h[i][j] * 64, expected[i][j]);
  }
}

// --- Block reconstruction ----------------------------------------------------------------

constexpr int kPredStride = 16;

template <typename T>
void checkReconstruct(int n, int maxValue, int coeffRange, std::mt19937& rng) {
  const auto coeff = randomValues(rng, n * n, -coeffRange, coeffRange);
  const auto predBlock = randomValues(rng, n * n, 0, maxValue);
  std::vector<std::int32_t> pred(kPredStride * n);
  for (int k = 0; k < n * n; ++k) pred[(k / n) * kPredStride + k % n] = predBlock[k];
  const Matrix h =
      n == 4 ? referenceTransform4x4(coeff.data()) : referenceTransform8x8(coeff.data());

  std::vector<T> out(n * n);
  auto scratch = coeff;
  if (n == 4)
    H264::reconstruct4x4(scratch.data(), pred.data(), kPredStride, out.data(), 4, maxValue);
  else
    H264::reconstruct8x8(scratch.data(), pred.data(), kPredStride, out.data(), 8, maxValue);
  ASSERT_EQ(widen(out), referenceSamples(h, predBlock, maxValue));
}

TEST(TransformReconstruct, FourByFourMatchesTheClause) {
  std::mt19937 rng(17);
  for (int trial = 0; trial < 500; ++trial) {
    checkReconstruct<unsigned char>(4, 255, 1 << 12, rng);
    checkReconstruct<unsigned short>(4, 1023, 1 << 14, rng);
    checkReconstruct<unsigned short>(4, 16383, 1 << 20, rng);
  }
}

TEST(TransformReconstruct, EightByEightMatchesTheClause) {
  std::mt19937 rng(19);
  for (int trial = 0; trial < 500; ++trial) {
    checkReconstruct<unsigned char>(8, 255, 1 << 12, rng);
    checkReconstruct<unsigned short>(8, 1023, 1 << 14, rng);
    checkReconstruct<unsigned short>(8, 16383, 1 << 20, rng);
  }
}

TEST(TransformReconstruct, ClipsInsteadOfWrapping) {
  std::int32_t pred[4 * kPredStride];
  std::fill(pred, pred + 4 * kPredStride, 1000);
  std::int32_t up[16] = {64 * 100};
  std::uint16_t out10[16];
  H264::reconstruct4x4(up, pred, kPredStride, out10, 4, 1023);
  EXPECT_TRUE(std::all_of(out10, out10 + 16, [](int s) { return s == 1023; }));

  std::fill(pred, pred + 4 * kPredStride, 20);
  std::int32_t down[16] = {-64 * 100};
  std::uint8_t out8[16];
  H264::reconstruct4x4(down, pred, kPredStride, out8, 4, 255);
  EXPECT_TRUE(std::all_of(out8, out8 + 16, [](int s) { return s == 0; }));
}

TEST(TransformReconstruct, DcOnlyBlockEqualsTheFullTransform) {
  std::mt19937 rng(23);
  for (int dc = -70000; dc <= 70000; dc += 37) {
    const auto pred = randomValues(rng, 4 * kPredStride, 0, 1023);
    std::int32_t coeff[16] = {dc};
    std::uint16_t full[16], dcOnly[16];
    H264::reconstruct4x4(coeff, pred.data(), kPredStride, full, 4, 1023);
    H264::addDc4x4(dc, pred.data(), kPredStride, dcOnly, 4, 1023);
    ASSERT_TRUE(std::equal(full, full + 16, dcOnly)) << dc;
  }
}

TEST(TransformReconstruct, CopyPredictionStoresThePrediction) {
  std::mt19937 rng(29);
  const auto pred = randomValues(rng, 16 * kPredStride, 0, 1023);
  std::vector<std::uint16_t> out(16 * 20, 0xBEEF);
  H264::copyPrediction(pred.data(), kPredStride, out.data(), 20, 12, 16);
  for (int i = 0; i < 16; ++i) {
    for (int j = 0; j < 20; ++j) {
      const int expected = j < 12 ? pred[i * kPredStride + j] : 0xBEEF;
      ASSERT_EQ(out[i * 20 + j], expected) << i << ',' << j;
    }
  }
}

// --- DC transforms ---------------------------------------------------------------------------

const std::uint8_t kZigZag4x4[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};
const std::uint8_t kFieldScan4x4[16] = {0, 4, 1, 8, 12, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};

std::int64_t referenceDcScale(std::int64_t f, std::int64_t levelScale, int qP) {
  if (qP >= 36) return (f * levelScale) << (qP / 6 - 6);
  return (f * levelScale + (std::int64_t{1} << (5 - qP / 6))) >> (6 - qP / 6);
}

TEST(TransformLumaDc, MatchesTheClauseBelowAndAbove36) {
  const Matrix hadamard = {{1, 1, 1, 1}, {1, 1, -1, -1}, {1, -1, -1, 1}, {1, -1, 1, -1}};
  const int blockX[16] = {0, 4, 0, 4, 8, 12, 8, 12, 0, 4, 0, 4, 8, 12, 8, 12};
  const int blockY[16] = {0, 0, 4, 4, 0, 0, 4, 4, 8, 8, 12, 12, 8, 8, 12, 12};
  std::mt19937 rng(31);
  for (const std::uint8_t* scan : {kZigZag4x4, kFieldScan4x4}) {
    for (int qP = 0; qP <= 87; ++qP) {
      const auto levels = randomValues(rng, 16, -2000, 2000);
      Matrix c = zeros(4, 4);
      for (int n = 0; n < 16; ++n) c[scan[n] / 4][scan[n] % 4] = levels[n];
      const Matrix f = product(product(hadamard, c), hadamard);
      const std::int32_t ls = H264::kFlatLevelScale4x4[qP % 6][0];
      std::int32_t dc[16];
      H264::inverseLumaDc(levels.data(), scan, ls, qP, dc);
      for (int k = 0; k < 16; ++k)
        ASSERT_EQ(dc[k], referenceDcScale(f[blockY[k] / 4][blockX[k] / 4], ls, qP)) << qP << k;
    }
  }
}

TEST(TransformLumaDc, KnownValues) {
  const std::int32_t single[16] = {1};
  std::int32_t dc[16];
  H264::inverseLumaDc(single, kZigZag4x4, 256, 28, dc);  // (256 + 2) >> 2
  EXPECT_TRUE(std::all_of(dc, dc + 16, [](std::int32_t v) { return v == 64; }));
  H264::inverseLumaDc(single, kZigZag4x4, 256, 40, dc);  // 256 << 0
  EXPECT_TRUE(std::all_of(dc, dc + 16, [](std::int32_t v) { return v == 256; }));
  H264::inverseLumaDc(single, kZigZag4x4, 160, 55, dc);  // 160 << 3
  EXPECT_TRUE(std::all_of(dc, dc + 16, [](std::int32_t v) { return v == 1280; }));

  // Scan index 1 is the horizontal frequency 1: left half positive, right half negative.
  const std::int32_t horizontal[16] = {0, 64};
  H264::inverseLumaDc(horizontal, kZigZag4x4, 64, 30, dc);  // 64 * 64 >> 1
  const std::int32_t expected[16] = {2048, 2048, 2048, 2048, -2048, -2048, -2048, -2048,
                                     2048, 2048, 2048, 2048, -2048, -2048, -2048, -2048};
  EXPECT_TRUE(std::equal(dc, dc + 16, expected));
}

TEST(TransformChromaDc, FourTwoZero) {
  std::int32_t c[4] = {1, 2, 3, 4};
  H264::inverseChromaDc420(c, 160, 0);  // f = 10, -2, -4, 0; (f * 160) >> 5
  EXPECT_EQ(c[0], 50);
  EXPECT_EQ(c[1], -10);
  EXPECT_EQ(c[2], -20);
  EXPECT_EQ(c[3], 0);

  std::int32_t d[4] = {1, 0, 0, 0};
  H264::inverseChromaDc420(d, 160, 30);  // (160 << 5) >> 5
  EXPECT_TRUE(std::all_of(d, d + 4, [](std::int32_t v) { return v == 160; }));

  std::int32_t e[4] = {-1, 0, 0, 0};
  H264::inverseChromaDc420(e, 11, 0);  // -11 >> 5 rounds down
  EXPECT_TRUE(std::all_of(e, e + 4, [](std::int32_t v) { return v == -1; }));
}

// Clause 8.5.11: the 4:2:2 matrix c (4 rows, 2 columns) from the parsed levels, the 4x4 and
// 2x2 transforms, and the scaling with QP'C,DC = QP'C + 3.
std::vector<std::int64_t> referenceChromaDc422(const std::int32_t* levels,
                                               const std::int32_t ls[6][16], int qP) {
  const Matrix c = {{levels[0], levels[2]},
                    {levels[1], levels[5]},
                    {levels[3], levels[6]},
                    {levels[4], levels[7]}};
  const Matrix a = {{1, 1, 1, 1}, {1, 1, -1, -1}, {1, -1, -1, 1}, {1, -1, 1, -1}};
  const Matrix b = {{1, 1}, {1, -1}};
  const Matrix f = product(product(a, c), b);
  const int qPDc = qP + 3;
  std::vector<std::int64_t> out;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 2; ++j) out.push_back(referenceDcScale(f[i][j], ls[qPDc % 6][0], qPDc));
  return out;
}

TEST(TransformChromaDc, FourTwoTwoConformantMatchesTheClause) {
  std::mt19937 rng(37);
  for (int qP = 0; qP <= 87; ++qP) {
    const auto levels = randomValues(rng, 8, -3000, 3000);
    std::int32_t c[8];
    std::copy(levels.begin(), levels.end(), c);
    H264::inverseChromaDc422(c, H264::kFlatLevelScale4x4, qP, true);
    const auto expected = referenceChromaDc422(levels.data(), H264::kFlatLevelScale4x4, qP);
    for (int k = 0; k < 8; ++k) ASSERT_EQ(c[k], expected[k]) << qP << ' ' << k;
  }
}

TEST(TransformChromaDc, FourTwoTwoOrderOfLevels) {
  // Parse index 2 is the horizontal frequency; parse index 1 the first vertical one.
  std::int32_t horizontal[8] = {0, 0, 1, 0, 0, 0, 0, 0};
  H264::inverseChromaDc422(horizontal, H264::kFlatLevelScale4x4, 33, true);  // 160 << 0
  const std::int32_t h[8] = {160, -160, 160, -160, 160, -160, 160, -160};
  EXPECT_TRUE(std::equal(horizontal, horizontal + 8, h));

  std::int32_t vertical[8] = {0, 1, 0, 0, 0, 0, 0, 0};
  H264::inverseChromaDc422(vertical, H264::kFlatLevelScale4x4, 33, true);
  const std::int32_t v[8] = {160, 160, 160, 160, -160, -160, -160, -160};
  EXPECT_TRUE(std::equal(vertical, vertical + 8, v));
}

TEST(TransformChromaDc, FourTwoTwoCompatibleRoundsInTwoSteps) {
  // q = QP'C,DC / 6 = 3 and x = f * LevelScale = 3: two steps give 1, the clause gives 0.
  std::int32_t ls[6][16] = {};
  ls[0][0] = 3;
  std::int32_t compatible[8] = {1};
  std::int32_t conformant[8] = {1};
  H264::inverseChromaDc422(compatible, ls, 15, false);
  H264::inverseChromaDc422(conformant, ls, 15, true);
  EXPECT_TRUE(std::all_of(compatible, compatible + 8, [](std::int32_t v) { return v == 1; }));
  EXPECT_TRUE(std::all_of(conformant, conformant + 8, [](std::int32_t v) { return v == 0; }));
}

TEST(TransformChromaDc, FourTwoTwoModesAgreeFromTwentyFour) {
  // Odd LevelScale values (weights of 17) are the ones that can round differently.
  std::uint8_t weights[16];
  std::fill(weights, weights + 16, std::uint8_t{17});
  std::int32_t ls[6][16];
  H264::buildLevelScale4x4(weights, ls);
  std::mt19937 rng(41);
  int differing = 0;
  for (int qP = 0; qP <= 87; ++qP) {
    for (int trial = 0; trial < 20; ++trial) {
      const auto levels = randomValues(rng, 8, -100, 100);
      std::int32_t compatible[8], conformant[8];
      std::copy(levels.begin(), levels.end(), compatible);
      std::copy(levels.begin(), levels.end(), conformant);
      H264::inverseChromaDc422(compatible, ls, qP, false);
      H264::inverseChromaDc422(conformant, ls, qP, true);
      for (int k = 0; k < 8; ++k) {
        const int excess = compatible[k] - conformant[k];
        // Below 24 the two-step rounding gives the clause's value or one more.
        ASSERT_TRUE(excess == 0 || (excess == 1 && qP + 3 < 24)) << qP << ' ' << excess;
        differing += excess;
      }
    }
  }
  EXPECT_GT(differing, 0);
}

// --- Transform bypass ------------------------------------------------------------------------

TEST(TransformBypass, SingleLevelFollowsTheDirection) {
  std::int32_t pred[4 * kPredStride];
  std::fill(pred, pred + 4 * kPredStride, 100);
  for (int direction : {H264::kBypassNone, H264::kBypassVertical, H264::kBypassHorizontal}) {
    std::int32_t coeff[16] = {5};
    std::uint16_t out[16];
    H264::bypassReconstruct(coeff, 4, 4, direction, pred, kPredStride, out, 4, 1023);
    for (int k = 0; k < 16; ++k) {
      const bool inColumn0 = k % 4 == 0, inRow0 = k / 4 == 0;
      const bool hit = direction == H264::kBypassVertical     ? inColumn0
                       : direction == H264::kBypassHorizontal ? inRow0
                                                              : k == 0;
      ASSERT_EQ(out[k], hit ? 105 : 100) << direction << ' ' << k;
    }
  }
}

template <typename T>
void checkBypass(int width, int height, int direction, int maxValue, std::mt19937& rng) {
  const auto coeff = randomValues(rng, width * height, -maxValue / 4, maxValue / 4);
  const auto pred = randomValues(rng, height * kPredStride, 0, maxValue);
  std::vector<T> out(width * height);
  auto scratch = coeff;
  H264::bypassReconstruct(scratch.data(), width, height, direction, pred.data(), kPredStride,
                          out.data(), width, maxValue);
  for (int i = 0; i < height; ++i) {
    for (int j = 0; j < width; ++j) {
      std::int64_t r = 0;
      if (direction == H264::kBypassVertical) {
        for (int k = 0; k <= i; ++k) r += coeff[k * width + j];
      } else if (direction == H264::kBypassHorizontal) {
        for (int k = 0; k <= j; ++k) r += coeff[i * width + k];
      } else {
        r = coeff[i * width + j];
      }
      const auto u = std::clamp<std::int64_t>(pred[i * kPredStride + j] + r, 0, maxValue);
      ASSERT_EQ(out[i * width + j], u) << width << 'x' << height << ' ' << direction;
    }
  }
}

TEST(TransformBypass, EveryBlockShapeAndDirection) {
  std::mt19937 rng(43);
  const int shapes[][2] = {{4, 4}, {8, 8}, {16, 16}, {8, 16}};
  for (const auto& shape : shapes) {
    for (int direction = 0; direction < 3; ++direction) {
      checkBypass<unsigned char>(shape[0], shape[1], direction, 255, rng);
      checkBypass<unsigned short>(shape[0], shape[1], direction, 1023, rng);
      checkBypass<unsigned short>(shape[0], shape[1], direction, 16383, rng);
    }
  }
}

}  // namespace
