// The instruction-set levels the kernels come in, which of them this
// processor runs, and a process-wide cap below the best one.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace H264 {

// Levels of one processor family, lowest first; plain C++ runs everywhere.
enum class KernelLevel : int {
  kPlain = 0,
  kSse41 = 1,  // x86-64: the baseline the library is compiled for
  kAvx2 = 2,   // x86-64: AVX2 with BMI2 and LZCNT
  kNeon = 3,   // aarch64: Advanced SIMD
};

// Every level this build carries and this processor runs, lowest first.
const std::vector<KernelLevel>& kernelLevelsHere();

// The level a decoder created now takes: the best one here, unless
// limitKernelLevel set a lower one.
KernelLevel defaultKernelLevel();

// Caps the levels of decoders created from now on, process-wide (for tests
// and for chasing a fault to a kernel); a level this processor lacks leaves
// the best one it has below the cap.
void limitKernelLevel(KernelLevel cap);

// `level` if this processor runs it, else the best level here below it.
KernelLevel levelAtMost(KernelLevel level);

const char* kernelLevelName(KernelLevel level);  // "plain", "sse4.1", "avx2", "neon"
std::optional<KernelLevel> kernelLevelFromName(std::string_view name);

}  // namespace H264
