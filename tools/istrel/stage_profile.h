// `istrel bench --profile`: where a frame's time goes, each stage timed in a
// pass of its own over the decoder core and the frame driver.
#pragma once

#include <optional>
#include <ostream>

#include "base/decode_mode.h"
#include "common/annexb_file.h"

namespace istrel::tools {

// Mean milliseconds per frame of each pass.
struct StagePasses {
  double scan = 0;     // copy and frame scan
  double parse = 0;    // copy, scan and entropy decoding (reconstruction off)
  double full = 0;     // copy and the whole decoding, no conversion
  double convert = 0;  // the v210 conversion alone, on the decoded picture
};

// Runs the four passes in turn, in rounds, for about `seconds` each in all
// (every round at least one pass over the frames); the median of the rounds.
// Nothing when the stream has no usable parameter sets.
std::optional<StagePasses> profileStages(const AnnexBStream& stream, H264::DecodeMode mode,
                                         bool preview, double seconds);

void printProfile(const StagePasses& passes, std::ostream& out);

}  // namespace istrel::tools
