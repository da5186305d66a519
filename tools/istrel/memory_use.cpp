#include "istrel/memory_use.h"

#include <fstream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sstream>
#include <string>

namespace istrel::tools {

MemoryUse memoryUse() {
  MemoryUse use;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    std::istringstream fields(line);
    std::string key;
    std::uint64_t kilobytes = 0;
    fields >> key >> kilobytes;
    if (key == "VmRSS:") use.resident = kilobytes * 1024;
    if (key == "VmHWM:") use.peak = kilobytes * 1024;
  }
  return use;
}

bool resetPeak() {
#if defined(__GLIBC__)
  // Hand freed heap pages back first, so that memory allocated afterwards
  // shows in the resident size instead of reusing pages already counted.
  malloc_trim(0);
#endif
  // Writing 5 to clear_refs resets VmHWM (Linux 4.0 and later).
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
}

}  // namespace istrel::tools
