#include "api/v210_converter.h"

#include <zoncore/threads.h>
#include <zonmediatypes/pixel_format.h>

#include <boost/bind/bind.hpp>
#include <boost/function.hpp>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/compiler.h"

namespace H264 {
namespace {

// Padding for the pixels of a partial group, already in 10-bit units.
constexpr std::uint32_t kFillLuma = 16;
constexpr std::uint32_t kFillChroma = 128;

// Shifts that bring a sample to 10 bits; at most one of the two is nonzero.
struct Scale {
  unsigned left;
  unsigned right;
};

Scale scaleFor(int bitDepth) {
  return bitDepth < 10 ? Scale{static_cast<unsigned>(10 - bitDepth), 0u}
                       : Scale{0u, static_cast<unsigned>(bitDepth - 10)};
}

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

// The source samples of one output row.
struct SourceRow {
  const unsigned short* luma;
  const unsigned short* cb;
  const unsigned short* cr;
  int step;
  Scale lumaScale;
  Scale chromaScale;
};

SourceRow sourceRowFor(const V210Job& job, const Geometry& geometry, int outputRow) {
  const int t = geometry.step;
  const int chromaRow = job.is422 ? outputRow * t : t * (outputRow / 2);
  const std::ptrdiff_t lumaOffset = std::ptrdiff_t{outputRow} * t * job.width;
  const std::ptrdiff_t chromaOffset = std::ptrdiff_t{chromaRow} * (job.width / 2);
  return {job.planes[0] + lumaOffset, job.planes[1] + chromaOffset, job.planes[2] + chromaOffset, t,
          scaleFor(job.bitDepthLuma), scaleFor(job.bitDepthChroma)};
}

template <bool kScaled>
ISTREL_FORCE_INLINE std::uint32_t tenBits(unsigned short sample, Scale scale) {
  if constexpr (kScaled) {
    return (std::uint32_t{sample} << scale.left) >> scale.right;
  } else {
    return sample;
  }
}

struct Group {
  std::uint32_t y[6];
  std::uint32_t cb[3];
  std::uint32_t cr[3];
};

// Group `g` of the row with its first kLuma pixels taken from the source, the rest padding.
template <bool kScaled, int kLuma>
ISTREL_FORCE_INLINE Group loadGroup(const SourceRow& row, int g) {
  Group group{{kFillLuma, kFillLuma, kFillLuma, kFillLuma, kFillLuma, kFillLuma},
              {kFillChroma, kFillChroma, kFillChroma},
              {kFillChroma, kFillChroma, kFillChroma}};
  for (int i = 0; i < kLuma; ++i) {
    group.y[i] = tenBits<kScaled>(row.luma[(6 * g + i) * row.step], row.lumaScale);
  }
  for (int j = 0; j < kLuma / 2; ++j) {
    const int c = (3 * g + j) * row.step;
    group.cb[j] = tenBits<kScaled>(row.cb[c], row.chromaScale);
    group.cr[j] = tenBits<kScaled>(row.cr[c], row.chromaScale);
  }
  return group;
}

ISTREL_FORCE_INLINE void storeWord(char* out, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
  const std::uint32_t word = a | b << 10 | c << 20;
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
      static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
  std::memcpy(out, bytes, sizeof bytes);
}

ISTREL_FORCE_INLINE void storeGroup(char* out, const Group& g) {
  storeWord(out, g.cb[0], g.y[0], g.cr[0]);
  storeWord(out + 4, g.y[1], g.cb[1], g.y[2]);
  storeWord(out + 8, g.cr[1], g.y[3], g.cb[2]);
  storeWord(out + 12, g.y[4], g.cr[2], g.y[5]);
}

constexpr int kGroupBytes = 16;

// A partial last group carries only whole 4:2:2 pairs; an odd remainder leaves it all padding.
template <bool kScaled>
void storeTail(char* out, const SourceRow& row, int g, int remainder) {
  switch (remainder) {
    case 0:
      break;
    case 2:
      storeGroup(out, loadGroup<kScaled, 2>(row, g));
      break;
    case 4:
      storeGroup(out, loadGroup<kScaled, 4>(row, g));
      break;
    default:
      storeGroup(out, loadGroup<kScaled, 0>(row, g));
      break;
  }
}

template <bool kScaled>
void convertRow(char* out, const SourceRow& row, int width) {
  const int groups = width / 6;
  for (int g = 0; g < groups; ++g) storeGroup(out + g * kGroupBytes, loadGroup<kScaled, 6>(row, g));
  storeTail<kScaled>(out + groups * kGroupBytes, row, groups, width % 6);
}

}  // namespace

void* convertStripeToV210(const V210Job& job, int stripe) {
  const Geometry geometry = geometryOf(job);
  if (geometry.rows <= 0) return nullptr;
  const bool scaled = job.bitDepthLuma != 10 || job.bitDepthChroma != 10;
  const int first = stripe * geometry.rows;
  for (int o = first; o < first + geometry.rows; ++o) {
    const SourceRow row = sourceRowFor(job, geometry, o);
    char* out = job.output + o * geometry.rowBytes;
    if (scaled) {
      convertRow<true>(out, row, geometry.width);
    } else {
      convertRow<false>(out, row, geometry.width);
    }
  }
  return nullptr;
}

void convertToV210(const V210Job& job) {
  const boost::function<void(int)> stripeTask =
      boost::bind(&convertStripeToV210, job, boost::placeholders::_1);
  zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors(stripeTask, job.stripes);
}

}  // namespace H264
