#include "recon/inverse_transform.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE4_1__)
#include <smmintrin.h>
#endif

#include "base/compiler.h"
#include "recon/transform_tables.h"

namespace H264 {
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

namespace {

ISTREL_FORCE_INLINE void hadamard4(std::int64_t* p, int step) {
  const std::int64_t a = p[0], b = p[step], c = p[2 * step], d = p[3 * step];
  p[0] = a + b + c + d;
  p[step] = a + b - c - d;
  p[2 * step] = a - b - c + d;
  p[3 * step] = a - b + c - d;
}

ISTREL_FORCE_INLINE std::int64_t times2Pow(std::int64_t x, int shift) {
  return x * (std::int64_t{1} << shift);
}

// Clause 8.5.10 (and 8.5.11.2 for 4:2:2): shift left from qP 36 on, round below.
std::int32_t scaleDc(std::int64_t f, std::int32_t levelScale, int qP) {
  const std::int64_t x = f * levelScale;
  if (qP >= 36) return static_cast<std::int32_t>(times2Pow(x, qP / 6 - 6));
  const int shift = 6 - qP / 6;
  return static_cast<std::int32_t>((x + (std::int64_t{1} << (shift - 1))) >> shift);
}

// The compatible mode's 4:2:2 rounding: offset and shift in two steps below q = 4.
std::int32_t scaleDc422TwoStep(std::int64_t f, std::int32_t levelScale, int qPDc) {
  const std::int64_t x = f * levelScale;
  const int q = qPDc / 6;
  if (q >= 4) return static_cast<std::int32_t>((times2Pow(x, q - 4) + 2) >> 2);
  return static_cast<std::int32_t>((((x + (std::int64_t{1} << (3 - q))) >> (4 - q)) + 2) >> 2);
}

}  // namespace

void inverseLumaDc(const std::int32_t levels[16], const std::uint8_t* scan,
                   std::int32_t levelScale00, int qP, std::int32_t dc[16]) {
  std::int64_t f[16];
  for (int n = 0; n < 16; ++n) f[scan[n]] = levels[n];
  for (int i = 0; i < 4; ++i) hadamard4(f + 4 * i, 1);
  for (int j = 0; j < 4; ++j) hadamard4(f + j, 4);
  for (int k = 0; k < 16; ++k) dc[k] = scaleDc(f[tables::kBlockRaster4x4[k]], levelScale00, qP);
}

void inverseChromaDc420(std::int32_t c[4], std::int32_t levelScale00, int qP) {
  const std::int64_t f[4] = {
      std::int64_t{c[0]} + c[1] + c[2] + c[3],
      std::int64_t{c[0]} - c[1] + c[2] - c[3],
      std::int64_t{c[0]} + c[1] - c[2] - c[3],
      std::int64_t{c[0]} - c[1] - c[2] + c[3],
  };
  for (int k = 0; k < 4; ++k) {
    c[k] = static_cast<std::int32_t>(times2Pow(f[k] * levelScale00, qP / 6) >> 5);
  }
}

void inverseChromaDc422(std::int32_t c[8], const std::int32_t levelScale[6][16], int qP,
                        bool conformant) {
  std::int64_t f[8];
  for (int r = 0; r < 8; ++r) f[r] = c[tables::kChromaDc422Scan[r]];
  for (int j = 0; j < 2; ++j) hadamard4(f + j, 2);
  for (int i = 0; i < 4; ++i) {
    const std::int64_t a = f[2 * i], b = f[2 * i + 1];
    f[2 * i] = a + b;
    f[2 * i + 1] = a - b;
  }
  const int qPDc = qP + 3;
  const std::int32_t ls = levelScale[qPDc % 6][0];
  for (int r = 0; r < 8; ++r) {
    c[r] = conformant ? scaleDc(f[r], ls, qPDc) : scaleDc422TwoStep(f[r], ls, qPDc);
  }
}

// ---------------------------------------------------------------------------------------------
// Lanes and butterflies shared by the plain and the vector kernels. Lanes wrap at 32 bits like
// vector lanes do, so both kernels agree on any input and the plain one has no overflow.

namespace {

struct Lane {
  std::uint32_t bits;
};

ISTREL_FORCE_INLINE Lane lane(std::int32_t x) { return {static_cast<std::uint32_t>(x)}; }
ISTREL_FORCE_INLINE std::int32_t value(Lane a) { return static_cast<std::int32_t>(a.bits); }
ISTREL_FORCE_INLINE Lane operator+(Lane a, Lane b) { return {a.bits + b.bits}; }
ISTREL_FORCE_INLINE Lane operator-(Lane a, Lane b) { return {a.bits - b.bits}; }
ISTREL_FORCE_INLINE Lane operator>>(Lane a, int shift) { return lane(value(a) >> shift); }
ISTREL_FORCE_INLINE Lane splat(Lane, std::int32_t x) { return lane(x); }

// Clause 8.5.12.2, one pass over four lines.
template <typename V>
ISTREL_FORCE_INLINE void inverse4(V* x) {
  const V e0 = x[0] + x[2], e1 = x[0] - x[2];
  const V e2 = (x[1] >> 1) - x[3], e3 = x[1] + (x[3] >> 1);
  x[0] = e0 + e3;
  x[1] = e1 + e2;
  x[2] = e1 - e2;
  x[3] = e0 - e3;
}

// Clause 8.5.13.2, one pass over eight lines.
template <typename V>
ISTREL_FORCE_INLINE void inverse8(V* x) {
  const V g0 = x[0] + x[4];
  const V g1 = x[5] - x[3] - x[7] - (x[7] >> 1);
  const V g2 = x[0] - x[4];
  const V g3 = x[1] + x[7] - x[3] - (x[3] >> 1);
  const V g4 = (x[2] >> 1) - x[6];
  const V g5 = x[7] - x[1] + x[5] + (x[5] >> 1);
  const V g6 = x[2] + (x[6] >> 1);
  const V g7 = x[3] + x[5] + x[1] + (x[1] >> 1);
  const V h0 = g0 + g6, h1 = g1 + (g7 >> 2), h2 = g2 + g4, h3 = g3 + (g5 >> 2);
  const V h4 = g2 - g4, h5 = (g3 >> 2) - g5, h6 = g0 - g6, h7 = g7 - (g1 >> 2);
  x[0] = h0 + h7;
  x[1] = h2 + h5;
  x[2] = h4 + h3;
  x[3] = h6 + h1;
  x[4] = h6 - h1;
  x[5] = h4 - h3;
  x[6] = h2 - h5;
  x[7] = h0 - h7;
}

template <int N, typename V>
ISTREL_FORCE_INLINE void inverseN(V* x) {
  if constexpr (N == 4) {
    inverse4(x);
  } else {
    inverse8(x);
  }
}

template <typename V>
ISTREL_FORCE_INLINE V roundResidual(V h) {
  return (h + splat(h, 32)) >> 6;
}

// ---------------------------------------------------------------------------------------------
// Plain kernels

template <typename T>
ISTREL_FORCE_INLINE T clipSample(std::int64_t x, int maxValue) {
  return static_cast<T>(std::clamp<std::int64_t>(x, 0, maxValue));
}

// Clause 8.5.14 over a block: prediction plus residualAt(i, j), clipped.
template <typename T, typename Residual>
ISTREL_FORCE_INLINE void storeBlock(int width, int height, const std::int32_t* pred, int predStride,
                                    T* dst, std::ptrdiff_t dstStride, int maxValue,
                                    Residual residualAt) {
  for (int i = 0; i < height; ++i) {
    for (int j = 0; j < width; ++j) {
      const std::int64_t sum = std::int64_t{pred[i * predStride + j]} + residualAt(i, j);
      dst[i * dstStride + j] = clipSample<T>(sum, maxValue);
    }
  }
}

template <int N>
ISTREL_FORCE_INLINE void transformLine(std::int32_t* p, int step) {
  Lane x[N];
  for (int k = 0; k < N; ++k) x[k] = lane(p[k * step]);
  inverseN<N>(x);
  for (int k = 0; k < N; ++k) p[k * step] = value(x[k]);
}

template <int N, typename T>
void plainReconstruct(std::int32_t* coeff, const std::int32_t* pred, int predStride, T* dst,
                      std::ptrdiff_t dstStride, int maxValue) {
  for (int i = 0; i < N; ++i) transformLine<N>(coeff + N * i, 1);
  for (int j = 0; j < N; ++j) transformLine<N>(coeff + j, N);
  storeBlock(N, N, pred, predStride, dst, dstStride, maxValue,
             [coeff](int i, int j) { return value(roundResidual(lane(coeff[N * i + j]))); });
}

// Running sums of clause 8.5.15 along `lines` lines of `length` values.
void runningSums(std::int32_t* c, int lines, int lineStep, int length, int step) {
  for (int l = 0; l < lines; ++l) {
    std::int32_t* p = c + l * lineStep;
    for (int k = 1; k < length; ++k)
      p[k * step] = value(lane(p[(k - 1) * step]) + lane(p[k * step]));
  }
}

}  // namespace

namespace plain {

template <typename T>
void reconstruct4x4(std::int32_t* coeff, const std::int32_t* pred, int predStride, T* dst,
                    std::ptrdiff_t dstStride, int maxValue) {
  plainReconstruct<4>(coeff, pred, predStride, dst, dstStride, maxValue);
}

template <typename T>
void reconstruct8x8(std::int32_t* coeff, const std::int32_t* pred, int predStride, T* dst,
                    std::ptrdiff_t dstStride, int maxValue) {
  plainReconstruct<8>(coeff, pred, predStride, dst, dstStride, maxValue);
}

template <typename T>
void addDc4x4(std::int32_t dc, const std::int32_t* pred, int predStride, T* dst,
              std::ptrdiff_t dstStride, int maxValue) {
  const std::int32_t r = value(roundResidual(lane(dc)));
  storeBlock(4, 4, pred, predStride, dst, dstStride, maxValue, [r](int, int) { return r; });
}

// Saturates to the sample type, like the vector version's packs.
template <typename T>
void copyPrediction(const std::int32_t* pred, int predStride, T* dst, std::ptrdiff_t dstStride,
                    int width, int height) {
  storeBlock(width, height, pred, predStride, dst, dstStride, std::numeric_limits<T>::max(),
             [](int, int) { return 0; });
}

}  // namespace plain

template <typename T>
void bypassReconstruct(std::int32_t* coeff, int width, int height, int direction,
                       const std::int32_t* pred, int predStride, T* dst, std::ptrdiff_t dstStride,
                       int maxValue) {
  if (direction == kBypassVertical) runningSums(coeff, width, 1, height, width);
  if (direction == kBypassHorizontal) runningSums(coeff, height, width, width, 1);
  storeBlock(width, height, pred, predStride, dst, dstStride, maxValue,
             [coeff, width](int i, int j) { return coeff[i * width + j]; });
}

// ---------------------------------------------------------------------------------------------
// SSE4.1 kernels: one 32-bit lane per line, the same butterflies as the plain kernels.

#if defined(__SSE4_1__)
namespace {

struct Vec {
  __m128i v;
};

ISTREL_FORCE_INLINE Vec operator+(Vec a, Vec b) { return {_mm_add_epi32(a.v, b.v)}; }
ISTREL_FORCE_INLINE Vec operator-(Vec a, Vec b) { return {_mm_sub_epi32(a.v, b.v)}; }
ISTREL_FORCE_INLINE Vec operator>>(Vec a, int shift) { return {_mm_srai_epi32(a.v, shift)}; }
ISTREL_FORCE_INLINE Vec splat(Vec, std::int32_t x) { return {_mm_set1_epi32(x)}; }

ISTREL_FORCE_INLINE Vec load4(const std::int32_t* p) {
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
}

ISTREL_FORCE_INLINE void transpose4(Vec* r) {
  const __m128i t0 = _mm_unpacklo_epi32(r[0].v, r[1].v);
  const __m128i t1 = _mm_unpacklo_epi32(r[2].v, r[3].v);
  const __m128i t2 = _mm_unpackhi_epi32(r[0].v, r[1].v);
  const __m128i t3 = _mm_unpackhi_epi32(r[2].v, r[3].v);
  r[0].v = _mm_unpacklo_epi64(t0, t1);
  r[1].v = _mm_unpackhi_epi64(t0, t1);
  r[2].v = _mm_unpacklo_epi64(t2, t3);
  r[3].v = _mm_unpackhi_epi64(t2, t3);
}

// lo[i] holds columns 0..3 of row i, hi[i] columns 4..7.
ISTREL_FORCE_INLINE void transpose8(Vec* lo, Vec* hi) {
  transpose4(lo);
  transpose4(lo + 4);
  transpose4(hi);
  transpose4(hi + 4);
  for (int i = 0; i < 4; ++i) std::swap(hi[i], lo[i + 4]);
}

// The packs saturate to [0, 65535]; the minimum clips to the maximum.
ISTREL_FORCE_INLINE __m128i clip16(Vec a, Vec b, __m128i max16) {
  return _mm_min_epu16(_mm_packus_epi32(a.v, b.v), max16);
}

template <typename T>
ISTREL_FORCE_INLINE __m128i maxVector(int maxValue) {
  return _mm_set1_epi16(static_cast<short>(std::min<int>(maxValue, std::numeric_limits<T>::max())));
}

// Stores the first 4 of the 16-bit samples in s.
template <typename T>
ISTREL_FORCE_INLINE void store4(T* dst, __m128i s) {
  if constexpr (sizeof(T) == 1) {
    const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(s, s));
    std::memcpy(dst, &bytes, 4);
  } else {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), s);
  }
}

