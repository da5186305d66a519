#include "istrel/progress_line.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace istrel::tools {
namespace {

constexpr std::chrono::milliseconds kRedrawInterval(100);

std::string fps(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, std::ostream& err, long total, bool terminal)
    : out_(out),
      err_(err),
      total_(total),
      terminal_(terminal),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_ - kRedrawInterval) {}

ProgressLine::ProgressLine(std::ostream& out, std::ostream& err, long total)
    : ProgressLine(out, err, total, &err == &std::cerr && isatty(STDERR_FILENO)) {}

double ProgressLine::framesPerSecond(long done) const {
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  return elapsed.count() > 0 ? static_cast<double>(done) / elapsed.count() : 0.0;
}

void ProgressLine::clear() {
  if (drawn_ == 0) return;
  err_ << '\r' << std::string(drawn_, ' ') << '\r' << std::flush;
  drawn_ = 0;
}

std::ostream& ProgressLine::out() {
  clear();
  return out_;
}

std::ostream& ProgressLine::err() {
  clear();
  return err_;
}

void ProgressLine::update(long done) {
  auto now = std::chrono::steady_clock::now();
  if (!terminal_ || total_ <= 0 || now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  const std::string line = "Decoded " + std::to_string(done) + "/" + std::to_string(total_) +
                           " frames (" + std::to_string(100 * done / total_) + "%) - " +
                           fps(framesPerSecond(done)) + " fps";
  out_.flush();  // what went to standard output shows before the line
  err_ << '\r' << line;
  if (line.size() < drawn_) err_ << std::string(drawn_ - line.size(), ' ');
  err_ << std::flush;
  drawn_ = std::max(drawn_, line.size());
}

void ProgressLine::finish(long done) {
  out_.flush();
  err() << "Decoded " << done << "/" << total_ << " frames - " << fps(framesPerSecond(done))
        << " fps\n";
}

}  // namespace istrel::tools
