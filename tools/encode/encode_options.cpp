#include "encode/encode_options.h"

#include <charconv>
#include <string_view>

namespace encode {

const char kUsage[] =
    "usage: istrel-encode [options] -o OUT.264 IN.yuv|-\n"
    "\n"
    "Encodes raw planar pictures (Y, then Cb, then Cr, frame after frame; 8-bit samples one\n"
    "byte each, higher depths two bytes little-endian) into an Annex B stream with libx264,\n"
    "with the settings the x264 command would use for the same options.\n"
    "\n"
    "Input and output:\n"
    "  -o, --output FILE         Annex B stream ('-': standard output)\n"
    "  --input-res WxH           picture size (required)\n"
    "  --input-csp CSP           i420, i422 or i444 (default i420)\n"
    "  --input-depth N           bits per input sample, 8 or 10 (default 8)\n"
    "  --output-csp CSP          coded chroma format; must equal the input's (default)\n"
    "  --output-depth N          coded bit depth; must equal the input's (default)\n"
    "  --frames N                encode at most N frames\n"
    "  --dump-yuv FILE           x264's reconstruction, in the input's layout\n"
    "  --demuxer raw             accepted; the input is always raw\n"
    "  --no-progress             accepted; no progress is shown\n"
    "\n"
    "Presets, applied as the x264 command does:\n"
    "  --preset NAME  --tune NAME  --profile NAME\n"
    "\n"
    "Passed to x264_param_parse in the order given:\n"
    "  --fps RATE  --keyint N  --no-scenecut  --threads N  --qp N  --bitrate KBPS  --ipratio F\n"
    "  --no-deblock  --deblock A:B  --chroma-qp-offset N  --no-cabac  --no-psy  --psy-rd A:B\n"
    "  --subme N  --cqm NAME  --cqmfile FILE  --no-8x8dct  --slices N  --interlaced  --tff\n"
    "  --bff  --fake-interlaced  --avcintra-class N  --avcintra-flavor NAME  --sps-id N  --level "
    "L\n"
    "  --crf F  --ref N  --vbv-maxrate KBPS  --vbv-bufsize KBIT\n"
    "\n"
    "  --version                 the version of libx264 this program was built with\n"
    "  -h, --help                show this message\n";

namespace {

// Options passed on to x264_param_parse under their own names: with a value, and flags.
constexpr std::string_view kGenericWithValue[] = {"fps",         "keyint",
                                                  "threads",     "qp",
                                                  "bitrate",     "ipratio",
                                                  "deblock",     "chroma-qp-offset",
                                                  "psy-rd",      "subme",
                                                  "cqm",         "cqmfile",
                                                  "slices",      "avcintra-class",
                                                  "sps-id",      "level",
                                                  "crf",         "ref",
                                                  "dump-yuv",    "vbv-maxrate",
                                                  "vbv-bufsize", "avcintra-flavor"};
constexpr std::string_view kGenericFlags[] = {"no-scenecut", "no-deblock", "no-cabac",
                                              "no-psy",      "no-8x8dct",  "interlaced",
                                              "tff",         "bff",        "fake-interlaced"};

// Options of this program that take a value and are not passed on.
constexpr std::string_view kOwn[] = {
    "-o",           "--output",       "--input-res", "--input-csp", "--input-depth",
    "--output-csp", "--output-depth", "--frames",    "--demuxer",   "--preset",
    "--tune",       "--profile"};

bool parseInt(std::string_view text, int lo, int hi, int& out) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < lo || value > hi) return false;
  out = value;
  return true;
}

std::optional<Csp> parseCsp(std::string_view text) {
  if (text == "i420") return Csp::k420;
  if (text == "i422") return Csp::k422;
  if (text == "i444") return Csp::k444;
  return std::nullopt;
}

bool parseResolution(std::string_view text, EncodeOptions& o) {
  const std::size_t x = text.find('x');
  return x != std::string_view::npos && parseInt(text.substr(0, x), 1, 16384, o.width) &&
         parseInt(text.substr(x + 1), 1, 16384, o.height);
}

bool parseDepth(std::string_view text, int& depth) {
  return parseInt(text, 8, 10, depth) && (depth == 8 || depth == 10);
}

