#include "base/cpu.h"

#include <atomic>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif

namespace H264 {
namespace {

#if defined(__x86_64__) && defined(__GNUC__)

struct Registers {
  unsigned a = 0, b = 0, c = 0, d = 0;
};

Registers cpuid(unsigned leaf, unsigned subleaf) {
  Registers r;
  if (!__get_cpuid_count(leaf, subleaf, &r.a, &r.b, &r.c, &r.d)) return {};
  return r;
}

// AVX2 needs the operating system to save the ymm registers (XCR0 bits 1, 2).
bool osSavesYmm() {
  if (!(cpuid(1, 0).c & bit_OSXSAVE)) return false;
  unsigned lo = 0, hi = 0;
  __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (lo & 6) == 6;
}

std::vector<KernelLevel> detect() {
  std::vector<KernelLevel> levels{KernelLevel::kPlain};
  if (!(cpuid(1, 0).c & bit_SSE4_1)) return levels;
  levels.push_back(KernelLevel::kSse41);
  const Registers leaf7 = cpuid(7, 0);
  const bool lzcnt = (cpuid(0x80000001, 0).c & bit_LZCNT) != 0;
  if ((leaf7.b & bit_AVX2) && (leaf7.b & bit_BMI2) && (leaf7.b & bit_BMI) && lzcnt &&
      osSavesYmm()) {
    levels.push_back(KernelLevel::kAvx2);
  }
  return levels;
}

#elif defined(_M_X64)

// Compilers without GCC's CPUID helpers get the SSE4.1 baseline only.
std::vector<KernelLevel> detect() { return {KernelLevel::kPlain, KernelLevel::kSse41}; }

#elif defined(__aarch64__) || defined(_M_ARM64)

// Advanced SIMD is part of every aarch64 processor.
std::vector<KernelLevel> detect() { return {KernelLevel::kPlain, KernelLevel::kNeon}; }

#else

std::vector<KernelLevel> detect() { return {KernelLevel::kPlain}; }

#endif

std::atomic<int> cap{-1};  // none

}  // namespace

const std::vector<KernelLevel>& kernelLevelsHere() {
  static const std::vector<KernelLevel> levels = detect();
  return levels;
}

KernelLevel levelAtMost(KernelLevel level) {
  KernelLevel best = KernelLevel::kPlain;
  for (KernelLevel l : kernelLevelsHere()) {
    if (l <= level) best = l;
  }
  return best;
}

KernelLevel defaultKernelLevel() {
  const int limit = cap.load(std::memory_order_relaxed);
  return limit < 0 ? kernelLevelsHere().back() : levelAtMost(static_cast<KernelLevel>(limit));
}

void limitKernelLevel(KernelLevel level) {
  cap.store(static_cast<int>(level), std::memory_order_relaxed);
}

const char* kernelLevelName(KernelLevel level) {
  switch (level) {
    case KernelLevel::kSse41:
      return "sse4.1";
    case KernelLevel::kAvx2:
      return "avx2";
    case KernelLevel::kNeon:
      return "neon";
    default:
      return "plain";
  }
}

std::optional<KernelLevel> kernelLevelFromName(std::string_view name) {
  for (KernelLevel l :
       {KernelLevel::kPlain, KernelLevel::kSse41, KernelLevel::kAvx2, KernelLevel::kNeon}) {
    if (name == kernelLevelName(l)) return l;
  }
  return std::nullopt;
}

}  // namespace H264
