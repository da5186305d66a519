#include "istrel/frame_timer.h"

#include <algorithm>
#include <chrono>

namespace istrel::tools {

TimedRun timeFrames(const AnnexBStream& stream, double seconds,
                    const std::function<void(const AccessUnit&)>& work) {
  using Clock = std::chrono::steady_clock;
  const std::size_t count = stream.units.size();
  const auto start = Clock::now();
  const auto deadline =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  TimedRun run;
  run.frameMs.reserve(4096);
  auto last = start;
  for (std::size_t i = 0; count > 0; i = (i + 1) % count) {
    const AccessUnit& unit = stream.units[i];
    work(unit);
    const auto now = Clock::now();
    run.frameMs.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
    run.bytes += unit.end - unit.begin;
    ++run.frames;
    if (now >= deadline && static_cast<std::size_t>(run.frames) >= count) break;
  }
  run.seconds = std::chrono::duration<double>(last - start).count();
  return run;
}

FrameTimes frameTimesOf(std::vector<double> frameMs) {
  if (frameMs.empty()) return {};
  auto [low, high] = std::minmax_element(frameMs.begin(), frameMs.end());
  FrameTimes t{0, *low, *high};
  const std::size_t middle = frameMs.size() / 2;
  std::nth_element(frameMs.begin(), frameMs.begin() + static_cast<std::ptrdiff_t>(middle),
                   frameMs.end());
  t.median = frameMs[middle];
  if (frameMs.size() % 2 == 0) {
    double below =
        *std::max_element(frameMs.begin(), frameMs.begin() + static_cast<std::ptrdiff_t>(middle));
    t.median = (t.median + below) / 2;
  }
  return t;
}

}  // namespace istrel::tools
