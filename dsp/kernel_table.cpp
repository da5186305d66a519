#include "dsp/kernel_levels.h"

namespace H264 {
namespace {

Kernels<unsigned short> build(KernelLevel level) {
  Kernels<unsigned short> k{};
  fillPlainTransforms(k);
  fillPlainIntra(k);
  fillPlainV210(k);
  fillPlainDeblock(k);
#if defined(__x86_64__) || defined(_M_X64)
  if (level == KernelLevel::kSse41 || level == KernelLevel::kAvx2) {
    fillSse41Transforms(k);
    fillSse41Intra(k);
    fillSse41V210(k);
    fillSse41Deblock(k);
  }
  if (level == KernelLevel::kAvx2) {
    fillAvx2Transforms(k);
    fillAvx2V210(k);
    fillAvx2Deblock(k);
  }
#elif defined(__aarch64__) || defined(_M_ARM64)
  if (level == KernelLevel::kNeon) {
    fillNeonTransforms(k);
    fillNeonIntra(k);
    fillNeonV210(k);
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
