// Speed of the SSE4.1 kernels of recon/ next to their plain twins, on random 10-bit inputs.
// Each kernel is one entry of kKernels at the bottom; a kernel of a new shape also needs a
// runner, which prepares random inputs and calls the kernel in the timing loop.
//
// usage: build/bench/istrel_kernels_bench [--benchmark_filter=REGEX] [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "recon/intra_prediction.h"
#include "recon/inverse_transform.h"

#if defined(__SSE4_1__)

namespace H264 {
namespace {

using Sample = std::uint16_t;
using Runner = void (*)(benchmark::State&);

constexpr int kMaxValue = 1023;
constexpr int kInputs = 64;  // distinct random inputs, taken in turn
constexpr int kPredStride = 16;
constexpr int kPictureStride = 256;  // the blocks land side by side in a 256x16 picture area

std::vector<std::int32_t> randomValues(std::size_t count, int low, int high) {
  static std::mt19937 rng(20261205u);
  std::uniform_int_distribution<int> pick(low, high);
  std::vector<std::int32_t> values(count);
  for (auto& v : values) v = pick(rng);
  return values;
}

// Random 16x16 predictions and the picture area the kernels write into.
struct Blocks {
  std::vector<std::int32_t> pred = randomValues(kInputs * kPredStride * 16, 0, kMaxValue);
  std::vector<Sample> picture = std::vector<Sample>(kPictureStride * 16);
  const std::int32_t* predictionOf(int i) const { return pred.data() + i * kPredStride * 16; }
  Sample* destinationOf(int i) { return picture.data() + (i % 16) * 16; }
};

using Reconstruct = void (*)(std::int32_t*, const std::int32_t*, int, Sample*, std::ptrdiff_t, int);

// The kernels use the coefficients as scratch: each call gets a fresh copy, both twins alike.
template <int N, Reconstruct Kernel>
void reconstructBlock(benchmark::State& state) {
  Blocks blocks;
  const std::vector<std::int32_t> coefficients = randomValues(kInputs * N * N, -4096, 4096);
  std::int32_t scratch[N * N];
  int i = 0;
  for (auto _ : state) {
    std::copy_n(coefficients.data() + i * N * N, N * N, scratch);
    Kernel(scratch, blocks.predictionOf(i), kPredStride, blocks.destinationOf(i), kPictureStride,
           kMaxValue);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

using AddDc = void (*)(std::int32_t, const std::int32_t*, int, Sample*, std::ptrdiff_t, int);

template <AddDc Kernel>
void addDcBlock(benchmark::State& state) {
  Blocks blocks;
  const std::vector<std::int32_t> dc = randomValues(kInputs, -65536, 65536);
  int i = 0;
  for (auto _ : state) {
    Kernel(dc[i], blocks.predictionOf(i), kPredStride, blocks.destinationOf(i), kPictureStride,
           kMaxValue);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

using CopyPrediction = void (*)(const std::int32_t*, int, Sample*, std::ptrdiff_t, int, int);

template <int N, CopyPrediction Kernel>
void copyBlock(benchmark::State& state) {
  Blocks blocks;
  int i = 0;
  for (auto _ : state) {
    Kernel(blocks.predictionOf(i), kPredStride, blocks.destinationOf(i), kPictureStride, N, N);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

using PlaneRow = void (*)(std::int32_t*, int, std::int32_t, std::int32_t, std::int32_t);

// A whole 16x16 plane prediction: sixteen rows of sixteen.
template <PlaneRow Kernel>
void planeRows16x16(benchmark::State& state) {
  const std::vector<std::int32_t> start = randomValues(kInputs, -40 * 1024, 40 * 1024);
  const std::vector<std::int32_t> step = randomValues(kInputs, -2048, 2048);
  std::int32_t pred[16 * 16];
  int i = 0;
  for (auto _ : state) {
    for (int y = 0; y < 16; ++y) Kernel(pred + 16 * y, 16, start[i] + y * step[i], step[i], 1023);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

struct KernelPair {
  const char* name;
  Runner plain;
  Runner vector;
};

const KernelPair kKernels[] = {
    {"Reconstruct4x4", reconstructBlock<4, plain::reconstruct4x4<Sample>>,
     reconstructBlock<4, sse41::reconstruct4x4<Sample>>},
    {"Reconstruct8x8", reconstructBlock<8, plain::reconstruct8x8<Sample>>,
     reconstructBlock<8, sse41::reconstruct8x8<Sample>>},
    {"AddDc4x4", addDcBlock<plain::addDc4x4<Sample>>, addDcBlock<sse41::addDc4x4<Sample>>},
    {"CopyPrediction8x8", copyBlock<8, plain::copyPrediction<Sample>>,
     copyBlock<8, sse41::copyPrediction<Sample>>},
    {"CopyPrediction16x16", copyBlock<16, plain::copyPrediction<Sample>>,
     copyBlock<16, sse41::copyPrediction<Sample>>},
    {"PlaneRows16x16", planeRows16x16<intra_kernels::planeRowPlain>,
     planeRows16x16<intra_kernels::planeRowSse41>},
};

}  // namespace
}  // namespace H264

int main(int argc, char** argv) {
  for (const H264::KernelPair& k : H264::kKernels) {
    benchmark::RegisterBenchmark((std::string(k.name) + "/plain").c_str(), k.plain);
    benchmark::RegisterBenchmark((std::string(k.name) + "/sse41").c_str(), k.vector);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#else

int main() {
  std::puts("built without SSE4.1: no vector kernels to compare");
  return 0;
}

#endif
