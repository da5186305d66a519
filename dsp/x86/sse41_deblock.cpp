// The edge filters of the deblocking filter with SSE4.1 (dsp/x86/deblock_lines128.h).
#include "dsp/kernel_levels.h"
#include "dsp/x86/deblock_lines128.h"

namespace H264::sse41 {
namespace {

// The edge filters, as fillEdgeFilters takes them.
struct Edges {
  template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
  static void filter(lines128::Sample* q0, std::ptrdiff_t stride, int lines,
                     const EdgeThresholds& t) {
    lines128::filterEdgeFrom<kOrientation, kStrong, kLumaStyle>(0, q0, stride, lines, t);
  }
};

}  // namespace

void fillDeblock(Kernels<unsigned short>& k) { fillEdgeFilters<Edges>(k); }

}  // namespace H264::sse41
