// The decoder as one C++ object: read parameter sets, decode a frame in
// either decoding mode, look at the picture and the error word, convert the
// picture into v210. It is the frame driver over a decoder core of its own;
// the tools and the tests decode through it.
#pragma once

#include <zoncore/threads.h>

#include <cstddef>

#include "api/frame_driver.h"
#include "api/v210_converter.h"
#include "core/h264_decoder.h"

namespace H264 {

class FrameDecoder {
 public:
  explicit FrameDecoder(DecodeMode mode = DecodeMode::kCompatible,
                        KernelLevel level = defaultKernelLevel())
      : core_(mode, level) {}

  // See FrameDriver::prime and FrameDriver::decodeFrame.
  bool prime(unsigned char* data, int size) { return FrameDriver(core_).prime(data, size); }
  void decodeFrame(unsigned char* data, int size) { FrameDriver(core_).decodeFrame(data, size); }

  const Picture<unsigned short>& picture() const { return core_.picture(); }
  unsigned errorFlags() const { return core_.errorFlags(); }
  const FrameReport& lastFrame() const { return core_.lastFrame(); }
  // Parameter sets, slice statistics, profiling switches.
  const H264Decoder& core() const { return core_; }
  H264Decoder& core() { return core_; }

  // The stream's own v210 rows: the whole coded width, the cropped height.
  V210Target streamTarget(bool fullResolution) const;
  // Converts the picture; `output` holds target.geometry().bytes().
  void convertToV210(char* output, const V210Target& target) const {
    H264::convertToV210(core_, output, target);
  }

 private:
  // The thread service's workers stay up while a decoder exists and are
  // joined when the last one is destroyed, never at unload.
  zoncore::threads::WorkerLease workers_;
  H264Decoder core_;
};

}  // namespace H264
