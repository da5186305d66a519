#include "macroblock/non_mbaff_macroblock_decoder.h"

#include "base/compiler.h"
#include "base/level.h"
#include "macroblock/edge_samples.h"
#include "macroblock/macroblock_layer_residual.h"
#include "macroblock/macroblock_layer_syntax.h"
#include "recon/block_layout.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
NonMbaffMacroblockDecoder<T>::NonMbaffMacroblockDecoder(const ActiveParameters& active,
                                                        const SliceHeader& header,
                                                        StreamParser& parser, Picture<T>& picture,
                                                        DecodeMode mode, const Kernels<T>& kernels)
    : Base(active, header, parser, picture, mode, kernels),
      picSizeInMbs_(active.format.sizeInMbs >> header.field_pic_flag) {
  this->currMbAddr_ = header.first_mb_in_slice;
  this->firstMbAddr_ = header.first_mb_in_slice;
}

template <typename T>
void NonMbaffMacroblockDecoder<T>::DecodeMacroblockCavlc() {
  placeMacroblock();
  this->decodeMacroblockLayer(this->cavlc_);
}

template <typename T>
void NonMbaffMacroblockDecoder<T>::DecodeMacroblockCabac() {
  placeMacroblock();
  this->decodeMacroblockLayer(this->cabac_);
}

template <typename T>
bool NonMbaffMacroblockDecoder<T>::NextMacroblock() {
  return ++this->currMbAddr_ >= picSizeInMbs_;
}

// The ring holds one macroblock row and two more records: enough for the
// current macroblock and its neighbours A, B, C and D.
template <typename T>
MacroblockRecord* NonMbaffMacroblockDecoder<T>::recordOf(std::int64_t mbAddr) {
  if (mbAddr < this->firstMbAddr_) return nullptr;
  std::size_t ringSize = std::size_t{this->widthInMbs_} + 2;
  return &this->ring_[static_cast<std::size_t>(mbAddr) % ringSize];
}

// Availability (clause 6.4.9 for a slice of consecutive macroblocks) and the
// sample positions; a field picture's rows lie on its own parity of the frame.
template <typename T>
void NonMbaffMacroblockDecoder<T>::placeMacroblock() {
  std::int64_t addr = this->currMbAddr_;
  std::int64_t width = this->widthInMbs_;
  std::int64_t x = addr % width;
  typename Base::State::Placement& at = this->at_;
  at.current = recordOf(addr);
  at.A = x > 0 ? recordOf(addr - 1) : nullptr;
  at.B = recordOf(addr - width);
  at.C = x < width - 1 ? recordOf(addr - width + 1) : nullptr;
  at.D = x > 0 ? recordOf(addr - width - 1) : nullptr;

  const SliceHeader& h = this->header_;
  Picture<T>& picture = this->picture_;
  std::size_t mbX = static_cast<std::size_t>(x);
  std::size_t mbY = static_cast<std::size_t>(addr / width);
  std::size_t parity = h.bottom_field_flag;
  std::size_t step = 1 + std::size_t{h.field_pic_flag};
  const PictureFormat& f = this->active_.format;
  at.samples[0] = picture.lumaRows()[step * 16 * mbY + parity] + 16 * mbX;
  at.stride[0] = static_cast<std::ptrdiff_t>(step * picture.lumaWidth());
  for (int c = 0; c < 2; ++c) {
    at.samples[1 + c] = picture.chromaRows(c)[step * f.mbHeightC * mbY + parity] + f.mbWidthC * mbX;
    at.stride[1 + c] = static_cast<std::ptrdiff_t>(step * picture.chromaWidth());
  }
}

// Clause 6.4.12.1 for a block of width x height samples.
template <typename T>
ISTREL_FORCE_INLINE NeighbourBlock NonMbaffMacroblockDecoder<T>::neighbourIn(int xN, int yN,
                                                                             int width,
                                                                             int height) const {
  const typename Base::State::Placement& at = this->at_;
  const MacroblockRecord* mb = nullptr;
  if (yN < 0) {
    mb = xN < 0 ? at.D : xN < width ? at.B : at.C;
  } else if (yN < height) {
    mb = xN < 0 ? at.A : xN < width ? at.current : nullptr;
  }
  if (!mb) return {nullptr, -1};
  // xN and yN lie within one block of the macroblock's edges.
  int xW = xN < 0 ? xN + width : xN >= width ? xN - width : xN;
  int yW = yN < 0 ? yN + height : yN;
  return {mb, blockIndexAt(xW, yW)};
}

template <typename T>
ISTREL_FORCE_INLINE NeighbourBlock NonMbaffMacroblockDecoder<T>::lumaNeighbour(int xN,
                                                                               int yN) const {
  return neighbourIn(xN, yN, 16, 16);
}

template <typename T>
ISTREL_FORCE_INLINE NeighbourBlock NonMbaffMacroblockDecoder<T>::chromaNeighbour(int xN,
                                                                                 int yN) const {
  return neighbourIn(xN, yN, static_cast<int>(this->active_.format.mbWidthC),
                     static_cast<int>(this->active_.format.mbHeightC));
}

// Blocks are 4x4, 8x8 or 16x16, and chroma 8x16 in 4:2:2.
template <typename T>
ISTREL_FORCE_INLINE void NonMbaffMacroblockDecoder<T>::gatherEdges(int plane, int x, int y,
                                                                   int width, int height,
                                                                   bool topRightUsable,
                                                                   IntraEdges& e) const {
  const typename Base::State::Placement& at = this->at_;
  const T* p = this->blockAt(plane, x, y);
  std::ptrdiff_t stride = at.stride[plane];
  e.hasLeft = x > 0 || at.A;
  e.hasTop = y > 0 || at.B;
  e.hasTopRight = e.hasTop && topRightUsable;
  e.hasTopLeft = x > 0 ? (y > 0 || at.B) : (y > 0 ? at.A != nullptr : at.D != nullptr);
  edges::copy(width, height, p - stride, p - stride + width, p - stride - 1, p - 1, stride, e);
}

template class NonMbaffMacroblockDecoder<unsigned short>;

ISTREL_LEVEL_END
}  // namespace H264
