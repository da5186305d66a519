#include "common/picture_view.h"

#include <numeric>

#include "api/aspect_ratio.h"
#include "common/md5.h"
#include "core/h264_decoder.h"
#include "syntax/parameter_sets.h"

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

std::string formatName(int width, int height, int chromaFormat, int bitDepthLuma,
                       int bitDepthChroma) {
  static const char* const kChroma[] = {"4:0:0", "4:2:0", "4:2:2", "4:4:4"};
  std::string name = std::to_string(width);
  name += 'x';
  name += std::to_string(height);
  name += ' ';
  name += kChroma[chromaFormat & 3];
  name += ' ';
  name += std::to_string(bitDepthLuma);
  if (bitDepthChroma != bitDepthLuma) name += '/' + std::to_string(bitDepthChroma);
  name += "-bit";
  return name;
}

std::string formatName(const PictureView& view) {
  return formatName(view.width[0], view.height[0], view.chromaFormat, view.bitDepth[0],
                    view.bitDepth[1]);
}

DisplayInfo displayInfoOf(const H264::SeqParameterSet& sps) {
  DisplayInfo d;
  d.layout = H264::PictureFormat::of(sps);
  d.left = static_cast<int>(sps.frame_crop_left_offset * sps.CropUnitX());
  d.top = static_cast<int>(sps.frame_crop_top_offset * sps.CropUnitY());
  d.width = static_cast<int>(H264::croppedWidth(sps));
  d.height = static_cast<int>(H264::croppedHeight(sps));
  d.chromaFormat = static_cast<int>(sps.chroma_format_idc);
  const H264::VuiParameters* vui = sps.vui.get();
  if (vui && vui->aspect_ratio_info_present_flag) {
    H264::SampleAspectRatio sar = H264::aspectRatioOf(vui, sps.chroma_format_idc == 2);
    d.sarWidth = static_cast<unsigned>(sar.width);
    d.sarHeight = static_cast<unsigned>(sar.height);
  }
  if (vui && vui->timing_info_present_flag && vui->num_units_in_tick && vui->time_scale) {
    const std::uint64_t num = vui->time_scale, den = 2 * std::uint64_t{vui->num_units_in_tick};
    const std::uint64_t divisor = std::gcd(num, den);
    d.rateNum = static_cast<unsigned>(num / divisor);
    d.rateDen = static_cast<unsigned>(den / divisor);
  }
  return d;
}

PictureView viewOf(const DisplayInfo& d, const std::uint16_t* const planes[3],
                   const std::ptrdiff_t strides[3]) {
  PictureView v{};
  v.chromaFormat = d.chromaFormat;
  for (int p = 0; p < 3; ++p) {
    int scaleX = p == 0 ? 16 : static_cast<int>(d.layout.mbWidthC);
    int scaleY = p == 0 ? 16 : static_cast<int>(d.layout.mbHeightC);
    v.stride[p] = strides[p];
    v.plane[p] = planes[p] + (d.top * scaleY / 16) * strides[p] + d.left * scaleX / 16;
    v.width[p] = d.width * scaleX / 16;
    v.height[p] = d.height * scaleY / 16;
    v.bitDepth[p] = static_cast<int>(p == 0 ? d.layout.bitDepthLuma : d.layout.bitDepthChroma);
  }
  return v;
}

PictureView displayWindow(const H264::SeqParameterSet& sps, const std::uint16_t* const planes[3],
                          const std::ptrdiff_t strides[3]) {
  return viewOf(displayInfoOf(sps), planes, strides);
}

PictureView pictureView(const H264::H264Decoder& core, const DisplayInfo& display) {
  const H264::PictureFormat& f = core.pictureFormat();
  DisplayInfo shown = display;
  if (!f.sameLayout(display.layout) || f.chromaFormat != display.layout.chromaFormat) {
    shown = DisplayInfo{};
    shown.layout = f;
    shown.width = static_cast<int>(f.lumaWidth);
    shown.height = static_cast<int>(f.lumaHeight);
    shown.chromaFormat = static_cast<int>(f.chromaFormat);
  }
  const H264::Picture<unsigned short>& picture = core.picture();
  const std::uint16_t* planes[3] = {picture.plane(0), picture.plane(1), picture.plane(2)};
  const std::ptrdiff_t strides[3] = {picture.lumaWidth(), picture.chromaWidth(),
                                     picture.chromaWidth()};
  return viewOf(shown, planes, strides);
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
