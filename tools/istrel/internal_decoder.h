// A decoder core driven directly through the frame driver, the way the
// exported functions drive theirs, with the v210 conversion as a separate
// step: what `istrel bench --conformant` and `--profile` time.
#pragma once

#include <cstdint>
#include <vector>

#include "api/v210_converter.h"
#include "base/decode_mode.h"
#include "common/annexb_file.h"
#include "core/h264_decoder.h"

namespace istrel::tools {

class InternalDecoder {
 public:
  InternalDecoder(H264::DecodeMode mode, bool preview);

  // Reads the parameter sets of the first unit that carries them and
  // allocates the picture and the v210 rows. False when none is usable.
  bool prime(const AnnexBStream& stream);

  // Each takes a fresh copy of the unit, since the library rewrites it.
  void scan(const AnnexBStream& stream, const AccessUnit& unit);
  void decode(const AnnexBStream& stream, const AccessUnit& unit);
  // The current picture into the preallocated v210 rows.
  void convert();

  H264::H264Decoder& core() { return core_; }

 private:
  void copy(const AnnexBStream& stream, const AccessUnit& unit);

  H264::H264Decoder core_;
  bool preview_;
  std::vector<unsigned char> input_;
  std::vector<char> output_;
  H264::V210Job job_{};
};

}  // namespace istrel::tools
