// A plain model of the v210 rows a picture should give, for the tests of the
// converter and of the exported functions: pictures of random samples, host
// buffers prefilled with a canary, and the check of converted rows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "api/v210_converter.h"
#include "istrel/istrel.h"

namespace istrel::test {

using Words = std::vector<std::uint32_t>;

inline constexpr char kCanary = static_cast<char>(0xA5);

struct Picture {
  int width, height;
  bool is422;
  int lumaDepth, chromaDepth;
  std::vector<unsigned short> planes[3];  // luma, Cb, Cr

  Picture(int w, int h, bool is422, int lumaDepth = 10, int chromaDepth = 10)
      : width(w), height(h), is422(is422), lumaDepth(lumaDepth), chromaDepth(chromaDepth) {
    std::mt19937 random(static_cast<unsigned>(w * 7919 + h));
    for (int c = 0; c < 3; ++c) {
      planes[c].resize(c ? std::size_t(w / 2) * (is422 ? h : h / 2) : std::size_t(w) * h);
      for (auto& s : planes[c])
        s = static_cast<unsigned short>(random() % (1u << (c ? chromaDepth : lumaDepth)));
    }
  }
  // The rows a handle decoded, as far as its host fields reach.
  Picture(const AVCIntraInfo& h, int depth) : Picture(h.width, h.height, h.is422, depth, depth) {
    for (int c = 0; c < 3; ++c) {
      std::copy_n(reinterpret_cast<const unsigned short*>(h.planes[c]), planes[c].size(),
                  planes[c].begin());
    }
  }
};

// A host buffer prefilled with a canary, so untouched bytes show; with a
// picture, what V210Converter writes into it.
struct Output {
  H264::V210Geometry geometry;
  int width, rows, rowBytes;
  std::vector<char> bytes;

  Output(int pictureWidth, int pictureHeight, bool full)
      : geometry(H264::V210Geometry::of(pictureWidth, pictureHeight, full)),
        width(geometry.width),
        rows(geometry.height),
        rowBytes(geometry.rowBytes),
        bytes(geometry.bytes(), kCanary) {}
  explicit Output(const Picture& p, bool full) : Output(p.width, p.height, full) {
    H264::V210Job job{};
    job.output = bytes.data();
    for (int c = 0; c < 3; ++c) job.planes[c] = p.planes[c].data();
    job.width = p.width;
    job.is422 = p.is422;
    job.bitDepthLuma = p.lumaDepth;
    job.bitDepthChroma = p.chromaDepth;
    job.kernels = &H264::kernelsFor<unsigned short>(H264::defaultKernelLevel());
    job.geometry = geometry;
    H264::convertToV210(job);
  }
  const char* row(int o) const { return bytes.data() + std::ptrdiff_t(o) * rowBytes; }
  int groups() const { return (width + 5) / 6; }
};

inline std::uint32_t wordAt(const char* p) {  // little-endian
  std::uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

// v210 is the component sequence Cb Y Cr Y Cb Y Cr Y ..., three 10-bit fields per word.
inline void unpack(const Output& out, int o, Words c[3]) {
  for (int w = 0; w < out.groups() * 4; ++w) {
    const std::uint32_t word = wordAt(out.row(o) + 4 * w);
    EXPECT_EQ(word >> 30, 0u) << "row " << o;
    for (int k = 0; k < 3; ++k) {
      const int n = 3 * w + k;
      c[n % 2 ? 0 : n % 4 ? 2 : 1].push_back((word >> (10 * k)) & 0x3FF);
    }
  }
}

// Rows [begin, end) hold the picture subsampled by t, padded with black up to whole groups (a
// padded group takes source pixels only in whole pairs), and nothing past their last group.
inline void expectConverted(const Picture& p, const Output& out, bool full, int begin, int end) {
  const auto tenBits = [](unsigned v, int d) { return d < 10 ? v << (10 - d) : v >> (d - 10); };
  const int t = full ? 1 : 2, remainder = out.width % 6;
  const int sourced = out.width - remainder + (remainder % 2 ? 0 : remainder);
  for (int o = begin; o < end; ++o) {
    const std::size_t lumaRow = std::size_t(o) * t * p.width;
    const std::size_t chromaRow = std::size_t(p.is422 ? o * t : t * (o / 2)) * (p.width / 2);
    Words want[3], got[3];
    for (int x = 0; x < out.groups() * 6; ++x) {
      want[0].push_back(x < sourced ? tenBits(p.planes[0][lumaRow + x * t], p.lumaDepth) : 16);
      for (int c = 1; c < 3 && x % 2 == 0; ++c) {
        want[c].push_back(x < sourced ? tenBits(p.planes[c][chromaRow + x / 2 * t], p.chromaDepth)
                                      : 128);
      }
    }
    unpack(out, o, got);
    for (int c = 0; c < 3; ++c) ASSERT_EQ(got[c], want[c]) << "row " << o << " component " << c;
    for (const char* b = out.row(o) + 16 * out.groups(); b < out.row(o) + out.rowBytes; ++b) {
      ASSERT_EQ(*b, kCanary) << "row " << o << ": byte past the last group";
    }
  }
}

}  // namespace istrel::test
