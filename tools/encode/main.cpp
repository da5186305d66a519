// istrel-encode: raw planar pictures into an Annex B stream through libx264, with the settings
// the x264 command gives the same options, so the test vectors can be made without that
// command. The reconstruction (--dump-yuv) is written by libx264 itself.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "encode/encode_options.h"
#include "encode/encoder_params.h"
#include "encode/raw_reader.h"
#include "encode/x264_library.h"

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "istrel-encode: %s\n", message.c_str());
  return 1;
}

// Writes what one call of the encoder gave back: its NAL units lie one after another.
bool encodeAndWrite(x264_t* encoder, x264_picture_t* picture, std::FILE* out, long long& total) {
  x264_nal_t* nals = nullptr;
  int nalCount = 0;
  x264_picture_t coded;
  const int bytes = x264_encoder_encode(encoder, &nals, &nalCount, picture, &coded);
  if (bytes < 0) return false;
  total += bytes;
  return bytes == 0 || std::fwrite(nals[0].p_payload, 1, static_cast<std::size_t>(bytes), out) ==
                           static_cast<std::size_t>(bytes);
}

struct Encoded {
  bool ok = false;
  int frames = 0;
  long long bytes = 0;
};

Encoded encodeAll(x264_t* encoder, const x264_param_t& param, encode::RawReader& reader,
                  std::FILE* out) {
  Encoded result;
  x264_picture_t picture;
  if (x264_picture_alloc(&picture, param.i_csp, param.i_width, param.i_height) < 0) {
    fail("cannot allocate a picture");
    return result;
  }
  std::string ended;
  bool ok = true;
  for (int frame = 0; ok && (frame < param.i_frame_total || param.i_frame_total == 0); ++frame) {
    if (!reader.read(picture, ended)) break;
    picture.i_pts = frame;  // constant rate: one time-base tick a frame
    ok = encodeAndWrite(encoder, &picture, out, result.bytes);
    result.frames += ok;
  }
  if (!ended.empty()) std::fprintf(stderr, "istrel-encode: %s\n", ended.c_str());
  // Frames the encoder still holds.
  while (ok && x264_encoder_delayed_frames(encoder) > 0) {
    ok = encodeAndWrite(encoder, nullptr, out, result.bytes);
  }
  if (!ok) fail("encoding or writing the stream failed");
  x264_picture_clean(&picture);
  result.ok = ok;
  return result;
}

int run(const encode::EncodeOptions& options) {
  encode::RawReader reader(options.width, options.height, options.inputCsp, options.inputDepth);
  std::string error;
  if (!reader.open(options.input, error)) return fail(error);

  x264_param_t param;
  const bool built = encode::buildParams(options, reader.framesInFile(), param, error);
  struct ParamCleanup {
    x264_param_t& param;
    ~ParamCleanup() { x264_param_cleanup(&param); }
  } cleanup{param};
  if (!built) return fail(error);

  const bool toStdout = options.output == "-";
  std::FILE* out = toStdout ? stdout : std::fopen(options.output.c_str(), "wb");
  if (out == nullptr) {
    return fail("cannot open output '" + options.output + "': " + std::strerror(errno));
  }
  x264_t* encoder = x264_encoder_open(&param);
  if (encoder == nullptr) {
    if (!toStdout) std::fclose(out);
    return fail("libx264 refused these settings (see its message above)");
  }
  const auto start = std::chrono::steady_clock::now();
  const Encoded encoded = encodeAll(encoder, param, reader, out);
  x264_encoder_close(encoder);  // prints x264's statistics
  const bool closed = (toStdout ? std::fflush(out) : std::fclose(out)) == 0;
  if (!encoded.ok) return 1;
  if (!closed) return fail("writing '" + options.output + "' failed");
  if (encoded.frames == 0) return fail("the input '" + options.input + "' holds no whole frame");

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double duration = encoded.frames * static_cast<double>(param.i_fps_den) / param.i_fps_num;
  std::fprintf(stderr, "\nencoded %d frames, %.2f fps, %.2f kb/s\n", encoded.frames,
               encoded.frames / seconds, encoded.bytes * 8 / (1000 * duration));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  std::optional<encode::ParsedCommand> command =
      encode::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!command) {
    fail(error);
    std::fputs("run 'istrel-encode --help' for the options\n", stderr);
    return 1;
  }
  if (command->help) {
    std::fputs(encode::kUsage, stdout);
    return 0;
  }
  if (command->version) {
    std::printf("istrel-encode over libx264 %s (core %d)\n", X264_POINTVER, X264_BUILD);
    return 0;
  }
  return run(command->options);
}
