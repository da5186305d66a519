// istrel-synth: writes deterministic synthetic video as raw planar YUV, the input format of the
// encoder that produces the test vectors.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "synthetic_picture.h"

namespace {

constexpr int kMaxDimension = 16384;
constexpr int kMaxFrames = 100000;

const char kUsage[] =
    "usage: istrel-synth --width W --height H -o FILE [options]\n"
    "\n"
    "Writes raw planar YUV (Y plane, then Cb, then Cr, frame after frame).\n"
    "\n"
    "  --width W        picture width in luma samples (1..16384)\n"
    "  --height H       picture height in luma samples (1..16384)\n"
    "  --frames N       number of frames (default 1)\n"
    "  --csp C          i420, i422 or i444 (default i420)\n"
    "  --depth D        8 (one byte per sample) or 10 (two bytes, little-endian) (default 8)\n"
    "  --seed S         unsigned 64-bit seed; equal seeds give equal output (default 1)\n"
    "  -o, --output F   output file, '-' for standard output\n"
    "  -h, --help       show this message\n"
    "\n"
    "i420 needs an even width and height, i422 an even width.\n";

struct Options {
  synth::PictureFormat format;
  int frames = 1;
  std::uint64_t seed = 1;
  std::string output;
};

template <typename T>
std::optional<T> parseNumber(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

bool fail(const std::string& message) {
  std::fprintf(stderr, "istrel-synth: %s\n\n%s", message.c_str(), kUsage);
  return false;
}

bool parseInt(std::string_view name, std::string_view text, int lo, int hi, int& out) {
  std::optional<int> value = parseNumber<int>(text);
  if (!value || *value < lo || *value > hi) {
    return fail("invalid value '" + std::string(text) + "' for " + std::string(name) + " (" +
                std::to_string(lo) + ".." + std::to_string(hi) + ")");
  }
  out = *value;
  return true;
}

bool applyOption(std::string_view name, std::string_view value, Options& options) {
  synth::PictureFormat& format = options.format;
  if (name == "--width") return parseInt(name, value, 1, kMaxDimension, format.width);
  if (name == "--height") return parseInt(name, value, 1, kMaxDimension, format.height);
  if (name == "--frames") return parseInt(name, value, 1, kMaxFrames, options.frames);
  if (name == "--depth") {
    if (value != "8" && value != "10") return fail("--depth must be 8 or 10");
    format.bitDepth = value == "8" ? 8 : 10;
    return true;
  }
  if (name == "--csp") {
    if (value == "i420") {
      format.chroma = synth::ChromaFormat::k420;
    } else if (value == "i422") {
      format.chroma = synth::ChromaFormat::k422;
    } else if (value == "i444") {
      format.chroma = synth::ChromaFormat::k444;
    } else {
      return fail("--csp must be i420, i422 or i444");
    }
    return true;
  }
  if (name == "--seed") {
    std::optional<std::uint64_t> seed = parseNumber<std::uint64_t>(value);
    if (!seed) return fail("invalid value '" + std::string(value) + "' for --seed");
    options.seed = *seed;
    return true;
  }
  if (name == "-o" || name == "--output") {
    if (value.empty()) return fail("empty output file name");
    options.output = value;
    return true;
  }
  return fail("unknown option '" + std::string(name) + "'");
}

bool checkFormat(const Options& options) {
  const synth::PictureFormat& format = options.format;
  if (format.width == 0 || format.height == 0) return fail("--width and --height are required");
  if (options.output.empty()) return fail("-o is required");
  const bool evenWidth = format.width % 2 == 0;
  const bool evenHeight = format.height % 2 == 0;
  if (format.chroma == synth::ChromaFormat::k420 && (!evenWidth || !evenHeight)) {
    return fail("i420 needs an even width and height");
  }
  if (format.chroma == synth::ChromaFormat::k422 && !evenWidth) {
    return fail("i422 needs an even width");
  }
  return true;
}

// Returns 0 to go on, 1 for bad arguments, -1 after printing the help.
int parseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return -1;
    }
    std::string_view name = arg;
    std::string_view value;
    const std::size_t equals = arg.find('=');
    if (arg.starts_with("--") && equals != std::string_view::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      fail("missing value for '" + std::string(arg) + "'");
      return 1;
    }
    if (!applyOption(name, value, options)) return 1;
  }
  return checkFormat(options) ? 0 : 1;
}

void packFrame(const synth::Plane (&planes)[3], int bitDepth, std::vector<unsigned char>& bytes) {
  bytes.clear();
  for (const synth::Plane& plane : planes) {
    for (std::uint16_t sample : plane) {
      bytes.push_back(static_cast<unsigned char>(sample & 0xFF));
      if (bitDepth > 8) bytes.push_back(static_cast<unsigned char>(sample >> 8));
    }
  }
}

int writeFrames(const Options& options) {
  const bool toStdout = options.output == "-";
  std::FILE* file = toStdout ? stdout : std::fopen(options.output.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "istrel-synth: cannot open '%s': %s\n", options.output.c_str(),
                 std::strerror(errno));
    return 1;
  }
  synth::Plane planes[3];
  std::vector<unsigned char> bytes;
  bool ok = true;
  for (int frame = 0; frame < options.frames && ok; ++frame) {
    synth::renderFrame(options.format, options.seed, frame, planes);
    packFrame(planes, options.format.bitDepth, bytes);
    ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  ok = (toStdout ? std::fflush(file) : std::fclose(file)) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "istrel-synth: writing '%s' failed\n", options.output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const int parsed = parseArguments(argc, argv, options);
  if (parsed != 0) return parsed < 0 ? 0 : 1;
  return writeFrames(options);
}
