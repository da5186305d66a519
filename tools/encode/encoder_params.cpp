#include "encode/encoder_params.h"

#include <cstdint>

namespace encode {

namespace {

const char* orNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

int cspValue(Csp csp) {
  switch (csp) {
    case Csp::k420:
      return X264_CSP_I420;
    case Csp::k422:
      return X264_CSP_I422;
    case Csp::k444:
      return X264_CSP_I444;
  }
  return X264_CSP_NONE;
}

std::uint32_t greatestCommonDivisor(std::uint32_t a, std::uint32_t b) {
  while (b != 0) {
    const std::uint32_t r = a % b;
    a = b;
    b = r;
  }
  return a;
}

void reduceFraction(std::uint32_t& num, std::uint32_t& den) {
  if (num == 0 || den == 0) return;
  const std::uint32_t divisor = greatestCommonDivisor(num, den);
  num /= divisor;
  den /= divisor;
}

}  // namespace

bool buildParams(const EncodeOptions& o, int inputFrames, x264_param_t& param, std::string& error) {
  if (x264_param_default_preset(&param, orNull(o.preset), orNull(o.tune)) < 0) {
    error = o.tune.empty() ? "invalid --preset '" + o.preset + "'"
                           : "invalid --preset '" + o.preset + "' or --tune '" + o.tune + "'";
    return false;
  }
  // x264 takes --fps as a constant rate, then hands it on like the other options.
  if (o.userFps) param.b_vfr_input = 0;
  for (const Setting& s : o.settings) {
    const int status =
        x264_param_parse(&param, s.name.c_str(), s.value ? s.value->c_str() : nullptr);
    if (status == X264_PARAM_BAD_NAME) {
      error = "libx264 does not know the option --" + s.name;
      return false;
    }
    if (status != 0) {
      error = "invalid value '" + s.value.value_or("") + "' for --" + s.name;
      return false;
    }
  }
  param.i_frame_total = o.frames;

  // --output-csp and --output-depth are in place before the profile is applied, as in x264.
  param.i_csp = cspValue(o.outputCsp.value_or(o.inputCsp));
  param.i_bitdepth = o.outputDepth.value_or(o.inputDepth);
  if (x264_param_apply_profile(&param, orNull(o.profile)) < 0) {
    error = "--profile " + o.profile + " does not allow these settings";
    return false;
  }

  // A raw Annex B file: x264's defaults, parameter sets repeated before every keyframe.
  param.b_annexb = 1;
  param.b_repeat_headers = 1;

  // Raw input has a constant rate: the one given, else x264's default reduced. The time base
  // is one tick a frame.
  std::uint32_t fpsNum = param.i_fps_num;
  std::uint32_t fpsDen = param.i_fps_den;
  if (!o.userFps) reduceFraction(fpsNum, fpsDen);
  param.b_vfr_input = 0;
  param.i_fps_num = fpsNum;
  param.i_fps_den = fpsDen;
  param.i_timebase_num = fpsDen;
  param.i_timebase_den = fpsNum;

  param.i_width = o.width;
  param.i_height = o.height;
  if (o.inputDepth > 8) param.i_csp |= X264_CSP_HIGH_DEPTH;

  // The frame count: the input's, or fewer when --frames says so.
  int frames = inputFrames;
  if ((frames == 0 || param.i_frame_total < frames) && param.i_frame_total > 0) {
    frames = param.i_frame_total;
  }
  param.i_frame_total = frames;
  return true;
}

}  // namespace encode
