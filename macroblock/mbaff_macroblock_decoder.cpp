#include "macroblock/mbaff_macroblock_decoder.h"

#include <algorithm>

#include "base/level.h"
#include "macroblock/edge_samples.h"
#include "macroblock/macroblock_layer_residual.h"
#include "macroblock/macroblock_layer_syntax.h"
#include "macroblock/mbaff_neighbours.h"
#include "recon/block_layout.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
MbaffMacroblockDecoder<T>::MbaffMacroblockDecoder(const ActiveParameters& active,
                                                  const SliceHeader& header, StreamParser& parser,
                                                  Picture<T>& picture, DecodeMode mode,
                                                  const Kernels<T>& kernels)
    : Base(active, header, parser, picture, mode, kernels), picSizeInMbs_(active.format.sizeInMbs) {
  this->currMbAddr_ = 2 * header.first_mb_in_slice;
  this->firstMbAddr_ = 2 * header.first_mb_in_slice;
  edges_[1].maxW = static_cast<int>(active.format.mbWidthC);
  edges_[1].maxH = static_cast<int>(active.format.mbHeightC);
  for (int kind = 0; kind < 2; ++kind) {
    for (int c = 0; c < 8; ++c) {
      PairCoding coding{(c & 1) != 0, false, false, false};
      for (int yN = 0; yN < edges_[kind].maxH; ++yN) {
        MbaffNeighbour n = locateMbaffNeighbour((c & 4) != 0, (c & 2) != 0, coding, -1, yN,
                                                edges_[kind].maxW, edges_[kind].maxH);
        leftRows_[kind][c][yN] = {static_cast<std::int8_t>(n.bottom),
                                  static_cast<std::int8_t>(n.yM)};
      }
    }
    for (int c = 0; c < 4; ++c) {
      for (int pairs = 0; pairs < 16; ++pairs) {
        PairCoding coding{(pairs & 1) != 0, (pairs & 2) != 0, (pairs & 4) != 0, (pairs & 8) != 0};
        const int xNs[3] = {-1, 0, edges_[kind].maxW};
        for (int i = 0; i < 3; ++i) {
          aboveRows_[kind][c][pairs][i] = locateMbaffNeighbour(
              (c & 2) != 0, (c & 1) != 0, coding, xNs[i], -1, edges_[kind].maxW, edges_[kind].maxH);
        }
      }
    }
  }
}

template <typename T>
template <typename Reader>
void MbaffMacroblockDecoder<T>::decodeWith(Reader& reader) {
  top_ = (this->currMbAddr_ & 1) == 0;
  if (top_) {
    placePair();
    field_ = reader.mbFieldDecodingFlag(coding_.aField + coding_.bField);
  }
  this->setFieldMacroblock(field_);
  placeMacroblock();
  this->decodeMacroblockLayer(reader);
}

template <typename T>
void MbaffMacroblockDecoder<T>::DecodeMacroblockCavlc() {
  decodeWith(this->cavlc_);
}

template <typename T>
void MbaffMacroblockDecoder<T>::DecodeMacroblockCabac() {
  decodeWith(this->cabac_);
}

template <typename T>
bool MbaffMacroblockDecoder<T>::NextMacroblock() {
  return ++this->currMbAddr_ >= picSizeInMbs_;
}

// One ring entry per pair column of the last pair row: the top record, then
// the bottom one.
template <typename T>
MacroblockRecord* MbaffMacroblockDecoder<T>::recordOf(std::int64_t mbAddr) {
  if (mbAddr < this->firstMbAddr_) return nullptr;
  std::size_t entry = static_cast<std::size_t>(mbAddr >> 1) % (std::size_t{this->widthInMbs_} + 2);
  return &this->ring_[2 * entry + static_cast<std::size_t>(mbAddr & 1)];
}

// The neighbouring pairs A, B, C and D (clause 6.4.10).
template <typename T>
void MbaffMacroblockDecoder<T>::placePair() {
  std::int64_t top = this->currMbAddr_;
  std::int64_t width = this->widthInMbs_;
  std::int64_t x = (top >> 1) % width;
  pairA_.top = x > 0 ? recordOf(top - 2) : nullptr;
  pairB_.top = recordOf(top - 2 * width);
  pairC_.top = x < width - 1 ? recordOf(top - 2 * width + 2) : nullptr;
  pairD_.top = x > 0 ? recordOf(top - 2 * width - 2) : nullptr;
  auto fieldOf = [](const Pair& p) { return p.top && p.field(); };
  coding_ = {fieldOf(pairA_), fieldOf(pairB_), fieldOf(pairC_), fieldOf(pairD_)};
}

