#include "istrel/bench_options.h"

namespace istrel::tools {

const char kBenchUsage[] =
    "usage: istrel bench IN.264 [options]\n"
    "  Decodes the frames again and again as a host does (a fresh copy of each frame,\n"
    "  v210 into a preallocated buffer) and prints frames per second, Mbit/s of\n"
    "  stream and the median, minimum and maximum time per frame.\n"
    "  --threads N   worker threads, 1 to 256 (default: one per processor)\n"
    "  --cpu LEVEL   use the kernels and slice decoding of an instruction-set level\n"
    "                (plain, sse4.1, avx2 on x86-64; plain, neon on aarch64) instead\n"
    "                of the best one the processor has\n"
    "  --preview     half width and height, as the host's preview\n"
    "  --seconds S   run at least S seconds (default 5) and at least one pass\n"
    "  --conformant  decode exactly as ITU-T H.264 says (C++ interface)\n"
    "  --no-deblock  with --conformant: leave the deblocking filter out, to time it\n"
    "  --profile     also time the frame scan, entropy decoding, prediction and\n"
    "                reconstruction, and the v210 conversion, in passes of about S\n"
    "                seconds each\n";

std::optional<BenchOptions> parseBenchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
  std::vector<Option<BenchOptions>> table = sharedOptions<BenchOptions>();
  table.push_back({{"--profile"}, nullptr, [](BenchOptions& o, const std::string&) {
                     o.profile = true;
                     return true;
                   }});
  table.push_back(
      {{"--seconds"},
       "a number of seconds from 0 to 3600",
       [](BenchOptions& o, const std::string& v) { return parseNumber(v, 0, 3600, o.seconds); }});
  table.push_back({{"--no-deblock"}, nullptr, [](BenchOptions& o, const std::string&) {
                     o.noDeblock = true;
                     return true;
                   }});
  return parseOptions<BenchOptions>("bench", args, table, error);
}

}  // namespace istrel::tools
