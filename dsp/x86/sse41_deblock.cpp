// The edge filters of the deblocking filter with SSE4.1 (dsp/x86/deblock_lines128.h).
#include "dsp/kernel_levels.h"
#include "dsp/x86/deblock_lines128.h"

namespace H264::sse41 {
namespace {

template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
void filterEdge(lines128::Sample* q0, std::ptrdiff_t stride, int lines, const EdgeThresholds& t) {
  const deblock_lanes::Limits<lines128::V128> l = deblock_lanes::limitsOf(lines128::V128{}, t);
  const std::ptrdiff_t along = kOrientation == kVerticalEdge ? stride : 1;
  for (int i = 0; i < lines; i += 8) {
    lines128::filterLines<kOrientation, kStrong, kLumaStyle>(q0 + i * along, stride,
                                                             lines - i >= 8 ? 8 : 4, l);
  }
}

// The edge filters as fillEdgeFilters takes them.
struct Edges {
  template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
  static constexpr Kernels<unsigned short>::EdgeFilter filter =
      filterEdge<kOrientation, kStrong, kLumaStyle>;
};

}  // namespace

void fillDeblock(Kernels<unsigned short>& k) { fillEdgeFilters<Edges>(k); }

}  // namespace H264::sse41
