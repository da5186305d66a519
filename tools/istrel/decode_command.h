#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace istrel::tools {

// `istrel decode IN.264 [options]`; `args` are the words after "decode".
// Returns the process exit status.
int runDecode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace istrel::tools
