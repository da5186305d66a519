// residual() of a CAVLC macroblock (clause 7.3.5.3) with reconstruction:
// each block is predicted, its coefficients read already scaled, and its
// samples stored before the next block predicts from them.
#include <algorithm>

#include "base/errors.h"
#include "macroblock/macroblock_decoder.h"
#include "macroblock/macroblock_tables.h"
#include "recon/inverse_transform.h"
#include "syntax/cavlc_reader.h"
#include "syntax/stream_parser.h"

namespace H264 {
namespace {

// Coefficients are kept within what a conforming stream can produce
// (clause 8.5.12.1 bounds them to 16 + bitDepth bits), so the transforms
// never overflow on damaged input.
constexpr std::int64_t kCoefficientLimit = std::int64_t{1} << 24;

ISTREL_FORCE_INLINE std::int32_t scaleLevel(std::int32_t level, std::int32_t levelScale, int shift,
                                            int norm) {
  std::int64_t value = ((std::int64_t{level} * levelScale) << shift) + (1 << (norm - 1));
  return static_cast<std::int32_t>(
      std::clamp(value >> norm, -kCoefficientLimit, kCoefficientLimit));
}

// Bypass direction of a prediction mode (clause 8.5.15): 1 vertical, 2 horizontal.
int bypassDirection(int predMode) { return predMode == 0 ? 1 : predMode == 1 ? 2 : 0; }
int chromaBypassDirection(int chromaMode) { return chromaMode == 2 ? 1 : chromaMode == 1 ? 2 : 0; }

// Chroma blocks of a component in decoding order (4:2:0 uses the first four).
constexpr int kChromaBlocks[8] = {0, 1, 2, 3, 8, 9, 10, 11};

// DC level of each chroma block in bypass mode: the 2x2 or 2x4 DC matrix of
// clause 8.5.11.1 read in raster order (4:2:2 levels fill it as c0 c2 / c1 c5 / c3 c6 / c4 c7).
constexpr int kChromaDcRaster422[8] = {0, 2, 1, 5, 3, 6, 4, 7};

// ctxBlockCat of a block kind in a plane: Cb and Cr of 4:4:4 have their own.
int categoryOf(int kind, int plane) {
  constexpr int kLumaCategory[6] = {0, 1, 2, 3, 4, 5};
  constexpr int kPlaneCategory[6] = {6, 7, 8, 3, 4, 9};
  if (plane == 0 || kind == 3 || kind == 4) return kLumaCategory[kind];
  return kPlaneCategory[kind] + (plane == 2 ? 4 : 0);
}

}  // namespace

// One residual block by the slice's entropy coder; `place` receives each
// non-zero level with its coefficient number counted from the block's first
// coded coefficient.
template <typename T>
template <typename Place>
int MacroblockDecoder<T>::readBlock(BlockKind kind, int plane, int blockIndex, int maxNumCoeff,
                                    Place place) {
  if (entropyCabac_) {
    CoefficientLevels levels;
    readCabacBlock(kind, plane, blockIndex, maxNumCoeff, levels);
    for (int i = 0; i < levels.count; ++i) place(levels.position[i], levels.level[i]);
    return levels.count;
  }
  int nC = kind == BlockKind::kChromaDc ? (mbHeightC_ == 8 ? -1 : -2)
           : kind == BlockKind::kDc
               ? predictTotalCoeff(plane, 0, false)
               : predictTotalCoeff(plane, blockIndex, kind == BlockKind::kChromaAc);
  ResidualLevels levels;
  readResidualBlock(parser_, nC, maxNumCoeff, levels);
  if (kind != BlockKind::kDc && kind != BlockKind::kChromaDc) {
    at_.current->totalCoeff[plane][blockIndex] = static_cast<std::uint8_t>(levels.count);
  }
  for (int i = 0; i < levels.count; ++i) place(levels.position[i], levels.level[i]);
  return levels.count;
}

template <typename T>
void MacroblockDecoder<T>::readCabacBlock(BlockKind kind, int plane, int blockIndex,
                                          int maxNumCoeff, CoefficientLevels& out) {
  int cat = categoryOf(static_cast<int>(kind), plane);
  // 8x8 blocks carry a coded_block_flag only in 4:4:4 (clause 7.3.5.3.3).
  bool coded = kind == BlockKind::k8x8 && chromaArrayType_ != 3
                   ? true
                   : cabac_.codedBlockFlag(cat, codedBlockFlagInc(kind, plane, blockIndex));
  storeCodedBlockFlag(kind, plane, blockIndex, coded);
  out.count = 0;
  if (coded) cabac_.residualLevels(cat, maxNumCoeff, fieldMacroblock_, out);
}

// ctxIdxInc of coded_block_flag: condTermFlagA + 2 x condTermFlagB.
template <typename T>
int MacroblockDecoder<T>::codedBlockFlagInc(BlockKind kind, int plane, int blockIndex) const {
  if (kind == BlockKind::kDc || kind == BlockKind::kChromaDc) {
    return codedBlockFlagTerm(kind, plane, at_.A, 0) +
           2 * codedBlockFlagTerm(kind, plane, at_.B, 0);
  }
  int x = kBlockX[blockIndex], y = kBlockY[blockIndex];
  bool chroma = kind == BlockKind::kChromaAc;
  NeighbourBlock a = blockNeighbour(chroma, x - 1, y);
  NeighbourBlock b = blockNeighbour(chroma, x, y - 1);
  return codedBlockFlagTerm(kind, plane, a.mb, a.blockIndex) +
         2 * codedBlockFlagTerm(kind, plane, b.mb, b.blockIndex);
}

template <typename T>
void MacroblockDecoder<T>::storeCodedBlockFlag(BlockKind kind, int plane, int blockIndex,
                                               std::uint8_t flag) {
  MacroblockRecord& mb = *at_.current;
  int component = plane > 0 ? plane - 1 : 0;
  std::uint8_t* blocks = plane == 0 ? mb.codedBlockFlagLuma : mb.codedBlockFlagChromaAc[component];
  switch (kind) {
    case BlockKind::kDc:
      (plane == 0 ? mb.codedBlockFlagLumaDc : mb.codedBlockFlagChromaDc[component]) = flag;
      break;
    case BlockKind::kChromaDc:
      mb.codedBlockFlagChromaDc[component] = flag;
      break;
    case BlockKind::k8x8:
      std::fill_n(blocks + blockIndex, 4, flag);
      break;
    default:
      blocks[blockIndex] = flag;
  }
}

// A block whose pattern bit says it carries no coefficients.
template <typename T>
void MacroblockDecoder<T>::markUncoded(int plane, int blockIndex) {
  MacroblockRecord& mb = *at_.current;
  mb.totalCoeff[plane][blockIndex] = 0;
  if (plane == 0) {
    mb.codedBlockFlagLuma[blockIndex] = 0;
  } else {
    mb.codedBlockFlagChromaAc[plane - 1][blockIndex] = 0;
  }
}

// A 4x4 block of scan positions startIdx..15 into coeff (raster), scaled by
// the plane's LevelScale unless the macroblock is lossless.
template <typename T>
int MacroblockDecoder<T>::read4x4Block(BlockKind kind, int plane, int blockIndex,
                                       std::int32_t* coeff) {
  int startIdx = kind == BlockKind::k4x4 ? 0 : 1;
  const std::int32_t* scale = levelScale4x4_[plane][qp_[plane] % 6];
  int shift = qp_[plane] / 6;
  const std::uint8_t* scan = scan4x4_;
  bool bypass = bypass_;
  return readBlock(kind, plane, blockIndex, 16 - startIdx, [&](int position, std::int32_t level) {
    int pos = scan[startIdx + position];
    coeff[pos] = bypass ? level : scaleLevel(level, scale[pos], shift, 4);
  });
}

template <typename T>
void MacroblockDecoder<T>::decodeResidual() {
  int planes = chromaArrayType_ == 3 ? 3 : 1;
  for (int p = 0; p < planes; ++p) decodeLumaLike(p);
  if (chromaArrayType_ == 1 || chromaArrayType_ == 2) decodeChroma();
}

template <typename T>
void MacroblockDecoder<T>::decodeLumaLike(int plane) {
  if (mb_type_ != kMbINxN) {
    decodeIntra16x16(plane);
  } else if (transform_size_8x8_flag_) {
    decodeIntra8x8(plane);
  } else {
    decodeIntra4x4(plane);
  }
}

template <typename T>
void MacroblockDecoder<T>::decodeIntra16x16(int plane) {
  std::int32_t levels[16] = {};
  readBlock(BlockKind::kDc, plane, 0, 16,
            [&](int position, std::int32_t level) { levels[position] = level; });
  if (bypass_) {
    // Untransformed: block k takes the level at its position in the DC matrix.
    for (int n = 0; n < 16; ++n) {
      int raster = scan4x4_[n];
      dc_[blockIndexAt(4 * (raster % 4), 4 * (raster / 4))] = levels[n];
    }
  } else {
    inverseLumaDc(levels, scan4x4_, levelScale4x4_[plane][qp_[plane] % 6][0], qp_[plane], dc_);
  }
  predictBlock(plane, 0, 0, 16, intra16x16PredMode_);
  for (int k = 0; k < 16; ++k) {
    int x = kBlockX[k], y = kBlockY[k];
    std::fill_n(coeff_, 16, 0);
    if (cbpLuma_ & (1 << (k / 4))) {
      read4x4Block(BlockKind::kAc, plane, k, coeff_);
    } else {
      markUncoded(plane, k);
    }
    coeff_[0] = dc_[k];
    if (bypass_) {
      stashResidual(x, y, 16);
    } else {
      finishBlock(plane, x, y, 4, coeff_, cbpLuma_ & (1 << (k / 4)), 0);
    }
  }
  if (bypass_ && reconstruct_) {
    bypassReconstruct(residual_, 16, 16, bypassDirection(intra16x16PredMode_), pred_, 16,
                      blockAt(plane, 0, 0), at_.stride[plane], maxValue_[plane]);
  }
}

template <typename T>
void MacroblockDecoder<T>::decodeIntra4x4(int plane) {
  const MacroblockRecord& mb = *at_.current;
  for (int k = 0; k < 16; ++k) {
    int x = kBlockX[k], y = kBlockY[k];
    int mode = mb.intra4x4PredMode[k];
    predictBlock(plane, x, y, 4, mode);
    bool coded = cbpLuma_ & (1 << (k / 4));
    std::fill_n(coeff_, 16, 0);
    if (coded) {
      read4x4Block(BlockKind::k4x4, plane, k, coeff_);
    } else {
      markUncoded(plane, k);
    }
    finishBlock(plane, x, y, 4, coeff_, coded, bypassDirection(mode));
  }
}

template <typename T>
void MacroblockDecoder<T>::decodeIntra8x8(int plane) {
  const MacroblockRecord& mb = *at_.current;
  const std::int32_t* scale = levelScale8x8_[plane][qp_[plane] % 6];
  int shift = qp_[plane] / 6;
  for (int b = 0; b < 4; ++b) {
    int x = 8 * (b % 2), y = 8 * (b / 2);
    int mode = mb.intra8x8PredMode[b];
    predictBlock(plane, x, y, 8, mode);
    bool coded = cbpLuma_ & (1 << b);
    std::fill_n(coeff_, 64, 0);
    auto place = [&](int i) {
      return [&, i](int position, std::int32_t level) {
        int pos = scan8x8_[entropyCabac_ ? position : 4 * position + i];
        coeff_[pos] = bypass_ ? level : scaleLevel(level, scale[pos], shift, 6);
      };
    };
    for (int i = 0; i < 4; ++i) markUncoded(plane, 4 * b + i);
    if (coded && entropyCabac_) {
      readBlock(BlockKind::k8x8, plane, 4 * b, 64, place(0));
    } else if (coded) {
      // CAVLC codes an 8x8 block as four interleaved 4x4 parts (clause 7.3.5.3.2).
      for (int i = 0; i < 4; ++i) readBlock(BlockKind::k4x4, plane, 4 * b + i, 16, place(i));
    }
    finishBlock(plane, x, y, 8, coeff_, coded, bypassDirection(mode));
  }
}

template <typename T>
void MacroblockDecoder<T>::decodeChroma() {
  int dcCount = 4 * (mbHeightC_ / 8);
  for (int c = 0; c < 2; ++c) {
    std::int32_t* dc = chromaDc_[c];
    std::fill_n(dc, 8, 0);
    if (cbpChroma_ != 0) {
      readBlock(BlockKind::kChromaDc, 1 + c, c, dcCount,
                [&](int position, std::int32_t level) { dc[position] = level; });
    } else {
      at_.current->codedBlockFlagChromaDc[c] = 0;
    }
    int qp = qp_[1 + c];
    if (bypass_) {
      if (dcCount == 8) {
        std::int32_t levels[8];
        std::copy_n(dc, 8, levels);
        for (int i = 0; i < 8; ++i) dc[i] = levels[kChromaDcRaster422[i]];
      }
    } else if (dcCount == 4) {
      inverseChromaDc420(dc, levelScale4x4_[1 + c][qp % 6][0], qp);
    } else {
      inverseChromaDc422(dc, levelScale4x4_[1 + c], qp, mode_ == DecodeMode::kConformant);
    }
  }
  for (int c = 0; c < 2; ++c) decodeChromaComponent(1 + c);
}

template <typename T>
void MacroblockDecoder<T>::decodeChromaComponent(int plane) {
  predictChroma(plane);
  int blocks = 4 * (mbHeightC_ / 8);
  for (int i = 0; i < blocks; ++i) {
    int k = kChromaBlocks[i];
    int x = kBlockX[k], y = kBlockY[k];
    std::fill_n(coeff_, 16, 0);
    int total = 0;
    if (cbpChroma_ == 2) {
      total = read4x4Block(BlockKind::kChromaAc, plane, k, coeff_);
    } else {
      markUncoded(plane, k);
    }
    coeff_[0] = chromaDc_[plane - 1][i];
    if (bypass_) {
      stashResidual(x, y, mbWidthC_);
    } else {
      finishBlock(plane, x, y, 4, coeff_, total > 0, 0);
    }
  }
  if (bypass_ && reconstruct_) {
    bypassReconstruct(residual_, mbWidthC_, mbHeightC_, chromaBypassDirection(intraChromaPredMode_),
                      pred_, 16, blockAt(plane, 0, 0), at_.stride[plane], maxValue_[plane]);
  }
}

// Lossless Intra_16x16 and chroma accumulate residuals across the whole
// block (clause 8.5.15), so their 4x4 parts are gathered first.
template <typename T>
void MacroblockDecoder<T>::stashResidual(int x, int y, int width) {
  for (int j = 0; j < 4; ++j) {
    std::copy_n(&coeff_[4 * j], 4, &residual_[(y + j) * width + x]);
  }
}

// Reconstructs one block from its coefficients (raster order, already scaled)
// and the prediction; a block without coded AC coefficients needs only its DC.
template <typename T>
void MacroblockDecoder<T>::finishBlock(int plane, int x, int y, int size, std::int32_t* coeff,
                                       bool coded, int direction) {
  if (!reconstruct_) return;
  const std::int32_t* pred = pred_ + y * 16 + x;
  T* dst = blockAt(plane, x, y);
  std::ptrdiff_t stride = at_.stride[plane];
  int max = maxValue_[plane];
  if (bypass_) {
    bypassReconstruct(coeff, size, size, direction, pred, 16, dst, stride, max);
  } else if (size == 8) {
    if (coded) {
      kernels_.reconstruct8x8(coeff, pred, 16, dst, stride, max);
    } else {
      kernels_.copyPrediction(pred, 16, dst, stride, 8, 8);
    }
  } else if (coded) {
    kernels_.reconstruct4x4(coeff, pred, 16, dst, stride, max);
  } else if (coeff[0] != 0) {
    kernels_.addDc4x4(coeff[0], pred, 16, dst, stride, max);
  } else {
    kernels_.copyPrediction(pred, 16, dst, stride, 4, 4);
  }
}

// nC of clause 9.2.1 from the left and upper blocks' TotalCoeff.
template <typename T>
int MacroblockDecoder<T>::predictTotalCoeff(int plane, int blockIndex, bool chroma) const {
  int x = kBlockX[blockIndex], y = kBlockY[blockIndex];
  NeighbourBlock a = blockNeighbour(chroma, x - 1, y);
  NeighbourBlock b = blockNeighbour(chroma, x, y - 1);
  int nA = a.mb ? a.mb->totalCoeff[plane][a.blockIndex] : 0;
  int nB = b.mb ? b.mb->totalCoeff[plane][b.blockIndex] : 0;
  if (a.mb && b.mb) return (nA + nB + 1) >> 1;
  return nA + nB;
}

// The above-right samples of a block are usable when their macroblock is
// available and, inside the current macroblock, already decoded.
template <typename T>
bool MacroblockDecoder<T>::topRightAvailable(int x, int y, int size) const {
  NeighbourBlock c = blockNeighbour(false, x + size, y - 1);
  if (!c.mb) return false;
  return c.mb != at_.current || c.blockIndex < blockIndexAt(x, y);
}

template <typename T>
void MacroblockDecoder<T>::predictBlock(int plane, int x, int y, int size, int mode) {
  if (!reconstruct_) return;
  IntraEdges edges;
  bool topRight = size < 16 && topRightAvailable(x, y, size);
  gatherEdges(plane, x, y, size, size, topRight, edges);
  int bitDepth = bitDepth_[plane];
  std::int32_t* pred = pred_ + y * 16 + x;
  bool ok = size == 4   ? predictIntra4x4(mode, edges, bitDepth, pred, 16)
            : size == 8 ? predictIntra8x8(mode, edges, bitDepth, pred, 16)
                        : predictIntra16x16(mode, edges, bitDepth, pred, 16, kernels_.planeRow);
  if (!ok) fail(kSliceError);
}

template <typename T>
void MacroblockDecoder<T>::predictChroma(int plane) {
  if (!reconstruct_) return;
  IntraEdges edges;
  gatherEdges(plane, 0, 0, mbWidthC_, mbHeightC_, false, edges);
  if (!predictIntraChroma(intraChromaPredMode_, edges, mbWidthC_, mbHeightC_, bitDepth_[plane],
                          pred_, 16, kernels_.planeRow)) {
    fail(kSliceError);
  }
}

// The entry point; everything it calls in this file is instantiated with it.
template void MacroblockDecoder<unsigned short>::decodeResidual();

}  // namespace H264
