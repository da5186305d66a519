// The frame driver: finds a frame's coded slices, unescapes them in place
// and decodes them in parallel, one task per slice.
#pragma once

#include <cstdint>
#include <vector>

#include "istrel/istrel.h"

namespace H264 {

// One coded slice of the current frame.
struct WorkItem {
  std::int32_t offset;      // unescaped payload (after the NAL header byte), 4-byte aligned
  std::uint32_t length;     // payload bytes after emulation-prevention removal
  std::uint32_t nalHeader;  // bits 0-4 nal_unit_type, bits 5-6 nal_ref_idc
  // first_mb_in_slice of the next slice of the frame in picture order
  // (kNoMacroblockLimit: none): a damaged slice must not run into another
  // slice's macroblocks, which that slice's task writes at the same time.
  std::uint32_t endMb;
};

constexpr std::uint32_t kNoMacroblockLimit = 0xFFFFFFFF;

class H264Decoder;

// Sets each item's endMb from the first_mb_in_slice of the other slices whose
// headers read correctly with the decoder's parameter sets.
void limitSlices(const H264Decoder& decoder, const unsigned char* data,
                 std::vector<WorkItem>& items);

// A frame is taken to hold at most this many slices; further ones are ignored.
constexpr int kSlicesPerFrame = 10;

// Finds up to `maxSlices` coded slice NAL units (types 1 and 5) in `data`
// and unescapes each payload in place to the next 4-byte-aligned offset from
// the start of the buffer.
std::vector<WorkItem> scanSlices(unsigned char* data, int size, int maxSlices = kSlicesPerFrame);

// Decodes slice `index` of `items`; errors stay inside the decoder core.
void decodeSliceTask(int index, H264Decoder* decoder, unsigned char* data,
                     const std::vector<WorkItem>& items);

// Decodes the slices of the frame in `data` in parallel, one task per slice.
void decodeSlices(H264Decoder& decoder, unsigned char* data, int size);

// Decodes the frame in `data` into the handle's decoder core and publishes
// the picture's planes in the handle.
void decodeFrame(AVCIntraInfo* handle, unsigned char* data, int size);

}  // namespace H264
