#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace istrel::tools {

// `istrel info [--stats] FILE`: a summary of the stream's parameter sets and
// slices; with --stats, the stream is decoded and each frame described.
// `args` are the words after "info". Returns the process exit status.
int runInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char kInfoUsage[];

}  // namespace istrel::tools
