#pragma once

#include <string>

#include "encode/encode_options.h"
#include "encode/x264_library.h"

namespace encode {

// Fills `param` as the x264 command does for raw input and a raw Annex B output file:
// preset and tune first, then the options in order, the profile, and what the input tells
// (size, chroma format, depth, frame rate and count). `inputFrames` is the number of whole
// frames in the input file, 0 when unknown (a pipe). Call x264_param_cleanup afterwards, also
// after a failure, which sets `error`.
bool buildParams(const EncodeOptions& options, int inputFrames, x264_param_t& param,
                 std::string& error);

}  // namespace encode
