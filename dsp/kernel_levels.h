// What each instruction-set level puts into the kernel table; the files of
// each level define their functions, in a namespace named after the level.
#pragma once

#include "dsp/kernels.h"

namespace H264 {

// Plain C++: every entry.
namespace plain {
void fillTransforms(Kernels<unsigned short>& k);
void fillIntra(Kernels<unsigned short>& k);
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
