// The bodies of MacroblockLayer's parsing of the macroblock layer (clause
// 7.3.5), the intra prediction modes (clauses 8.3.1.1 and 8.3.2.1), I_PCM
// and block prediction; included by each concrete decoder's source file.
#pragma once

#include <algorithm>

#include "base/errors.h"
#include "base/level.h"
#include "macroblock/macroblock_layer.h"
#include "macroblock/macroblock_tables.h"
#include "syntax/stream_parser.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodeMacroblockLayer(Reader& reader) {
  MacroblockRecord& mb = *at_.current;
  mb_type_ = reader.mbType(at_.A, at_.B);
  mb.mbType = mb_type_;
  mb.mbAddr = currMbAddr_;
  mb.mbQpDelta = 0;
  mb.fieldFlag = fieldMacroblock_;
  if (mb_type_ == kMbIPcm) {
    decodePcm(reader);
  } else {
    transform_size_8x8_flag_ = mb_type_ == kMbINxN && active_.pps->transform_8x8_mode_flag &&
                               reader.transformSize8x8Flag(at_.A, at_.B);
    mb.transform8x8 = transform_size_8x8_flag_;
    resolveNeighbours();
    readIntraPredModes(reader);
    if (mb_type_ == kMbINxN) {
      const int pattern = reader.codedBlockPattern(
          mb, at_.A, at_.B, [this](int xN, int yN) { return blockNeighbour(false, xN, yN); });
      cbpLuma_ = pattern % 16;
      cbpChroma_ = pattern / 16;
    } else {
      intra16x16PredMode_ = static_cast<int>((mb_type_ - 1) % 4);
      cbpChroma_ = static_cast<int>(((mb_type_ - 1) / 4) % 3);
      cbpLuma_ = mb_type_ >= 13 ? 15 : 0;
    }
    mb.cbpLuma = static_cast<std::uint8_t>(cbpLuma_);
    mb.cbpChroma = static_cast<std::uint8_t>(cbpChroma_);
    const bool hasQpDelta = cbpLuma_ || cbpChroma_ || mb_type_ != kMbINxN;
    mb.mbQpDelta = hasQpDelta ? reader.mbQpDelta(previous_, 26 + qpBdOffsetY_ / 2) : 0;
    updateQp(mb.mbQpDelta);
    decodeResidual(reader);
  }
  previous_ = &mb;
  countMacroblock();
  if (filterRecorder_.records) {
    const bool pcm = mb_type_ == kMbIPcm;
    recordForFilter(filterRecorder_, currMbAddr_, pcm ? -qpBdOffsetY_ : qpY_,
                    !pcm && transform_size_8x8_flag_, fieldMacroblock_);
  }
}

template <typename T, typename Derived>
void MacroblockLayer<T, Derived>::resolveNeighbours() {
  neighbours_.resolve(NeighbourContext::kLuma, 4, 4,
                      [this](int xN, int yN) { return derived().lumaNeighbour(xN, yN); });
  if (chromaArrayType_ == 1 || chromaArrayType_ == 2) {
    neighbours_.resolve(NeighbourContext::kChroma, mbHeightC_ / 4, mbWidthC_ / 4,
                        [this](int xN, int yN) { return derived().chromaNeighbour(xN, yN); });
  }
}

template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::readIntraPredModes(Reader& reader) {
  MacroblockRecord& mb = *at_.current;
  if (mb_type_ == kMbINxN) {
    readIntraNxNModes(reader, transform_size_8x8_flag_);
  } else {
    mb.intraKind = kIntraOther;
  }
  intraChromaPredMode_ = 0;
  if (chromaArrayType_ == 1 || chromaArrayType_ == 2) {
    intraChromaPredMode_ = reader.intraChromaPredMode(at_.A, at_.B);
  }
  mb.intraChromaPredMode = static_cast<std::uint8_t>(intraChromaPredMode_);
}

