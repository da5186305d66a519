// Speed of every kernel of the table at every level this processor runs, on
// random 10-bit inputs; an entry a level does not override is timed once, at
// the lowest level that has it.
//
// usage: build/bench/istrel_kernels_bench [--benchmark_filter=REGEX] [Google Benchmark options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dsp/kernels.h"

namespace H264 {
namespace {

using Sample = unsigned short;
using Table = Kernels<Sample>;

constexpr int kMaxValue = 1023;
constexpr int kInputs = 64;  // distinct random inputs, taken in turn
constexpr int kPredStride = 16;
constexpr int kPictureStride = 256;  // the blocks land side by side in a 256x16 picture area
constexpr int kRowGroups = 320;      // a 1920-sample v210 row

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

// The kernels use the coefficients as scratch: each call gets a fresh copy.
void reconstruct(benchmark::State& state, Table::Reconstruct kernel, int n) {
  Blocks blocks;
  const std::vector<std::int32_t> coefficients = randomValues(kInputs * n * n, -4096, 4096);
  std::int32_t scratch[64];
  int i = 0;
  for (auto _ : state) {
    std::copy_n(coefficients.data() + i * n * n, n * n, scratch);
    kernel(scratch, blocks.predictionOf(i), kPredStride, blocks.destinationOf(i), kPictureStride,
           kMaxValue);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

void addDc(benchmark::State& state, const Table& k) {
  Blocks blocks;
  const std::vector<std::int32_t> dc = randomValues(kInputs, -65536, 65536);
  int i = 0;
  for (auto _ : state) {
    k.addDc4x4(dc[i], blocks.predictionOf(i), kPredStride, blocks.destinationOf(i), kPictureStride,
               kMaxValue);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

void chromaDc422(benchmark::State& state, const Table& k) {
  const std::vector<std::int32_t> levels = randomValues(kInputs * 8, -2048, 2048);
  std::int32_t dc[8];
  int i = 0;
  for (auto _ : state) {
    k.chromaDc422(levels.data() + 8 * i, 2000, 30 + i % 8, i % 2 != 0, dc);
    benchmark::DoNotOptimize(dc);
    i = (i + 1) % kInputs;
  }
}

void copyPrediction(benchmark::State& state, const Table& k, int n) {
  Blocks blocks;
  int i = 0;
  for (auto _ : state) {
    k.copyPrediction(blocks.predictionOf(i), kPredStride, blocks.destinationOf(i), kPictureStride,
                     n, n);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

// One intra prediction of `mode` with every side available, from random 10-bit references.
void intra(benchmark::State& state, IntraKernel kernel, int mode) {
  const std::vector<std::int32_t> top = randomValues(kInputs * 16, 0, kMaxValue);
  const std::vector<std::int32_t> left = randomValues(kInputs * 16, 0, kMaxValue);
  constexpr unsigned kSides = kIntraTop | kIntraLeft | kIntraTopLeft;
  std::int32_t pred[16 * kPredStride];
  int i = 0;
  for (auto _ : state) {
    kernel(mode, top.data() + 16 * i, left.data() + 16 * i, left[16 * i + 1], kSides, 10, pred,
           kPredStride);
    benchmark::ClobberMemory();
    i = (i + 1) % kInputs;
  }
}

// One 1920-pixel row of 4:2:2 10-bit samples (the preview reads twice as many).
void packRow(benchmark::State& state, Table::PackV210 kernel, int step) {
  std::vector<Sample> planes[3];
  for (int c = 0; c < 3; ++c) {
    const std::vector<std::int32_t> v = randomValues((c ? 3 : 6) * kRowGroups * step, 0, 1023);
    planes[c].assign(v.begin(), v.end());
  }
  std::vector<char> row(16 * kRowGroups);
  for (auto _ : state) {
    kernel(row.data(), planes[0].data(), planes[1].data(), planes[2].data(), kRowGroups, {});
    benchmark::ClobberMemory();
  }
}

// One edge of 16 lines (luma-style) or 8 (chroma-style) in a 10-bit area of
// gentle gradients with noise, at indexA and indexB 36, so that most lines
// pass the thresholds; the edges move over the area from call to call.
void edge(benchmark::State& state, Table::EdgeFilter kernel, int lines) {
  constexpr int kArea = 64;
  const std::vector<std::int32_t> noise = randomValues(kArea * kArea, -6, 6);
  std::vector<Sample> area(kArea * kArea);
  for (int k = 0; k < kArea * kArea; ++k) {
    area[k] = static_cast<Sample>(400 + 2 * (k % kArea) + k / kArea + noise[k]);
  }
  const EdgeThresholds t{50 << 2, 11 << 2, 4 << 2, kMaxValue};
  int i = 0;
  for (auto _ : state) {
    kernel(area.data() + (8 + 4 * (i % 8)) * kArea + 8 + 4 * (i % 4), kArea, lines, t);
    benchmark::ClobberMemory();
    ++i;
  }
}

struct Entry {
  const char* name;
  const void* (*pointer)(const Table&);  // tells which levels override it
  std::function<void(benchmark::State&, const Table&)> run;
};

template <typename F>
const void* address(F f) {
  return reinterpret_cast<const void*>(f);
}

// An intra prediction kernel of the table in one of its modes.
template <IntraKernel Table::*kKernel, int kMode>
Entry intraEntry(const char* name) {
  return {name, [](const Table& k) { return address(k.*kKernel); },
          [](benchmark::State& s, const Table& k) { intra(s, k.*kKernel, kMode); }};
}

const Entry kEntries[] = {
    {"Reconstruct4x4", [](const Table& k) { return address(k.reconstruct4x4); },
     [](benchmark::State& s, const Table& k) { reconstruct(s, k.reconstruct4x4, 4); }},
    {"Reconstruct8x8", [](const Table& k) { return address(k.reconstruct8x8); },
     [](benchmark::State& s, const Table& k) { reconstruct(s, k.reconstruct8x8, 8); }},
    {"AddDc4x4", [](const Table& k) { return address(k.addDc4x4); }, addDc},
    {"ChromaDc422", [](const Table& k) { return address(k.chromaDc422); }, chromaDc422},
    {"CopyPrediction8x8", [](const Table& k) { return address(k.copyPrediction); },
     [](benchmark::State& s, const Table& k) { copyPrediction(s, k, 8); }},
    {"CopyPrediction16x16", [](const Table& k) { return address(k.copyPrediction); },
     [](benchmark::State& s, const Table& k) { copyPrediction(s, k, 16); }},
    intraEntry<&Table::intra16x16, 3>("Intra16x16Plane"),
    intraEntry<&Table::intra16x16, 2>("Intra16x16Dc"),
    intraEntry<&Table::intraChroma8x8, 0>("IntraChroma8x8Dc"),
    intraEntry<&Table::intraChroma8x16, 3>("IntraChroma8x16Plane"),
    {"PackV210Row1920", [](const Table& k) { return address(k.packV210); },
     [](benchmark::State& s, const Table& k) { packRow(s, k.packV210, 1); }},
    {"PackV210PreviewRow960", [](const Table& k) { return address(k.packV210Preview); },
     [](benchmark::State& s, const Table& k) { packRow(s, k.packV210Preview, 2); }},
    {"LumaEdgeVertical16", [](const Table& k) { return address(k.lumaEdge[kVerticalEdge][0]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.lumaEdge[kVerticalEdge][0], 16); }},
    {"LumaEdgeVertical16Bs4", [](const Table& k) { return address(k.lumaEdge[kVerticalEdge][1]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.lumaEdge[kVerticalEdge][1], 16); }},
    {"LumaEdgeHorizontal16", [](const Table& k) { return address(k.lumaEdge[kHorizontalEdge][0]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.lumaEdge[kHorizontalEdge][0], 16); }},
    {"LumaEdgeHorizontal16Bs4",
     [](const Table& k) { return address(k.lumaEdge[kHorizontalEdge][1]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.lumaEdge[kHorizontalEdge][1], 16); }},
    {"ChromaEdgeVertical8", [](const Table& k) { return address(k.chromaEdge[kVerticalEdge][0]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.chromaEdge[kVerticalEdge][0], 8); }},
    {"ChromaEdgeVertical16Bs4",
     [](const Table& k) { return address(k.chromaEdge[kVerticalEdge][1]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.chromaEdge[kVerticalEdge][1], 16); }},
    {"ChromaEdgeHorizontal8",
     [](const Table& k) { return address(k.chromaEdge[kHorizontalEdge][0]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.chromaEdge[kHorizontalEdge][0], 8); }},
    {"ChromaEdgeHorizontal8Bs4",
     [](const Table& k) { return address(k.chromaEdge[kHorizontalEdge][1]); },
     [](benchmark::State& s, const Table& k) { edge(s, k.chromaEdge[kHorizontalEdge][1], 8); }},
};

}  // namespace
}  // namespace H264

int main(int argc, char** argv) {
  using namespace H264;
  for (const Entry& e : kEntries) {
    const void* previous = nullptr;
    for (KernelLevel level : kernelLevelsHere()) {
      const Table& table = kernelsFor<Sample>(level);
      if (e.pointer(table) == previous) continue;
      previous = e.pointer(table);
      benchmark::RegisterBenchmark((std::string(e.name) + "/" + kernelLevelName(level)).c_str(),
                                   [&e, &table](benchmark::State& s) { e.run(s, table); });
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
