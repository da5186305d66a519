#include "istrel/v210_job.h"

#include <zonmediatypes/pixel_format.h>

#include "core/h264_decoder.h"
#include "syntax/parameter_sets.h"
#include "syntax/parameters_decoder.h"
#include "syntax/picture_format.h"

namespace istrel::tools {

H264::V210Job v210JobFor(const H264::H264Decoder& core, bool preview, char* output) {
  const H264::PictureFormat& f = core.pictureFormat();
  H264::V210Job job{};
  job.output = output;
  for (int p = 0; p < 3; ++p) job.planes[p] = core.picture().plane(p);
  job.width = static_cast<int>(f.lumaWidth);
  job.height = static_cast<int>(H264::croppedHeight(*core.parameters().sps(0)));
  job.fullResolution = !preview;
  job.stripes = preview ? 3 : 6;
  job.is422 = f.chromaHeight == f.lumaHeight;
  job.bitDepthLuma = static_cast<int>(f.bitDepthLuma);
  job.bitDepthChroma = static_cast<int>(f.bitDepthChroma);
  return job;
}

std::size_t v210BytesOf(const H264::V210Job& job) {
  const int shift = job.fullResolution ? 0 : 1;
  const std::uint64_t rowBytes = zonmediatypes::UncompressedPixelFormatRowBytes(
      zonmediatypes::kPixelFormat_V210_422_10u_709, job.width >> shift);
  return static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(job.height >> shift);
}

}  // namespace istrel::tools
