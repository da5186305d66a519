// "Decoded n/N frames (x%) - f fps" on standard error, redrawn in place
// while frames are decoded when standard error is a terminal, and a final
// summary line. Whatever else is printed meanwhile goes through out() and
// err(), which clear the line first.
#pragma once

#include <chrono>
#include <ostream>

namespace istrel::tools {

class ProgressLine {
 public:
  // `terminal`: whether `err` shows on a terminal.
  ProgressLine(std::ostream& out, std::ostream& err, long total, bool terminal);
  // A terminal when `err` is the process's standard error and that is one.
  ProgressLine(std::ostream& out, std::ostream& err, long total);
  ~ProgressLine() { clear(); }

  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  std::ostream& out();
  std::ostream& err();
  void update(long done);
  void finish(long done);
  double framesPerSecond(long done) const;

 private:
  void clear();

  std::ostream& out_;
  std::ostream& err_;
  long total_;
  bool terminal_;
  std::size_t drawn_ = 0;  // characters of the line now on the terminal
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace istrel::tools