// Applies one option of this program; false when its value is not valid.
bool applyOwn(std::string_view name, const std::string& value, EncodeOptions& o) {
  if (name == "-o" || name == "--output") {
    o.output = value;
    return !value.empty();
  }
  if (name == "--input-res") return parseResolution(value, o);
  if (name == "--input-csp") {
    std::optional<Csp> csp = parseCsp(value);
    if (csp) o.inputCsp = *csp;
    return csp.has_value();
  }
  if (name == "--output-csp") return (o.outputCsp = parseCsp(value)).has_value();
  if (name == "--input-depth") return parseDepth(value, o.inputDepth);
  if (name == "--output-depth") {
    int depth = 0;
    if (!parseDepth(value, depth)) return false;
    o.outputDepth = depth;
    return true;
  }
  if (name == "--frames") return parseInt(value, 0, 1 << 30, o.frames);
  if (name == "--demuxer") return value == "raw";
  if (name == "--preset") o.preset = value;
  if (name == "--tune") o.tune = value;
  if (name == "--profile") o.profile = value;
  return !value.empty();
}

bool contains(const auto& names, std::string_view name) {
  for (std::string_view n : names) {
    if (n == name) return true;
  }
  return false;
}

bool checkFormat(const EncodeOptions& o, std::string& error) {
  if (o.input.empty()) {
    error = "no input file (give a file name, or '-' for standard input)";
  } else if (o.output.empty()) {
    error = "no output file (-o FILE)";
  } else if (o.width == 0) {
    error = "--input-res WxH is required";
  } else if (o.outputCsp && *o.outputCsp != o.inputCsp) {
    error = "--output-csp must equal --input-csp: istrel-encode does not convert";
  } else if (o.outputDepth && *o.outputDepth != o.inputDepth) {
    error = "--output-depth must equal --input-depth: istrel-encode does not convert";
  } else if (o.inputCsp == Csp::k420 && (o.width % 2 != 0 || o.height % 2 != 0)) {
    error = "--input-res: i420 needs an even width and height";
  } else if (o.inputCsp == Csp::k422 && o.width % 2 != 0) {
    error = "--input-res: i422 needs an even width";
  } else {
    return true;
  }
  return false;
}

}  // namespace

std::optional<ParsedCommand> parseCommandLine(const std::vector<std::string>& args,
                                              std::string& error) {
  ParsedCommand command;
  EncodeOptions& o = command.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help" || arg == "--version") {
      command.help = arg != "--version";
      command.version = !command.help;
      return command;
    }
    if (arg == "-" || !arg.starts_with("-")) {
      if (!o.input.empty()) {
        error = "more than one input file: '" + o.input + "' and '" + arg + "'";
        return std::nullopt;
      }
      o.input = arg;
      continue;
    }
    // --name=value or --name value, as getopt_long takes them.
    std::string name = arg;
    std::optional<std::string> value;
    const std::size_t equals = arg.find('=');
    if (arg.starts_with("--") && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    // An option passed on loses its dashes.
    const std::string_view bare = std::string_view(name).substr(name.starts_with("--") ? 2 : 0);
    const bool genericValue = name.starts_with("--") && contains(kGenericWithValue, bare);
    const bool genericFlag = name.starts_with("--") && contains(kGenericFlags, bare);
    const bool flagOfOurs = name == "--no-progress";
    if (!genericValue && !genericFlag && !flagOfOurs && !contains(kOwn, name)) {
      error = "unknown option '" + name + "'";
      return std::nullopt;
    }
    const bool takesValue = !genericFlag && !flagOfOurs;
    if (!takesValue && value) {
      error = "option '" + name + "' takes no value";
      return std::nullopt;
    }
    if (takesValue && !value) {
      if (i + 1 == args.size()) {
        error = "missing value for '" + name + "'";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (flagOfOurs) continue;
    if (genericValue || genericFlag) {
      if (bare == "fps") o.userFps = true;
      o.settings.push_back({std::string(bare), value});
    } else if (!applyOwn(name, *value, o)) {
      error = "invalid value '" + *value + "' for " + name;
      return std::nullopt;
    }
  }
  if (!checkFormat(o, error)) return std::nullopt;
  return command;
}

}  // namespace encode
