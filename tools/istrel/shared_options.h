// The options `istrel decode` and `istrel bench` share, and the loop that
// parses a command's words around its own options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace istrel::tools {

struct SharedOptions {
  std::string input;
  int threads = 0;  // one per processor
  bool preview = false;
  bool conformant = false;
};

// Parses `args` into `options`: the shared options and the input file here,
// the rest by `own(option, value, takesValue)`, which returns false for an
// option it does not know and sets `takesValue` when it used `value`
// (null when `option` is the last word). On a usage error returns nothing
// and sets `error`.
template <typename Options, typename Own>
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error,
                                    Own own);

bool parseNumber(const std::string& text, double low, double high, double& value);

// One word of a command line: true when it was a shared option or the input.
bool takeSharedOption(const std::vector<std::string>& args, std::size_t& i, SharedOptions& o,
                      std::string& error);

template <typename Options, typename Own>
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error,
                                    Own own) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (takeSharedOption(args, i, o, error)) continue;
    if (!error.empty()) return std::nullopt;
    const std::string* value = i + 1 < args.size() ? &args[i + 1] : nullptr;
    bool takesValue = false;
    if (!own(o, args[i], value, takesValue)) {
      error = "unknown or incomplete option '" + args[i] + "'";
      return std::nullopt;
    }
    if (takesValue) ++i;
  }
  if (o.input.empty()) {
    error = "no input file";
    return std::nullopt;
  }
  return o;
}

}  // namespace istrel::tools
