// The syntax elements of I macroblocks in CABAC slices: the context
// increments each takes from the neighbouring macroblocks and blocks (clause
// 9.3.3.1.1), over the binarisations of CabacSyntax. The same operations as
// CavlcMacroblockReader.
#pragma once

#include <cstdint>

#include "base/level.h"
#include "macroblock/cabac_syntax.h"
#include "macroblock/macroblock_record.h"
#include "syntax/residual_levels.h"
#include "syntax/stream_parser.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

class CabacMacroblockReader {
 public:
  CabacMacroblockReader(StreamParser& parser, int chromaArrayType)
      : parser_(parser), chromaArrayType_(chromaArrayType) {}

  // Starts the arithmetic decoder on the byte-aligned slice data
  // (cabac_alignment_one_bit is skipped unchecked).
  void start(int sliceQpY);
  bool endOfSlice() { return syntax_.endOfSlice(); }

  bool mbFieldDecodingFlag(int ctxInc) { return syntax_.mbFieldDecodingFlag(ctxInc); }
  std::uint32_t mbType(const MacroblockRecord* a, const MacroblockRecord* b);
  bool transformSize8x8Flag(const MacroblockRecord* a, const MacroblockRecord* b);
  bool prevIntraPredModeFlag() { return syntax_.prevIntraPredModeFlag(); }
  int remIntraPredMode() { return syntax_.remIntraPredMode(); }
  int intraChromaPredMode(const MacroblockRecord* a, const MacroblockRecord* b);
  // lookup(xN, yN) gives the luma block neighbour of a location (clause
  // 9.3.3.1.1.4 looks at the 8x8 blocks beside each one).
  template <typename Lookup>
  int codedBlockPattern(const MacroblockRecord& current, const MacroblockRecord* a,
                        const MacroblockRecord* b, Lookup lookup);
  std::int32_t mbQpDelta(const MacroblockRecord* previous, int maxMagnitude);

  // I_PCM: the parser at the first sample, then the arithmetic decoder
  // started again after the samples (clause 9.3.1.2).
  StreamParser& beginPcm();
  void endPcm();

  // One residual block: coded_block_flag from the neighbouring blocks a and
  // b, kept in `current` for the blocks after it, then each nonzero
  // coefficient to place(coefficient number, level); returns their count.
  template <typename Place>
  int residualBlock(BlockKind kind, int plane, int blockIndex, int maxNumCoeff, NeighbourBlock a,
                    NeighbourBlock b, MacroblockRecord& current, bool fieldCoded, Place place) {
    const int cat = categoryOf(kind, plane);
    // 8x8 blocks carry a coded_block_flag only in 4:4:4 (clause 7.3.5.3.3).
    const bool coded =
        (kind == BlockKind::k8x8 && chromaArrayType_ != 3) ||
        syntax_.codedBlockFlag(cat, codedBlockFlagTerm(kind, plane, a.mb, a.blockIndex) +
                                        2 * codedBlockFlagTerm(kind, plane, b.mb, b.blockIndex));
    storeCodedBlockFlag(current, kind, plane, blockIndex, coded);
    return coded ? syntax_.residualLevels(cat, maxNumCoeff, fieldCoded, place) : 0;
  }
  // An 8x8 block in one piece; neighbours(k) gives block k's A and B.
  template <typename Neighbours, typename Place>
  void residual8x8(int plane, int block8x8, Neighbours neighbours, MacroblockRecord& current,
                   bool fieldCoded, Place place) {
    const auto [a, b] = neighbours(4 * block8x8);
    residualBlock(BlockKind::k8x8, plane, 4 * block8x8, 64, a, b, current, fieldCoded, place);
  }

 private:
  // ctxBlockCat of a block kind in a plane: Cb and Cr of 4:4:4 have their own.
  static int categoryOf(BlockKind kind, int plane);
  static void storeCodedBlockFlag(MacroblockRecord& mb, BlockKind kind, int plane, int blockIndex,
                                  std::uint8_t flag);
  bool chromaInPattern() const { return chromaArrayType_ == 1 || chromaArrayType_ == 2; }

  StreamParser& parser_;
  int chromaArrayType_;
  CabacSyntax syntax_;
};

template <typename Lookup>
int CabacMacroblockReader::codedBlockPattern(const MacroblockRecord& current,
                                             const MacroblockRecord* a, const MacroblockRecord* b,
                                             Lookup lookup) {
  int luma = 0;
  for (int b8 = 0; b8 < 4; ++b8) {
    const int x = 8 * (b8 % 2), y = 8 * (b8 / 2);
    // condTermFlagN: the neighbouring 8x8 block exists, is not I_PCM and
    // carries no coefficients (this macroblock's own bits as decoded so far).
    auto uncoded = [&](NeighbourBlock n) {
      if (!n.mb || n.mb->mbType == kMbIPcm) return 0;
      const int bits = n.mb == &current ? luma : n.mb->cbpLuma;
      return (bits >> (n.blockIndex >> 2)) & 1 ? 0 : 1;
    };
    const int inc = uncoded(lookup(x - 1, y)) + 2 * uncoded(lookup(x, y - 1));
    luma |= syntax_.codedBlockPatternLumaBin(inc) << b8;
  }
  if (!chromaInPattern()) return luma;
  auto condition = [](const MacroblockRecord* n, bool (*term)(const MacroblockRecord&)) {
    return n && term(*n) ? 1 : 0;
  };
  auto anyChroma = [](const MacroblockRecord& n) {
    return n.mbType == kMbIPcm || n.cbpChroma != 0;
  };
  auto acChroma = [](const MacroblockRecord& n) { return n.mbType == kMbIPcm || n.cbpChroma == 2; };
  int chroma = 0;
  if (syntax_.codedBlockPatternChromaBin(0,
                                         condition(a, anyChroma) + 2 * condition(b, anyChroma))) {
    chroma = 1 + syntax_.codedBlockPatternChromaBin(
                     1, condition(a, acChroma) + 2 * condition(b, acChroma));
  }
  return luma + 16 * chroma;
}

ISTREL_LEVEL_END
}  // namespace H264
