#include "macroblock/macroblock_decoder.h"

#include <algorithm>

#include "base/errors.h"
#include "base/level.h"
#include "macroblock/macroblock_tables.h"
#include "recon/chroma_qp.h"
#include "recon/inverse_transform.h"
#include "syntax/scaling_lists.h"
#include "syntax/stream_parser.h"
#include "syntax/tables.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

std::uint32_t bitDepthOf(const SeqParameterSet& sps, int plane) {
  return plane ? sps.BitDepthC : sps.BitDepthY;
}

}  // namespace

template <typename T>
MacroblockDecoder<T>::MacroblockDecoder(const ActiveParameters& active, const SliceHeader& header,
                                        StreamParser& parser, Picture<T>& picture, DecodeMode mode,
                                        const Kernels<T>& kernels)
    : active_(active),
      header_(header),
      picture_(picture),
      widthInMbs_(active.format.widthInMbs),
      cavlc_(parser, static_cast<int>(active.sps->ChromaArrayType()),
             static_cast<int>(active.format.mbHeightC)),
      cabac_(parser, static_cast<int>(active.sps->ChromaArrayType())),
      mode_(mode),
      bitDepth_{static_cast<int>(bitDepthOf(*active.sps, 0)),
                static_cast<int>(bitDepthOf(*active.sps, 1)),
                static_cast<int>(bitDepthOf(*active.sps, 2))},
      blocks_(kernels, bitDepth_),
      qpY_(header.SliceQPY) {
  qpBdOffsetY_ = 6 * (bitDepth_[0] - 8);
  qpBdOffsetC_ = 6 * (bitDepth_[1] - 8);
  chromaArrayType_ = static_cast<int>(active.sps->ChromaArrayType());
  mbWidthC_ = static_cast<int>(active.format.mbWidthC);
  mbHeightC_ = static_cast<int>(active.format.mbHeightC);
  transformBypassAllowed_ = active.sps->qpprime_y_zero_transform_bypass_flag != 0;
  setFieldMacroblock(header.field_pic_flag != 0);
  setupScaling();
  ring_.resize(2 * std::size_t{widthInMbs_} + 4);
}

// LevelScale for each plane: flat tables unless a matrix is present (clause 8.5.9).
template <typename T>
void MacroblockDecoder<T>::setupScaling() {
  WeightLists lists = selectWeightLists(*active_.sps, *active_.pps);
  for (int p = 0; p < 3; ++p) {
    if (lists.flat) {
      levelScale4x4_[p] = kFlatLevelScale4x4;
      levelScale8x8_[p] = kFlatLevelScale8x8;
      continue;
    }
    buildLevelScale4x4(lists.list4x4[p], levelScale4x4Storage_[p]);
    buildLevelScale8x8(lists.list8x8[2 * p], levelScale8x8Storage_[p]);
    levelScale4x4_[p] = levelScale4x4Storage_[p];
    levelScale8x8_[p] = levelScale8x8Storage_[p];
  }
}

