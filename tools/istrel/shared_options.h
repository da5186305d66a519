// The options `istrel decode` and `istrel bench` share, and the parser of a
// command's words: options from a table, each given at most once, and one
// input file.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/cpu.h"

namespace istrel::tools {

struct SharedOptions {
  std::string input;
  int threads = 0;                       // one per processor
  std::optional<H264::KernelLevel> cpu;  // the best level the processor has
  bool preview = false;
  bool conformant = false;
};

template <typename Options>
struct Option {
  std::vector<std::string> names;  // "-o", "--output"
  // What the value must be, for messages ("a file name ending in .y4m");
  // null for an option without a value.
  const char* value;
  // Stores the value (empty for a flag); false when it is not allowed.
  std::function<bool(Options&, const std::string&)> apply;
};

// Parses `args`, the words after "istrel COMMAND". On a usage error returns
// nothing and sets `error` to a message naming the word at fault and what
// would be right.
template <typename Options>
std::optional<Options> parseOptions(const std::string& command,
                                    const std::vector<std::string>& args,
                                    const std::vector<Option<Options>>& table, std::string& error);

// True when `text` is a number from `low` to `high`.
bool parseNumber(const std::string& text, double low, double high, double& value);
// True when `text` is a whole number from `low` to `high`.
bool parseWholeNumber(const std::string& text, long low, long high, long& value);

constexpr int kMaxThreads = 256;

// The kernel levels this build knows on this processor family, for messages:
// "plain, sse4.1 or avx2".
std::string knownKernelLevels();

// --threads, --cpu, --preview and --conformant.
template <typename Options>
std::vector<Option<Options>> sharedOptions() {
  static const std::string cpuValue = "an instruction-set level: " + knownKernelLevels();
  return {{{"--cpu"},
           cpuValue.c_str(),
           [](Options& o, const std::string& v) {
             o.cpu = H264::kernelLevelFromName(v);
             return o.cpu && knownKernelLevels().find(v) != std::string::npos;
           }},
          {{"--threads"},
           "a whole number of worker threads from 1 to 256 (leave it out for one per processor)",
           [](Options& o, const std::string& v) {
             long n = 0;
             if (!parseWholeNumber(v, 1, kMaxThreads, n)) return false;
             o.threads = static_cast<int>(n);
             return true;
           }},
          {{"--preview"},
           nullptr,
           [](Options& o, const std::string&) {
             o.preview = true;
             return true;
           }},
          {{"--conformant"}, nullptr, [](Options& o, const std::string&) {
             o.conformant = true;
             return true;
           }}};
}

// Sets the worker count of --threads (a note when it exceeds the processors)
// and the level of --cpu (a note when the processor lacks it).
void applySharedOptions(const SharedOptions& options, std::ostream& err);

template <typename Options>
std::optional<Options> parseOptions(const std::string& command,
                                    const std::vector<std::string>& args,
                                    const std::vector<Option<Options>>& table, std::string& error) {
  Options o;
  std::set<const Option<Options>*> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.empty() || word[0] != '-' || word == "-") {
      if (!o.input.empty()) {
        error = "more than one input file: '" + o.input + "' and '" + word + "' (give one)";
        return std::nullopt;
      }
      o.input = word;
      continue;
    }
    const Option<Options>* option = nullptr;
    for (const Option<Options>& candidate : table) {
      for (const std::string& name : candidate.names) option = name == word ? &candidate : option;
    }
    if (!option) {
      error = "unknown option '" + word + "' (istrel " + command + " --help lists them)";
      return std::nullopt;
    }
    if (!given.insert(option).second) {
      std::string names;
      for (const std::string& name : option->names) names += (names.empty() ? "" : "/") + name;
      error = names + " is given twice: give it once";
      return std::nullopt;
    }
    std::string value;
    if (option->value) {
      if (i + 1 == args.size() || args[i + 1].rfind("--", 0) == 0) {
        error = word + " needs a value: " + option->value;
        return std::nullopt;
      }
      value = args[++i];
    }
    if (!option->apply(o, value)) {
      error = word + " " + value + ": give " + option->value;
      return std::nullopt;
    }
  }
  if (o.input.empty()) {
    error = "no input file (give an H.264 Annex B file: istrel " + command + " IN.264)";
    return std::nullopt;
  }
  return o;
}

}  // namespace istrel::tools
