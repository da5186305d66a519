// The bodies of MacroblockLayer's residual() of an I macroblock (clause
// 7.3.5.3) with reconstruction: each block is predicted, its coefficients
// read and scaled into place, and its samples stored before the next block
// predicts from them. Included by each concrete decoder's source file.
#pragma once

#include <algorithm>

#include "base/compiler.h"
#include "base/level.h"
#include "macroblock/macroblock_layer.h"
#include "recon/inverse_transform.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace residual {

// Clauses 8.5.12.1 and 8.5.13.1. A conforming stream keeps the result within
// 16 + bitDepth bits; a damaged one may not, and the result then wraps at 32
// bits, as the transforms do (dsp/kernels.h): defined, if meaningless.
ISTREL_FORCE_INLINE std::int32_t scaleLevel(std::int32_t level, std::int32_t levelScale, int shift,
                                            int norm) {
  const std::int64_t value = ((std::int64_t{level} * levelScale) << shift) + (1 << (norm - 1));
  return static_cast<std::int32_t>(value >> norm);
}

// Calls read(place) with the function that puts each level of a block at its
// raster position through `scan`: as it is in lossless macroblocks, scaled
// with norm `Norm` (4 for 4x4 blocks, 6 for 8x8) otherwise. The choice is made
// once per block, not per coefficient inside the entropy decoder's loop.
template <int Norm, typename Read>
ISTREL_FORCE_INLINE auto withPlacing(bool bypass, const std::uint8_t* scan,
                                     const std::int32_t* scale, int shift, std::int32_t* coeff,
                                     Read read) {
  if (bypass) {
    return read([scan, coeff](int position, std::int32_t level) { coeff[scan[position]] = level; });
  }
  return read([scan, scale, shift, coeff](int position, std::int32_t level) {
    const int pos = scan[position];
    coeff[pos] = scaleLevel(level, scale[pos], shift, Norm);
  });
}

// Bypass direction of a prediction mode (clause 8.5.15): 1 vertical, 2 horizontal.
inline int bypassDirection(int predMode) { return predMode == 0 ? 1 : predMode == 1 ? 2 : 0; }
inline int chromaBypassDirection(int chromaMode) {
  return chromaMode == 2 ? 1 : chromaMode == 1 ? 2 : 0;
}

}  // namespace residual