template <typename T>
template <typename Reader>
void MacroblockDecoder<T>::decodeMacroblockLayer(Reader& reader) {
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

template <typename T>
void MacroblockDecoder<T>::countMacroblock() {
  SliceStatistics& s = statistics_;
  if (mb_type_ == kMbIPcm) {
    ++s.pcm;
  } else if (mb_type_ != kMbINxN) {
    ++s.intra16x16;
  } else {
    ++(transform_size_8x8_flag_ ? s.intra8x8 : s.intra4x4);
  }
  s.fieldMacroblocks += fieldMacroblock_;
  s.qpMin = std::min(s.qpMin, qpY_);
  s.qpMax = std::max(s.qpMax, qpY_);
}

// Field macroblocks read their coefficients in the field scans and, in
// CABAC, with the field-coded significance contexts.
template <typename T>
void MacroblockDecoder<T>::setFieldMacroblock(bool field) {
  fieldMacroblock_ = field;
  scan4x4_ = field ? kFieldScan4x4 : kZigzagScan4x4;
  scan8x8_ = field ? kFieldScan8x8 : kZigzagScan8x8;
}

template <typename T>
template <typename Reader>
void MacroblockDecoder<T>::readIntraPredModes(Reader& reader) {
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
template <typename T>
template <typename Reader>
void MacroblockDecoder<T>::readIntraNxNModes(Reader& reader, bool eightByEight) {
  MacroblockRecord& mb = *at_.current;
  mb.intraKind = eightByEight ? kIntra8x8 : kIntra4x4;
  const int blocks = eightByEight ? 4 : 16;
  for (int k = 0; k < blocks; ++k) {
    const bool prevFlag = reader.prevIntraPredModeFlag();
    const int rem = prevFlag ? 0 : reader.remIntraPredMode();
    const int x = eightByEight ? 8 * (k % 2) : kBlockX[k];
    const int y = eightByEight ? 8 * (k / 2) : kBlockY[k];
    const NeighbourBlock a = blockNeighbour(false, x - 1, y);
    const NeighbourBlock b = blockNeighbour(false, x, y - 1);
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

// The mode a neighbouring block offers to the derivation; an Intra_4x4
// neighbour of an 8x8 block offers its block 1 (left) or 2 (above) of the
// 8x8 quadrant.
template <typename T>
int MacroblockDecoder<T>::neighbourPredMode(NeighbourBlock n, bool eightByEight,
                                            int offset4x4) const {
  const MacroblockRecord& mb = *n.mb;
  if (mb.mbType != kMbINxN) return 2;
  if (mb.intraKind == kIntra8x8) return mb.intra8x8PredMode[n.blockIndex / 4];
  if (!eightByEight) return mb.intra4x4PredMode[n.blockIndex];
  return mb.intra4x4PredMode[4 * (n.blockIndex / 4) + offset4x4];
}

// QPY and the chroma QPs (clauses 7.4.5 and 8.5.8).
template <typename T>
void MacroblockDecoder<T>::updateQp(std::int32_t mb_qp_delta) {
  if (mb_qp_delta < -(26 + qpBdOffsetY_ / 2) || mb_qp_delta > 25 + qpBdOffsetY_ / 2) {
    fail(kSliceError);
  }
  const int range = 52 + qpBdOffsetY_;
  qpY_ = ((qpY_ + mb_qp_delta + 52 + 2 * qpBdOffsetY_) % range) - qpBdOffsetY_;
  qp_[0] = qpY_ + qpBdOffsetY_;
  const PicParameterSet& pps = *active_.pps;
  const std::int32_t offsets[2] = {pps.chroma_qp_index_offset, pps.second_chroma_qp_index_offset};
  for (int c = 0; c < 2; ++c) qp_[1 + c] = chromaQp(qpY_, offsets[c], qpBdOffsetC_) + qpBdOffsetC_;
  blocks_.setBypass(transformBypassAllowed_ && qp_[0] == 0);
}

// I_PCM (clauses 7.3.5, 8.3.5): raw samples after byte alignment.
template <typename T>
template <typename Reader>
void MacroblockDecoder<T>::decodePcm(Reader& reader) {
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
template <typename T>
bool MacroblockDecoder<T>::topRightAvailable(int x, int y, int size) const {
  const NeighbourBlock c = blockNeighbour(false, x + size, y - 1);
  if (!c.mb) return false;
  return c.mb != at_.current || c.blockIndex < blockIndexAt(x, y);
}

template <typename T>
void MacroblockDecoder<T>::predictBlock(int plane, int x, int y, int size, int mode) {
  if (!blocks_.enabled()) return;
  IntraEdges edges;
  const bool topRight = size < 16 && topRightAvailable(x, y, size);
  gatherEdges(plane, x, y, size, size, topRight, edges);
  blocks_.predictLuma(plane, x, y, size, mode, edges);
}

template <typename T>
void MacroblockDecoder<T>::predictChroma(int plane) {
  if (!blocks_.enabled()) return;
  IntraEdges edges;
  gatherEdges(plane, 0, 0, mbWidthC_, mbHeightC_, false, edges);
  blocks_.predictChroma(plane, intraChromaPredMode_, mbWidthC_, mbHeightC_, edges);
}

template class MacroblockDecoder<unsigned short>;
template void MacroblockDecoder<unsigned short>::decodeMacroblockLayer(CavlcMacroblockReader&);
template void MacroblockDecoder<unsigned short>::decodeMacroblockLayer(CabacMacroblockReader&);

ISTREL_LEVEL_END
}  // namespace H264
