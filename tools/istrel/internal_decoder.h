// The decoder's C++ interface driven the way the exported functions drive
// it, with the v210 conversion as a separate step: what `istrel bench
// --conformant` and `--profile` time.
#pragma once

#include <cstdint>
#include <vector>

#include "api/frame_decoder.h"
#include "common/annexb_file.h"

namespace istrel::tools {

class InternalDecoder {
 public:
  InternalDecoder(H264::DecodeMode mode, bool preview);

  // Sets the decoder up from the first unit that carries parameter sets and
  // allocates the v210 rows. False when none is usable.
  bool prime(const AnnexBStream& stream);

  // Each takes a fresh copy of the unit, since the library rewrites it.
  void scan(const AnnexBStream& stream, const AccessUnit& unit);
  void decode(const AnnexBStream& stream, const AccessUnit& unit);
  // The current picture into the preallocated v210 rows.
  void convert();

  H264::H264Decoder& core() { return decoder_.core(); }

 private:
  void copy(const AnnexBStream& stream, const AccessUnit& unit);

  H264::FrameDecoder decoder_;
  bool preview_;
  std::vector<unsigned char> input_;
  std::vector<char> output_;
};

}  // namespace istrel::tools
