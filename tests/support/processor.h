// The instruction-set levels of this processor as the compiler's own
// run-time support sees it, beside the library's detection.
#pragma once

#include <vector>

#include "base/cpu.h"

namespace istrel::test {

// Lowest first. (Every processor with AVX2 and BMI2 has LZCNT too.)
inline std::vector<H264::KernelLevel> levelsOfThisProcessor() {
  std::vector<H264::KernelLevel> levels = {H264::KernelLevel::kPlain};
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("sse4.1")) return levels;
  levels.push_back(H264::KernelLevel::kSse41);
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2")) {
    levels.push_back(H264::KernelLevel::kAvx2);
  }
#elif defined(__aarch64__)
  levels.push_back(H264::KernelLevel::kNeon);
#endif
  return levels;
}

inline H264::KernelLevel bestLevelOfThisProcessor() { return levelsOfThisProcessor().back(); }

}  // namespace istrel::test
