#pragma once

#include <optional>
#include <string>
#include <vector>

namespace encode {

enum class Csp { k420, k422, k444 };

// An option passed on to x264_param_parse as it came; `value` is empty for a flag.
struct Setting {
  std::string name;
  std::optional<std::string> value;
};

// The command line, in the terms of the x264 command.
struct EncodeOptions {
  std::string input;   // '-': standard input
  std::string output;  // '-': standard output
  int width = 0;
  int height = 0;
  Csp inputCsp = Csp::k420;
  int inputDepth = 8;
  std::optional<Csp> outputCsp;  // default: the input's
  std::optional<int> outputDepth;
  int frames = 0;  // 0: every frame of the input
  bool userFps = false;
  std::string preset;
  std::string tune;
  std::string profile;
  std::vector<Setting> settings;  // in command-line order
};

// What the command line asks for: encode, or print the help or the version.
struct ParsedCommand {
  bool help = false;
  bool version = false;
  EncodeOptions options;
};

// On a usage error returns nothing and sets `error`, which names the option or word at fault.
std::optional<ParsedCommand> parseCommandLine(const std::vector<std::string>& args,
                                              std::string& error);

extern const char kUsage[];

}  // namespace encode
