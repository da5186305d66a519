// A decoded picture as the tools see it: 16-bit planes, cropped to the
// display window, with their sample depths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace istrel::tools {

struct PictureView {
  const std::uint16_t* plane[3];  // first displayed sample of Y, Cb, Cr
  std::ptrdiff_t stride[3];       // in samples
  int width[3];
  int height[3];
  int bitDepth[3];
  int chromaFormat;  // 1 4:2:0, 2 4:2:2, 3 4:4:4
  int step = 1;      // 2 samples every second sample of every second row (preview)
};

// "index md5(Y) md5(Cb) md5(Cr)" of the planes as planeBytes lays them out:
// the line format of the committed test vectors' .md5 files.
std::string md5Line(std::size_t index, const PictureView& view);

// Every second sample of every second row: the half-size preview.
PictureView previewOf(PictureView view);

// One plane in the layout x264 --dump-yuv writes: a byte per sample at 8
// bits, 16-bit little-endian above.
std::vector<std::uint8_t> planeBytes(const PictureView& view, int plane);

}  // namespace istrel::tools

namespace H264 {
struct SeqParameterSet;
}

namespace istrel::tools {

// The display window that `sps` declares over planes laid out as decoded.
PictureView displayWindow(const H264::SeqParameterSet& sps, const std::uint16_t* const planes[3],
                          const std::ptrdiff_t strides[3]);

}  // namespace istrel::tools
