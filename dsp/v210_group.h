// One v210 group of six pixels in plain C++: four little-endian words of three
// 10-bit components, Cb Y Cr / Y Cb Y / Cr Y Cb / Y Cr Y.
#pragma once

#include <cstdint>
#include <cstring>

#include "base/compiler.h"
#include "dsp/kernels.h"

namespace H264::v210 {

// Padding for the pixels of a partial group, in 10-bit units.
inline constexpr std::uint32_t kFillLuma = 16;
inline constexpr std::uint32_t kFillChroma = 128;
inline constexpr int kGroupBytes = 16;

struct Group {
  std::uint32_t y[6] = {kFillLuma, kFillLuma, kFillLuma, kFillLuma, kFillLuma, kFillLuma};
  std::uint32_t cb[3] = {kFillChroma, kFillChroma, kFillChroma};
  std::uint32_t cr[3] = {kFillChroma, kFillChroma, kFillChroma};
};

ISTREL_FORCE_INLINE std::uint32_t tenBits(std::uint32_t sample, unsigned left, unsigned right) {
  return (sample << left) >> right;
}

// The group whose first luma sample is luma[0], its first chroma samples
// cb[0] and cr[0], `step` samples apart; only the first `count` pixels come
// from the source (0, 2, 4 or 6), the rest are padding.
template <typename T>
ISTREL_FORCE_INLINE Group loadGroup(const T* luma, const T* cb, const T* cr, int step, int count,
                                    const V210Shift& s) {
  Group g;
  for (int i = 0; i < count; ++i) g.y[i] = tenBits(luma[i * step], s.lumaLeft, s.lumaRight);
  for (int j = 0; j < count / 2; ++j) {
    g.cb[j] = tenBits(cb[j * step], s.chromaLeft, s.chromaRight);
    g.cr[j] = tenBits(cr[j * step], s.chromaLeft, s.chromaRight);
  }
  return g;
}

ISTREL_FORCE_INLINE void storeWord(char* out, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  const std::uint32_t word = a | b << 10 | c << 20;
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
      static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
  std::memcpy(out, bytes, sizeof bytes);
}

ISTREL_FORCE_INLINE void storeGroup(char* out, const Group& g) {
  storeWord(out, g.cb[0], g.y[0], g.cr[0]);
  storeWord(out + 4, g.y[1], g.cb[1], g.y[2]);
  storeWord(out + 8, g.cr[1], g.y[3], g.cb[2]);
  storeWord(out + 12, g.y[4], g.cr[2], g.y[5]);
}

// A row of `groups` groups, kStep samples apart (2: the preview): a vector
// kernel's `packGroups(g)` packs kPerCall groups from group g on, while the
// samples its loads reach, a few past the groups, still lie in the row; the
// last groups are packed here.
template <int kStep, int kPerCall, typename T, typename PackGroups>
ISTREL_FORCE_INLINE void packRow(char* out, const T* luma, const T* cb, const T* cr, int groups,
                                 const V210Shift& shift, PackGroups packGroups) {
  int g = 0;
  for (; g + kPerCall < groups; g += kPerCall) packGroups(g);
  for (; g < groups; ++g) {
    storeGroup(out + g * kGroupBytes, loadGroup(luma + 6 * g * kStep, cb + 3 * g * kStep,
                                                cr + 3 * g * kStep, kStep, 6, shift));
  }
}

}  // namespace H264::v210