template <typename T>
ISTREL_FORCE_INLINE void store8(T* dst, __m128i s) {
  if constexpr (sizeof(T) == 1) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(s, s));
  } else {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
  }
}

}  // namespace

namespace sse41 {

template <typename T>
void reconstruct4x4(std::int32_t* coeff, const std::int32_t* pred, int predStride, T* dst,
                    std::ptrdiff_t dstStride, int maxValue) {
  Vec r[4];
  for (int i = 0; i < 4; ++i) r[i] = load4(coeff + 4 * i);
  transpose4(r);
  inverse4(r);
  transpose4(r);
  inverse4(r);
  const __m128i max16 = maxVector<T>(maxValue);
  for (int i = 0; i < 4; ++i) {
    const Vec u = load4(pred + i * predStride) + roundResidual(r[i]);
    store4(dst + i * dstStride, clip16(u, u, max16));
  }
}

template <typename T>
void reconstruct8x8(std::int32_t* coeff, const std::int32_t* pred, int predStride, T* dst,
                    std::ptrdiff_t dstStride, int maxValue) {
  Vec lo[8], hi[8];
  for (int i = 0; i < 8; ++i) {
    lo[i] = load4(coeff + 8 * i);
    hi[i] = load4(coeff + 8 * i + 4);
  }
  transpose8(lo, hi);
  inverse8(lo);
  inverse8(hi);
  transpose8(lo, hi);
  inverse8(lo);
  inverse8(hi);
  const __m128i max16 = maxVector<T>(maxValue);
  for (int i = 0; i < 8; ++i) {
    const std::int32_t* p = pred + i * predStride;
    const Vec left = load4(p) + roundResidual(lo[i]);
    const Vec right = load4(p + 4) + roundResidual(hi[i]);
    store8(dst + i * dstStride, clip16(left, right, max16));
  }
}

template <typename T>
void addDc4x4(std::int32_t dc, const std::int32_t* pred, int predStride, T* dst,
              std::ptrdiff_t dstStride, int maxValue) {
  const Vec r = roundResidual(Vec{_mm_set1_epi32(dc)});
  const __m128i max16 = maxVector<T>(maxValue);
  for (int i = 0; i < 4; ++i) {
    const Vec u = load4(pred + i * predStride) + r;
    store4(dst + i * dstStride, clip16(u, u, max16));
  }
}

template <typename T>
void copyPrediction(const std::int32_t* pred, int predStride, T* dst, std::ptrdiff_t dstStride,
                    int width, int height) {
  const __m128i max16 = maxVector<T>(std::numeric_limits<T>::max());
  for (int i = 0; i < height; ++i) {
    const std::int32_t* p = pred + i * predStride;
    T* d = dst + i * dstStride;
    int x = 0;
    for (; x + 8 <= width; x += 8) store8(d + x, clip16(load4(p + x), load4(p + x + 4), max16));
    if (x < width) store4(d + x, clip16(load4(p + x), load4(p + x), max16));
  }
}

}  // namespace sse41
#endif

