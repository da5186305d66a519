// What the deblocking filter needs of each macroblock and each slice of a
// picture, recorded while the slices decode.
#pragma once

#include <cstdint>

#include "base/compiler.h"
#include "syntax/slice_header.h"

namespace H264 {

// One decoded macroblock.
struct FilterMacroblock {
  enum Flags : std::uint8_t { kTransform8x8 = 1, kField = 2 };
  std::int8_t qp;       // the QPY it is filtered with (see recordForFilter)
  std::uint8_t flags;   // transform_size_8x8_flag, field macroblock
  std::uint32_t slice;  // 1 + the slice's number in the frame; 0: no slice decoded it
};

// One slice of the frame: the fields of its header and parameter sets the
// filter reads.
struct FilterSlice {
  bool decoding = false;               // its macroblocks were being decoded
  std::uint8_t disableIdc = 1;         // disable_deblocking_filter_idc
  std::int8_t offsetA = 0;             // FilterOffsetA = slice_alpha_c0_offset_div2 << 1
  std::int8_t offsetB = 0;             // FilterOffsetB
  std::int8_t chromaQpOffset[2] = {};  // chroma_qp_index_offset, second_chroma_qp_index_offset
  bool mbaff = false;                  // MbaffFrameFlag
  bool field = false;                  // field_pic_flag
  bool bottom = false;                 // bottom_field_flag
  std::uint8_t bitDepthLuma = 8;
  std::uint8_t bitDepthChroma = 8;
  std::uint8_t chromaArrayType = 1;

  static FilterSlice of(const SliceHeader& header, const ActiveParameters& active);
  // The same picture structure and sample format as `other`.
  bool samePicture(const FilterSlice& other) const;
};

// Where a slice's macroblock layer records its macroblocks.
struct FilterRecorder {
  FilterMacroblock* records = nullptr;  // none: nothing is recorded
  std::uint32_t firstEntry = 0;         // the entry of macroblock address 0 (a bottom field's)
  std::uint32_t slice = 0;              // 1 + the slice's number in the frame
};

// Records a macroblock the macroblock layer has decoded whole: the QPY it is
// filtered with, its transform_size_8x8_flag and whether it is a field
// macroblock. Clause 8.7.2.2 filters I_PCM and lossless macroblocks with a qP
// of 0 on the QP' scale, QP'Y 0: QPY -QpBdOffsetY, which a lossless
// macroblock has anyway (at 8 bits, 0). The encoder's reconstruction agrees.
ISTREL_FORCE_INLINE void recordForFilter(const FilterRecorder& r, std::uint32_t mbAddr,
                                         int filterQp, bool transform8x8, bool field) {
  FilterMacroblock& mb = r.records[r.firstEntry + mbAddr];
  mb.qp = static_cast<std::int8_t>(filterQp);
  mb.flags = static_cast<std::uint8_t>((transform8x8 ? FilterMacroblock::kTransform8x8 : 0) |
                                       (field ? FilterMacroblock::kField : 0));
  mb.slice = r.slice;
}

}  // namespace H264
