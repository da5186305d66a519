// Rows of the deblocking filter spread over tasks that run at once: row r
// may filter column x once row r - distance has finished column x + 1.
// Each task claims the next row from a shared counter and waits only on
// rows claimed before it, which tasks already running hold, so no task ever
// waits on a row nobody works on, whatever the order tasks start in and
// however many run.
#pragma once

#include <atomic>
#include <memory>

#include "recon/deblocking_filter.h"

namespace H264 {

class FilterWavefront {
 public:
  // Before the tasks start: the filter's rows, none claimed or finished.
  void reset(const DeblockingFilter& filter);
  // The work of one task: rows until none is left.
  void run(const DeblockingFilter& filter);

 private:
  // Waits until row `row` has finished `columns` columns; `known` is what
  // the caller saw last.
  int waitFor(int row, int columns, int known) const;

  std::atomic<int> nextRow_{0};
  std::unique_ptr<std::atomic<int>[]> finished_;  // columns finished, by row
  int capacity_ = 0;
  int rows_ = 0;
};

}  // namespace H264
