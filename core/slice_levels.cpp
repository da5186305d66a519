#include "core/slice_decoder.h"

namespace H264 {

#if defined(ISTREL_AVX2_SLICES)
// The same slice decoding compiled with AVX2, BMI2 and LZCNT (CMakeLists.txt
// builds it when the compiler can).
namespace avx2 {
void decodeSliceWork(const SliceWork& work);
}
#endif

SliceWorkDecoder sliceDecodingFor(KernelLevel level) {
#if defined(ISTREL_AVX2_SLICES)
  if (levelAtMost(level) == KernelLevel::kAvx2) return avx2::decodeSliceWork;
#endif
  (void)level;
  return baseline::decodeSliceWork;
}

}  // namespace H264
