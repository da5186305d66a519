// What each instruction-set level puts into the kernel table; the files of
// each level define their functions, in a namespace named after the level.
#pragma once

#include "dsp/kernels.h"

namespace H264 {

// Fills the eight edge-filter entries of `k` from a level's
// Edges::filter<orientation, strong, lumaStyle>.
template <typename Edges>
void fillEdgeFilters(Kernels<unsigned short>& k) {
  k.lumaEdge[kVerticalEdge][0] = Edges::template filter<kVerticalEdge, false, true>;
  k.lumaEdge[kVerticalEdge][1] = Edges::template filter<kVerticalEdge, true, true>;
  k.lumaEdge[kHorizontalEdge][0] = Edges::template filter<kHorizontalEdge, false, true>;
  k.lumaEdge[kHorizontalEdge][1] = Edges::template filter<kHorizontalEdge, true, true>;
  k.chromaEdge[kVerticalEdge][0] = Edges::template filter<kVerticalEdge, false, false>;
  k.chromaEdge[kVerticalEdge][1] = Edges::template filter<kVerticalEdge, true, false>;
  k.chromaEdge[kHorizontalEdge][0] = Edges::template filter<kHorizontalEdge, false, false>;
  k.chromaEdge[kHorizontalEdge][1] = Edges::template filter<kHorizontalEdge, true, false>;
}

// Plain C++: every entry.
namespace plain {
void fillTransforms(Kernels<unsigned short>& k);
void fillIntra(Kernels<unsigned short>& k);
void fillIntraMacroblock(Kernels<unsigned short>& k);
void fillV210(Kernels<unsigned short>& k);
void fillDeblock(Kernels<unsigned short>& k);
}  // namespace plain

// x86-64 (dsp/x86/).
namespace sse41 {
void fillTransforms(Kernels<unsigned short>& k);
void fillIntra(Kernels<unsigned short>& k);
void fillV210(Kernels<unsigned short>& k);
void fillDeblock(Kernels<unsigned short>& k);
}  // namespace sse41
namespace avx2 {
void fillTransforms(Kernels<unsigned short>& k);
void fillV210(Kernels<unsigned short>& k);
void fillDeblock(Kernels<unsigned short>& k);
}  // namespace avx2

// aarch64 (dsp/arm/).
namespace neon {
void fillTransforms(Kernels<unsigned short>& k);
void fillIntra(Kernels<unsigned short>& k);
void fillV210(Kernels<unsigned short>& k);
void fillDeblock(Kernels<unsigned short>& k);
}  // namespace neon

}  // namespace H264
