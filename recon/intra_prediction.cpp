#include "recon/intra_prediction.h"

#include "base/compiler.h"
#include "base/level.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

using Sample = std::int32_t;

ISTREL_FORCE_INLINE unsigned sidesOf(const IntraEdges& e) {
  return (e.hasTop ? kIntraTop : 0u) | (e.hasLeft ? kIntraLeft : 0u) |
         (e.hasTopLeft ? kIntraTopLeft : 0u) | (e.hasTopRight ? kIntraTopRight : 0u);
}

constexpr unsigned kAllSides = kIntraTop | kIntraLeft | kIntraTopLeft;

// What each mode reads besides DC's fallbacks: clauses 8.3.1.2.x and 8.3.2.2.x (Intra_4x4 and
// Intra_8x8), 8.3.3.x (Intra_16x16) and 8.3.4.x (chroma).
constexpr unsigned kNxNNeeds[9] = {kIntraTop, kIntraLeft, 0,         kIntraTop, kAllSides,
                                   kAllSides, kAllSides,  kIntraTop, kIntraLeft};
constexpr unsigned k16x16Needs[4] = {kIntraTop, kIntraLeft, 0, kAllSides};
constexpr unsigned kChromaNeeds[4] = {0, kIntraLeft, kIntraTop, kAllSides};

template <int kModes>
ISTREL_FORCE_INLINE bool predictWith(const unsigned (&needs)[kModes], int mode, const IntraEdges& e,
                                     int bitDepth, Sample* pred, int stride, IntraKernel kernel) {
  if (mode < 0 || mode >= kModes) return false;
  const unsigned sides = sidesOf(e);
  if ((needs[mode] & sides) != needs[mode]) return false;
  kernel(mode, e.top, e.left, e.topLeft, sides, bitDepth, pred, stride);
  return true;
}

}  // namespace

bool predictIntraNxN(int mode, const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                     IntraKernel kernel) {
  return predictWith(kNxNNeeds, mode, e, bitDepth, pred, stride, kernel);
}

bool predictIntra16x16(int mode, const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                       IntraKernel kernel) {
  return predictWith(k16x16Needs, mode, e, bitDepth, pred, stride, kernel);
}

bool predictIntraChroma(int mode, const IntraEdges& e, int bitDepth, Sample* pred, int stride,
                        IntraKernel kernel) {
  return predictWith(kChromaNeeds, mode, e, bitDepth, pred, stride, kernel);
}

ISTREL_LEVEL_END
}  // namespace H264
