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

namespace istrel::tools {

struct SharedOptions {
  std::string input;
  int threads = 0;  // one per processor
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

// --threads, --preview and --conformant.
template <typename Options>
std::vector<Option<Options>> sharedOptions() {
  return {{{"--threads"},
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

// Sets the worker count of --threads; a note when it exceeds the processors.
void applyThreads(const SharedOptions& options, std::ostream& err);

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
