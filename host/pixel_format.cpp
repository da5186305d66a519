#include <zonmediatypes/pixel_format.h>

namespace zonmediatypes {

const PixelFormat kPixelFormat_V210_422_10u_709{0x7632313037303900};  // "v210709"

std::uint64_t UncompressedPixelFormatRowBytes(PixelFormat format, int width) {
  if (format.code != kPixelFormat_V210_422_10u_709.code || width < 1) return 0;
  constexpr std::uint64_t kPixelsPerBlock = 48;
  constexpr std::uint64_t kBytesPerBlock = 128;
  const std::uint64_t pixels = static_cast<std::uint64_t>(width);
  return (pixels + kPixelsPerBlock - 1) / kPixelsPerBlock * kBytesPerBlock;
}

}  // namespace zonmediatypes
