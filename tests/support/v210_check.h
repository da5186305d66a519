// The v210 rows of a conversion checked against the plain model of
// v210_model.h: pictures of random samples, host buffers prefilled with a
// canary, and the check of converted rows (the converter's tests and those
// of the exported functions).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "api/v210_converter.h"
#include "istrel/istrel.h"
#include "support/v210_model.h"

namespace istrel::test {

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
  int groups() const { return v210Groups(width); }
};

inline V210Source sourceOf(const Picture& p) {
  return {{p.planes[0].data(), p.planes[1].data(), p.planes[2].data()},
          p.width,
          p.is422,
          p.lumaDepth,
          p.chromaDepth};
}

// Rows [begin, end) hold the picture as the model says, and nothing past their last group.
inline void expectConverted(const Picture& p, const Output& out, bool full, int begin, int end) {
  const V210Source source = sourceOf(p);
  for (int o = begin; o < end; ++o) {
    V210Words want[3], got[3];
    expectedV210Row(source, full, o, out.width, want);
    EXPECT_TRUE(unpackV210Row(out.row(o), out.groups(), got)) << "row " << o;
    for (int c = 0; c < 3; ++c) ASSERT_EQ(got[c], want[c]) << "row " << o << " component " << c;
    for (const char* b = out.row(o) + 16 * out.groups(); b < out.row(o) + out.rowBytes; ++b) {
      ASSERT_EQ(*b, kCanary) << "row " << o << ": byte past the last group";
    }
  }
}

}  // namespace istrel::test
