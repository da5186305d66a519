// v210 packing with AVX2: two groups at a time, one in each 128-bit lane, by
// the byte shuffles of the SSE4.1 version.
#include <immintrin.h>

#include "dsp/kernel_levels.h"
#include "dsp/v210_group.h"

namespace H264::avx2 {
namespace {

using Sample = unsigned short;

// Moves 16-bit element e of each lane into the low half of 32-bit lane k.
ISTREL_FORCE_INLINE __m256i laneMask(int e0, int e1, int e2, int e3) {
  auto lo = [](int e) { return static_cast<char>(e < 0 ? -1 : 2 * e); };
  auto hi = [](int e) { return static_cast<char>(e < 0 ? -1 : 2 * e + 1); };
  const __m128i m = _mm_setr_epi8(lo(e0), hi(e0), -1, -1, lo(e1), hi(e1), -1, -1, lo(e2), hi(e2),
                                  -1, -1, lo(e3), hi(e3), -1, -1);
  return _mm256_broadcastsi128_si256(m);
}

// Per lane: y holds y0..y5 first, c holds cb0 cb1 cb2 . cr0 cr1 cr2 .
ISTREL_FORCE_INLINE __m256i packGroups(__m256i y, __m256i c) {
  const __m256i low = _mm256_or_si256(_mm256_shuffle_epi8(y, laneMask(-1, 1, -1, 4)),
                                      _mm256_shuffle_epi8(c, laneMask(0, -1, 5, -1)));
  const __m256i mid = _mm256_or_si256(_mm256_shuffle_epi8(y, laneMask(0, -1, 3, -1)),
                                      _mm256_shuffle_epi8(c, laneMask(-1, 1, -1, 6)));
  const __m256i high = _mm256_or_si256(_mm256_shuffle_epi8(y, laneMask(-1, 2, -1, 5)),
                                       _mm256_shuffle_epi8(c, laneMask(4, -1, 2, -1)));
  return _mm256_or_si256(low,
                         _mm256_or_si256(_mm256_slli_epi32(mid, 10), _mm256_slli_epi32(high, 20)));
}

struct Shifts {
  __m128i lumaLeft, lumaRight, chromaLeft, chromaRight;
  explicit Shifts(const V210Shift& s)
      : lumaLeft(_mm_cvtsi32_si128(static_cast<int>(s.lumaLeft))),
        lumaRight(_mm_cvtsi32_si128(static_cast<int>(s.lumaRight))),
        chromaLeft(_mm_cvtsi32_si128(static_cast<int>(s.chromaLeft))),
        chromaRight(_mm_cvtsi32_si128(static_cast<int>(s.chromaRight))) {}
  __m256i luma(__m256i v) const {
    return _mm256_srl_epi16(_mm256_sll_epi16(v, lumaLeft), lumaRight);
  }
  __m256i chroma(__m256i v) const {
    return _mm256_srl_epi16(_mm256_sll_epi16(v, chromaLeft), chromaRight);
  }
};

// Two 128-bit loads, `p` into the low lane and `q` into the high one.
ISTREL_FORCE_INLINE __m256i load2x8(const Sample* p, const Sample* q) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)), 1);
}

ISTREL_FORCE_INLINE __m256i load2x4(const Sample* p, const Sample* q) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))),
      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)), 1);
}

// Every second element of a and then of b, per lane.
ISTREL_FORCE_INLINE __m256i evens(__m256i a, __m256i b) {
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  return _mm256_packus_epi32(_mm256_and_si256(a, low), _mm256_and_si256(b, low));
}

ISTREL_FORCE_INLINE void store(char* out, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v);
}

void pack(char* out, const Sample* luma, const Sample* cb, const Sample* cr, int groups,
          V210Shift shift) {
  const Shifts s(shift);
  v210::packRow<1, 2>(out, luma, cb, cr, groups, shift, [&](int g) {
    const __m256i y = s.luma(load2x8(luma + 6 * g, luma + 6 * g + 6));
    const __m256i c = s.chroma(_mm256_unpacklo_epi64(load2x4(cb + 3 * g, cb + 3 * g + 3),
                                                     load2x4(cr + 3 * g, cr + 3 * g + 3)));
    store(out + g * v210::kGroupBytes, packGroups(y, c));
  });
}

void packPreview(char* out, const Sample* luma, const Sample* cb, const Sample* cr, int groups,
                 V210Shift shift) {
  const Shifts s(shift);
  v210::packRow<2, 2>(out, luma, cb, cr, groups, shift, [&](int g) {
    const Sample* l = luma + 12 * g;
    const __m256i y = s.luma(evens(load2x8(l, l + 12), load2x8(l + 8, l + 20)));
    const __m256i c =
        s.chroma(evens(load2x8(cb + 6 * g, cb + 6 * g + 6), load2x8(cr + 6 * g, cr + 6 * g + 6)));
    store(out + g * v210::kGroupBytes, packGroups(y, c));
  });
}

}  // namespace

void fillV210(Kernels<unsigned short>& k) {
  k.packV210 = pack;
  k.packV210Preview = packPreview;
}

}  // namespace H264::avx2
