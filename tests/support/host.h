// What the tests that go through the exported functions share: the bytes a
// host hands over, the size of its output, and the md5 line of what it got.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api/v210_converter.h"
#include "common/annexb_file.h"
#include "common/picture_view.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"
#include "syntax/parameters_decoder.h"

namespace istrel::test {

// Access unit `i` of a stream: the bytes of one frame.
inline std::vector<std::uint8_t> unitBytes(const tools::AnnexBStream& s, std::size_t i) {
  const tools::AccessUnit& unit = s.units.at(i);
  return {s.bytes.begin() + static_cast<std::ptrdiff_t>(unit.begin),
          s.bytes.begin() + static_cast<std::ptrdiff_t>(unit.end)};
}

// The md5 line of frame `index` (as in the vectors' .md5 files) for the
// planes the handle delivered last, cropped as sequence parameter set 0 says.
inline std::string hostMd5(const AVCIntraInfo& h, std::size_t index) {
  const std::uint16_t* planes[3];
  for (int p = 0; p < 3; ++p) planes[p] = reinterpret_cast<const std::uint16_t*>(h.planes[p]);
  const H264::PictureFormat& f = h.decoder->pictureFormat();
  const std::ptrdiff_t strides[3] = {f.lumaWidth, f.chromaWidth, f.chromaWidth};
  return tools::md5Line(index,
                        tools::displayWindow(*h.decoder->parameters().sps(0), planes, strides));
}

}  // namespace istrel::test
