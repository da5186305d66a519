// The `istrel` command as a function: the words after the program name in,
// the exit status out, everything printed through the two streams.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace istrel::tools {

int runIstrel(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace istrel::tools
