// slice_header(), ITU-T H.264 clause 7.3.3, for I slices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/level.h"
#include "syntax/parameter_sets.h"
#include "syntax/picture_format.h"

namespace H264 {

class ParametersDecoder;
ISTREL_LEVEL_BEGIN
class StreamParser;
ISTREL_LEVEL_END

struct MmcoOperation {
  std::uint32_t memory_management_control_operation = 0;
  std::uint32_t difference_of_pic_nums_minus1 = 0;
  std::uint32_t long_term_pic_num = 0;
  std::uint32_t long_term_frame_idx = 0;
  std::uint32_t max_long_term_frame_idx_plus1 = 0;
};

struct SliceHeader {
  std::uint32_t first_mb_in_slice = 0;
  std::uint32_t slice_type = 0;  // modulo 5: always 2 (I) once parsed
  std::uint32_t pic_parameter_set_id = 0;
  std::uint32_t colour_plane_id = 0;
  std::uint32_t frame_num = 0;
  std::uint8_t field_pic_flag = 0;
  std::uint8_t bottom_field_flag = 0;
  std::uint32_t idr_pic_id = 0;
  std::uint32_t pic_order_cnt_lsb = 0;
  std::int32_t delta_pic_order_cnt_bottom = 0;
  std::int32_t delta_pic_order_cnt[2] = {};
  std::uint32_t redundant_pic_cnt = 0;
  std::int32_t slice_qp_delta = 0;
  std::uint32_t disable_deblocking_filter_idc = 0;
  std::int32_t slice_alpha_c0_offset_div2 = 0;
  std::int32_t slice_beta_offset_div2 = 0;
  std::uint8_t no_output_of_prior_pics_flag = 0;
  std::uint8_t long_term_reference_flag = 0;
  std::uint8_t adaptive_ref_pic_marking_mode_flag = 0;
  std::vector<MmcoOperation> mmco;  // ends with operation 0 when present
  // Derived.
  std::uint8_t MbaffFrameFlag = 0;
  std::int32_t SliceQPY = 0;
};

// The parameter sets a slice is decoded with, resolved per slice so that
// slices decoding at the same time never write shared state.
struct ActiveParameters {
  const SeqParameterSet* sps = nullptr;
  const PicParameterSet* pps = nullptr;
  PictureFormat format;
};

// Reads the header of a slice with the given NAL unit fields, activates its
// parameter sets and checks the fields the decoder relies on. Throws
// kSliceError for a slice that is not I, names a set never received, starts
// outside the picture or carries an out-of-range field.
void parseSliceHeader(StreamParser& parser, const ParametersDecoder& parameters,
                      unsigned nal_ref_idc, unsigned nal_unit_type, SliceHeader& header,
                      ActiveParameters& active);

// A first_mb_in_slice no slice reaches: the limit of a slice that may run
// to the picture's end.
constexpr std::uint32_t kNoMacroblockLimit = 0xFFFFFFFF;

// A slice header read ahead of its slice data, and where that data begins.
struct ParsedSliceHeader {
  SliceHeader header;
  ActiveParameters active;
  std::size_t dataOffset = 0;  // bits from the start of the RBSP
};

}  // namespace H264
