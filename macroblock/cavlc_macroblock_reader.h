// The syntax elements of I macroblocks in CAVLC slices (clauses 7.3.5, 9.1
// and 9.2). Each reader of the macroblock layer offers the same operations;
// the macroblock decoder is instantiated once per reader, so the entropy
// coder is chosen when the slice starts.
#pragma once

#include <cstdint>

#include "base/compiler.h"
#include "base/errors.h"
#include "base/level.h"
#include "macroblock/macroblock_record.h"
#include "macroblock/macroblock_tables.h"
#include "syntax/cavlc_reader.h"
#include "syntax/stream_parser.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

class CavlcMacroblockReader {
 public:
  CavlcMacroblockReader(StreamParser& parser, int chromaArrayType, int mbHeightC)
      : parser_(parser), chromaArrayType_(chromaArrayType), mbHeightC_(mbHeightC) {}

  bool mbFieldDecodingFlag(int /*ctxInc*/) { return parser_.readFlag(); }
  std::uint32_t mbType(const MacroblockRecord* /*a*/, const MacroblockRecord* /*b*/) {
    const std::uint32_t type = parser_.readUe();
    if (type > kMbIPcm) fail(kSliceError);
    return type;
  }
  bool transformSize8x8Flag(const MacroblockRecord* /*a*/, const MacroblockRecord* /*b*/) {
    return parser_.readFlag();
  }
  bool prevIntraPredModeFlag() { return parser_.readFlag(); }
  int remIntraPredMode() { return static_cast<int>(parser_.readBits(3)); }
  int intraChromaPredMode(const MacroblockRecord* /*a*/, const MacroblockRecord* /*b*/) {
    const std::uint32_t mode = parser_.readUe();
    if (mode > 3) fail(kSliceError);
    return static_cast<int>(mode);
  }
  // me(v) of Table 9-4; the caller's neighbour lookup serves CABAC only.
  template <typename Lookup>
  int codedBlockPattern(const MacroblockRecord& current, const MacroblockRecord* a,
                        const MacroblockRecord* b, Lookup lookup);
  std::int32_t mbQpDelta(const MacroblockRecord* /*previous*/, int /*maxMagnitude*/) {
    return parser_.readSe();
  }

  // I_PCM: the parser at the first sample, then back to the macroblock layer.
  StreamParser& beginPcm() {
    parser_.alignToByte();
    return parser_;
  }
  void endPcm() {}

  // One residual block: nC from the neighbouring blocks a and b (clause
  // 9.2.1; chroma DC by the chroma format), TotalCoeff kept in `current` for
  // the blocks after it. Each nonzero coefficient goes to place(coefficient
  // number, level); returns TotalCoeff.
  template <typename Place>
  int residualBlock(BlockKind kind, int plane, int blockIndex, int maxNumCoeff, NeighbourBlock a,
                    NeighbourBlock b, MacroblockRecord& current, bool /*fieldCoded*/, Place place) {
    BitWindow bits = parser_.window();
    const int count = readBlock(bits, kind, plane, blockIndex, maxNumCoeff, a, b, current, place);
    parser_.window() = bits;
    return count;
  }
  // An 8x8 block as four interleaved 4x4 blocks (clause 7.3.5.3.2): part i's
  // coefficient n is number 4n + i of the 8x8 block. neighbours(k) gives
  // block k's A and B. The bit window stays in registers through the four.
  template <typename Neighbours, typename Place>
  void residual8x8(int plane, int block8x8, Neighbours neighbours, MacroblockRecord& current,
                   bool /*fieldCoded*/, Place place) {
    BitWindow bits = parser_.window();
    for (int i = 0; i < 4; ++i) {
      const int k = 4 * block8x8 + i;
      const auto [a, b] = neighbours(k);
      readBlock(bits, BlockKind::k4x4, plane, k, 16, a, b, current,
                [&place, i](int n, std::int32_t level) { place(4 * n + i, level); });
    }
    parser_.window() = bits;
  }

 private:
  template <typename Place>
  ISTREL_FORCE_INLINE int readBlock(BitWindow& bits, BlockKind kind, int plane, int blockIndex,
                                    int maxNumCoeff, NeighbourBlock a, NeighbourBlock b,
                                    MacroblockRecord& current, Place place) {
    int nC = mbHeightC_ == 8 ? -1 : -2;  // chroma DC
    if (kind != BlockKind::kChromaDc) {
      const int nA = a.mb ? a.mb->totalCoeff[plane][a.blockIndex] : 0;
      const int nB = b.mb ? b.mb->totalCoeff[plane][b.blockIndex] : 0;
      nC = a.mb && b.mb ? (nA + nB + 1) >> 1 : nA + nB;
    }
    const int count = readResidualBlock(bits, nC, maxNumCoeff, place);
    if (kind != BlockKind::kDc && kind != BlockKind::kChromaDc) {
      current.totalCoeff[plane][blockIndex] = static_cast<std::uint8_t>(count);
    }
    return count;
  }

  StreamParser& parser_;
  int chromaArrayType_;
  int mbHeightC_;
};

template <typename Lookup>
int CavlcMacroblockReader::codedBlockPattern(const MacroblockRecord&, const MacroblockRecord*,
                                             const MacroblockRecord*, Lookup) {
  const std::uint32_t codeNum = parser_.readUe();
  const bool withChroma = chromaArrayType_ == 1 || chromaArrayType_ == 2;
  if (codeNum >= (withChroma ? 48u : 16u)) fail(kSliceError);
  return withChroma ? kCodedBlockPatternIntra[codeNum] : kCodedBlockPatternIntraNoChroma[codeNum];
}

ISTREL_LEVEL_END
}  // namespace H264
