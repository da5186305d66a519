// A plain model of the v210 rows the library delivers, for the tests that
// check its output: v210 carries Cb Y Cr Y Cb Y Cr Y ..., three 10-bit fields
// per little-endian 32-bit word, six pixels in four words; the preview takes
// every second sample of every second row; samples of other depths are
// shifted to 10 bits; a last partial group of six takes source pixels only in
// whole pairs and is padded with black.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "api/v210_geometry.h"

namespace istrel::test {

// A decoded picture: 16-bit planes, rows packed with no gap, the luma plane
// `width` samples wide and each chroma plane half as wide.
struct V210Source {
  const std::uint16_t* planes[3];  // Y, Cb, Cr
  int width;
  bool is422;  // chroma rows as many as luma rows; else half as many
  int lumaDepth;
  int chromaDepth;
};

// What is wrong with the v210 rows `output` laid out as `g` for the picture
// `p`: the rows the stripes write must hold the model's values in whole
// groups of six and leave the bytes after their last group as they were
// (`untouched`), the rows after the last whole stripe too. Empty when nothing is.
inline std::string v210Problem(const V210Source& p, const H264::V210Geometry& g, const char* output,
                               char untouched) {
  const auto tenBits = [](unsigned v, int d) { return d < 10 ? v << (10 - d) : v >> (d - 10); };
  const int groups = (g.width + 5) / 6, t = g.step, remainder = g.width % 6;
  const int sourced = g.width - remainder + (remainder % 2 ? 0 : remainder);
  for (int o = 0; o < g.height; ++o) {
    const std::string at = "row " + std::to_string(o);
    const char* row = output + std::size_t(o) * std::size_t(g.rowBytes);
    const bool written = o < g.rowsWritten();
    for (int b = written ? 16 * groups : 0; b < g.rowBytes; ++b) {
      if (row[b] != untouched) return at + ": a byte not to be written";
    }
    if (!written) continue;
    const std::size_t lumaRow = std::size_t(o) * t * p.width;
    const std::size_t chromaRow = std::size_t(p.is422 ? o * t : t * (o / 2)) * (p.width / 2);
    for (int w = 0; w < groups * 4; ++w) {
      std::uint32_t word;
      std::memcpy(&word, row + 4 * w, 4);
      if (word >> 30) return at + ": top bits set";
      for (int k = 0; k < 3; ++k) {
        // Field n of the row is Cb, Y, Cr, Y, ...; of pixel x, Cb and Cr of pixel pair x / 2.
        const int n = 3 * w + k, c = n % 2 ? 0 : n % 4 ? 2 : 1, x = c ? n / 4 * 2 : n / 2;
        const unsigned want = x >= sourced ? (c ? 128 : 16)
                              : c ? tenBits(p.planes[c][chromaRow + x / 2 * t], p.chromaDepth)
                                  : tenBits(p.planes[0][lumaRow + x * t], p.lumaDepth);
        if (((word >> (10 * k)) & 0x3FF) != want) {
          return at + " component " + std::to_string(c) + " pixel " + std::to_string(x);
        }
      }
    }
  }
  return "";
}

}  // namespace istrel::test
