// What each instruction-set level puts into the kernel table; the files of
// each level define their functions.
#pragma once

#include "dsp/kernels.h"

namespace H264 {

// Plain C++: every entry.
void fillPlainTransforms(Kernels<unsigned short>& k);
void fillPlainIntra(Kernels<unsigned short>& k);
void fillPlainV210(Kernels<unsigned short>& k);
void fillPlainDeblock(Kernels<unsigned short>& k);

// x86-64 (dsp/x86/).
void fillSse41Transforms(Kernels<unsigned short>& k);
void fillSse41Intra(Kernels<unsigned short>& k);
void fillSse41V210(Kernels<unsigned short>& k);
void fillSse41Deblock(Kernels<unsigned short>& k);
void fillAvx2Transforms(Kernels<unsigned short>& k);
void fillAvx2V210(Kernels<unsigned short>& k);
void fillAvx2Deblock(Kernels<unsigned short>& k);

// aarch64 (dsp/arm/).
void fillNeonTransforms(Kernels<unsigned short>& k);
void fillNeonIntra(Kernels<unsigned short>& k);
void fillNeonV210(Kernels<unsigned short>& k);

}  // namespace H264
