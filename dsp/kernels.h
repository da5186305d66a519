// The sample kernels: one table per sample type, filled with the plain C++
// versions and then, level by level, with the vector versions the processor
// runs. Every vector kernel computes exactly what its plain twin computes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/cpu.h"

namespace H264 {

// Shifts that bring samples of another bit depth to the 10 bits of v210; at
// most one of each pair is nonzero.
struct V210Shift {
  unsigned lumaLeft = 0, lumaRight = 0;
  unsigned chromaLeft = 0, chromaRight = 0;
};

// What one edge of the deblocking filter is filtered with (clause 8.7.2),
// already scaled to the samples' bit depth.
struct EdgeThresholds {
  std::int32_t alpha;
  std::int32_t beta;
  std::int32_t tc0;       // used when bS is below 4
  std::int32_t maxValue;  // (1 << BitDepth) - 1
};

// The two orientations of an edge, the first index of the edge filters.
enum EdgeOrientation { kVerticalEdge = 0, kHorizontalEdge = 1 };

// The neighbour samples of an intra block that are available, as bits.
enum IntraSides : unsigned { kIntraTop = 1, kIntraLeft = 2, kIntraTopLeft = 4, kIntraTopRight = 8 };

// Intra prediction of one block from its neighbour samples (the entries below say which
// blocks and modes), the samples its mode needs available. top: p[0.., -1], left: p[-1, 0..],
// topLeft: p[-1, -1]; `sides` are IntraSides. An unavailable side is never read: a mode that
// needs it predicts as if its samples were 0. Writes the block's rows into pred.
using IntraKernel = void (*)(int mode, const std::int32_t* top, const std::int32_t* left,
                             std::int32_t topLeft, unsigned sides, int bitDepth, std::int32_t* pred,
                             int predStride);

template <typename T>
struct Kernels {
  // Clauses 8.5.12.2 / 8.5.13.2 on coefficients already scaled (the array is
  // scratch), then 8.5.14: add the prediction (int32, predStride apart),
  // clip to [0, maxValue], store. Arithmetic wraps at 32 bits, so damaged
  // coefficients give a defined picture.
  using Reconstruct = void (*)(std::int32_t* coeff, const std::int32_t* pred, int predStride,
                               T* dst, std::ptrdiff_t dstStride, int maxValue);
  Reconstruct reconstruct4x4;
  Reconstruct reconstruct8x8;
  // A 4x4 block whose only coefficient is dc, through the DC transforms
  // already: every residual sample is (dc + 32) >> 6.
  void (*addDc4x4)(std::int32_t dc, const std::int32_t* pred, int predStride, T* dst,
                   std::ptrdiff_t dstStride, int maxValue);
  // No residual: width x height predicted samples (width a multiple of 4),
  // saturated to the sample type.
  void (*copyPrediction)(const std::int32_t* pred, int predStride, T* dst, std::ptrdiff_t dstStride,
                         int width, int height);
  // Clause 8.5.11.2 for 4:2:2 chroma DC: the 2-wide, 4-high matrix c of
  // parsed levels (raster order, each of magnitude below 2^27, which every
  // level a conforming reader delivers is) through the 4x4 and 2x2 Hadamard
  // transforms, each result f scaled with levelScale (LevelScale4x4 at
  // QP'C,DC % 6, position 0, below 2^15) and qPDc = QP'C,DC: conformant as
  // the clause says, otherwise with the compatible mode's two-step rounding
  // ((f * levelScale scaled to q = 4, then + 2 >> 2). dc receives the eight
  // results in raster order, each the low 32 bits of the exact value; dc
  // may be levels.
  void (*chromaDc422)(const std::int32_t* levels, std::int32_t levelScale, int qPDc,
                      bool conformant, std::int32_t* dc);
  // Intra_4x4 and Intra_8x8 prediction of one N x N block (clauses 8.3.1.2 and 8.3.2.2; for
  // 8x8 the reference filter of 8.3.2.2.1 first), mode 0..8. top: p[0..2N-1, -1], its second
  // half read only with kIntraTopRight (else p[N-1, -1] stands in); left: p[-1, 0..N-1].
  IntraKernel intra4x4;
  IntraKernel intra8x8;
  // Intra_16x16 prediction (clause 8.3.3), mode 0..3 as Intra16x16PredMode. top: p[0..15, -1],
  // left: p[-1, 0..15].
  IntraKernel intra16x16;
  // Chroma prediction of a ChromaArrayType 1 (8x8) or 2 (8x16) macroblock (clause 8.3.4), mode
  // 0..3 as intra_chroma_pred_mode: 0 DC of each 4x4 block, 1 horizontal, 2 vertical, 3 plane.
  // top: p[0..7, -1], left: p[-1, 0..H-1]. One entry a height, so that each kernel knows its
  // rows and the plane's constants.
  IntraKernel intraChroma8x8;
  IntraKernel intraChroma8x16;
  // `groups` whole groups of six pixels of one v210 row, from 6 * groups
  // luma and 3 * groups chroma samples of each plane (the preview: every
  // second sample of twice as many).
  using PackV210 = void (*)(char* out, const T* luma, const T* cb, const T* cr, int groups,
                            V210Shift shift);
  PackV210 packV210;
  PackV210 packV210Preview;
  // The deblocking filter across one edge, on `lines` lines of samples that
  // share its thresholds (a multiple of 4): clause 8.7.2.3 when bS is below
  // 4, 8.7.2.4 when it is 4. `q0` is the first sample past the edge on the
  // first line. Across a vertical edge a line's samples are adjacent and the
  // lines `stride` apart; across a horizontal edge the samples are `stride`
  // apart and the lines adjacent. Luma-style filtering (luma, and chroma
  // when ChromaArrayType is 3) reads p3..q3 and changes at most p2..q2;
  // chroma-style reads p1..q1 and changes p0 and q0.
  using EdgeFilter = void (*)(T* q0, std::ptrdiff_t stride, int lines, const EdgeThresholds& t);
  EdgeFilter lumaEdge[2][2];  // [EdgeOrientation][bS is 4]
  EdgeFilter chromaEdge[2][2];
};

// The table of `level` (a level this processor runs, see kernelLevelsHere).
template <typename T>
const Kernels<T>& kernelsFor(KernelLevel level);

// The decoder keeps 16-bit pictures only, whatever the stream's depth.
template <>
const Kernels<unsigned short>& kernelsFor<unsigned short>(KernelLevel level);

}  // namespace H264
