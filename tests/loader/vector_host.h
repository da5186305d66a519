// A committed vector as a host hands it to the library: its frames, the
// host fields that fit it, and the md5 line of what the handle delivered.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/v210_geometry.h"
#include "common/md5.h"
#include "istrel/istrel.h"
#include "loader/loaded_library.h"
#include "support/vectors.h"
#include "syntax/nal_unit.h"

namespace istrel::test {

using Frame = std::vector<unsigned char>;

// The frames of a vector. Each of its frames begins with its sequence
// parameter set (tests/vectors/README.md), so a frame runs from the start
// code of one sequence parameter set to the next one's.
inline std::vector<Frame> framesOf(const VectorCase& c) {
  std::ifstream in(c.path(), std::ios::binary);
  const Frame bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (bytes.empty()) throw std::runtime_error("cannot read " + c.path());
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i + 3 < bytes.size(); ++i) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 &&
        H264::nalUnitType(bytes[i + 3]) == H264::kNalSps) {
      starts.push_back(i > 0 && bytes[i - 1] == 0 ? i - 1 : i);
    }
  }
  std::vector<Frame> frames;
  for (std::size_t f = 0; f < starts.size(); ++f) {
    const std::size_t end = f + 1 < starts.size() ? starts[f + 1] : bytes.size();
    frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(starts[f]),
                        bytes.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return frames;
}

// The host fields for a vector: the coded width (whole macroblocks), the
// displayed height, 4:2:2 for 4:2:2 streams.
inline void setHostFields(AVCIntraInfo& h, const VectorCase& c) {
  h.is422 = c.csp == "i422";
  h.width = (c.width + 15) / 16 * 16;
  h.height = c.height;
}

// A new handle, opened, its host fields set for `c` and its parameter sets
// read from `first`; `status` is what AVCIReadAspectRatio returned. Null
// when no handle could be opened.
inline AVCIntraInfo* openFor(const LoadedLibrary& f, const VectorCase& c, const Frame& first,
                             int& status) {
  AVCIntraInfo* h = f.newDecoder();
  if (h && f.fileOpen(h) != 1) {
    f.dispose(h);
    h = nullptr;
  }
  if (!h) return nullptr;
  setHostFields(*h, c);
  Frame work = first;  // the library rewrites what it is given
  status = f.readAspectRatio(h, work.data(), static_cast<int>(work.size()));
  return h;
}

// The v210 rows of the host's picture, full size or the preview.
inline H264::V210Geometry v210Of(const AVCIntraInfo& h, bool full) {
  return H264::V210Geometry::of(h.width, h.height, full);
}

// AVCIDecodeFrame on a copy of `frame` into `output`.
inline int decodeCopy(const LoadedLibrary& f, AVCIntraInfo* h, const Frame& frame,
                      std::vector<char>& output, bool full) {
  Frame work = frame;
  return f.decodeFrame(nullptr, h, work.data(), static_cast<int>(work.size()), output.data(), full);
}

// The md5 line of frame `index` of the delivered planes, as the vectors'
// .md5 files write it: the displayed picture (the top left of the coded
// one), one byte per sample at 8 bits and two little-endian above.
inline std::string deliveredMd5Line(const AVCIntraInfo& h, const VectorCase& c, std::size_t index) {
  std::string line = std::to_string(index);
  for (int p = 0; p < 3; ++p) {
    const auto* plane = reinterpret_cast<const std::uint16_t*>(h.planes[p]);
    const int stride = p ? h.width / 2 : h.width;
    const int width = p ? c.width / 2 : c.width;
    const int height = p && c.csp == "i420" ? c.height / 2 : c.height;
    istrel::tools::Md5 md5;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::uint16_t sample = plane[std::size_t(y) * stride + x];
        const unsigned char bytes[2] = {static_cast<unsigned char>(sample & 0xFF),
                                        static_cast<unsigned char>(sample >> 8)};
        md5.update(bytes, c.depth > 8 ? 2 : 1);
      }
    }
    line += ' ';
    line += md5.hexDigest();
  }
  return line;
}

}  // namespace istrel::test
