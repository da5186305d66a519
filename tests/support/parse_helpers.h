#pragma once

#include <cstdint>
#include <vector>

#include "syntax/parameters_decoder.h"
#include "syntax/stream_parser.h"

namespace istrel::test {

// Parses one SPS or PPS RBSP into `parameters`; returns the thrown code, or 0.
inline int parseInto(H264::ParametersDecoder& parameters, const std::vector<std::uint8_t>& rbsp,
                     bool isSps) {
  H264::StreamParser parser(rbsp.data(), static_cast<std::uint32_t>(rbsp.size()),
                            H264::kParameterSetError);
  try {
    parameters.parseNal(parser, isSps ? 7 : 8);
  } catch (int thrown) {
    return thrown;
  }
  return 0;
}

}  // namespace istrel::test
