// Conversion of the decoded 16-bit picture into the host's v210 rows.
#pragma once

#include "dsp/kernels.h"

namespace H264 {

// Everything one conversion needs; bound by value into every stripe task.
struct V210Job {
  char* output;                     // host buffer, rows rowBytes apart
  const unsigned short* planes[3];  // luma, Cb, Cr; rows packed, no gaps
  int height;                       // luma rows of the picture to convert
  int width;                        // luma samples per row (the plane stride)
  int stripes;                      // 6 at full size, 3 for the preview
  bool is422;                       // chroma rows per luma row (else 4:2:0)
  bool fullResolution;              // false: half width, half height
  int bitDepthLuma;                 // samples are scaled to 10 bits
  int bitDepthChroma;
  const Kernels<unsigned short>* kernels;
};

// Converts output rows [k*R, k*R + R) of stripe k; rows past stripes*R stay
// untouched. Always returns null.
void* convertStripeToV210(const V210Job& job, int stripe);

// Runs every stripe of `job` through the host's thread service.
void convertToV210(const V210Job& job);

}  // namespace H264
