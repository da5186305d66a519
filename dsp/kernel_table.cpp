#include "dsp/kernel_levels.h"

namespace H264 {
namespace {

Kernels<unsigned short> build(KernelLevel level) {
  Kernels<unsigned short> k{};
  plain::fillTransforms(k);
  plain::fillIntra(k);
  plain::fillIntraMacroblock(k);
  plain::fillV210(k);
  plain::fillDeblock(k);
#if defined(__x86_64__) || defined(_M_X64)
  if (level == KernelLevel::kSse41 || level == KernelLevel::kAvx2) {
    sse41::fillTransforms(k);
    sse41::fillIntra(k);
    sse41::fillV210(k);
    sse41::fillDeblock(k);
  }
  if (level == KernelLevel::kAvx2) {
    avx2::fillTransforms(k);
    avx2::fillV210(k);
    avx2::fillDeblock(k);
  }
#elif defined(__aarch64__) || defined(_M_ARM64)
  if (level == KernelLevel::kNeon) {
    neon::fillTransforms(k);
    neon::fillIntra(k);
    neon::fillV210(k);
    neon::fillDeblock(k);
  }
#endif
  return k;
}

}  // namespace

template <>
const Kernels<unsigned short>& kernelsFor<unsigned short>(KernelLevel level) {
  static const Kernels<unsigned short> tables[4] = {
      build(KernelLevel::kPlain), build(levelAtMost(KernelLevel::kSse41)),
      build(levelAtMost(KernelLevel::kAvx2)), build(levelAtMost(KernelLevel::kNeon))};
  return tables[static_cast<int>(levelAtMost(level))];
}

}  // namespace H264
