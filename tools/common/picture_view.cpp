#include "common/picture_view.h"

#include "common/md5.h"
#include "syntax/parameter_sets.h"
#include "syntax/picture_format.h"

namespace istrel::tools {

std::vector<std::uint8_t> planeBytes(const PictureView& view, int p) {
  bool wide = view.bitDepth[p] > 8;
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(view.width[p]) * view.height[p] * (wide ? 2 : 1));
  for (int y = 0; y < view.height[p]; ++y) {
    const std::uint16_t* row = view.plane[p] + y * view.step * view.stride[p];
    for (int x = 0; x < view.width[p]; ++x) {
      std::uint16_t sample = row[x * view.step];
      out.push_back(static_cast<std::uint8_t>(sample));
      if (wide) out.push_back(static_cast<std::uint8_t>(sample >> 8));
    }
  }
  return out;
}

PictureView displayWindow(const H264::SeqParameterSet& sps, const std::uint16_t* const planes[3],
                          const std::ptrdiff_t strides[3]) {
  H264::PictureFormat f = H264::PictureFormat::of(sps);
  int left = static_cast<int>(sps.frame_crop_left_offset * sps.CropUnitX());
  int top = static_cast<int>(sps.frame_crop_top_offset * sps.CropUnitY());
  int width = static_cast<int>(H264::croppedWidth(sps));
  int height = static_cast<int>(H264::croppedHeight(sps));
  PictureView v{};
  v.chromaFormat = static_cast<int>(sps.chroma_format_idc);
  for (int p = 0; p < 3; ++p) {
    int scaleX = p == 0 ? 16 : static_cast<int>(f.mbWidthC);
    int scaleY = p == 0 ? 16 : static_cast<int>(f.mbHeightC);
    v.stride[p] = strides[p];
    v.plane[p] = planes[p] + (top * scaleY / 16) * strides[p] + left * scaleX / 16;
    v.width[p] = width * scaleX / 16;
    v.height[p] = height * scaleY / 16;
    v.bitDepth[p] = static_cast<int>(p == 0 ? sps.BitDepthY : sps.BitDepthC);
  }
  return v;
}

std::string md5Line(std::size_t index, const PictureView& view) {
  std::string line = std::to_string(index);
  for (int p = 0; p < 3; ++p) {
    std::vector<std::uint8_t> bytes = planeBytes(view, p);
    Md5 md5;
    md5.update(bytes.data(), bytes.size());
    line += ' ';
    line += md5.hexDigest();
  }
  return line;
}

PictureView previewOf(PictureView view) {
  view.step *= 2;
  for (int p = 0; p < 3; ++p) {
    view.width[p] /= 2;
    view.height[p] /= 2;
  }
  return view;
}

}  // namespace istrel::tools
