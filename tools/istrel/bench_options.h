#pragma once

#include <optional>
#include <string>
#include <vector>

#include "istrel/shared_options.h"

namespace istrel::tools {

struct BenchOptions : SharedOptions {
  double seconds = 5;  // at least this long, and at least one pass over the frames
  bool profile = false;
  bool noDeblock = false;  // conformant decoding without the deblocking filter
};

// Parses the words after "bench". On a usage error returns nothing and sets
// `error`.
std::optional<BenchOptions> parseBenchOptions(const std::vector<std::string>& args,
                                              std::string& error);

extern const char kBenchUsage[];

}  // namespace istrel::tools
