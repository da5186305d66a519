// The v210 rows of a conversion, as the host's pixel-format service lays
// them out: one definition for the converter, the exported functions, the
// tools and the test hosts.
#pragma once

#include <zonmediatypes/pixel_format.h>

#include <cstddef>
#include <cstdint>

namespace H264 {

// The v210 rows of one conversion: their count and length, and the stripes
// that write them.
struct V210Geometry {
  int step;               // source samples and rows per output one: 1, or 2 for the preview
  int width;              // output pixels per row
  int height;             // output rows
  int stripes;            // 6 at full size, 3 for the preview
  std::int32_t rowBytes;  // as the host's pixel-format service says

  // The rows of a picture `width` x `height`, at full size or as a preview.
  static V210Geometry of(int width, int height, bool fullResolution) {
    V210Geometry g;
    g.step = fullResolution ? 1 : 2;
    g.width = width / g.step;
    g.height = height / g.step;
    g.stripes = fullResolution ? 6 : 3;
    // The host's row length, its low 32 bits as a signed distance.
    g.rowBytes = static_cast<std::int32_t>(zonmediatypes::UncompressedPixelFormatRowBytes(
        zonmediatypes::kPixelFormat_V210_422_10u_709, g.width));
    if (g.width <= 0 || g.height <= 0) g.height = 0;
    return g;
  }

  int rowsPerStripe() const { return height / stripes; }
  // The stripes write whole multiples of their count: rows beyond stay untouched.
  int rowsWritten() const { return rowsPerStripe() * stripes; }
  // What the host's buffer must hold.
  std::size_t bytes() const {
    return static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height);
  }
};

}  // namespace H264
