#include "macroblock/macroblock_decoder.h"

#include <algorithm>

#include "base/errors.h"
#include "macroblock/macroblock_tables.h"
#include "recon/inverse_transform.h"
#include "syntax/scaling_lists.h"
#include "syntax/stream_parser.h"
#include "syntax/tables.h"

namespace H264 {

template <typename T>
MacroblockDecoder<T>::MacroblockDecoder(const ActiveParameters& active, const SliceHeader& header,
                                        StreamParser& parser, Picture<T>& picture, DecodeMode mode,
                                        const Kernels<T>& kernels)
    : active_(active),
      header_(header),
      parser_(parser),
      picture_(picture),
      widthInMbs_(active.format.widthInMbs),
      mode_(mode),
      kernels_(kernels),
      qpY_(header.SliceQPY) {
  const SeqParameterSet& sps = *active.sps;
  bitDepth_[0] = static_cast<int>(sps.BitDepthY);
  bitDepth_[1] = bitDepth_[2] = static_cast<int>(sps.BitDepthC);
  for (int p = 0; p < 3; ++p) maxValue_[p] = (1 << bitDepth_[p]) - 1;
  qpBdOffsetY_ = 6 * (bitDepth_[0] - 8);
  qpBdOffsetC_ = 6 * (bitDepth_[1] - 8);
  chromaArrayType_ = static_cast<int>(sps.ChromaArrayType());
  mbWidthC_ = static_cast<int>(active.format.mbWidthC);
  mbHeightC_ = static_cast<int>(active.format.mbHeightC);
  transformBypassAllowed_ = sps.qpprime_y_zero_transform_bypass_flag != 0;
  entropyCabac_ = active.pps->entropy_coding_mode_flag != 0;
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
void MacroblockDecoder<T>::startCabac() {
  parser_.alignToByte();  // cabac_alignment_one_bit, not checked
  cabac_.start(parser_.data(), parser_.sizeBytes(), parser_.bitOffset() / 8, header_.SliceQPY);
}

template <typename T>
void MacroblockDecoder<T>::decodeMacroblockLayer() {
  MacroblockRecord& mb = *at_.current;
  mb_type_ = readMbType();
  mb.mbType = mb_type_;
  mb.mbAddr = currMbAddr_;
  mb.mbQpDelta = 0;
  mb.fieldFlag = fieldMacroblock_;
  if (mb_type_ == kMbIPcm) {
    decodePcm();
  } else {
    transform_size_8x8_flag_ =
        mb_type_ == kMbINxN && active_.pps->transform_8x8_mode_flag && readTransformSize8x8Flag();
    mb.transform8x8 = transform_size_8x8_flag_;
    readIntraPredModes();
    if (mb_type_ == kMbINxN) {
      readCodedBlockPattern();
    } else {
      intra16x16PredMode_ = static_cast<int>((mb_type_ - 1) % 4);
      cbpChroma_ = static_cast<int>(((mb_type_ - 1) / 4) % 3);
      cbpLuma_ = mb_type_ >= 13 ? 15 : 0;
    }
    mb.cbpLuma = static_cast<std::uint8_t>(cbpLuma_);
    mb.cbpChroma = static_cast<std::uint8_t>(cbpChroma_);
    bool hasQpDelta = cbpLuma_ || cbpChroma_ || mb_type_ != kMbINxN;
    mb.mbQpDelta = hasQpDelta ? readMbQpDelta() : 0;
    updateQp(mb.mbQpDelta);
    decodeResidual();
  }
  previous_ = &mb;
  countMacroblock();
  if (filterRecorder_.records) {
    recordForFilter(filterRecorder_, currMbAddr_, qpY_, mb_type_ == kMbIPcm, bypass_,
                    transform_size_8x8_flag_, fieldMacroblock_);
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

// 1 when neighbour n exists and `term` holds for it (condTermFlagN).
template <typename T>
int MacroblockDecoder<T>::neighbourCondition(const MacroblockRecord* n,
                                             bool (*term)(const MacroblockRecord&)) const {
  return n && term(*n) ? 1 : 0;
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
bool MacroblockDecoder<T>::readMbFieldDecodingFlag(int ctxInc) {
  return entropyCabac_ ? cabac_.mbFieldDecodingFlag(ctxInc) : parser_.readFlag();
}

template <typename T>
std::uint32_t MacroblockDecoder<T>::readMbType() {
  if (!entropyCabac_) {
    std::uint32_t type = parser_.readUe();
    if (type > kMbIPcm) fail(kSliceError);
    return type;
  }
  auto notNxN = [](const MacroblockRecord& n) { return n.mbType != kMbINxN; };
  int inc = neighbourCondition(at_.A, notNxN) + neighbourCondition(at_.B, notNxN);
  return static_cast<std::uint32_t>(cabac_.mbTypeI(inc));
}

template <typename T>
bool MacroblockDecoder<T>::readTransformSize8x8Flag() {
  if (!entropyCabac_) return parser_.readFlag();
  auto eightByEight = [](const MacroblockRecord& n) { return n.transform8x8 != 0; };
  int inc = neighbourCondition(at_.A, eightByEight) + neighbourCondition(at_.B, eightByEight);
  return cabac_.transformSize8x8Flag(inc);
}

template <typename T>
void MacroblockDecoder<T>::readIntraPredModes() {
  MacroblockRecord& mb = *at_.current;
  if (mb_type_ == kMbINxN) {
    readIntraNxNModes(transform_size_8x8_flag_);
  } else {
    mb.intraKind = kIntraOther;
  }
  intraChromaPredMode_ = 0;
  if (chromaArrayType_ == 1 || chromaArrayType_ == 2) {
    intraChromaPredMode_ = readIntraChromaPredMode();
  }
  mb.intraChromaPredMode = static_cast<std::uint8_t>(intraChromaPredMode_);
}

template <typename T>
int MacroblockDecoder<T>::readIntraChromaPredMode() {
  if (!entropyCabac_) {
    std::uint32_t mode = parser_.readUe();
    if (mode > 3) fail(kSliceError);
    return static_cast<int>(mode);
  }
  auto predicts = [](const MacroblockRecord& n) {
    return n.mbType != kMbIPcm && n.intraChromaPredMode != 0;
  };
  return cabac_.intraChromaPredMode(neighbourCondition(at_.A, predicts) +
                                    neighbourCondition(at_.B, predicts));
}

// prev_intraNxN_pred_mode_flag / rem_intraNxN_pred_mode per block, each
// derived at once so the next block sees it (clauses 8.3.1.1, 8.3.2.1).
template <typename T>
void MacroblockDecoder<T>::readIntraNxNModes(bool eightByEight) {
  MacroblockRecord& mb = *at_.current;
  mb.intraKind = eightByEight ? kIntra8x8 : kIntra4x4;
  int blocks = eightByEight ? 4 : 16;
  for (int k = 0; k < blocks; ++k) {
    bool prevFlag = entropyCabac_ ? cabac_.prevIntraPredModeFlag() : parser_.readFlag();
    int rem = 0;
    if (!prevFlag) {
      rem = entropyCabac_ ? cabac_.remIntraPredMode() : static_cast<int>(parser_.readBits(3));
    }
    int x = eightByEight ? 8 * (k % 2) : kBlockX[k];
    int y = eightByEight ? 8 * (k / 2) : kBlockY[k];
    NeighbourBlock a = blockNeighbour(false, x - 1, y);
    NeighbourBlock b = blockNeighbour(false, x, y - 1);
    // In the standard an Intra_4x4 field neighbour of the third 8x8 block of
    // a frame macroblock offers its block 3 (clause 8.3.2.1).
    bool thirdOfField = mode_ == DecodeMode::kConformant && eightByEight && k == 2 && a.mb &&
                        !fieldMacroblock_ && a.mb->fieldFlag;
    int modeA = a.mb ? neighbourPredMode(a, eightByEight, thirdOfField ? 3 : 1) : -1;
    int modeB = b.mb ? neighbourPredMode(b, eightByEight, 2) : -1;
    int mode = deriveIntraPredMode(modeA, modeB, prevFlag, rem);
    if (eightByEight) {
      mb.intra8x8PredMode[k] = static_cast<std::uint8_t>(mode);
    } else {
      mb.intra4x4PredMode[k] = static_cast<std::uint8_t>(mode);
    }
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

template <typename T>
void MacroblockDecoder<T>::readCodedBlockPattern() {
  int pattern;
  if (entropyCabac_) {
    pattern = readCodedBlockPatternCabac();
  } else {
    std::uint32_t codeNum = parser_.readUe();
    bool withChroma = chromaArrayType_ == 1 || chromaArrayType_ == 2;
    if (codeNum >= (withChroma ? 48u : 16u)) fail(kSliceError);
    pattern =
        withChroma ? kCodedBlockPatternIntra[codeNum] : kCodedBlockPatternIntraNoChroma[codeNum];
  }
  cbpLuma_ = pattern % 16;
  cbpChroma_ = pattern / 16;
}

// coded_block_pattern, clause 9.3.3.1.1.4: a prefix bin per 8x8 luma block,
// whose context looks at the neighbouring 8x8 blocks' bits, then up to two
// chroma bins.
template <typename T>
int MacroblockDecoder<T>::readCodedBlockPatternCabac() {
  int luma = 0;
  for (int b8 = 0; b8 < 4; ++b8) {
    int x = 8 * (b8 % 2), y = 8 * (b8 / 2);
    auto uncoded = [&](NeighbourBlock n) {
      if (!n.mb || n.mb->mbType == kMbIPcm) return 0;
      int bits = n.mb == at_.current ? luma : n.mb->cbpLuma;
      return (bits >> (n.blockIndex >> 2)) & 1 ? 0 : 1;
    };
    int inc =
        uncoded(blockNeighbour(false, x - 1, y)) + 2 * uncoded(blockNeighbour(false, x, y - 1));
    luma |= cabac_.codedBlockPatternLumaBin(inc) << b8;
  }
  if (chromaArrayType_ != 1 && chromaArrayType_ != 2) return luma;
  auto anyChroma = [](const MacroblockRecord& n) {
    return n.mbType == kMbIPcm || n.cbpChroma != 0;
  };
  auto acChroma = [](const MacroblockRecord& n) { return n.mbType == kMbIPcm || n.cbpChroma == 2; };
  int chroma = 0;
  if (cabac_.codedBlockPatternChromaBin(
          0, neighbourCondition(at_.A, anyChroma) + 2 * neighbourCondition(at_.B, anyChroma))) {
    chroma = 1 + cabac_.codedBlockPatternChromaBin(1, neighbourCondition(at_.A, acChroma) +
                                                          2 * neighbourCondition(at_.B, acChroma));
  }
  return luma + 16 * chroma;
}

template <typename T>
std::int32_t MacroblockDecoder<T>::readMbQpDelta() {
  int maxMagnitude = 26 + qpBdOffsetY_ / 2;
  if (!entropyCabac_) return parser_.readSe();
  const MacroblockRecord* p = previous_;
  int inc = p && p->mbType != kMbIPcm && (p->mbType != kMbINxN || p->cbpLuma || p->cbpChroma) &&
                    p->mbQpDelta != 0
                ? 1
                : 0;
  return cabac_.mbQpDelta(inc, maxMagnitude);
}

// QPY and the chroma QPs (clauses 7.4.5 and 8.5.8).
template <typename T>
void MacroblockDecoder<T>::updateQp(std::int32_t mb_qp_delta) {
  if (mb_qp_delta < -(26 + qpBdOffsetY_ / 2) || mb_qp_delta > 25 + qpBdOffsetY_ / 2) {
    fail(kSliceError);
  }
  int range = 52 + qpBdOffsetY_;
  qpY_ = ((qpY_ + mb_qp_delta + 52 + 2 * qpBdOffsetY_) % range) - qpBdOffsetY_;
  qp_[0] = qpY_ + qpBdOffsetY_;
  const PicParameterSet& pps = *active_.pps;
  const std::int32_t offsets[2] = {pps.chroma_qp_index_offset, pps.second_chroma_qp_index_offset};
  for (int c = 0; c < 2; ++c) {
    int qpi = std::clamp(qpY_ + offsets[c], -qpBdOffsetC_, 51);
    int qpc = qpi < 0 ? qpi : kChromaQp[qpi];
    qp_[1 + c] = qpc + qpBdOffsetC_;
  }
  bypass_ = transformBypassAllowed_ && qp_[0] == 0;
}

// I_PCM (clause 7.3.5, 8.3.5): raw samples after byte alignment.
template <typename T>
void MacroblockDecoder<T>::decodePcm() {
  MacroblockRecord& mb = *at_.current;
  if (entropyCabac_) parser_.seek(cabac_.pcmBitPosition());
  parser_.alignToByte();
  int planes = chromaArrayType_ == 0 ? 1 : 3;
  for (int p = 0; p < planes; ++p) {
    int width = p == 0 ? 16 : mbWidthC_;
    int height = p == 0 ? 16 : mbHeightC_;
    unsigned bits = static_cast<unsigned>(bitDepth_[p]);
    for (int y = 0; y < height; ++y) {
      T* row = at_.samples[p] + y * at_.stride[p];
      for (int x = 0; x < width; ++x) row[x] = static_cast<T>(parser_.readBits(bits));
    }
  }
  mb.intraKind = kIntraOther;
  mb.transform8x8 = 0;
  mb.cbpLuma = 15;
  mb.cbpChroma = 2;
  mb.intraChromaPredMode = 0;
  std::fill(&mb.totalCoeff[0][0], &mb.totalCoeff[0][0] + 3 * 16, std::uint8_t{16});
  if (entropyCabac_) cabac_.restart(parser_.bitOffset() / 8);
  // QPY is unchanged; QP'Y 0 would select lossless only for coded macroblocks.
}

template class MacroblockDecoder<unsigned short>;

}  // namespace H264
