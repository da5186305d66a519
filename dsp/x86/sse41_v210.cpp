// v210 packing with SSE4.1: a group's six luma and three chroma pairs are
// gathered by byte shuffles into the three 10-bit fields of its four words.
#include <smmintrin.h>

#include "dsp/kernel_levels.h"
#include "dsp/v210_group.h"

namespace H264::sse41 {
namespace {

using Sample = unsigned short;

// Shuffle masks that move 16-bit element e of a register into the low half
// of 32-bit lane k (-1: zero).
ISTREL_FORCE_INLINE __m128i laneMask(int e0, int e1, int e2, int e3) {
  auto lo = [](int e) { return static_cast<char>(e < 0 ? -1 : 2 * e); };
  auto hi = [](int e) { return static_cast<char>(e < 0 ? -1 : 2 * e + 1); };
  return _mm_setr_epi8(lo(e0), hi(e0), -1, -1, lo(e1), hi(e1), -1, -1, lo(e2), hi(e2), -1, -1,
                       lo(e3), hi(e3), -1, -1);
}

// y holds y0..y5 in its first six elements, c holds cb0 cb1 cb2 . cr0 cr1
// cr2 .; the words are Cb0 Y0 Cr0 / Y1 Cb1 Y2 / Cr1 Y3 Cb2 / Y4 Cr2 Y5.
ISTREL_FORCE_INLINE __m128i packGroup(__m128i y, __m128i c) {
  const __m128i low = _mm_or_si128(_mm_shuffle_epi8(y, laneMask(-1, 1, -1, 4)),
                                   _mm_shuffle_epi8(c, laneMask(0, -1, 5, -1)));
  const __m128i mid = _mm_or_si128(_mm_shuffle_epi8(y, laneMask(0, -1, 3, -1)),
                                   _mm_shuffle_epi8(c, laneMask(-1, 1, -1, 6)));
  const __m128i high = _mm_or_si128(_mm_shuffle_epi8(y, laneMask(-1, 2, -1, 5)),
                                    _mm_shuffle_epi8(c, laneMask(4, -1, 2, -1)));
  return _mm_or_si128(low, _mm_or_si128(_mm_slli_epi32(mid, 10), _mm_slli_epi32(high, 20)));
}

struct Shifts {
  __m128i lumaLeft, lumaRight, chromaLeft, chromaRight;
  explicit Shifts(const V210Shift& s)
      : lumaLeft(_mm_cvtsi32_si128(static_cast<int>(s.lumaLeft))),
        lumaRight(_mm_cvtsi32_si128(static_cast<int>(s.lumaRight))),
        chromaLeft(_mm_cvtsi32_si128(static_cast<int>(s.chromaLeft))),
        chromaRight(_mm_cvtsi32_si128(static_cast<int>(s.chromaRight))) {}
  __m128i luma(__m128i v) const { return _mm_srl_epi16(_mm_sll_epi16(v, lumaLeft), lumaRight); }
  __m128i chroma(__m128i v) const {
    return _mm_srl_epi16(_mm_sll_epi16(v, chromaLeft), chromaRight);
  }
};

ISTREL_FORCE_INLINE __m128i load8(const Sample* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

ISTREL_FORCE_INLINE __m128i load4(const Sample* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// Every second element of a and then of b.
ISTREL_FORCE_INLINE __m128i evens(__m128i a, __m128i b) {
  const __m128i low = _mm_set1_epi32(0xFFFF);
  return _mm_packus_epi32(_mm_and_si128(a, low), _mm_and_si128(b, low));
}

ISTREL_FORCE_INLINE void store(char* out, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
}

void pack(char* out, const Sample* luma, const Sample* cb, const Sample* cr, int groups,
          V210Shift shift) {
  const Shifts s(shift);
  v210::packRow<1, 1>(out, luma, cb, cr, groups, shift, [&](int g) {
    const __m128i y = s.luma(load8(luma + 6 * g));
    const __m128i c = s.chroma(_mm_unpacklo_epi64(load4(cb + 3 * g), load4(cr + 3 * g)));
    store(out + g * v210::kGroupBytes, packGroup(y, c));
  });
}

void packPreview(char* out, const Sample* luma, const Sample* cb, const Sample* cr, int groups,
                 V210Shift shift) {
  const Shifts s(shift);
  v210::packRow<2, 1>(out, luma, cb, cr, groups, shift, [&](int g) {
    const Sample* l = luma + 12 * g;
    const __m128i y = s.luma(evens(load8(l), load8(l + 8)));
    const __m128i c = s.chroma(evens(load8(cb + 6 * g), load8(cr + 6 * g)));
    store(out + g * v210::kGroupBytes, packGroup(y, c));
  });
}

}  // namespace

void fillV210(Kernels<unsigned short>& k) {
  k.packV210 = pack;
  k.packV210Preview = packPreview;
}

}  // namespace H264::sse41
