#include "macroblock/cabac_macroblock_reader.h"

#include <algorithm>

#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

int condition(const MacroblockRecord* n, bool (*term)(const MacroblockRecord&)) {
  return n && term(*n) ? 1 : 0;
}

}  // namespace

int CabacMacroblockReader::categoryOf(BlockKind kind, int plane) {
  constexpr int kLumaCategory[6] = {0, 1, 2, 3, 4, 5};
  constexpr int kPlaneCategory[6] = {6, 7, 8, 3, 4, 9};
  const int k = static_cast<int>(kind);
  if (plane == 0 || kind == BlockKind::kChromaDc || kind == BlockKind::kChromaAc) {
    return kLumaCategory[k];
  }
  return kPlaneCategory[k] + (plane == 2 ? 4 : 0);
}

void CabacMacroblockReader::storeCodedBlockFlag(MacroblockRecord& mb, BlockKind kind, int plane,
                                                int blockIndex, std::uint8_t flag) {
  const int component = plane > 0 ? plane - 1 : 0;
  std::uint8_t* blocks = plane == 0 ? mb.codedBlockFlagLuma : mb.codedBlockFlagChromaAc[component];
  switch (kind) {
    case BlockKind::kDc:
      (plane == 0 ? mb.codedBlockFlagLumaDc : mb.codedBlockFlagChromaDc[component]) = flag;
      break;
    case BlockKind::kChromaDc:
      mb.codedBlockFlagChromaDc[component] = flag;
      break;
    case BlockKind::k8x8:
      std::fill_n(blocks + blockIndex, 4, flag);
      break;
    default:
      blocks[blockIndex] = flag;
  }
}

void CabacMacroblockReader::start(int sliceQpY) {
  parser_.alignToByte();
  syntax_.start(parser_.data(), parser_.sizeBytes(), parser_.bitOffset() / 8, sliceQpY);
}

std::uint32_t CabacMacroblockReader::mbType(const MacroblockRecord* a, const MacroblockRecord* b) {
  auto notNxN = [](const MacroblockRecord& n) { return n.mbType != kMbINxN; };
  return static_cast<std::uint32_t>(syntax_.mbTypeI(condition(a, notNxN) + condition(b, notNxN)));
}

bool CabacMacroblockReader::transformSize8x8Flag(const MacroblockRecord* a,
                                                 const MacroblockRecord* b) {
  auto eightByEight = [](const MacroblockRecord& n) { return n.transform8x8 != 0; };
  return syntax_.transformSize8x8Flag(condition(a, eightByEight) + condition(b, eightByEight));
}

int CabacMacroblockReader::intraChromaPredMode(const MacroblockRecord* a,
                                               const MacroblockRecord* b) {
  auto predicts = [](const MacroblockRecord& n) {
    return n.mbType != kMbIPcm && n.intraChromaPredMode != 0;
  };
  return syntax_.intraChromaPredMode(condition(a, predicts) + condition(b, predicts));
}

// The previous macroblock in decoding order had a nonzero mb_qp_delta.
std::int32_t CabacMacroblockReader::mbQpDelta(const MacroblockRecord* p, int maxMagnitude) {
  const int inc = p && p->mbType != kMbIPcm &&
                          (p->mbType != kMbINxN || p->cbpLuma || p->cbpChroma) && p->mbQpDelta != 0
                      ? 1
                      : 0;
  return syntax_.mbQpDelta(inc, maxMagnitude);
}

StreamParser& CabacMacroblockReader::beginPcm() {
  parser_.seek(syntax_.pcmBitPosition());
  parser_.alignToByte();
  return parser_;
}

void CabacMacroblockReader::endPcm() { syntax_.restart(parser_.bitOffset() / 8); }

ISTREL_LEVEL_END
}  // namespace H264
