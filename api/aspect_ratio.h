// The pixel aspect ratio a stream declares, and the query that primes a
// handle with the stream's parameter sets.
#pragma once

#include "istrel/istrel.h"

namespace H264 {

struct VuiParameters;

struct SampleAspectRatio {
  int width;
  int height;
};

// The sample aspect ratio of ITU-T H.264 Table E-1 (values 1 to 13 and
// Extended_SAR); any other value, or no VUI, gives the host's default:
// 1:1 for 4:2:2 material, 4:3 for 4:2:0.
SampleAspectRatio aspectRatioOf(const VuiParameters* vui, bool is422);

// Parses the parameter sets of `data`, allocates the picture and fills the
// aspect-ratio fields and parametersRead. Throws as the decoder core does.
void readAspectRatio(AVCIntraInfo* handle, unsigned char* data, int size);

}  // namespace H264
