#include "istrel/bench_options.h"

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
    "  --no-deblock  with --conformant: leave the deblocking filter out, to time it\n"
    "  --profile     also time the frame scan, entropy decoding, prediction and\n"
    "                reconstruction, and the v210 conversion, in passes of about S\n"
    "                seconds each\n";

std::optional<BenchOptions> parseBenchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
  return parseOptions<BenchOptions>(
      args, error,
      [](BenchOptions& o, const std::string& a, const std::string* value, bool& takesValue) {
        double number = 0;
        if (a == "--profile") {
          o.profile = true;
          return true;
        }
        if (a == "--no-deblock") {
          o.noDeblock = true;
          return true;
        }
        if (a == "--seconds" && value && parseNumber(*value, 0, 3600, number)) {
          o.seconds = number;
          return takesValue = true;
        }
        return false;
      });
}

}  // namespace istrel::tools
