// Macroblocks of MBAFF frames: vertical pairs, each coded as two frame or
// two field macroblocks (clauses 6.4.10, 6.4.12.2 and 7.3.4).
#pragma once

#include "base/level.h"
#include "macroblock/macroblock_layer.h"
#include "macroblock/mbaff_neighbours.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
class MbaffMacroblockDecoder final : public MacroblockLayer<T, MbaffMacroblockDecoder<T>> {
 public:
  MbaffMacroblockDecoder(const ActiveParameters& active, const SliceHeader& header,
                         StreamParser& parser, Picture<T>& picture, DecodeMode mode,
                         const Kernels<T>& kernels);

  void DecodeMacroblockCavlc() override;
  void DecodeMacroblockCabac() override;
  bool NextMacroblock() override;

 private:
  using Base = MacroblockLayer<T, MbaffMacroblockDecoder<T>>;
  friend Base;

  // A neighbouring pair: its top record, null when not available; the
  // bottom record follows it.
  struct Pair {
    MacroblockRecord* top;
    bool field() const { return top->fieldFlag != 0; }
  };
  // A location (xN, yN) resolved by Table 6-4: the macroblock and its row yM,
  // and where its pair lies relative to the current pair, in pairs.
  struct Location {
    const MacroblockRecord* mb;
    int yM;
    int pairDx = 0;
    int pairDy = 0;
  };

  // The neighbour context the layer calls per block (macroblock_layer.h).
  NeighbourBlock lumaNeighbour(int xN, int yN) const;
  NeighbourBlock chromaNeighbour(int xN, int yN) const;
  void gatherEdges(int plane, int x, int y, int width, int height, bool topRightUsable,
                   IntraEdges& edges) const;

  // Table 6-4 for the luma (kind 0) or chroma (kind 1) blocks of the
  // current macroblock, resolved once: the rows left of it (which pair-A
  // macroblock and row yM, by the current macroblock's coding and position
  // and pair A's coding), and the three locations of the row above.
  struct LeftRow {
    std::int8_t bottom;
    std::int8_t yM;
  };
  struct Edges {
    int maxW = 16;
    int maxH = 16;
    const LeftRow* left = nullptr;  // maxH rows
    Location aboveLeft{}, above{}, aboveRight{};
  };
  // The picture samples at (-1, -1), (0, -1) and (maxW, -1) of one plane,
  // null where not available: the row above lies in one macroblock.
  struct AboveSamples {
    const T* left;
    const T* row;
    const T* right;
  };

  template <typename Reader>
  void decodeWith(Reader& reader);
  void placePair();
  void placeMacroblock();
  void placeEdges();
  MacroblockRecord* recordOf(std::int64_t mbAddr);
  Location resolve(int xN, int yN, int maxW, int maxH) const;
  Location resolved(const MbaffNeighbour& n) const;
  Location locate(int kind, int xN, int yN) const;
  // The block of kind 0 (luma) or 1 (chroma) holding location (xN, yN).
  NeighbourBlock neighbourBlock(int kind, int xN, int yN) const;
  const T* sampleOf(int plane, const Location& l, int xN) const;

  std::uint32_t picSizeInMbs_;
  bool top_ = true;  // decoding the top macroblock of the pair
  bool field_ = false;
  Pair pairA_{}, pairB_{}, pairC_{}, pairD_{};
  PairCoding coding_{};    // which of the neighbouring pairs are field pairs
  std::size_t pairX_ = 0;  // the current pair's column and row
  std::size_t pairY_ = 0;
  Edges edges_[2];
  AboveSamples above_[3];
  // Left rows by kind and by (current field, current top, pair A field).
  LeftRow leftRows_[2][8][16];
  // The locations (-1, -1), (0, -1) and (maxW, -1) by kind, by (current
  // field, current top) and by which of pairs A to D are field pairs.
  MbaffNeighbour aboveRows_[2][4][16][3];
};

extern template class MbaffMacroblockDecoder<unsigned short>;

ISTREL_LEVEL_END
}  // namespace H264
