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

template class MacroblockDecoder<unsigned short>;

ISTREL_LEVEL_END
}  // namespace H264
