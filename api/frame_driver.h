// The frame driver: the decoding of one frame, in one place. It finds the
// frame's coded slices and unescapes them in place, reads their headers
// once, bounds each slice by the start of the next, chooses the parameter
// sets the picture follows, decodes the slices in parallel, one task per
// slice, and in the conformant mode runs the deblocking filter over the
// finished picture. The exported functions, FrameDecoder, the tools and the
// tests all decode frames through it.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "syntax/slice_header.h"

namespace H264 {

class H264Decoder;
struct FrameReport;

// One coded slice of the current frame.
struct WorkItem {
  std::int32_t offset;      // unescaped payload (after the NAL header byte), 4-byte aligned
  std::uint32_t length;     // payload bytes after emulation-prevention removal
  std::uint32_t nalHeader;  // the NAL unit header byte
  // first_mb_in_slice of the next slice of the same picture (the same field
  // of a field pair): a damaged slice must not run into another slice's
  // macroblocks, which that slice's task writes at the same time.
  std::uint32_t endMb = kNoMacroblockLimit;
  // The header, read on the calling thread; none when it could not be read.
  std::optional<ParsedSliceHeader> slice;
};

// A frame is taken to hold at most this many slices on the host's path;
// further ones are ignored.
constexpr int kSlicesPerFrame = 10;
constexpr int kUnlimitedSlices = 1 << 30;

struct SliceScan {
  std::vector<WorkItem> items;
  int ignored = 0;  // coded slices found beyond the limit
};

// Finds up to `maxSlices` coded slice NAL units (types 1 and 5) in `data`
// and unescapes each payload in place to the next 4-byte-aligned offset from
// the start of the buffer; counts the slices beyond.
SliceScan scanSlices(unsigned char* data, int size, int maxSlices = kSlicesPerFrame);

class FrameDriver {
 public:
  explicit FrameDriver(H264Decoder& core) : core_(core) {}

  // Reads parameter sets from `data`. Compatible mode, the host's priming:
  // the first sequence parameter set and the first picture parameter set
  // after it, unescaped in place at the start of the buffer, and the picture
  // allocated once, for sequence parameter set 0. Conformant mode: every
  // parameter set, the buffer left as it was; the picture follows the
  // stream at each frame. False when there is no sequence parameter set;
  // throws kParameterSetError as the decoder core's readers do.
  bool prime(unsigned char* data, int size);

  // Decodes the frame in `data`, which is rewritten in place. Compatible
  // mode: up to ten slices with the parameter sets primed. Conformant mode:
  // the frame's own parameter sets first, then every slice, then the
  // deblocking filter. The core's lastFrame() tells what was found.
  void decodeFrame(unsigned char* data, int size);

 private:
  void decodeConformant(unsigned char* data, int size);
  // Reads each item's header and bounds it by the slices that start after
  // it in the same picture. Slices of frames and of fields do not mix in
  // one buffer: those unlike the first readable slice lose their header.
  void readSliceHeaders(const unsigned char* data, std::vector<WorkItem>& items) const;
  // One task per item through the host's thread service.
  void decodeSlices(unsigned char* data, const std::vector<WorkItem>& items,
                    const FrameReport& report);
  // The deblocking filter's macroblock rows spread over the thread service.
  void deblockPicture();

  H264Decoder& core_;
};

}  // namespace H264
