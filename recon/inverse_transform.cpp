#include "recon/inverse_transform.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "base/compiler.h"
#include "base/level.h"
#include "dsp/dc_transform.h"
#include "dsp/store_block.h"
#include "recon/block_layout.h"
#include "recon/transform_tables.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

// ---------------------------------------------------------------------------------------------
// LevelScale tables (clause 8.5.9)

template <int N>
struct LevelScaleTable {
  std::int32_t v[6][N];
};

template <int N>
constexpr void fillLevelScale(const std::uint8_t* weights, std::int32_t out[6][N]) {
  for (int m = 0; m < 6; ++m) {
    for (int k = 0; k < N; ++k) {
      const std::int32_t norm = N == 16 ? tables::normAdjust4x4(m, k) : tables::normAdjust8x8(m, k);
      out[m][k] = weights[k] * norm;
    }
  }
}

template <int N>
constexpr LevelScaleTable<N> flatLevelScale() {
  std::uint8_t flat[N];
  std::fill(flat, flat + N, std::uint8_t{16});
  LevelScaleTable<N> table{};
  fillLevelScale<N>(flat, table.v);
  return table;
}

constexpr LevelScaleTable<16> kFlat4x4 = flatLevelScale<16>();
constexpr LevelScaleTable<64> kFlat8x8 = flatLevelScale<64>();

}  // namespace

const std::int32_t (&kFlatLevelScale4x4)[6][16] = kFlat4x4.v;
const std::int32_t (&kFlatLevelScale8x8)[6][64] = kFlat8x8.v;

void buildLevelScale4x4(const std::uint8_t* weights, std::int32_t out[6][16]) {
  fillLevelScale<16>(weights, out);
}

void buildLevelScale8x8(const std::uint8_t* weights, std::int32_t out[6][64]) {
  fillLevelScale<64>(weights, out);
}

// ---------------------------------------------------------------------------------------------
// DC transforms (clauses 8.5.10 and 8.5.11). Computed in 64 bits: levels are not range-checked,
// and with LevelScale below 2^15 no intermediate can overflow.

void inverseLumaDc(const std::int32_t levels[16], const std::uint8_t* scan,
                   std::int32_t levelScale00, int qP, std::int32_t dc[16]) {
  std::int64_t f[16];
  for (int n = 0; n < 16; ++n) f[scan[n]] = levels[n];
  for (int i = 0; i < 4; ++i) dc::hadamard4(f + 4 * i, 1);
  for (int j = 0; j < 4; ++j) dc::hadamard4(f + j, 4);
  for (int k = 0; k < 16; ++k) dc[k] = dc::scale(f[kBlockRaster4x4[k]], levelScale00, qP);
}

void inverseChromaDc420(std::int32_t c[4], std::int32_t levelScale00, int qP) {
  const std::int64_t f[4] = {
      std::int64_t{c[0]} + c[1] + c[2] + c[3],
      std::int64_t{c[0]} - c[1] + c[2] - c[3],
      std::int64_t{c[0]} + c[1] - c[2] - c[3],
      std::int64_t{c[0]} - c[1] - c[2] + c[3],
  };
  for (int k = 0; k < 4; ++k) {
    c[k] = static_cast<std::int32_t>(dc::times2Pow(f[k] * levelScale00, qP / 6) >> 5);
  }
}

void inverseChromaDc422(std::int32_t c[8], const std::int32_t levelScale[6][16], int qP,
                        bool conformant, const Kernels<unsigned short>& kernels) {
  const int qPDc = qP + 3;
  kernels.chromaDc422(c, levelScale[qPDc % 6][0], qPDc, conformant, c);
}

namespace {

// Running sums of clause 8.5.15 along `lines` lines of `length` values; they
// wrap at 32 bits like the transforms.
void runningSums(std::int32_t* c, int lines, int lineStep, int length, int step) {
  for (int l = 0; l < lines; ++l) {
    std::int32_t* p = c + l * lineStep;
    for (int k = 1; k < length; ++k) {
      p[k * step] = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[(k - 1) * step]) +
                                              static_cast<std::uint32_t>(p[k * step]));
    }
  }
}

}  // namespace

template <typename T>
void bypassReconstruct(std::int32_t* coeff, int width, int height, int direction,
                       const std::int32_t* pred, int predStride, T* dst, std::ptrdiff_t dstStride,
                       int maxValue) {
  if (direction == kBypassVertical) runningSums(coeff, width, 1, height, width);
  if (direction == kBypassHorizontal) runningSums(coeff, height, width, width, 1);
  storeBlock(width, height, pred, predStride, dst, dstStride, maxValue,
             [coeff, width](int i, int j) { return coeff[i * width + j]; });
}

template void bypassReconstruct<unsigned short>(std::int32_t*, int, int, int, const std::int32_t*,
                                                int, unsigned short*, std::ptrdiff_t, int);

ISTREL_LEVEL_END
}  // namespace H264
