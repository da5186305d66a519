#pragma once

#include <cstddef>
#include <cstdint>

#include "base/level.h"
#include "dsp/kernels.h"

// Scaling tables, DC transforms and the transform bypass (ITU-T H.264 clauses 8.5.9 to
// 8.5.15); the block transforms and the add-and-clip are kernels (dsp/kernels.h).
//
// Blocks are in raster order. Predictions come as int32 samples with a row stride (the
// macroblock's prediction buffer); output goes to the picture through a T* with a row stride
// in samples. maxValue is (1 << bitDepth) - 1 of the plane.
namespace H264 {
ISTREL_LEVEL_BEGIN

// Flat LevelScale: 16 * normAdjust (clause 8.5.9), [qP % 6][raster position]. Constant tables
// whose storage the macroblock decoders may point at.
extern const std::int32_t (&kFlatLevelScale4x4)[6][16];
extern const std::int32_t (&kFlatLevelScale8x8)[6][64];

// LevelScale of a weight list in raster order: out[m][k] = weights[k] * normAdjust(m, k).
void buildLevelScale4x4(const std::uint8_t* weights, std::int32_t out[6][16]);
void buildLevelScale8x8(const std::uint8_t* weights, std::int32_t out[6][64]);

// Clause 8.5.10, Intra_16x16 DC. levels: the 16 parsed DC levels in scan order; scan: raster
// position of each scan index (frame zig-zag or field scan); levelScale00 =
// LevelScale4x4[qP % 6][0]; qP: QP'Y, or the plane's QP' for colour planes coded like luma.
// dc[k] receives the value of 4x4 block k in the macroblock's block numbering.
void inverseLumaDc(const std::int32_t levels[16], const std::uint8_t* scan,
                   std::int32_t levelScale00, int qP, std::int32_t dc[16]);

// Clause 8.5.11, 4:2:0: c holds the 4 parsed levels (raster of the 2x2 matrix) and receives
// the DC values of chroma blocks 0..3. levelScale00 = LevelScale4x4[qP % 6][0], qP = QP'C.
void inverseChromaDc420(std::int32_t c[4], std::int32_t levelScale00, int qP);

// Clause 8.5.11, 4:2:2: c holds the 8 parsed levels in the raster order of the 2-wide, 4-high
// matrix (kChromaDc422RasterOf) and receives the DC values of chroma blocks 0, 1, 2, 3, 8, 9,
// 10, 11 (the same raster). qP = QP'C; the function uses
// QP'C,DC = qP + 3 and picks levelScale[QP'C,DC % 6][0] from the component's whole table.
// conformant: clause 8.5.11.2 exactly; otherwise the two-step rounding of the compatible mode,
// which can give one more for QP'C,DC below 24. The transform and scaling are the kernel
// table's chromaDc422.
void inverseChromaDc422(std::int32_t c[8], const std::int32_t levelScale[6][16], int qP,
                        bool conformant, const Kernels<unsigned short>& kernels);

// Clause 8.5.15 transform bypass: coeff is the width x height residual in raster order (row
// stride width), assembled by the caller over the whole block the prediction mode covers:
// 4x4 or 8x8 for Intra_NxN, 16x16 for Intra_16x16, MbWidthC x MbHeightC for chroma. direction:
// 0 none, 1 vertical (sums down the columns), 2 horizontal (sums along the rows). coeff is
// used as scratch. Then adds the prediction and clips.
enum BypassDirection : int { kBypassNone = 0, kBypassVertical = 1, kBypassHorizontal = 2 };
template <typename T>
void bypassReconstruct(std::int32_t* coeff, int width, int height, int direction,
                       const std::int32_t* pred, int predStride, T* dst, std::ptrdiff_t dstStride,
                       int maxValue);

ISTREL_LEVEL_END
}  // namespace H264
