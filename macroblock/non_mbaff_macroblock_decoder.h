// Macroblocks of frames without MBAFF and of field pictures, in raster order.
#pragma once

#include "base/level.h"
#include "macroblock/macroblock_layer.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
class NonMbaffMacroblockDecoder final : public MacroblockLayer<T, NonMbaffMacroblockDecoder<T>> {
 public:
  NonMbaffMacroblockDecoder(const ActiveParameters& active, const SliceHeader& header,
                            StreamParser& parser, Picture<T>& picture, DecodeMode mode,
                            const Kernels<T>& kernels);

  void DecodeMacroblockCavlc() override;
  void DecodeMacroblockCabac() override;
  bool NextMacroblock() override;

 private:
  using Base = MacroblockLayer<T, NonMbaffMacroblockDecoder<T>>;
  friend Base;

  // The neighbour context the layer calls per block (macroblock_layer.h).
  NeighbourBlock lumaNeighbour(int xN, int yN) const;
  NeighbourBlock chromaNeighbour(int xN, int yN) const;
  void gatherEdges(int plane, int x, int y, int width, int height, bool topRightUsable,
                   IntraEdges& edges) const;

  void placeMacroblock();
  MacroblockRecord* recordOf(std::int64_t mbAddr);
  NeighbourBlock neighbourIn(int xN, int yN, int width, int height) const;

  std::uint32_t picSizeInMbs_;
};

extern template class NonMbaffMacroblockDecoder<unsigned short>;

ISTREL_LEVEL_END
}  // namespace H264
