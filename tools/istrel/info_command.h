#pragma once

#include <ostream>
#include <string>

namespace istrel::tools {

// `istrel info FILE`: a summary of the stream's parameter sets and slices.
// Returns the process exit status.
int runInfo(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace istrel::tools
