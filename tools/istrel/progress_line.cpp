#include "istrel/progress_line.h"

#include <unistd.h>

#include <cstdio>
#include <iomanip>

namespace istrel::tools {

ProgressLine::ProgressLine(std::ostream& err, long total)
    : err_(err),
      total_(total),
      terminal_(isatty(STDERR_FILENO) != 0),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

double ProgressLine::framesPerSecond(long done) const {
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  return elapsed.count() > 0 ? static_cast<double>(done) / elapsed.count() : 0.0;
}

void ProgressLine::update(long done) {
  auto now = std::chrono::steady_clock::now();
  if (!terminal_ || now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  err_ << "\rDecoded " << done << "/" << total_ << " frames (" << (100 * done / total_) << "%) - "
       << std::fixed << std::setprecision(2) << framesPerSecond(done) << " fps" << std::flush;
}

void ProgressLine::finish(long done) {
  if (terminal_) err_ << "\r";
  err_ << "Decoded " << done << "/" << total_ << " frames - " << std::fixed << std::setprecision(2)
       << framesPerSecond(done) << " fps\n";
}

}  // namespace istrel::tools
