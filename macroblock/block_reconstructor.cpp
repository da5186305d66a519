#include "macroblock/block_reconstructor.h"

#include <algorithm>

#include "base/errors.h"
#include "base/level.h"
#include "recon/inverse_transform.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
BlockReconstructor<T>::BlockReconstructor(const Kernels<T>& kernels, const int bitDepth[3])
    : kernels_(kernels) {
  for (int p = 0; p < 3; ++p) {
    bitDepth_[p] = bitDepth[p];
    maxValue_[p] = (1 << bitDepth[p]) - 1;
  }
}

template <typename T>
void BlockReconstructor<T>::predictLuma(int plane, int x, int y, int size, int mode,
                                        const IntraEdges& edges) {
  std::int32_t* pred = pred_ + y * 16 + x;
  const int depth = bitDepth_[plane];
  const bool ok = size == 16 ? predictIntra16x16(mode, edges, depth, pred, 16, kernels_.intra16x16)
                             : predictIntraNxN(mode, edges, depth, pred, 16,
                                               size == 4 ? kernels_.intra4x4 : kernels_.intra8x8);
  if (!ok) fail(kSliceError);
}

template <typename T>
void BlockReconstructor<T>::predictChroma(int plane, int mode, int width, int height,
                                          const IntraEdges& edges) {
  // ChromaArrayType 1 (8x8) and 2 (8x16) only.
  const bool known = width == 8 && (height == 8 || height == 16);
  const IntraKernel kernel = height == 8 ? kernels_.intraChroma8x8 : kernels_.intraChroma8x16;
  if (!known || !predictIntraChroma(mode, edges, bitDepth_[plane], pred_, 16, kernel)) {
    fail(kSliceError);
  }
}

template <typename T>
void BlockReconstructor<T>::stash(int x, int y, int width) {
  for (int j = 0; j < 4; ++j) std::copy_n(&coeff_[4 * j], 4, &residual_[(y + j) * width + x]);
  std::fill_n(coeff_, 16, 0);
}

template <typename T>
void BlockReconstructor<T>::finishStashed(int plane, int width, int height, int direction, T* dst,
                                          std::ptrdiff_t stride) {
  if (!enabled_) return;
  bypassReconstruct(residual_, width, height, direction, pred_, 16, dst, stride, maxValue_[plane]);
}

template class BlockReconstructor<unsigned short>;

ISTREL_LEVEL_END
}  // namespace H264
