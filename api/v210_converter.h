// Conversion of the decoded 16-bit picture into the host's v210 rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api/v210_geometry.h"
#include "dsp/kernels.h"

namespace H264 {

class H264Decoder;

// What is converted: the host's fields, or the stream's own.
struct V210Target {
  int width;   // the picture's coded width, the stride of its planes
  int height;  // picture rows delivered, from the top
  bool is422;
  bool fullResolution;

  V210Geometry geometry() const { return V210Geometry::of(width, height, fullResolution); }
};

// Everything one conversion needs; bound by value into every stripe task.
struct V210Job {
  char* output;                     // host buffer, rows geometry.rowBytes apart
  const unsigned short* planes[3];  // luma, Cb, Cr; rows packed, no gaps
  int width;                        // luma samples per picture row (the plane stride)
  bool is422;                       // chroma rows per luma row (else 4:2:0)
  int bitDepthLuma;                 // samples are scaled to 10 bits
  int bitDepthChroma;
  const Kernels<unsigned short>* kernels;
  V210Geometry geometry;
};

// Converts output rows [k*R, k*R + R) of stripe k, R = geometry.rowsPerStripe().
void convertStripeToV210(const V210Job& job, int stripe);

// Runs every stripe of `job` through the host's thread service.
void convertToV210(const V210Job& job);

// Converts the decoder's picture as `target` says into `output`.
void convertToV210(const H264Decoder& core, char* output, const V210Target& target);

}  // namespace H264
