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
#include <vector>

#include "api/v210_geometry.h"

namespace istrel::test {

using V210Words = std::vector<std::uint32_t>;

// A decoded picture: 16-bit planes, rows packed with no gap, the luma plane
// `width` samples wide and each chroma plane half as wide.
struct V210Source {
  const std::uint16_t* planes[3];  // Y, Cb, Cr
  int width;
  bool is422;  // chroma rows as many as luma rows; else half as many
  int lumaDepth;
  int chromaDepth;
};

// The groups of six pixels in a row `outWidth` pixels wide.
inline int v210Groups(int outWidth) { return (outWidth + 5) / 6; }

// The Y, Cb and Cr values of output row `o` of an output `outWidth` pixels
// wide, whole groups, as v210 must carry them.
inline void expectedV210Row(const V210Source& p, bool full, int o, int outWidth,
                            V210Words want[3]) {
  const auto tenBits = [](unsigned v, int d) { return d < 10 ? v << (10 - d) : v >> (d - 10); };
  const int t = full ? 1 : 2, remainder = outWidth % 6;
  const int sourced = outWidth - remainder + (remainder % 2 ? 0 : remainder);
  const std::size_t lumaRow = std::size_t(o) * t * p.width;
  const std::size_t chromaRow = std::size_t(p.is422 ? o * t : t * (o / 2)) * (p.width / 2);
  for (int c = 0; c < 3; ++c) want[c].clear();
  for (int x = 0; x < v210Groups(outWidth) * 6; ++x) {
    want[0].push_back(x < sourced ? tenBits(p.planes[0][lumaRow + x * t], p.lumaDepth) : 16);
    for (int c = 1; c < 3 && x % 2 == 0; ++c) {
      want[c].push_back(x < sourced ? tenBits(p.planes[c][chromaRow + x / 2 * t], p.chromaDepth)
                                    : 128);
    }
  }
}

// The Y, Cb and Cr values of the first `groups` groups of a v210 row. False
// when a word has either of its two top bits set.
inline bool unpackV210Row(const char* row, int groups, V210Words got[3]) {
  bool clean = true;
  for (int c = 0; c < 3; ++c) got[c].clear();
  for (int w = 0; w < groups * 4; ++w) {
    std::uint32_t word;
    std::memcpy(&word, row + 4 * w, 4);
    clean = clean && (word >> 30) == 0;
    for (int k = 0; k < 3; ++k) {
      const int n = 3 * w + k;
      got[n % 2 ? 0 : n % 4 ? 2 : 1].push_back((word >> (10 * k)) & 0x3FF);
    }
  }
  return clean;
}

// What is wrong with the v210 rows `output` laid out as `g` for the picture
// `p`: the rows the stripes write must hold the model's values and leave the
// bytes after their last group as they were (`untouched`), the rows after the
// last whole stripe too. Empty when nothing is.
inline std::string v210Problem(const V210Source& p, const H264::V210Geometry& g, const char* output,
                               char untouched) {
  const int groups = v210Groups(g.width);
  for (int o = 0; o < g.height; ++o) {
    const char* row = output + std::size_t(o) * std::size_t(g.rowBytes);
    const bool written = o < g.rowsWritten();
    for (int b = written ? 16 * groups : 0; b < g.rowBytes; ++b) {
      if (row[b] != untouched) return "row " + std::to_string(o) + ": a byte not to be written";
    }
    if (!written) continue;
    V210Words want[3], got[3];
    expectedV210Row(p, g.step == 1, o, g.width, want);
    if (!unpackV210Row(row, groups, got)) return "row " + std::to_string(o) + ": top bits set";
    for (int c = 0; c < 3; ++c) {
      if (got[c] != want[c]) return "row " + std::to_string(o) + " component " + std::to_string(c);
    }
  }
  return "";
}

}  // namespace istrel::test
