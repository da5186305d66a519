#include "istrel/shared_options.h"

#include <cstdlib>

namespace istrel::tools {

bool parseNumber(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && value >= low && value <= high;
}

bool takeSharedOption(const std::vector<std::string>& args, std::size_t& i, SharedOptions& o,
                      std::string& error) {
  const std::string& a = args[i];
  double number = 0;
  if (a == "--preview") {
    o.preview = true;
  } else if (a == "--conformant") {
    o.conformant = true;
  } else if (a == "--threads" && i + 1 < args.size() && parseNumber(args[i + 1], 0, 256, number) &&
             number == static_cast<int>(number)) {
    o.threads = static_cast<int>(number);
    ++i;
  } else if (a.empty() || a[0] != '-' || a == "-") {
    if (!o.input.empty()) {
      error = "more than one input file";
      return false;
    }
    o.input = a;
  } else {
    return false;
  }
  return true;
}

}  // namespace istrel::tools
