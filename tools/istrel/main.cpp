// istrel: command-line companion of the decoder library.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "base/cpu.h"
#include "istrel/bench_command.h"
#include "istrel/bench_options.h"
#include "istrel/build_target.h"
#include "istrel/decode_command.h"
#include "istrel/decode_options.h"
#include "istrel/info_command.h"
#include "istrel/version.h"

namespace {

const char kUsage[] =
    "usage: istrel info [--stats] FILE.264     summarise an H.264 Annex B stream; with\n"
    "                                          --stats decode it and describe each frame\n"
    "       istrel decode FILE.264 [options]   decode it (istrel decode --help)\n"
    "       istrel bench FILE.264 [options]    time its decoding (istrel bench --help)\n"
    "       istrel --help | --version\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::cout << kUsage;
    return 0;
  }
  if (argc >= 2 && !std::strcmp(argv[1], "--version")) {
    std::cout << "istrel " << ISTREL_VERSION_STRING << " (" << istrel::tools::kBuildArchitecture
              << ", kernels " << H264::kernelLevelName(H264::defaultKernelLevel()) << ")\n";
    return 0;
  }
  // Subcommands with options of their own, and their --help.
  struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&, std::ostream&, std::ostream&);
  };
  const Command commands[] = {{"decode", istrel::tools::kDecodeUsage, istrel::tools::runDecode},
                              {"bench", istrel::tools::kBenchUsage, istrel::tools::runBench}};
  for (const Command& command : commands) {
    if (argc < 2 || std::strcmp(argv[1], command.name) != 0) continue;
    std::vector<std::string> args(argv + 2, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
      std::cout << command.usage;
      return 0;
    }
    return command.run(args, std::cout, std::cerr);
  }
  if (argc == 3 && !std::strcmp(argv[1], "info")) {
    return istrel::tools::runInfo(argv[2], false, std::cout, std::cerr);
  }
  if (argc == 4 && !std::strcmp(argv[1], "info") && !std::strcmp(argv[2], "--stats")) {
    return istrel::tools::runInfo(argv[3], true, std::cout, std::cerr);
  }
  std::cerr << kUsage;
  return 2;
}
