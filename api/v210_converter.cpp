#include "api/v210_converter.h"

#include <zoncore/threads.h>
#include <zonmediatypes/pixel_format.h>

#include <boost/bind/bind.hpp>
#include <boost/function.hpp>
#include <cstddef>
#include <cstdint>

#include "dsp/v210_group.h"

namespace H264 {
namespace {

struct Geometry {
  int step;  // source samples and rows per output sample and row
  int width;
  int rows;  // per stripe
  std::ptrdiff_t rowBytes;
};

Geometry geometryOf(const V210Job& job) {
  const int step = job.fullResolution ? 1 : 2;
  const int width = job.width / step;
  const int height = job.height / step;
  const int rows = job.stripes > 0 ? height / job.stripes : 0;
  const auto rowBytes = zonmediatypes::UncompressedPixelFormatRowBytes(
      zonmediatypes::kPixelFormat_V210_422_10u_709, width);
  return {step, width, rows, static_cast<std::int32_t>(rowBytes)};
}

unsigned leftShift(int bitDepth) {
  return bitDepth < 10 ? static_cast<unsigned>(10 - bitDepth) : 0;
}
unsigned rightShift(int bitDepth) {
  return bitDepth > 10 ? static_cast<unsigned>(bitDepth - 10) : 0;
}

// Output row o: whole groups by the kernel, then a partial last group that
// carries only whole 4:2:2 pairs (an odd remainder leaves it all padding).
void convertRow(const V210Job& job, const Geometry& g, const V210Shift& shift, int o) {
  const int t = g.step;
  const int chromaRow = job.is422 ? o * t : t * (o / 2);
  const unsigned short* luma = job.planes[0] + std::ptrdiff_t{o} * t * job.width;
  const unsigned short* cb = job.planes[1] + std::ptrdiff_t{chromaRow} * (job.width / 2);
  const unsigned short* cr = job.planes[2] + std::ptrdiff_t{chromaRow} * (job.width / 2);
  char* out = job.output + o * g.rowBytes;
  const int groups = g.width / 6;
  (t == 1 ? job.kernels->packV210 : job.kernels->packV210Preview)(out, luma, cb, cr, groups, shift);
  const int remainder = g.width % 6;
  if (remainder == 0) return;
  const int count = remainder % 2 ? 0 : remainder;
  const std::ptrdiff_t lumaAt = std::ptrdiff_t{6} * groups * t, chromaAt = lumaAt / 2;
  v210::storeGroup(out + groups * v210::kGroupBytes,
                   v210::loadGroup(luma + lumaAt, cb + chromaAt, cr + chromaAt, t, count, shift));
}

}  // namespace

void* convertStripeToV210(const V210Job& job, int stripe) {
  const Geometry geometry = geometryOf(job);
  if (geometry.rows <= 0) return nullptr;
  const V210Shift shift{leftShift(job.bitDepthLuma), rightShift(job.bitDepthLuma),
                        leftShift(job.bitDepthChroma), rightShift(job.bitDepthChroma)};
  const int first = stripe * geometry.rows;
  for (int o = first; o < first + geometry.rows; ++o) convertRow(job, geometry, shift, o);
  return nullptr;
}

void convertToV210(const V210Job& job) {
  const boost::function<void(int)> stripeTask =
      boost::bind(&convertStripeToV210, job, boost::placeholders::_1);
  zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors(stripeTask, job.stripes);
}

}  // namespace H264
