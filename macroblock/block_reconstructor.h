// Prediction and reconstruction of the blocks of one macroblock: intra
// prediction into the prediction buffer, then the residual added through the
// kernel table (clauses 8.3 and 8.5.12 to 8.5.15).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "base/compiler.h"
#include "base/level.h"
#include "dsp/kernels.h"
#include "recon/intra_prediction.h"
#include "recon/inverse_transform.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
class BlockReconstructor {
 public:
  BlockReconstructor(const Kernels<T>& kernels, const int bitDepth[3]);

  // Profiling aid: when off, nothing is predicted or written.
  void setEnabled(bool on) { enabled_ = on; }
  bool enabled() const { return enabled_; }
  // Lossless macroblocks (TransformBypassModeFlag with QP'Y 0).
  void setBypass(bool bypass) { bypass_ = bypass; }
  bool bypass() const { return bypass_; }

  // The block at (x, y) of the macroblock predicted into the buffer. Throws
  // kSliceError for a mode its edges cannot serve.
  void predictLuma(int plane, int x, int y, int size, int mode, const IntraEdges& edges);
  void predictChroma(int plane, int mode, int width, int height, const IntraEdges& edges);

  const Kernels<T>& kernels() const { return kernels_; }

  // The coefficients of the block being decoded, raster order, scaled. All
  // zero when a block starts: the residual readers write only the nonzero
  // ones, and finish() and stash() clear what the block used.
  std::int32_t* coefficients() { return coeff_; }

  // The block's residual added to its prediction and stored at dst; a
  // block without coded AC coefficients needs only its DC. `direction` is the
  // bypass direction of its prediction mode (lossless only).
  ISTREL_FORCE_INLINE void finish(int plane, int x, int y, int size, bool coded, int direction,
                                  T* dst, std::ptrdiff_t stride);
  // Lossless Intra_16x16 and chroma accumulate residuals across the whole
  // block (clause 8.5.15): their 4x4 parts are gathered, then reconstructed.
  void stash(int x, int y, int width);
  void finishStashed(int plane, int width, int height, int direction, T* dst,
                     std::ptrdiff_t stride);

 private:
  const Kernels<T>& kernels_;
  int bitDepth_[3];
  int maxValue_[3];
  bool enabled_ = true;
  bool bypass_ = false;
  alignas(16) std::int32_t pred_[16 * 16];
  alignas(16) std::int32_t coeff_[64] = {};
  alignas(16) std::int32_t residual_[16 * 16];
};

extern template class BlockReconstructor<unsigned short>;

template <typename T>
ISTREL_FORCE_INLINE void BlockReconstructor<T>::finish(int plane, int x, int y, int size,
                                                       bool coded, int direction, T* dst,
                                                       std::ptrdiff_t stride) {
  const std::int32_t* pred = pred_ + y * 16 + x;
  const int max = maxValue_[plane];
  if (!enabled_) {
    // Profiling: nothing is stored.
  } else if (bypass_) {
    bypassReconstruct(coeff_, size, size, direction, pred, 16, dst, stride, max);
  } else if (size == 8) {
    if (coded) {
      kernels_.reconstruct8x8(coeff_, pred, 16, dst, stride, max);
    } else {
      kernels_.copyPrediction(pred, 16, dst, stride, 8, 8);
    }
  } else if (coded) {
    kernels_.reconstruct4x4(coeff_, pred, 16, dst, stride, max);
  } else if (coeff_[0] != 0) {
    kernels_.addDc4x4(coeff_[0], pred, 16, dst, stride, max);
  } else {
    kernels_.copyPrediction(pred, 16, dst, stride, 4, 4);
  }
  // The next block starts from zeros, written or not; an uncoded 8x8 block
  // used none of the buffer.
  if (coded || size == 4) std::fill_n(coeff_, size * size, 0);
}

ISTREL_LEVEL_END
}  // namespace H264
