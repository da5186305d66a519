// The process's resident memory, as the kernel counts it (Linux; elsewhere
// nothing is known and every figure is zero).
#pragma once

#include <cstdint>

namespace istrel::tools {

struct MemoryUse {
  std::uint64_t resident = 0;  // bytes now
  std::uint64_t peak = 0;      // highest since the last resetPeak()
};

MemoryUse memoryUse();
// Returns freed heap pages to the system and starts a new peak from the
// present resident size; false when the kernel cannot (then the peak covers
// the whole run).
bool resetPeak();

}  // namespace istrel::tools
