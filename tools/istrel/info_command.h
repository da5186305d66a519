#pragma once

#include <ostream>
#include <string>

namespace istrel::tools {

// `istrel info [--stats] FILE`: a summary of the stream's parameter sets and
// slices; with `stats`, the stream is decoded and each frame described.
// Returns the process exit status.
int runInfo(const std::string& path, bool stats, std::ostream& out, std::ostream& err);

}  // namespace istrel::tools
