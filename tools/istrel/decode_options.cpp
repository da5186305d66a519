#include "istrel/decode_options.h"

#include <cstdlib>

namespace istrel::tools {

const char kDecodeUsage[] =
    "usage: istrel decode IN.264 [-o OUT.y4m|OUT.yuv|OUT.v210] [options]\n"
    "  -o FILE       write the frames: .y4m, .yuv (x264 --dump-yuv layout) or .v210\n"
    "  --md5         print the md5 of each frame's Y, Cb and Cr planes\n"
    "  --png FILE    write the first frame as a PNG picture\n"
    "  --preview     half width and height, as the host's preview\n"
    "  --frames N    stop after N frames\n"
    "  --threads N   worker threads (default: one per processor)\n"
    "  --conformant  decode exactly as ITU-T H.264 says (C++ interface)\n";

namespace {

bool parseCount(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && value >= 0;
}

}  // namespace

std::optional<DecodeOptions> parseDecodeOptions(const std::vector<std::string>& args,
                                                std::string& error) {
  DecodeOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    long count = 0;
    if (a == "--md5") {
      o.md5 = true;
    } else if (a == "--preview") {
      o.preview = true;
    } else if (a == "--conformant") {
      o.conformant = true;
    } else if ((a == "-o" || a == "--output") && hasValue) {
      o.output = args[++i];
    } else if (a == "--png" && hasValue) {
      o.png = args[++i];
    } else if (a == "--frames" && hasValue && parseCount(args[i + 1], count)) {
      o.frames = count;
      ++i;
    } else if (a == "--threads" && hasValue && parseCount(args[i + 1], count) && count <= 256) {
      o.threads = static_cast<int>(count);
      ++i;
    } else if (a.empty() || a[0] != '-' || a == "-") {
      if (!o.input.empty()) {
        error = "more than one input file";
        return std::nullopt;
      }
      o.input = a;
    } else {
      error = "unknown or incomplete option '" + a + "'";
      return std::nullopt;
    }
  }
  if (o.input.empty()) {
    error = "no input file";
    return std::nullopt;
  }
  return o;
}

}  // namespace istrel::tools
