// Intra prediction kernels in plain C++.
#include <algorithm>

#include "dsp/intra_samples.h"
#include "dsp/kernel_levels.h"

namespace H264::plain {
namespace {

using Sample = std::int32_t;
using intra::dcValue;
using intra::fill;
using intra::fillVertical;
using intra::filter121;
using intra::sum;

// ---- Intra_4x4 and Intra_8x8 -------------------------------------------------------------
//
// The references of an N x N block lie on one line, bottom-left to top-right:
// pad, p[-1, N-1] .. p[-1, 0], p[-1, -1], p[0, -1] .. p[2N-1, -1], pad (each pad repeats its
// neighbour). Every directional sample of clauses 8.3.1.2.x / 8.3.2.2.x is a raw sample, a
// [1 2 1] tap or a [1 1] tap of that line, so each mode is a table of positions into
// raw | [1 2 1] | [1 1].

template <int N>
struct EdgeLine {
  static constexpr int kLength = 3 * N + 3;
  static constexpr int kCorner = N + 1;  // p[-1, -1]
  static constexpr int top(int x) { return kCorner + 1 + x; }
  static constexpr int left(int y) { return kCorner - 1 - y; }
  Sample v[kLength];
};

enum Section : int { kRaw = 0, kTap121 = 1, kTap11 = 2 };

// Position in raw | [1 2 1] | [1 1] of sample (x, y) of mode 0..8 (2, DC, is unused).
template <int N>
constexpr int gatherIndex(int mode, int x, int y) {
  using L = EdgeLine<N>;
  auto at = [](Section s, int i) { return s * L::kLength + i; };
  switch (mode) {
    case 0:
      return at(kRaw, L::top(x));
    case 1:
      return at(kRaw, L::left(y));
    case 3:
      return at(kTap121, L::top(x + y + 1));
    case 4:
      return at(kTap121, L::kCorner + x - y);
    case 5: {
      const int z = 2 * x - y;
      if (z < 0) return at(kTap121, L::kCorner + 1 + z);
      return z % 2 ? at(kTap121, L::kCorner + (z + 1) / 2) : at(kTap11, L::kCorner + z / 2);
    }
    case 6: {
      const int z = 2 * y - x;
      if (z < 0) return at(kTap121, L::kCorner - 1 - z);
      return z % 2 ? at(kTap121, L::kCorner - (z + 1) / 2) : at(kTap11, L::kCorner - 1 - z / 2);
    }
    case 7:
      return y % 2 ? at(kTap121, L::top(x + y / 2 + 1)) : at(kTap11, L::top(x + y / 2));
    case 8: {
      const int z = x + 2 * y;
      if (z > 2 * N - 3) return at(kRaw, L::left(N - 1));
      return z % 2 ? at(kTap121, L::left((z + 1) / 2)) : at(kTap11, L::left(z / 2 + 1));
    }
    default:
      return 0;
  }
}

template <int N>
ISTREL_FORCE_INLINE void repeatEnds(EdgeLine<N>& line) {
  line.v[0] = line.v[1];
  line.v[EdgeLine<N>::kLength - 1] = line.v[EdgeLine<N>::kLength - 2];
}

// Unavailable sides read as 0 so that no indeterminate value enters the taps.
template <int N>
ISTREL_FORCE_INLINE void buildLine(const Sample* top, const Sample* left, Sample topLeft,
                                   unsigned sides, EdgeLine<N>& line) {
  using L = EdgeLine<N>;
  const bool hasTop = sides & kIntraTop, hasLeft = sides & kIntraLeft;
  for (int y = 0; y < N; ++y) line.v[L::left(y)] = hasLeft ? left[y] : 0;
  line.v[L::kCorner] = sides & kIntraTopLeft ? topLeft : 0;
  for (int x = 0; x < N; ++x) line.v[L::top(x)] = hasTop ? top[x] : 0;
  for (int x = N; x < 2 * N; ++x)
    line.v[L::top(x)] = !hasTop ? 0 : sides & kIntraTopRight ? top[x] : top[N - 1];
  repeatEnds(line);
}

// dst[i] = [1 2 1] tap at i for i in [1, n - 1), ends copied.
ISTREL_FORCE_INLINE void tap121(const Sample* src, Sample* dst, int n) {
  for (int i = 1; i < n - 1; ++i) dst[i] = filter121(src[i - 1], src[i], src[i + 1]);
  dst[0] = src[0];
  dst[n - 1] = src[n - 1];
}

// Clause 8.3.2.2.1. Off the corner, the filter is the line's [1 2 1] tap; next to an
// unavailable p[-1, -1] each side repeats its own first sample instead.
ISTREL_FORCE_INLINE void filterReferences8x8(unsigned sides, EdgeLine<8>& line) {
  using L = EdgeLine<8>;
  const Sample* p = line.v;
  Sample out[L::kLength];
  tap121(p, out, L::kLength);
  const int t0 = L::top(0), l0 = L::left(0), c = L::kCorner;
  if (sides & kIntraTopLeft) {
    out[c] = filter121(sides & kIntraTop ? p[t0] : p[c], p[c], sides & kIntraLeft ? p[l0] : p[c]);
  } else {
    out[t0] = filter121(p[t0], p[t0], p[t0 + 1]);
    out[l0] = filter121(p[l0], p[l0], p[l0 - 1]);
  }
  std::copy_n(out, L::kLength, line.v);
  repeatEnds(line);
}

// Every row of a directional mode is N consecutive entries of one array:
// raw | [1 2 1] | [1 1] | merged. Modes 3, 4 and 7 read their rows straight
// from the taps; Vertical_Right, Horizontal_Down and Horizontal_Up step
// through both kinds of tap within a row, so their samples are first merged
// into one sequence along which the rows are windows: Horizontal_Up's row y
// starts 2y into its sequence (z = x + 2y), Horizontal_Down's is the same
// read backwards (z = 2y - x), Vertical_Right keeps one sequence for even
// rows and one for odd rows, each shifted by one per row pair.
template <int N>
struct DirectionalRows {
  static constexpr int kLen = EdgeLine<N>::kLength;
  static constexpr int kMerged = 3 * kLen;  // where the merged sequence starts
  static constexpr int kMaxMerged = 3 * N - 2;
  std::uint8_t mergedCount[9];
  std::uint8_t merged[9][kMaxMerged];  // positions in raw | [1 2 1] | [1 1]
  std::uint8_t rowStart[9][N];         // positions in raw | [1 2 1] | [1 1] | merged
};

// The (x, y) whose sample is entry i of mode's merged sequence.
template <int N>
constexpr void mergedSample(int mode, int i, int& x, int& y) {
  constexpr int kHalf = N / 2 - 1;  // Vertical_Right: entries before each sequence's x = 0
  if (mode == 8) {                  // z = x + 2y
    y = i / 2 < N - 1 ? i / 2 : N - 1;
    x = i - 2 * y;
  } else if (mode == 6) {  // z = 2y - x = 2(N - 1) - i
    const int z = 2 * (N - 1) - i;
    y = z >= 0 ? (z + 1) / 2 : 0;
    x = 2 * y - z;
  } else {  // 5: even rows (m = x - y / 2), then odd rows (m = x - (y - 1) / 2)
    const int odd = i >= N + kHalf, m = i - (odd ? N + kHalf : 0) - kHalf;
    x = m >= 0 ? m : 0;
    y = m >= 0 ? odd : odd - 2 * m;
  }
}

template <int N>
constexpr int mergedLength(int mode) {
  return mode == 5 ? 2 * (N + N / 2 - 1) : mode == 6 || mode == 8 ? 3 * N - 2 : 0;
}

// Where row y of `mode` starts.
template <int N>
constexpr int rowStart(int mode, int y) {
  using R = DirectionalRows<N>;
  switch (mode) {
    case 5:
      return R::kMerged + (y % 2 ? N + N / 2 - 1 : 0) + (N / 2 - 1) - y / 2;
    case 6:
      return R::kMerged + 2 * (N - 1) - 2 * y;
    case 8:
      return R::kMerged + 2 * y;
    default:
      return gatherIndex<N>(mode, 0, y);
  }
}

template <int N>
constexpr DirectionalRows<N> makeDirectionalRows() {
  DirectionalRows<N> t{};
  for (int mode = 0; mode < 9; ++mode) {
    t.mergedCount[mode] = static_cast<std::uint8_t>(mergedLength<N>(mode));
    for (int i = 0; i < mergedLength<N>(mode); ++i) {
      int x = 0, y = 0;
      mergedSample<N>(mode, i, x, y);
      t.merged[mode][i] = static_cast<std::uint8_t>(gatherIndex<N>(mode, x, y));
    }
    for (int y = 0; y < N; ++y)
      t.rowStart[mode][y] = static_cast<std::uint8_t>(rowStart<N>(mode, y));
  }
  return t;
}

template <int N>
inline constexpr DirectionalRows<N> kDirectionalRows = makeDirectionalRows<N>();

// The rows read exactly the samples clauses 8.3.1.2.x and 8.3.2.2.x name.
template <int N>
constexpr bool rowsMatchClauses() {
  constexpr DirectionalRows<N> t = makeDirectionalRows<N>();
  for (int mode = 3; mode < 9; ++mode) {
    for (int y = 0; y < N; ++y) {
      for (int x = 0; x < N; ++x) {
        const int at = t.rowStart[mode][y] + x;
        const int from = at >= t.kMerged ? t.merged[mode][at - t.kMerged] : at;
        if (at >= t.kMerged && at - t.kMerged >= t.mergedCount[mode]) return false;
        if (from != gatherIndex<N>(mode, x, y)) return false;
      }
    }
  }
  return true;
}
static_assert(rowsMatchClauses<4>() && rowsMatchClauses<8>());

template <int N>
ISTREL_FORCE_INLINE void predictDirectional(int mode, const EdgeLine<N>& line, Sample* pred,
                                            int stride) {
  using R = DirectionalRows<N>;
  constexpr int kLen = R::kLen;
  const R& rows = kDirectionalRows<N>;
  Sample taps[3 * kLen + R::kMaxMerged];
  std::copy_n(line.v, kLen, taps);
  tap121(line.v, taps + kLen, kLen);
  for (int i = 0; i < kLen - 1; ++i) taps[2 * kLen + i] = (line.v[i] + line.v[i + 1] + 1) >> 1;
  taps[3 * kLen - 1] = line.v[kLen - 1];
  const std::uint8_t* merged = rows.merged[mode];
  for (int i = 0; i < rows.mergedCount[mode]; ++i) taps[R::kMerged + i] = taps[merged[i]];
  for (int y = 0; y < N; ++y, pred += stride) std::copy_n(taps + rows.rowStart[mode][y], N, pred);
}

template <int N>
ISTREL_FORCE_INLINE void predictDcNxN(unsigned sides, const EdgeLine<N>& line, int bitDepth,
                                      Sample* pred, int stride) {
  using L = EdgeLine<N>;
  constexpr int kLog2 = N == 4 ? 2 : 3;
  const Sample value = dcValue(sides & kIntraTop, sides & kIntraLeft, sum<N>(line.v + L::top(0)),
                               sum<N>(line.v + L::left(N - 1)), kLog2, bitDepth);
  fill<N, N>(value, pred, stride);
}

template <int N>
ISTREL_FORCE_INLINE void predictNxN(int mode, unsigned sides, const EdgeLine<N>& line, int bitDepth,
                                    Sample* pred, int stride) {
  switch (mode) {
    case 0:
      fillVertical<N, N>(line.v + EdgeLine<N>::top(0), pred, stride);
      break;
    case 1:
      for (int y = 0; y < N; ++y) std::fill_n(pred + y * stride, N, line.v[EdgeLine<N>::left(y)]);
      break;
    case 2:
      predictDcNxN<N>(sides, line, bitDepth, pred, stride);
      break;
    default:
      predictDirectional<N>(mode, line, pred, stride);
      break;
  }
}

void intra4x4(int mode, const Sample* top, const Sample* left, Sample topLeft, unsigned sides,
              int bitDepth, Sample* pred, int stride) {
  EdgeLine<4> line;
  buildLine(top, left, topLeft, sides, line);
  predictNxN<4>(mode, sides, line, bitDepth, pred, stride);
}

void intra8x8(int mode, const Sample* top, const Sample* left, Sample topLeft, unsigned sides,
              int bitDepth, Sample* pred, int stride) {
  EdgeLine<8> line;
  buildLine(top, left, topLeft, sides, line);
  filterReferences8x8(sides, line);
  predictNxN<8>(mode, sides, line, bitDepth, pred, stride);
}

}  // namespace

void fillIntra(Kernels<unsigned short>& k) {
  k.intra4x4 = intra4x4;
  k.intra8x8 = intra8x8;
}

}  // namespace H264::plain