// ---------------------------------------------------------------------------------------------
// Instantiations

#define ISTREL_INSTANTIATE_KERNELS(ns, T)                                                          \
  template void ns::reconstruct4x4<T>(std::int32_t*, const std::int32_t*, int, T*, std::ptrdiff_t, \
                                      int);                                                        \
  template void ns::reconstruct8x8<T>(std::int32_t*, const std::int32_t*, int, T*, std::ptrdiff_t, \
                                      int);                                                        \
  template void ns::addDc4x4<T>(std::int32_t, const std::int32_t*, int, T*, std::ptrdiff_t, int);  \
  template void ns::copyPrediction<T>(const std::int32_t*, int, T*, std::ptrdiff_t, int, int);

ISTREL_INSTANTIATE_KERNELS(plain, unsigned char)
ISTREL_INSTANTIATE_KERNELS(plain, unsigned short)
#if defined(__SSE4_1__)
ISTREL_INSTANTIATE_KERNELS(sse41, unsigned char)
ISTREL_INSTANTIATE_KERNELS(sse41, unsigned short)
#endif
#undef ISTREL_INSTANTIATE_KERNELS

template void bypassReconstruct<unsigned char>(std::int32_t*, int, int, int, const std::int32_t*,
                                               int, unsigned char*, std::ptrdiff_t, int);
template void bypassReconstruct<unsigned short>(std::int32_t*, int, int, int, const std::int32_t*,
                                                int, unsigned short*, std::ptrdiff_t, int);

}  // namespace H264
