#pragma once

#include <optional>
#include <string>
#include <vector>

namespace istrel::tools {

struct BenchOptions {
  std::string input;
  double seconds = 5;  // at least this long, and at least one pass over the frames
  int threads = 0;     // one per processor
  bool preview = false;
  bool conformant = false;
  bool profile = false;
};

// Parses the words after "bench". On a usage error returns nothing and sets
// `error`.
std::optional<BenchOptions> parseBenchOptions(const std::vector<std::string>& args,
                                              std::string& error);

extern const char kBenchUsage[];

}  // namespace istrel::tools
