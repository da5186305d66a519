#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace istrel::tools {

// `istrel bench IN.264 [options]`; `args` are the words after "bench".
// Returns the process exit status.
int runBench(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace istrel::tools
