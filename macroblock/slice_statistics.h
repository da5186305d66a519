// What the decoding of one slice saw, for tools that explain a stream.
#pragma once

#include <cstdint>

namespace H264 {

struct SliceStatistics {
  std::uint32_t intra4x4 = 0;
  std::uint32_t intra8x8 = 0;
  std::uint32_t intra16x16 = 0;
  std::uint32_t pcm = 0;
  std::uint32_t fieldMacroblocks = 0;  // in MBAFF frames and field pictures
  std::int32_t qpMin = 127;
  std::int32_t qpMax = -127;
  bool decoded = false;  // the slice was found in the frame
  bool failed = false;

  std::uint32_t macroblocks() const { return intra4x4 + intra8x8 + intra16x16 + pcm; }
  void add(const SliceStatistics& other);
};

inline void SliceStatistics::add(const SliceStatistics& o) {
  intra4x4 += o.intra4x4;
  intra8x8 += o.intra8x8;
  intra16x16 += o.intra16x16;
  pcm += o.pcm;
  fieldMacroblocks += o.fieldMacroblocks;
  if (o.macroblocks()) {
    qpMin = o.qpMin < qpMin ? o.qpMin : qpMin;
    qpMax = o.qpMax > qpMax ? o.qpMax : qpMax;
  }
}

}  // namespace H264
