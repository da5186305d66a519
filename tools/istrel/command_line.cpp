#include "istrel/command_line.h"

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
    "usage: istrel info [--stats] FILE.264     summarise an H.264 Annex B stream; with\n"
    "                                          --stats decode it and describe each frame\n"
    "       istrel decode FILE.264 [options]   decode it (istrel decode --help)\n"
    "       istrel bench FILE.264 [options]    time its decoding (istrel bench --help)\n"
    "       istrel --help | --version\n";

}  // namespace

int runIstrel(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    out << "istrel " << ISTREL_VERSION_STRING << " (" << kBuildTarget << ")\n";
    return 0;
  }
  // Subcommands with options of their own, and their --help.
  struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&, std::ostream&, std::ostream&);
  };
  const Command commands[] = {{"decode", kDecodeUsage, runDecode},
                              {"bench", kBenchUsage, runBench}};
  for (const Command& command : commands) {
    if (args.empty() || args[0] != command.name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
      out << command.usage;
      return 0;
    }
    return command.run(rest, out, err);
  }
  if (args.size() == 2 && args[0] == "info") return runInfo(args[1], false, out, err);
  if (args.size() == 3 && args[0] == "info" && args[1] == "--stats") {
    return runInfo(args[2], true, out, err);
  }
  err << kUsage;
  return 2;
}

}  // namespace istrel::tools
