// "Decoded n/N frames (x%) - f fps" on standard error, redrawn in place
// only when standard error is a terminal.
#pragma once

#include <chrono>
#include <ostream>

namespace istrel::tools {

class ProgressLine {
 public:
  ProgressLine(std::ostream& err, long total);
  void update(long done);
  void finish(long done);
  double framesPerSecond(long done) const;

 private:
  std::ostream& err_;
  long total_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace istrel::tools
