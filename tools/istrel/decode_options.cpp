#include "istrel/decode_options.h"

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

std::optional<DecodeOptions> parseDecodeOptions(const std::vector<std::string>& args,
                                                std::string& error) {
  return parseOptions<DecodeOptions>(
      args, error,
      [](DecodeOptions& o, const std::string& a, const std::string* value, bool& takesValue) {
        double number = 0;
        if (a == "--md5") {
          o.md5 = true;
          return true;
        }
        if (!value) return false;
        if (a == "-o" || a == "--output") {
          o.output = *value;
        } else if (a == "--png") {
          o.png = *value;
        } else if (a == "--frames" && parseNumber(*value, 0, 1e15, number) &&
                   number == static_cast<long>(number)) {
          o.frames = static_cast<long>(number);
        } else {
          return false;
        }
        return takesValue = true;
      });
}

}  // namespace istrel::tools
