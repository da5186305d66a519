// A decoded picture as the tools see it: 16-bit planes, cropped to the
// display window, with their sample depths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "syntax/picture_format.h"

namespace H264 {
struct SeqParameterSet;
class H264Decoder;
}  // namespace H264

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

// One plane in the layout x264's --dump-yuv writes: a byte per sample at 8
// bits, 16-bit little-endian above.
std::vector<std::uint8_t> planeBytes(const PictureView& view, int plane);

// What a file of pictures is made for: "1280x720 4:2:2 10-bit" (luma and
// chroma depths both given when they differ).
std::string formatName(int width, int height, int chromaFormat, int bitDepthLuma,
                       int bitDepthChroma);
std::string formatName(const PictureView& view);

// How a sequence parameter set says to show its pictures.
struct DisplayInfo {
  H264::PictureFormat layout;  // the planes as decoded
  int left = 0;                // the cropping window, in luma samples
  int top = 0;
  int width = 0;
  int height = 0;
  int chromaFormat = 1;
  // Of the VUI: the sample aspect ratio as the library reports it (0:0 when
  // the VUI states none), and time_scale / (2 num_units_in_tick) frames per
  // second, reduced (0/0 without timing information).
  unsigned sarWidth = 0;
  unsigned sarHeight = 0;
  unsigned rateNum = 0;
  unsigned rateDen = 0;
};

DisplayInfo displayInfoOf(const H264::SeqParameterSet& sps);

// The window of `display` over planes laid out as `display.layout` says.
PictureView viewOf(const DisplayInfo& display, const std::uint16_t* const planes[3],
                   const std::ptrdiff_t strides[3]);

// The display window that `sps` declares over planes laid out as decoded.
PictureView displayWindow(const H264::SeqParameterSet& sps, const std::uint16_t* const planes[3],
                          const std::ptrdiff_t strides[3]);

// The picture `decoder` holds, shown as `display` says when that describes
// the picture's layout, else whole: a view never reaches outside the picture.
PictureView pictureView(const H264::H264Decoder& core, const DisplayInfo& display);

}  // namespace istrel::tools
