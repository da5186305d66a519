#include "recon/intra_prediction.h"

#include "base/compiler.h"
#include "base/level.h"
#include "dsp/intra_samples.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

using Sample = std::int32_t;
using intra::dcValue;
using intra::fill;
using intra::fillHorizontal;
using intra::fillVertical;
using intra::sum;

ISTREL_FORCE_INLINE unsigned sidesOf(const IntraEdges& e) {
  return (e.hasTop ? kIntraTop : 0u) | (e.hasLeft ? kIntraLeft : 0u) |
         (e.hasTopLeft ? kIntraTopLeft : 0u) | (e.hasTopRight ? kIntraTopRight : 0u);
}

constexpr unsigned kAllSides = kIntraTop | kIntraLeft | kIntraTopLeft;

ISTREL_FORCE_INLINE bool available(unsigned needs, const IntraEdges& e) {
  return (needs & sidesOf(e)) == needs;
}

// Clauses 8.3.1.2.x and 8.3.2.2.x: what each mode reads besides DC's fallbacks.
constexpr unsigned kNxNNeeds[9] = {kIntraTop, kIntraLeft, 0,         kIntraTop, kAllSides,
                                   kAllSides, kAllSides,  kIntraTop, kIntraLeft};

ISTREL_FORCE_INLINE bool nxnModeUsable(int mode, const IntraEdges& e) {
  return mode >= 0 && mode <= 8 && available(kNxNNeeds[mode], e);
}

// ---- Intra_16x16 and chroma -------------------------------------------------------------

// H or V of clauses 8.3.3.4 / 8.3.4.4 over a run of n samples preceded by p[-1, -1].
template <int Nn>
ISTREL_FORCE_INLINE Sample planeGradient(const Sample* run, Sample corner) {
  constexpr int kHalf = Nn / 2;
  Sample g = kHalf * (run[Nn - 1] - corner);
  for (int i = 0; i < kHalf - 1; ++i) g += (i + 1) * (run[kHalf + i] - run[kHalf - 2 - i]);
  return g;
}

// 5 for a 16-sample side (luma, 4:2:2 chroma height), 34 for an 8-sample chroma side.
template <int Nn>
ISTREL_FORCE_INLINE Sample planeSlope(Sample gradient) {
  return ((Nn == 16 ? 5 : 34) * gradient + 32) >> 6;
}

template <int W, int H>
void predictPlane(const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                  PlaneRowKernel planeRow) {
  const Sample b = planeSlope<W>(planeGradient<W>(e.top, e.topLeft));
  const Sample c = planeSlope<H>(planeGradient<H>(e.left, e.topLeft));
  const Sample a = 16 * (e.left[H - 1] + e.top[W - 1]);
  const Sample start = a - b * (W / 2 - 1) - c * (H / 2 - 1) + 16;
  const Sample maxValue = (1 << bitDepth) - 1;
  for (int y = 0; y < H; ++y, pred += stride) planeRow(pred, W, start + c * y, b, maxValue);
}

// Vertical (0), horizontal (1) and plane (3), in Intra_16x16 numbering.
template <int W, int H>
bool predictWhole(int mode, const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                  PlaneRowKernel planeRow) {
  switch (mode) {
    case 0:
      if (!e.hasTop) return false;
      fillVertical<W, H>(e.top, pred, stride);
      return true;
    case 1:
      if (!e.hasLeft) return false;
      fillHorizontal<W, H>(e.left, pred, stride);
      return true;
    case 3:
      if (!available(kAllSides, e)) return false;
      predictPlane<W, H>(e, bitDepth, pred, stride, planeRow);
      return true;
    default:
      return false;
  }
}

// Clauses 8.3.4.1 to 8.3.4.3: each 4x4 chroma block at (xO, yO) takes both sums, or prefers
// its above group on the top row and its left group in the left column.
template <int H>
void predictChromaDc(const IntraEdges& e, int bitDepth, Sample* pred, int stride) {
  for (int yO = 0; yO < H; yO += 4) {
    for (int xO = 0; xO < 8; xO += 4) {
      const bool useTop = e.hasTop && !(xO == 0 && yO > 0 && e.hasLeft);
      const bool useLeft = e.hasLeft && !(yO == 0 && xO > 0 && e.hasTop);
      const Sample value = dcValue(useTop, useLeft, useTop ? sum<4>(e.top + xO) : 0,
                                   useLeft ? sum<4>(e.left + yO) : 0, 2, bitDepth);
      fill<4, 4>(value, pred + yO * stride + xO, stride);
    }
  }
}

template <int H>
bool predictChroma(int mode, const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                   PlaneRowKernel planeRow) {
  static constexpr int kAsIntra16x16[4] = {2, 1, 0, 3};
  if (mode == 0) {
    predictChromaDc<H>(e, bitDepth, pred, stride);
    return true;
  }
  return mode > 0 && mode < 4 &&
         predictWhole<8, H>(kAsIntra16x16[mode], e, bitDepth, pred, stride, planeRow);
}

}  // namespace

bool predictIntraNxN(int mode, const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                     IntraKernel kernel) {
  if (!nxnModeUsable(mode, e)) return false;
  kernel(mode, e.top, e.left, e.topLeft, sidesOf(e), bitDepth, pred, stride);
  return true;
}

bool predictIntra16x16(int mode, const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                       PlaneRowKernel planeRow) {
  if (mode != 2) return predictWhole<16, 16>(mode, e, bitDepth, pred, stride, planeRow);
  const Sample value = dcValue(e.hasTop, e.hasLeft, e.hasTop ? sum<16>(e.top) : 0,
                               e.hasLeft ? sum<16>(e.left) : 0, 4, bitDepth);
  fill<16, 16>(value, pred, stride);
  return true;
}

bool predictIntraChroma(int mode, const IntraEdges& e, int width, int height, int bitDepth,
                        Sample* pred, int stride, PlaneRowKernel planeRow) {
  if (width != 8) return false;
  if (height == 8) return predictChroma<8>(mode, e, bitDepth, pred, stride, planeRow);
  if (height == 16) return predictChroma<16>(mode, e, bitDepth, pred, stride, planeRow);
  return false;
}

ISTREL_LEVEL_END
}  // namespace H264