// A frame macroblock covers 16 rows of its pair, a field macroblock every
// second row of all 32.
template <typename T>
void MbaffMacroblockDecoder<T>::placeMacroblock() {
  typename Base::State::Placement& at = this->at_;
  at.current = recordOf(this->currMbAddr_);
  std::size_t pair = this->currMbAddr_ >> 1;
  std::size_t px = pair % this->widthInMbs_;
  std::size_t py = pair / this->widthInMbs_;
  pairX_ = px;
  pairY_ = py;
  std::size_t bottom = top_ ? 0 : 1;
  const PictureFormat& f = this->active_.format;
  Picture<T>& picture = this->picture_;
  std::size_t step = field_ ? 2 : 1;
  std::size_t lumaRow = 32 * py + (field_ ? bottom : 16 * bottom);
  at.samples[0] = picture.lumaRows()[lumaRow] + 16 * px;
  at.stride[0] = static_cast<std::ptrdiff_t>(step * picture.lumaWidth());
  std::size_t chromaRow = 2 * f.mbHeightC * py + (field_ ? bottom : f.mbHeightC * bottom);
  for (int c = 0; c < 2; ++c) {
    at.samples[1 + c] = picture.chromaRows(c)[chromaRow] + f.mbWidthC * px;
    at.stride[1 + c] = static_cast<std::ptrdiff_t>(step * picture.chromaWidth());
  }
  placeEdges();
  // The macroblocks whose syntax the CABAC contexts look at (clause 6.4.11.1).
  at.A = locate(0, -1, 0).mb;
  at.B = locate(0, 0, -1).mb;
  at.C = nullptr;
  at.D = nullptr;
}

template <typename T>
void MbaffMacroblockDecoder<T>::placeEdges() {
  const int coding = (field_ ? 4 : 0) + (top_ ? 2 : 0) + (coding_.aField ? 1 : 0);
  const int pairs = (coding_.aField ? 1 : 0) + (coding_.bField ? 2 : 0) + (coding_.cField ? 4 : 0) +
                    (coding_.dField ? 8 : 0);
  for (int kind = 0; kind < 2; ++kind) {
    Edges& e = edges_[kind];
    e.left = leftRows_[kind][coding];
    const MbaffNeighbour* n = aboveRows_[kind][coding >> 1][pairs];
    e.aboveLeft = resolved(n[0]);
    e.above = resolved(n[1]);
    e.aboveRight = resolved(n[2]);
  }
  for (int plane = 0; plane < 3; ++plane) {
    const Edges& e = edges_[plane == 0 ? 0 : 1];
    above_[plane] = {sampleOf(plane, e.aboveLeft, -1), sampleOf(plane, e.above, 0),
                     sampleOf(plane, e.aboveRight, e.maxW)};
  }
}

// Clause 6.4.12.2, Table 6-4: the macroblock holding location (xN, yN)
// relative to the current one, and the row yM inside it.
template <typename T>
typename MbaffMacroblockDecoder<T>::Location MbaffMacroblockDecoder<T>::resolve(int xN, int yN,
                                                                                int maxW,
                                                                                int maxH) const {
  if (xN >= 0 && yN >= 0 && xN < maxW && yN < maxH) return {this->at_.current, yN};
  return resolved(locateMbaffNeighbour(field_, top_, coding_, xN, yN, maxW, maxH));
}

template <typename T>
typename MbaffMacroblockDecoder<T>::Location MbaffMacroblockDecoder<T>::resolved(
    const MbaffNeighbour& n) const {
  const MacroblockRecord* pairTop = nullptr;
  int dx = 0, dy = 0;
  switch (n.pair) {
    case NeighbourPair::kNone:
      return {nullptr, 0};
    case NeighbourPair::kCurrent:
      pairTop = top_ ? this->at_.current : this->at_.current - 1;
      break;
    case NeighbourPair::kA:
      pairTop = pairA_.top;
      dx = -1;
      break;
    case NeighbourPair::kB:
      pairTop = pairB_.top;
      dy = -1;
      break;
    case NeighbourPair::kC:
      pairTop = pairC_.top;
      dx = 1;
      dy = -1;
      break;
    case NeighbourPair::kD:
      pairTop = pairD_.top;
      dx = -1;
      dy = -1;
      break;
  }
  if (!pairTop) return {nullptr, 0};
  return {pairTop + n.bottom, n.yM, dx, dy};
}

