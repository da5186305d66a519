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

template <EdgeOrientation kOrientation>
void fillOrientation(Kernels<unsigned short>& k) {
  k.lumaEdge[kOrientation][0] = filterEdge<kOrientation, false, true>;
  k.lumaEdge[kOrientation][1] = filterEdge<kOrientation, true, true>;
  k.chromaEdge[kOrientation][0] = filterEdge<kOrientation, false, false>;
  k.chromaEdge[kOrientation][1] = filterEdge<kOrientation, true, false>;
}

}  // namespace

void fillDeblock(Kernels<unsigned short>& k) {
  fillOrientation<kVerticalEdge>(k);
  fillOrientation<kHorizontalEdge>(k);
}

}  // namespace H264::sse41
