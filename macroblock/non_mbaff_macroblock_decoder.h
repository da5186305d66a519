// Macroblocks of frames without MBAFF and of field pictures, in raster order.
#pragma once

#include "base/level.h"
#include "macroblock/macroblock_decoder.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

template <typename T>
class NonMbaffMacroblockDecoder final : public MacroblockDecoder<T> {
 public:
  NonMbaffMacroblockDecoder(const ActiveParameters& active, const SliceHeader& header,
                            StreamParser& parser, Picture<T>& picture, DecodeMode mode,
                            const Kernels<T>& kernels);

  void DecodeMacroblockCavlc() override;
  void DecodeMacroblockCabac() override;
  bool NextMacroblock() override;

 private:
  using Base = MacroblockDecoder<T>;

  NeighbourBlock lumaNeighbour(int xN, int yN) const override;
  NeighbourBlock chromaNeighbour(int xN, int yN) const override;
  void gatherEdges(int plane, int x, int y, int width, int height, bool topRightUsable,
                   IntraEdges& edges) const override;

  void placeMacroblock();
  MacroblockRecord* recordOf(std::int64_t mbAddr);
  NeighbourBlock neighbourIn(int xN, int yN, int width, int height) const;

  std::uint32_t picSizeInMbs_;
};

extern template class NonMbaffMacroblockDecoder<unsigned short>;

ISTREL_LEVEL_END
}  // namespace H264
