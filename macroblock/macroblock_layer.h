// The macroblock layer of a slice, parsed and reconstructed (clauses 7.3.5,
// 8.3 and 8.5), over the neighbour context of one concrete decoder. Derived,
// the non-MBAFF or the MBAFF decoder, offers
//   NeighbourBlock lumaNeighbour(int xN, int yN) const;
//   NeighbourBlock chromaNeighbour(int xN, int yN) const;
//   void gatherEdges(int plane, int x, int y, int width, int height,
//                    bool topRightUsable, IntraEdges& edges) const;
// for locations outside the current macroblock and the samples around a
// block. They are called per block, so they are resolved when the layer is
// compiled for that decoder, not through virtual calls: the decoder's source
// file includes macroblock_layer_syntax.h and macroblock_layer_residual.h,
// which hold the bodies.
#pragma once

#include <cstdint>

#include "base/level.h"
#include "macroblock/macroblock_decoder.h"
#include "macroblock/neighbour_context.h"
#include "recon/block_layout.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T, typename Derived>
class MacroblockLayer : public MacroblockDecoder<T> {
 protected:
  using State = MacroblockDecoder<T>;
  using State::State;

  // The macroblock layer once Placement is set, read with `reader`.
  template <typename Reader>
  void decodeMacroblockLayer(Reader& reader);

  // A neighbouring block location of the luma (or chroma) blocks: inside
  // the current macroblock at once, elsewhere by the concrete decoder.
  ISTREL_FORCE_INLINE NeighbourBlock blockNeighbour(bool chroma, int xN, int yN) const {
    const int width = chroma ? mbWidthC_ : 16, height = chroma ? mbHeightC_ : 16;
    if (xN >= 0 && yN >= 0 && xN < width && yN < height) {
      return {at_.current, blockIndexAt(xN, yN)};
    }
    return chroma ? derived().chromaNeighbour(xN, yN) : derived().lumaNeighbour(xN, yN);
  }

  // The state the concrete decoders share with the layer.
  using State::active_;
  using State::at_;
  using State::bitDepth_;
  using State::blockAt;
  using State::blocks_;
  using State::cbpChroma_;
  using State::cbpLuma_;
  using State::chromaArrayType_;
  using State::chromaDc_;
  using State::countMacroblock;
  using State::currMbAddr_;
  using State::dc_;
  using State::fieldMacroblock_;
  using State::filterRecorder_;
  using State::intra16x16PredMode_;
  using State::intraChromaPredMode_;
  using State::levelScale4x4_;
  using State::levelScale8x8_;
  using State::markUncoded;
  using State::mb_type_;
  using State::mbHeightC_;
  using State::mbWidthC_;
  using State::mode_;
  using State::neighbourPredMode;
  using State::previous_;
  using State::qp_;
  using State::qpBdOffsetY_;
  using State::qpY_;
  using State::scan4x4_;
  using State::scan8x8_;
  using State::transform_size_8x8_flag_;
  using State::updateQp;

 private:
  ISTREL_FORCE_INLINE const Derived& derived() const { return static_cast<const Derived&>(*this); }

  struct BlockPair {
    NeighbourBlock a, b;
  };
  // The left and upper neighbours of 4x4 block k (chroma: of chroma block k).
  ISTREL_FORCE_INLINE BlockPair neighboursOf(bool chroma, int k) const {
    const auto kind = chroma ? NeighbourContext::kChroma : NeighbourContext::kLuma;
    return {neighbours_.left(kind, k, at_.current), neighbours_.above(kind, k, at_.current)};
  }
  // The blocks beside the current macroblock, for neighboursOf.
  void resolveNeighbours();

  template <typename Reader>
  void readIntraPredModes(Reader& reader);
  template <typename Reader>
  void readIntraNxNModes(Reader& reader, bool eightByEight);
  template <typename Reader>
  void decodePcm(Reader& reader);

  // residual(), with each block predicted, its coefficients scaled into
  // place and its samples stored before the next block predicts from them.
  template <typename Reader>
  void decodeResidual(Reader& reader);
  template <typename Reader>
  void decodeIntra16x16(Reader& reader, int plane);
  template <typename Reader>
  void decodeIntra4x4(Reader& reader, int plane);
  template <typename Reader>
  void decodeIntra8x8(Reader& reader, int plane);
  template <typename Reader>
  void decodeChroma(Reader& reader);
  template <typename Reader>
  void decodeChromaComponent(Reader& reader, int plane);
  // The 8x8 block block8x8 of `plane` into the coefficients.
  template <typename Reader>
  void read8x8Block(Reader& reader, int plane, int block8x8, std::int32_t* coeff);
  // A 4x4 block of scan positions startIdx..15 into the coefficients.
  template <typename Reader>
  int read4x4Block(Reader& reader, BlockKind kind, int plane, int blockIndex, std::int32_t* coeff);
  template <typename Reader>
  int readBlockIfCoded(Reader& reader, bool coded, BlockKind kind, int plane, int blockIndex,
                       std::int32_t* coeff);

  bool topRightAvailable(int x, int y, int size) const;
  void predictBlock(int plane, int x, int y, int size, int mode);
  void predictChroma(int plane);

  NeighbourContext neighbours_;
};

ISTREL_LEVEL_END
}  // namespace H264
