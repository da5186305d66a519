// Intra prediction kernels with NEON.
#include <arm_neon.h>

#include "dsp/kernel_levels.h"

namespace H264::neon {
namespace {

void planeRow(std::int32_t* dst, int width, std::int32_t start, std::int32_t step,
              std::int32_t maxValue) {
  const std::int32_t offsets[4] = {0, 1, 2, 3};
  const int32x4_t step4 = vdupq_n_s32(4 * step);
  const int32x4_t zero = vdupq_n_s32(0);
  const int32x4_t maxv = vdupq_n_s32(maxValue);
  int32x4_t v = vmlaq_n_s32(vdupq_n_s32(start), vld1q_s32(offsets), step);
  for (int x = 0; x < width; x += 4, v = vaddq_s32(v, step4)) {
    vst1q_s32(dst + x, vminq_s32(vmaxq_s32(vshrq_n_s32(v, 5), zero), maxv));
  }
}

}  // namespace

void fillIntra(Kernels<unsigned short>& k) { k.planeRow = planeRow; }

}  // namespace H264::neon
