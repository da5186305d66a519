// The neighbouring samples of an intra block copied out of the picture into
// IntraEdges, for both macroblock decoders. Where each run of samples lies is
// theirs to say (in MBAFF the row above may come from three macroblocks);
// the copying is the same.
#pragma once

#include <cstddef>

#include "base/compiler.h"
#include "base/level.h"
#include "recon/intra_prediction.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace edges {

// The runs of a W x H block: W samples at top and at topRight, one at
// topLeft, H at left, `leftStride` apart. Each is read only when e says that
// side is available. Loops of a fixed length, which the compiler unrolls and
// vectorises.
template <int W, int H, typename T>
ISTREL_FORCE_INLINE void copy(const T* top, const T* topRight, const T* topLeft, const T* left,
                              std::ptrdiff_t leftStride, IntraEdges& e) {
  if (e.hasTop) {
    for (int i = 0; i < W; ++i) e.top[i] = top[i];
  }
  if (e.hasTopRight) {
    for (int i = 0; i < W; ++i) e.top[W + i] = topRight[i];
  }
  if (e.hasLeft) {
    for (int j = 0; j < H; ++j) e.left[j] = left[j * leftStride];
  }
  if (e.hasTopLeft) e.topLeft = *topLeft;
}

// The same for the block sizes intra prediction has: 4x4, 8x8, 16x16, and
// the 8x16 chroma of 4:2:2.
template <typename T>
ISTREL_FORCE_INLINE void copy(int width, int height, const T* top, const T* topRight,
                              const T* topLeft, const T* left, std::ptrdiff_t leftStride,
                              IntraEdges& e) {
  if (width == 4) {
    copy<4, 4>(top, topRight, topLeft, left, leftStride, e);
  } else if (width == 8) {
    if (height == 8) {
      copy<8, 8>(top, topRight, topLeft, left, leftStride, e);
    } else {
      copy<8, 16>(top, topRight, topLeft, left, leftStride, e);
    }
  } else {
    copy<16, 16>(top, topRight, topLeft, left, leftStride, e);
  }
}

}  // namespace edges
ISTREL_LEVEL_END
}  // namespace H264
