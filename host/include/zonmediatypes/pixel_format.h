// Stand-in for the host's pixel-format vocabulary. A real host links its own
// zonmediatypes library instead.
#pragma once

#include <cstdint>

namespace zonmediatypes {

// Opaque to Istrel: eight bytes, passed by value.
struct PixelFormat {
  std::uint64_t code;
};

// Packed 10-bit 4:2:2, Rec. 709 (v210).
extern const PixelFormat kPixelFormat_V210_422_10u_709;

// Bytes in one row of `width` pixels of `format`: for v210, 128 bytes for
// every started group of 48 pixels. 0 for an unknown format or a width below 1.
// Safe to call from several threads at once.
std::uint64_t UncompressedPixelFormatRowBytes(PixelFormat format, int width);

}  // namespace zonmediatypes