// prev_intraNxN_pred_mode_flag / rem_intraNxN_pred_mode per block, each
// derived at once so the next block sees it (clauses 8.3.1.1, 8.3.2.1).
template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::readIntraNxNModes(Reader& reader, bool eightByEight) {
  MacroblockRecord& mb = *at_.current;
  mb.intraKind = eightByEight ? kIntra8x8 : kIntra4x4;
  const int blocks = eightByEight ? 4 : 16;
  for (int k = 0; k < blocks; ++k) {
    const bool prevFlag = reader.prevIntraPredModeFlag();
    const int rem = prevFlag ? 0 : reader.remIntraPredMode();
    const int x = eightByEight ? 8 * (k % 2) : kBlockX[k];
    const int y = eightByEight ? 8 * (k / 2) : kBlockY[k];
    const auto [a, b] = neighboursOf(false, blockIndexAt(x, y));
    // In the standard an Intra_4x4 field neighbour of the third 8x8 block of
    // a frame macroblock offers its block 3 (clause 8.3.2.1).
    const bool thirdOfField = mode_ == DecodeMode::kConformant && eightByEight && k == 2 && a.mb &&
                              !fieldMacroblock_ && a.mb->fieldFlag;
    const int modeA = a.mb ? neighbourPredMode(a, eightByEight, thirdOfField ? 3 : 1) : -1;
    const int modeB = b.mb ? neighbourPredMode(b, eightByEight, 2) : -1;
    const int mode = deriveIntraPredMode(modeA, modeB, prevFlag, rem);
    (eightByEight ? mb.intra8x8PredMode : mb.intra4x4PredMode)[k] = static_cast<std::uint8_t>(mode);
  }
}

// I_PCM (clauses 7.3.5, 8.3.5): raw samples after byte alignment.
template <typename T, typename Derived>
template <typename Reader>
void MacroblockLayer<T, Derived>::decodePcm(Reader& reader) {
  MacroblockRecord& mb = *at_.current;
  StreamParser& parser = reader.beginPcm();
  const int planes = chromaArrayType_ == 0 ? 1 : 3;
  for (int p = 0; p < planes; ++p) {
    const int width = p == 0 ? 16 : mbWidthC_;
    const int height = p == 0 ? 16 : mbHeightC_;
    const auto bits = static_cast<unsigned>(bitDepth_[p]);
    for (int y = 0; y < height; ++y) {
      T* row = at_.samples[p] + y * at_.stride[p];
      for (int x = 0; x < width; ++x) row[x] = static_cast<T>(parser.readBits(bits));
    }
  }
  reader.endPcm();
  mb.intraKind = kIntraOther;
  mb.transform8x8 = 0;
  mb.cbpLuma = 15;
  mb.cbpChroma = 2;
  mb.intraChromaPredMode = 0;
  std::fill(&mb.totalCoeff[0][0], &mb.totalCoeff[0][0] + 3 * 16, std::uint8_t{16});
  // QPY is unchanged; QP'Y 0 would select lossless only for coded macroblocks.
}

// The above-right samples of a block are usable when their macroblock is
// available and, inside the current macroblock, already decoded.
template <typename T, typename Derived>
bool MacroblockLayer<T, Derived>::topRightAvailable(int x, int y, int size) const {
  const NeighbourBlock c = blockNeighbour(false, x + size, y - 1);
  if (!c.mb) return false;
  return c.mb != at_.current || c.blockIndex < blockIndexAt(x, y);
}

template <typename T, typename Derived>
void MacroblockLayer<T, Derived>::predictBlock(int plane, int x, int y, int size, int mode) {
  if (!blocks_.enabled()) return;
  IntraEdges edges;
  const bool topRight = size < 16 && topRightAvailable(x, y, size);
  derived().gatherEdges(plane, x, y, size, size, topRight, edges);
  blocks_.predictLuma(plane, x, y, size, mode, edges);
}

template <typename T, typename Derived>
void MacroblockLayer<T, Derived>::predictChroma(int plane) {
  if (!blocks_.enabled()) return;
  IntraEdges edges;
  derived().gatherEdges(plane, 0, 0, mbWidthC_, mbHeightC_, false, edges);
  blocks_.predictChroma(plane, intraChromaPredMode_, mbWidthC_, mbHeightC_, edges);
}

ISTREL_LEVEL_END
}  // namespace H264
