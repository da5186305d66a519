// The decoder as one C++ object: open it, read parameter sets, decode a frame
// in either decoding mode, look at the picture and the error word, convert
// the picture into v210. The exported functions, the tools and the tests all
// decode through it.
#pragma once

#include <zoncore/threads.h>

#include <cstddef>

#include "api/v210_converter.h"
#include "core/h264_decoder.h"

namespace H264 {

struct SeqParameterSet;

// What the last decodeFrame found.
struct FrameReport {
  std::size_t slicesDecoded = 0;   // handed to the slice decoder
  std::size_t slicesIgnored = 0;   // beyond the host's ten slices (compatible mode)
  int malformedParameterSets = 0;  // conformant mode reads those of every frame
  bool noPicture = false;          // no slice named parameter sets the picture could follow
};

// The rows of a v210 conversion: the host's fields, or the stream's own.
struct V210Target {
  int width;   // the picture's coded width
  int height;  // rows delivered, from the top
  bool is422;
  bool fullResolution;
};

// Bytes of the v210 rows of `target`.
std::size_t v210Bytes(const V210Target& target);

class FrameDecoder : public H264Decoder {
 public:
  explicit FrameDecoder(DecodeMode mode = DecodeMode::kCompatible,
                        KernelLevel level = defaultKernelLevel());

  // Reads parameter sets from `data`. Compatible mode, the host's priming:
  // the first sequence parameter set and the first picture parameter set
  // after it, unescaped in place at the start of the buffer; the picture is
  // allocated once, for sequence parameter set 0. Conformant mode: every
  // parameter set, the buffer left as it was; the picture follows the
  // stream at each frame. False when there is no sequence parameter set;
  // throws kParameterSetError as readParameterSets does.
  bool prime(unsigned char* data, int size);

  // Decodes the frame in `data`, which is rewritten in place. Compatible
  // mode: up to ten slices with the parameter sets primed. Conformant mode:
  // the frame's own parameter sets first, then every slice.
  void decodeFrame(unsigned char* data, int size);

  const FrameReport& lastFrame() const { return report_; }

  // The sequence parameter set the picture follows (cropping, VUI), null
  // before the first picture.
  const SeqParameterSet* pictureSps() const;

  // The stream's own v210 rows: the whole coded width, the cropped height.
  V210Target streamTarget(bool fullResolution) const;
  // Converts the picture; `output` holds target.height rows (halved for the
  // preview) as long as the host's pixel-format service says.
  void convertToV210(char* output, const V210Target& target) const;

 private:
  void decodeConformant(unsigned char* data, int size);

  FrameReport report_;
  std::uint32_t pictureSpsId_ = 0;
  // The thread service's workers stay up while a decoder exists and are
  // joined when the last one is destroyed (AVCIFileClose), never at unload.
  zoncore::threads::WorkerLease workers_;
};

// The decoder of an open handle: AVCIFileOpen makes every handle's core a
// FrameDecoder.
inline FrameDecoder& frameDecoderOf(AVCIntraInfo& handle) {
  return static_cast<FrameDecoder&>(*handle.decoder);
}

}  // namespace H264
