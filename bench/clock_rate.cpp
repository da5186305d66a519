// The clock this processor core runs at just now, read the way a cycle
// counter would: a chain of dependent additions retires one per cycle on
// every x86-64 and aarch64 core, so additions per second are cycles per
// second. bench/run.sh reads it beside each measurement, to turn wall time
// into core cycles on machines whose clock drifts.
//
// usage: build/bench/istrel-clock-rate [MILLISECONDS]   (default 200)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kAddsPerStep = 100;

// `steps` times a hundred dependent additions.
std::uint64_t addChain(std::uint64_t steps, std::uint64_t x) {
  for (std::uint64_t i = 0; i < steps; ++i) {
#define ISTREL_TEN_ADDS                                                                   \
  ISTREL_ADD ISTREL_ADD ISTREL_ADD ISTREL_ADD ISTREL_ADD ISTREL_ADD ISTREL_ADD ISTREL_ADD \
      ISTREL_ADD ISTREL_ADD
#if defined(__x86_64__)
#define ISTREL_ADD "add $1, %0\n\t"
#elif defined(__aarch64__)
#define ISTREL_ADD "add %0, %0, #1\n\t"
#endif
    __asm__ volatile(
        ISTREL_TEN_ADDS ISTREL_TEN_ADDS ISTREL_TEN_ADDS ISTREL_TEN_ADDS ISTREL_TEN_ADDS
            ISTREL_TEN_ADDS ISTREL_TEN_ADDS ISTREL_TEN_ADDS ISTREL_TEN_ADDS ISTREL_TEN_ADDS
        : "+r"(x));
  }
  return x;
}

double secondsFor(std::uint64_t steps) {
  const auto start = std::chrono::steady_clock::now();
  const std::uint64_t sink = addChain(steps, steps);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (sink == 0) std::puts("");  // keeps the chain from being dropped
  return elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
  const double wanted = (argc > 1 ? std::atof(argv[1]) : 200.0) / 1000;
  if (!(wanted > 0)) {
    std::fprintf(stderr, "usage: %s [MILLISECONDS > 0]\n", argv[0]);
    return 2;
  }
  std::uint64_t steps = 1000;
  while (secondsFor(steps) < wanted / 10) steps *= 2;  // warms the core up too
  const double seconds = secondsFor(steps * 10);
  std::printf("%.3f GHz\n", static_cast<double>(steps) * 10 * kAddsPerStep / seconds / 1e9);
  return 0;
}
