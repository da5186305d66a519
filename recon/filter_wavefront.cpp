#include "recon/filter_wavefront.h"

#include <algorithm>
#include <thread>

namespace H264 {

void FilterWavefront::reset(const DeblockingFilter& filter) {
  rows_ = filter.rows();
  if (rows_ > capacity_) {
    finished_ = std::make_unique<std::atomic<int>[]>(static_cast<std::size_t>(rows_));
    capacity_ = rows_;
  }
  for (int r = 0; r < rows_; ++r) finished_[r].store(0, std::memory_order_relaxed);
  nextRow_.store(0, std::memory_order_relaxed);
}

void FilterWavefront::run(const DeblockingFilter& filter) {
  const int columns = filter.columns();
  for (;;) {
    const int row = nextRow_.fetch_add(1, std::memory_order_relaxed);
    if (row >= rows_) return;
    const int above = row - filter.rowDistance();
    int known = 0;  // columns the row above is known to have finished
    for (int x = 0; x < columns; ++x) {
      const int needed = std::min(x + 2, columns);
      if (above >= 0 && known < needed) known = waitFor(above, needed, known);
      filter.filterAt(row, x);
      finished_[row].store(x + 1, std::memory_order_release);
    }
  }
}

// The row waited on was claimed earlier by a task that is running; it
// usually finishes a column within microseconds, so a short spin comes
// first, then the processor is offered to others.
int FilterWavefront::waitFor(int row, int columns, int known) const {
  for (int spins = 0;; ++spins) {
    known = finished_[row].load(std::memory_order_acquire);
    if (known >= columns) return known;
    if (spins >= 64) std::this_thread::yield();
  }
}

}  // namespace H264
