// The frame driver: finds a frame's coded slices, unescapes them in place,
// reads their headers once and decodes them in parallel, one task per slice.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "syntax/slice_header.h"

namespace H264 {

class H264Decoder;

// One coded slice of the current frame.
struct WorkItem {
  std::int32_t offset;      // unescaped payload (after the NAL header byte), 4-byte aligned
  std::uint32_t length;     // payload bytes after emulation-prevention removal
  std::uint32_t nalHeader;  // bits 0-4 nal_unit_type, bits 5-6 nal_ref_idc
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

// Reads each item's header with the decoder's parameter sets and bounds it
// by the slices that start after it in the same picture. Slices of frames
// and of fields do not mix in one buffer: those unlike the first readable
// slice lose their header.
void readSliceHeaders(const H264Decoder& decoder, const unsigned char* data,
                      std::vector<WorkItem>& items);

// Decodes slice `index` of `items`; errors stay inside the decoder core.
void decodeSliceTask(int index, H264Decoder* decoder, unsigned char* data,
                     const std::vector<WorkItem>& items);

// Decodes the slices in `items` in parallel, one task per slice.
void decodeSlices(H264Decoder& decoder, unsigned char* data, const std::vector<WorkItem>& items);

// Conformant mode: the deblocking filter over the picture the slices
// decoded, its rows spread over the worker pool.
void deblockPicture(H264Decoder& decoder);

}  // namespace H264
