#include "istrel/command_line.h"

#include "base/cpu.h"
#include "istrel/bench_command.h"
#include "istrel/bench_options.h"
#include "istrel/build_target.h"
#include "istrel/decode_command.h"
#include "istrel/decode_options.h"
#include "istrel/info_command.h"
#include "istrel/version.h"

namespace istrel::tools {
namespace {

const char kUsage[] =
    "usage: istrel info FILE.264 [--stats]     describe an H.264 Annex B stream\n"
    "       istrel decode FILE.264 [options]   decode it\n"
    "       istrel bench FILE.264 [options]    time its decoding\n"
    "       istrel COMMAND --help              the options of a command\n"
    "       istrel --help | --version\n";

}  // namespace

int runIstrel(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    out << kUsage;
    return 0;
  }
  if (args[0] == "--version") {
    out << "istrel " << ISTREL_VERSION_STRING << " (" << kBuildArchitecture << ", kernels "
        << H264::kernelLevelName(H264::defaultKernelLevel()) << ")\n";
    return 0;
  }
  struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&, std::ostream&, std::ostream&);
  };
  const Command commands[] = {{"info", kInfoUsage, runInfo},
                              {"decode", kDecodeUsage, runDecode},
                              {"bench", kBenchUsage, runBench}};
  for (const Command& command : commands) {
    if (args[0] != command.name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& word : rest) {
      if (word == "--help" || word == "-h") {
        out << command.usage;
        return 0;
      }
    }
    return command.run(rest, out, err);
  }
  err << "istrel: unknown command '" << args[0] << "' (give info, decode or bench)\n" << kUsage;
  return 2;
}

}  // namespace istrel::tools
