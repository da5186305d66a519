// Intra prediction kernels in plain C++.
#include <algorithm>

#include "dsp/kernel_levels.h"

namespace H264::plain {
namespace {

void planeRow(std::int32_t* dst, int width, std::int32_t start, std::int32_t step,
              std::int32_t maxValue) {
  for (int x = 0; x < width; ++x) dst[x] = std::clamp((start + step * x) >> 5, 0, maxValue);
}

}  // namespace

void fillIntra(Kernels<unsigned short>& k) { k.planeRow = planeRow; }

}  // namespace H264::plain
