// Intra_16x16 and chroma prediction kernels in plain C++ (ITU-T H.264 clauses 8.3.3 and 8.3.4,
// chroma of ChromaArrayType 1 and 2): predictions of a whole macroblock's luma or chroma.
#include <algorithm>

#include "dsp/intra_samples.h"
#include "dsp/kernel_levels.h"

namespace H264::plain {
namespace {

using Sample = std::int32_t;
using intra::fill;
using intra::fillHorizontal;
using intra::fillVertical;
using intra::References;
using intra::sum;

template <int W, int H>
void predictPlane(const References& r, int bitDepth, Sample* pred, int stride) {
  const intra::Plane p = intra::planeOf<W, H>(r);
  const Sample maxValue = (1 << bitDepth) - 1;
  for (int y = 0; y < H; ++y, pred += stride) {
    for (int x = 0; x < W; ++x)
      pred[x] = std::clamp((p.start + p.b * x + p.c * y) >> 5, 0, maxValue);
  }
}

// Mode in Intra16x16PredMode numbering: 0 vertical, 1 horizontal, 2 DC, 3 plane.
void intra16x16(int mode, const Sample* top, const Sample* left, Sample topLeft, unsigned sides,
                int bitDepth, Sample* pred, int stride) {
  const References r = intra::referencesOf(top, left, topLeft, sides);
  switch (mode) {
    case 0:
      return fillVertical<16, 16>(r.top, pred, stride);
    case 1:
      return fillHorizontal<16, 16>(r.left, pred, stride);
    case 2:
      return fill<16, 16>(
          intra::dcValue(r.hasTop, r.hasLeft, sum<16>(r.top), sum<16>(r.left), 4, bitDepth), pred,
          stride);
    default:
      return predictPlane<16, 16>(r, bitDepth, pred, stride);
  }
}

// Mode in intra_chroma_pred_mode numbering: 0 DC, 1 horizontal, 2 vertical, 3 plane.
template <int H>
void intraChroma(int mode, const Sample* top, const Sample* left, Sample topLeft, unsigned sides,
                 int bitDepth, Sample* pred, int stride) {
  const References r = intra::referencesOf(top, left, topLeft, sides);
  switch (mode) {
    case 0:
      for (int yO = 0; yO < H; yO += 4) {
        for (int xO = 0; xO < 8; xO += 4) {
          const Sample value = intra::chromaDcValue(xO, yO, r.hasTop, r.hasLeft, sum<4>(r.top + xO),
                                                    sum<4>(r.left + yO), bitDepth);
          fill<4, 4>(value, pred + yO * stride + xO, stride);
        }
      }
      return;
    case 1:
      return fillHorizontal<8, H>(r.left, pred, stride);
    case 2:
      return fillVertical<8, H>(r.top, pred, stride);
    default:
      return predictPlane<8, H>(r, bitDepth, pred, stride);
  }
}

}  // namespace

void fillIntraMacroblock(Kernels<unsigned short>& k) {
  k.intra16x16 = intra16x16;
  k.intraChroma8x8 = intraChroma<8>;
  k.intraChroma8x16 = intraChroma<16>;
}

}  // namespace H264::plain
