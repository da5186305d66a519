#pragma once

#include <optional>
#include <string>
#include <vector>

#include "istrel/shared_options.h"

namespace istrel::tools {

struct DecodeOptions : SharedOptions {
  std::string output;  // .y4m, .yuv or .v210; empty: decode only
  std::string png;     // the first frame as a PNG
  bool md5 = false;
  long frames = -1;  // all
};

// Parses the words after "decode". On a usage error returns nothing and
// sets `error`.
std::optional<DecodeOptions> parseDecodeOptions(const std::vector<std::string>& args,
                                                std::string& error);

extern const char kDecodeUsage[];

}  // namespace istrel::tools
