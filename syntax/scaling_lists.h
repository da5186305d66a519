// Scaling lists: their syntax (clause 7.3.2.1.1.1) and the choice of the
// weight lists a slice dequantises with (fall-back rules A and B, Table 7-2).
#pragma once

#include <cstdint>

#include "base/level.h"
#include "syntax/parameter_sets.h"

namespace H264 {

ISTREL_LEVEL_BEGIN
class StreamParser;
ISTREL_LEVEL_END

// Reads the present flags and lists of slots 0 to listCount - 1.
void readScalingMatrix(StreamParser& parser, ScalingMatrix& matrix, int listCount);

// The list each slot dequantises with, in raster order; null where an inter
// default would apply (inter macroblocks never occur). `flat` is set when no
// matrix is present at all, so every list is Flat_4x4_16 / Flat_8x8_16.
struct WeightLists {
  bool flat = true;
  const std::uint8_t* list4x4[6] = {};  // slots 0-5
  const std::uint8_t* list8x8[6] = {};  // slots 6-11
};

WeightLists selectWeightLists(const SeqParameterSet& sps, const PicParameterSet& pps);

}  // namespace H264