template <typename T, typename Derived>
template <typename Reader>
int MacroblockLayer<T, Derived>::read4x4Block(Reader& reader, BlockKind kind, int plane,
                                              int blockIndex, std::int32_t* coeff) {
  const int startIdx = kind == BlockKind::k4x4 ? 0 : 1;
  const BlockPair n = neighboursOf(kind == BlockKind::kChromaAc, blockIndex);
  return residual::withPlacing<4>(
      blocks_.bypass(), scan4x4_ + startIdx, levelScale4x4_[plane][qp_[plane] % 6], qp_[plane] / 6,
      coeff, [&](auto place) {
        return reader.residualBlock(kind, plane, blockIndex, 16 - startIdx, n.a, n.b, *at_.current,
                                    fieldMacroblock_, place);
      });
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::read8x8Block(Reader& reader, int plane, int block8x8,
                                               std::int32_t* coeff) {
  residual::withPlacing<6>(blocks_.bypass(), scan8x8_, levelScale8x8_[plane][qp_[plane] % 6],
                           qp_[plane] / 6, coeff, [&](auto place) {
                             reader.residual8x8(
                                 plane, block8x8, [this](int k) { return neighboursOf(false, k); },
                                 *at_.current, fieldMacroblock_, place);
                           });
}

// A 4x4 block of the residual: read when its pattern bit says it is coded,
// else marked as holding no coefficients. Returns TotalCoeff.
template <typename T, typename Derived>
template <typename Reader>
ISTREL_FORCE_INLINE int MacroblockLayer<T, Derived>::readBlockIfCoded(Reader& reader, bool coded,
                                                                      BlockKind kind, int plane,
                                                                      int blockIndex,
                                                                      std::int32_t* coeff) {
  if (coded) return read4x4Block(reader, kind, plane, blockIndex, coeff);
  markUncoded(plane, blockIndex);
  return 0;
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodeResidual(Reader& reader) {
  const int planes = chromaArrayType_ == 3 ? 3 : 1;
  for (int p = 0; p < planes; ++p) {
    if (mb_type_ != kMbINxN) {
      decodeIntra16x16(reader, p);
    } else if (transform_size_8x8_flag_) {
      decodeIntra8x8(reader, p);
    } else {
      decodeIntra4x4(reader, p);
    }
  }
  if (chromaArrayType_ == 1 || chromaArrayType_ == 2) decodeChroma(reader);
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodeIntra16x16(Reader& reader, int plane) {
  std::int32_t levels[16] = {};
  const BlockPair n = neighboursOf(false, 0);
  reader.residualBlock(BlockKind::kDc, plane, 0, 16, n.a, n.b, *at_.current, fieldMacroblock_,
                       [&levels](int position, std::int32_t level) { levels[position] = level; });
  const bool bypass = blocks_.bypass();
  if (bypass) {
    // Untransformed: block k takes the level at its position in the DC matrix.
    for (int n4 = 0; n4 < 16; ++n4) {
      const int raster = scan4x4_[n4];
      dc_[blockIndexAt(4 * (raster % 4), 4 * (raster / 4))] = levels[n4];
    }
  } else {
    inverseLumaDc(levels, scan4x4_, levelScale4x4_[plane][qp_[plane] % 6][0], qp_[plane], dc_);
  }
  predictBlock(plane, 0, 0, 16, intra16x16PredMode_);
  std::int32_t* coeff = blocks_.coefficients();
  for (int k = 0; k < 16; ++k) {
    const int x = kBlockX[k], y = kBlockY[k];
    const bool coded = cbpLuma_ & (1 << (k / 4));
    readBlockIfCoded(reader, coded, BlockKind::kAc, plane, k, coeff);
    coeff[0] = dc_[k];
    if (bypass) {
      blocks_.stash(x, y, 16);
    } else {
      blocks_.finish(plane, x, y, 4, coded, 0, blockAt(plane, x, y), at_.stride[plane]);
    }
  }
  if (bypass) {
    blocks_.finishStashed(plane, 16, 16, residual::bypassDirection(intra16x16PredMode_),
                          blockAt(plane, 0, 0), at_.stride[plane]);
  }
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodeIntra4x4(Reader& reader, int plane) {
  const MacroblockRecord& mb = *at_.current;
  std::int32_t* coeff = blocks_.coefficients();
  for (int k = 0; k < 16; ++k) {
    const int x = kBlockX[k], y = kBlockY[k];
    const int mode = mb.intra4x4PredMode[k];
    predictBlock(plane, x, y, 4, mode);
    const bool coded = cbpLuma_ & (1 << (k / 4));
    readBlockIfCoded(reader, coded, BlockKind::k4x4, plane, k, coeff);
    blocks_.finish(plane, x, y, 4, coded, residual::bypassDirection(mode), blockAt(plane, x, y),
                   at_.stride[plane]);
  }
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodeIntra8x8(Reader& reader, int plane) {
  const MacroblockRecord& mb = *at_.current;
  std::int32_t* coeff = blocks_.coefficients();
  for (int b = 0; b < 4; ++b) {
    const int x = 8 * (b % 2), y = 8 * (b / 2);
    const int mode = mb.intra8x8PredMode[b];
    predictBlock(plane, x, y, 8, mode);
    const bool coded = cbpLuma_ & (1 << b);
    markUncoded(plane, 4 * b, 4);
    if (coded) read8x8Block(reader, plane, b, coeff);
    blocks_.finish(plane, x, y, 8, coded, residual::bypassDirection(mode), blockAt(plane, x, y),
                   at_.stride[plane]);
  }
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodeChroma(Reader& reader) {
  const int dcCount = 4 * (mbHeightC_ / 8);
  const BlockPair n = neighboursOf(false, 0);
  // The levels go straight to their raster positions in the DC matrix
  // (clause 8.5.11.1; in 4:2:0 the parsing order is the raster order).
  const std::uint8_t* raster = (dcCount == 8 ? kChromaDc422RasterOf : kIdentity8).data();
  for (int c = 0; c < 2; ++c) {
    std::int32_t* dc = chromaDc_[c];
    std::fill_n(dc, 8, 0);
    if (cbpChroma_ != 0) {
      reader.residualBlock(
          BlockKind::kChromaDc, 1 + c, c, dcCount, n.a, n.b, *at_.current, fieldMacroblock_,
          [dc, raster](int position, std::int32_t level) { dc[raster[position]] = level; });
    } else {
      at_.current->codedBlockFlagChromaDc[c] = 0;
    }
    const int qp = qp_[1 + c];
    if (blocks_.bypass()) continue;
    if (dcCount == 4) {
      inverseChromaDc420(dc, levelScale4x4_[1 + c][qp % 6][0], qp);
    } else {
      inverseChromaDc422(dc, levelScale4x4_[1 + c], qp, mode_ == DecodeMode::kConformant,
                         blocks_.kernels());
    }
  }
  for (int c = 0; c < 2; ++c) decodeChromaComponent(reader, 1 + c);
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodeChromaComponent(Reader& reader, int plane) {
  predictChroma(plane);
  const int blocks = 4 * (mbHeightC_ / 8);
  const bool bypass = blocks_.bypass();
  std::int32_t* coeff = blocks_.coefficients();
  for (int i = 0; i < blocks; ++i) {
    const int k = kChromaBlocks[i];
    const int x = kBlockX[k], y = kBlockY[k];
    const int total =
        readBlockIfCoded(reader, cbpChroma_ == 2, BlockKind::kChromaAc, plane, k, coeff);
    coeff[0] = chromaDc_[plane - 1][i];
    if (bypass) {
      blocks_.stash(x, y, mbWidthC_);
    } else {
      blocks_.finish(plane, x, y, 4, total > 0, 0, blockAt(plane, x, y), at_.stride[plane]);
    }
  }
  if (bypass) {
    blocks_.finishStashed(plane, mbWidthC_, mbHeightC_,
                          residual::chromaBypassDirection(intraChromaPredMode_),
                          blockAt(plane, 0, 0), at_.stride[plane]);
  }
}

ISTREL_LEVEL_END
}  // namespace H264
