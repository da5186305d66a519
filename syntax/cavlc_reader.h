// Readers of CAVLC residual blocks, ITU-T H.264 clauses 7.3.5.3.2 and 9.2.
#pragma once

#include <cstdint>

#include "base/level.h"
#include "syntax/residual_levels.h"
#include "syntax/stream_parser.h"

namespace H264 {
ISTREL_LEVEL_BEGIN

// residual_block_cavlc() (clauses 7.3.5.3.2 and 9.2): coeff_token, where nC >= 0 selects the
// table by range (0-1, 2-3, 4-7, 8+), -1 is chroma DC 4:2:0 and -2 chroma DC 4:2:2; the trailing
// ones' signs, the other levels, total_zeros (Table 9-9a for maxNumCoeff 4, 9-9b for 8, else
// Tables 9-7 and 9-8) and run_before. maxNumCoeff is 4, 8, 15 or 16. Throws kSliceError for what
// no valid stream holds: invalid codes, TotalCoeff above maxNumCoeff, total_zeros or a
// run_before beyond the zeros left, and a level_prefix above 25. Prefixes up to 25 reach level
// magnitudes just under 2^22, more than the levels of 14-bit video need, and keep every
// intermediate value far inside int32.
void readResidualBlock(StreamParser& parser, int nC, int maxNumCoeff, ResidualLevels& out);

ISTREL_LEVEL_END
}  // namespace H264
