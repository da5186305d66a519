#include "api/v210_converter.h"

#include <zoncore/threads.h>

#include <boost/bind/bind.hpp>
#include <boost/function.hpp>

#include "core/h264_decoder.h"
#include "dsp/v210_group.h"

namespace H264 {
namespace {

unsigned leftShift(int bitDepth) {
  return bitDepth < 10 ? static_cast<unsigned>(10 - bitDepth) : 0;
}
unsigned rightShift(int bitDepth) {
  return bitDepth > 10 ? static_cast<unsigned>(bitDepth - 10) : 0;
}

// Output row o: whole groups by the kernel, then a partial last group that
// carries only whole 4:2:2 pairs (an odd remainder leaves it all padding).
void convertRow(const V210Job& job, const V210Shift& shift, int o) {
  const V210Geometry& g = job.geometry;
  const int t = g.step;
  const int chromaRow = job.is422 ? o * t : t * (o / 2);
  const unsigned short* luma = job.planes[0] + std::ptrdiff_t{o} * t * job.width;
  const unsigned short* cb = job.planes[1] + std::ptrdiff_t{chromaRow} * (job.width / 2);
  const unsigned short* cr = job.planes[2] + std::ptrdiff_t{chromaRow} * (job.width / 2);
  char* out = job.output + std::ptrdiff_t{o} * g.rowBytes;
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

void convertStripeToV210(const V210Job& job, int stripe) {
  const int rows = job.geometry.rowsPerStripe();
  if (rows <= 0) return;
  const V210Shift shift{leftShift(job.bitDepthLuma), rightShift(job.bitDepthLuma),
                        leftShift(job.bitDepthChroma), rightShift(job.bitDepthChroma)};
  const int first = stripe * rows;
  for (int o = first; o < first + rows; ++o) convertRow(job, shift, o);
}

void convertToV210(const V210Job& job) {
  const boost::function<void(int)> stripeTask =
      boost::bind(&convertStripeToV210, job, boost::placeholders::_1);
  zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors(stripeTask, job.geometry.stripes);
}

void convertToV210(const H264Decoder& core, char* output, const V210Target& target) {
  const PictureFormat& f = core.pictureFormat();
  V210Job job{};
  job.output = output;
  for (int p = 0; p < 3; ++p) job.planes[p] = core.picture().plane(p);
  job.width = target.width;
  job.is422 = target.is422;
  job.bitDepthLuma = static_cast<int>(f.bitDepthLuma);
  job.bitDepthChroma = static_cast<int>(f.bitDepthChroma);
  job.kernels = &core.kernels();
  job.geometry = target.geometry();
  convertToV210(job);
}

}  // namespace H264