// The same from the locations resolved for the current macroblock.
template <typename T>
typename MbaffMacroblockDecoder<T>::Location MbaffMacroblockDecoder<T>::locate(int kind, int xN,
                                                                               int yN) const {
  const Edges& e = edges_[kind];
  if (yN >= 0) {
    if (yN >= e.maxH || xN >= e.maxW) return {nullptr, 0};
    if (xN >= 0) return {this->at_.current, yN};
    if (!pairA_.top) return {nullptr, 0};
    LeftRow row = e.left[yN];
    return {pairA_.top + row.bottom, row.yM, -1, 0};
  }
  if (yN < -1) return resolve(xN, yN, e.maxW, e.maxH);
  return xN < 0 ? e.aboveLeft : xN < e.maxW ? e.above : e.aboveRight;
}

namespace {

// A coordinate of a neighbouring location inside its macroblock of `size`
// samples: the location lies at most one block outside the current one.
inline int wrapInto(int n, int size) { return n < 0 ? n + size : n >= size ? n - size : n; }

}  // namespace

template <typename T>
ISTREL_FORCE_INLINE NeighbourBlock MbaffMacroblockDecoder<T>::neighbourBlock(int kind, int xN,
                                                                             int yN) const {
  const Edges& e = edges_[kind];
  Location l = locate(kind, xN, yN);
  if (!l.mb) return {nullptr, -1};
  return {l.mb, blockIndexAt(wrapInto(xN, e.maxW), wrapInto(l.yM, e.maxH))};
}

template <typename T>
ISTREL_FORCE_INLINE NeighbourBlock MbaffMacroblockDecoder<T>::lumaNeighbour(int xN, int yN) const {
  return neighbourBlock(0, xN, yN);
}

template <typename T>
ISTREL_FORCE_INLINE NeighbourBlock MbaffMacroblockDecoder<T>::chromaNeighbour(int xN,
                                                                              int yN) const {
  return neighbourBlock(1, xN, yN);
}

// The sample of location l at column xN relative to the current macroblock.
template <typename T>
const T* MbaffMacroblockDecoder<T>::sampleOf(int plane, const Location& l, int xN) const {
  const int kind = plane == 0 ? 0 : 1;
  int maxW = edges_[kind].maxW, maxH = edges_[kind].maxH;
  if (!l.mb) return nullptr;
  std::size_t bottom = l.mb->mbAddr & 1;
  std::size_t x = maxW * (pairX_ + l.pairDx) + static_cast<std::size_t>(wrapInto(xN, maxW));
  std::size_t yW = static_cast<std::size_t>(wrapInto(l.yM, maxH));
  std::size_t y0 = 2 * maxH * (pairY_ + l.pairDy);
  std::size_t y = l.mb->fieldFlag ? y0 + 2 * yW + bottom : y0 + maxH * bottom + yW;
  const Picture<T>& picture = this->picture_;
  T* const* rows = plane == 0 ? picture.lumaRows() : picture.chromaRows(plane - 1);
  return rows[y] + x;
}

template <typename T>
void MbaffMacroblockDecoder<T>::gatherEdges(int plane, int x, int y, int width, int height,
                                            bool topRightUsable, IntraEdges& e) const {
  // A block's upper and upper-right rows each lie in one macroblock row;
  // inside the macroblock it is the block's own, at its top the row above.
  const bool inside = x + width < edges_[plane == 0 ? 0 : 1].maxW;
  const T* top;
  const T* topRight;
  const T* topLeft;
  if (y > 0) {
    top = this->blockAt(plane, x, y - 1);
    topRight = inside ? top + width : nullptr;
    // (-1, y - 1) lies left of the macroblock: beside it (see below).
    topLeft = x > 0 || pairA_.top ? top - 1 : nullptr;
  } else {
    const AboveSamples& above = above_[plane];
    top = above.row ? above.row + x : nullptr;
    topRight = inside ? (top ? top + width : nullptr) : above.right;
    topLeft = x > 0 ? (top ? top - 1 : nullptr) : above.left;
  }
  if (!top || !topRightUsable) topRight = nullptr;
  e.hasTop = top != nullptr;
  e.hasTopRight = topRight != nullptr;
  e.hasTopLeft = topLeft != nullptr;
  // Left of the macroblock, Table 6-4 always names pair A.
  e.hasLeft = x > 0 || pairA_.top != nullptr;
  // Table 6-4 puts every location left of the macroblock (0 <= yN < maxH)
  // beside it in the picture, whatever the two pairs' coding: the left
  // column is the one next to the macroblock's own rows.
  edges::copy(width, height, top, topRight, topLeft, this->blockAt(plane, x - 1, y),
              this->at_.stride[plane], e);
}

template class MbaffMacroblockDecoder<unsigned short>;

ISTREL_LEVEL_END
}  // namespace H264
