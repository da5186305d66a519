// Intra prediction kernels with SSE4.1.
#include <smmintrin.h>

#include "dsp/kernel_levels.h"

namespace H264::sse41 {
namespace {

void planeRow(std::int32_t* dst, int width, std::int32_t start, std::int32_t step,
              std::int32_t maxValue) {
  const __m128i step4 = _mm_set1_epi32(4 * step);
  const __m128i zero = _mm_setzero_si128();
  const __m128i maxv = _mm_set1_epi32(maxValue);
  __m128i v = _mm_add_epi32(_mm_set1_epi32(start), _mm_setr_epi32(0, step, 2 * step, 3 * step));
  for (int x = 0; x < width; x += 4, v = _mm_add_epi32(v, step4)) {
    const __m128i clipped = _mm_min_epi32(_mm_max_epi32(_mm_srai_epi32(v, 5), zero), maxv);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), clipped);
  }
}

}  // namespace

void fillIntra(Kernels<unsigned short>& k) { k.planeRow = planeRow; }

}  // namespace H264::sse41
