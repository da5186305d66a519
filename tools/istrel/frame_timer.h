// The timing loop of `istrel bench`: the frames of a stream, in order, again
// and again, each one timed.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/annexb_file.h"

namespace istrel::tools {

struct TimedRun {
  long frames = 0;
  double seconds = 0;           // wall time of the whole run
  std::uint64_t bytes = 0;      // stream bytes of the frames done
  std::vector<double> frameMs;  // time of each frame in milliseconds
  const char* kernels = "";     // the instruction-set level the decoder ran at
  double msPerFrame() const { return frames ? 1000 * seconds / static_cast<double>(frames) : 0; }
};

// Calls `work` on every access unit of `stream` in order, starting over at
// the end, until at least `seconds` have passed and every unit was done once.
TimedRun timeFrames(const AnnexBStream& stream, double seconds,
                    const std::function<void(const AccessUnit&)>& work);

struct FrameTimes {
  double median = 0;
  double min = 0;
  double max = 0;
};

FrameTimes frameTimesOf(std::vector<double> frameMs);

}  // namespace istrel::tools
