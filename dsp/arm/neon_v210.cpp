// v210 packing with NEON: a group's six luma and three chroma pairs are
// gathered by table lookups into the three 10-bit fields of its four words,
// then shifted to 10 bits and combined in 32-bit lanes exactly as the plain
// code does.
#include <arm_neon.h>

#include "dsp/kernel_levels.h"
#include "dsp/v210_group.h"

namespace H264::neon {
namespace {

using Sample = unsigned short;

// Lookups into the pair {y, c}: y holds y0..y5 in its first six elements,
// c holds cb0 cb1 cb2 . cr0 cr1 cr2 .; each mask puts one 16-bit element
// into the low half of each 32-bit lane (index 0xFF gives zero). The words
// are Cb0 Y0 Cr0 / Y1 Cb1 Y2 / Cr1 Y3 Cb2 / Y4 Cr2 Y5.
constexpr std::uint8_t Z = 0xFF;
alignas(16) constexpr std::uint8_t kLowField[16] = {16, 17, Z, Z, 2, 3, Z, Z,      // cb0, y1
                                                    26, 27, Z, Z, 8, 9, Z, Z};     // cr1, y4
alignas(16) constexpr std::uint8_t kMidField[16] = {0, 1, Z, Z, 18, 19, Z, Z,      // y0, cb1
                                                    6, 7, Z, Z, 28, 29, Z, Z};     // y3, cr2
alignas(16) constexpr std::uint8_t kHighField[16] = {24, 25, Z, Z, 4,  5,  Z, Z,   // cr0, y2
                                                     20, 21, Z, Z, 10, 11, Z, Z};  // cb2, y5

// The shifts to 10 bits per lane: the low and high fields hold chroma,
// luma, chroma, luma; the middle one luma, chroma, luma, chroma. A negative
// count shifts right.
struct Shifts {
  int32x4_t outerLeft, outerRight, midLeft, midRight;
  explicit Shifts(const V210Shift& s) {
    const std::int32_t ll = static_cast<std::int32_t>(s.lumaLeft);
    const std::int32_t lr = -static_cast<std::int32_t>(s.lumaRight);
    const std::int32_t cl = static_cast<std::int32_t>(s.chromaLeft);
    const std::int32_t cr = -static_cast<std::int32_t>(s.chromaRight);
    const std::int32_t outer[2][4] = {{cl, ll, cl, ll}, {cr, lr, cr, lr}};
    const std::int32_t mid[2][4] = {{ll, cl, ll, cl}, {lr, cr, lr, cr}};
    outerLeft = vld1q_s32(outer[0]);
    outerRight = vld1q_s32(outer[1]);
    midLeft = vld1q_s32(mid[0]);
    midRight = vld1q_s32(mid[1]);
  }
};

ISTREL_FORCE_INLINE uint32x4_t field(uint8x16x2_t yc, const std::uint8_t* mask, int32x4_t left,
                                     int32x4_t right) {
  const uint32x4_t v = vreinterpretq_u32_u8(vqtbl2q_u8(yc, vld1q_u8(mask)));
  return vshlq_u32(vshlq_u32(v, left), right);
}

ISTREL_FORCE_INLINE void packGroup(char* out, uint16x8_t y, uint16x8_t c, const Shifts& s) {
  const uint8x16x2_t yc = {{vreinterpretq_u8_u16(y), vreinterpretq_u8_u16(c)}};
  const uint32x4_t low = field(yc, kLowField, s.outerLeft, s.outerRight);
  const uint32x4_t mid = field(yc, kMidField, s.midLeft, s.midRight);
  const uint32x4_t high = field(yc, kHighField, s.outerLeft, s.outerRight);
  const uint32x4_t words = vorrq_u32(low, vorrq_u32(vshlq_n_u32(mid, 10), vshlq_n_u32(high, 20)));
  vst1q_u8(reinterpret_cast<std::uint8_t*>(out), vreinterpretq_u8_u32(words));
}

void pack(char* out, const Sample* luma, const Sample* cb, const Sample* cr, int groups,
          V210Shift shift) {
  const Shifts s(shift);
  v210::packRow<1, 1>(out, luma, cb, cr, groups, shift, [&](int g) {
    const uint16x8_t y = vld1q_u16(luma + 6 * g);
    const uint16x8_t c = vcombine_u16(vld1_u16(cb + 3 * g), vld1_u16(cr + 3 * g));
    packGroup(out + g * v210::kGroupBytes, y, c, s);
  });
}

// The interleaving loads keep every second sample.
void packPreview(char* out, const Sample* luma, const Sample* cb, const Sample* cr, int groups,
                 V210Shift shift) {
  const Shifts s(shift);
  v210::packRow<2, 1>(out, luma, cb, cr, groups, shift, [&](int g) {
    const uint16x8_t y = vld2q_u16(luma + 12 * g).val[0];
    const uint16x8_t c = vcombine_u16(vld2_u16(cb + 6 * g).val[0], vld2_u16(cr + 6 * g).val[0]);
    packGroup(out + g * v210::kGroupBytes, y, c, s);
  });
}

}  // namespace

void fillV210(Kernels<unsigned short>& k) {
#if !defined(__ARM_BIG_ENDIAN)
  // The words are stored lane by lane, which is v210's byte order only on a
  // little-endian processor.
  k.packV210 = pack;
  k.packV210Preview = packPreview;
#else
  (void)k;
#endif
}

}  // namespace H264::neon
