#include "istrel/bench_options.h"

#include <cstdlib>

namespace istrel::tools {

const char kBenchUsage[] =
    "usage: istrel bench IN.264 [options]\n"
    "  Decodes the frames again and again as a host does (a fresh copy of each frame,\n"
    "  v210 into a preallocated buffer) and prints frames per second, Mbit/s of\n"
    "  stream and the median, minimum and maximum time per frame.\n"
    "  --threads N   worker threads (default: one per processor)\n"
    "  --preview     half width and height, as the host's preview\n"
    "  --seconds S   run at least S seconds (default 5) and at least one pass\n"
    "  --conformant  decode exactly as ITU-T H.264 says (C++ interface)\n"
    "  --profile     also time the frame scan, entropy decoding, prediction and\n"
    "                reconstruction, and the v210 conversion, in passes of about S\n"
    "                seconds each\n";

namespace {

bool parseNumber(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && value >= low && value <= high;
}

bool takeInput(const std::string& word, BenchOptions& o, std::string& error) {
  if (!o.input.empty()) {
    error = "more than one input file";
    return false;
  }
  o.input = word;
  return true;
}

}  // namespace

std::optional<BenchOptions> parseBenchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
  BenchOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    double number = 0;
    if (a == "--preview") {
      o.preview = true;
    } else if (a == "--conformant") {
      o.conformant = true;
    } else if (a == "--profile") {
      o.profile = true;
    } else if (a == "--threads" && hasValue && parseNumber(args[i + 1], 0, 256, number) &&
               number == static_cast<int>(number)) {
      o.threads = static_cast<int>(number);
      ++i;
    } else if (a == "--seconds" && hasValue && parseNumber(args[i + 1], 0, 3600, number)) {
      o.seconds = number;
      ++i;
    } else if (a.empty() || a[0] != '-' || a == "-") {
      if (!takeInput(a, o, error)) return std::nullopt;
    } else {
      error = "unknown or incomplete option '" + a + "'";
      return std::nullopt;
    }
  }
  if (o.input.empty()) {
    error = "no input file";
    return std::nullopt;
  }
  return o;
}

}  // namespace istrel::tools
