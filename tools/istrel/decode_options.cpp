#include "istrel/decode_options.h"

#include "istrel/frame_writer.h"

namespace istrel::tools {

const char kDecodeUsage[] =
    "usage: istrel decode IN.264 [-o OUT.y4m|OUT.yuv|OUT.v210] [options]\n"
    "  -o FILE       write the frames: .y4m, .yuv (x264's --dump-yuv layout) or .v210;\n"
    "                a file holds one picture format: decoding stops where it changes\n"
    "  --md5         print the md5 of each frame's Y, Cb and Cr planes\n"
    "  --png FILE    write the first frame as a PNG picture\n"
    "  --preview     half width and height, as the host's preview\n"
    "  --frames N    stop after N frames\n"
    "  --threads N   worker threads, 1 to 256 (default: one per processor)\n"
    "  --cpu LEVEL   use the kernels and slice decoding of an instruction-set level\n"
    "                (plain, sse4.1, avx2 on x86-64; plain, neon on aarch64) instead\n"
    "                of the best one the processor has\n"
    "  --conformant  decode exactly as ITU-T H.264 says (C++ interface)\n";

std::optional<DecodeOptions> parseDecodeOptions(const std::vector<std::string>& args,
                                                std::string& error) {
  std::vector<Option<DecodeOptions>> table = sharedOptions<DecodeOptions>();
  table.push_back({{"-o", "--output"},
                   "a file name ending in .y4m, .yuv or .v210",
                   [](DecodeOptions& o, const std::string& v) {
                     o.output = v;
                     return knownOutputFormat(v);
                   }});
  table.push_back({{"--png"}, "a file name", [](DecodeOptions& o, const std::string& v) {
                     o.png = v;
                     return true;
                   }});
  table.push_back({{"--md5"}, nullptr, [](DecodeOptions& o, const std::string&) {
                     o.md5 = true;
                     return true;
                   }});
  table.push_back({{"--frames"},
                   "a whole number of frames, 0 or more",
                   [](DecodeOptions& o, const std::string& v) {
                     return parseWholeNumber(v, 0, 1L << 50, o.frames);
                   }});
  return parseOptions<DecodeOptions>("decode", args, table, error);
}

}  // namespace istrel::tools
