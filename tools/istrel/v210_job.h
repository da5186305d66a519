// The library's v210 conversion set up over a decoder core's picture, as the
// exported functions set it up: the whole coded width, the cropped height.
#pragma once

#include <cstddef>

#include "api/v210_converter.h"

namespace H264 {
class H264Decoder;
}

namespace istrel::tools {

// `core` must have its picture allocated; `output` may be set later.
H264::V210Job v210JobFor(const H264::H264Decoder& core, bool preview, char* output);

// Bytes of the v210 rows `job` writes.
std::size_t v210BytesOf(const H264::V210Job& job);

}  // namespace istrel::tools
