// Intra prediction kernels, ITU-T H.264 clause 8.3, over neighbour samples that
// the macroblock layer has gathered from the picture (frame, field or MBAFF alike).
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/level.h"
#include "dsp/kernels.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

// Samples around a block, gathered by the caller from the reconstructed picture.
// top[i] = p[i, -1] for i in [0, 2 * width) where the second half (above-right) is used by
// Intra_4x4 and Intra_8x8 only; left[j] = p[-1, j] for j in [0, height); topLeft = p[-1, -1].
// Entries of an unavailable side are never read.
struct IntraEdges {
  std::int32_t top[32];
  std::int32_t left[16];
  std::int32_t topLeft;
  bool hasTop;
  bool hasTopRight;  // p[width .. 2*width-1, -1]; when false and hasTop, the kernels substitute
                     // p[width-1, -1] (clause 8.3.1.2 / 8.3.2.2)
  bool hasLeft;
  bool hasTopLeft;
};

// Each writes width x height predicted samples, row by row, into pred (stride in int32
// entries) with the kernel given, an entry of the kernel table. Returns false when the mode is
// outside its table (Intra_4x4 / Intra_8x8: 0..8, Intra_16x16: 0..3, chroma: 0..3) or needs samples
// marked unavailable (e.g. vertical without top): a malformed slice, which the caller reports as an
// error. Nothing is written then. DC modes never fail (they fall back as clause 8.3 says). bitDepth
// is 8..14. Intra_4x4 or Intra_8x8: the table's intra4x4 or intra8x8.
bool predictIntraNxN(int mode, const IntraEdges& e, int bitDepth, std::int32_t* pred, int stride,
                     IntraKernel kernel);
// Intra_16x16: the table's intra16x16.
bool predictIntra16x16(int mode, const IntraEdges& e, int bitDepth, std::int32_t* pred, int stride,
                       IntraKernel kernel);
// Chroma of a ChromaArrayType 1 or 2 macroblock, 8 samples wide: the table's intraChroma8x8
// (4:2:0) or intraChroma8x16 (4:2:2); mode 0 DC, 1 horizontal, 2 vertical, 3 plane (clause
// 8.3.4). ChromaArrayType 3 predicts chroma with the luma functions.
bool predictIntraChroma(int mode, const IntraEdges& e, int bitDepth, std::int32_t* pred, int stride,
                        IntraKernel kernel);

// predIntraNxNPredMode from the neighbouring blocks' modes (clauses 8.3.1.1 and 8.3.2.1).
// Each of modeA/modeB is the neighbour's Intra4x4PredMode or Intra8x8PredMode, -1 when the
// neighbour is unavailable (dcPredModePredictedFlag), or 2 when the neighbouring macroblock is
// not coded in Intra_4x4/Intra_8x8 (I_16x16, I_PCM). The caller maps between the 4x4 and 8x8
// mode arrays: an 8x8 block whose neighbour macroblock is Intra_4x4 passes
// Intra4x4PredMode[4 * n8x8A + 1] for A and Intra4x4PredMode[4 * n8x8B + 2] for B; a 4x4 block
// whose neighbour is Intra_8x8 passes Intra8x8PredMode[n4x4N / 4]. Returns the block's mode
// given prev_intra_pred_mode_flag and rem_intra_pred_mode (0..7).
inline int deriveIntraPredMode(int modeA, int modeB, bool prevFlag, int remMode) {
  const int predicted = (modeA < 0 || modeB < 0) ? 2 : std::min(modeA, modeB);
  if (prevFlag) return predicted;
  return remMode < predicted ? remMode : remMode + 1;
}

ISTREL_LEVEL_END
}  // namespace H264
