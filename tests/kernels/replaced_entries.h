// What each instruction-set level's own kernels replace in the table of the
// level below it (plain C++ below SSE4.1 and NEON, SSE4.1 below AVX2): the
// expected table that the kernel tests are instantiated from, so that an
// entry a level loses fails instead of leaving its kernel untested.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dsp/kernels.h"

namespace H264 {

inline const std::map<KernelLevel, std::set<std::string>>& ownEntries() {
  static const std::set<std::string> kEdges = {
      "lumaEdge[0][0]",   "lumaEdge[0][1]",   "lumaEdge[1][0]",   "lumaEdge[1][1]",
      "chromaEdge[0][0]", "chromaEdge[0][1]", "chromaEdge[1][0]", "chromaEdge[1][1]"};
  auto with = [](std::set<std::string> entries, const std::set<std::string>& more) {
    entries.insert(more.begin(), more.end());
    return entries;
  };
  // SSE4.1 and NEON replace every entry but Intra_4x4 prediction.
  static const std::set<std::string> kEvery = with(
      {"reconstruct4x4", "reconstruct8x8", "addDc4x4", "chromaDc422", "copyPrediction", "intra8x8",
       "intra16x16", "intraChroma8x8", "intraChroma8x16", "packV210", "packV210Preview"},
      kEdges);
  static const std::map<KernelLevel, std::set<std::string>> kOwn = {
      {KernelLevel::kSse41, kEvery},
      {KernelLevel::kAvx2, with({"reconstruct8x8", "packV210", "packV210Preview"}, kEdges)},
      {KernelLevel::kNeon, kEvery},
  };
  return kOwn;
}

// The level whose table a level's own kernels are put over.
inline KernelLevel levelBelow(KernelLevel level) {
  return level == KernelLevel::kAvx2 ? KernelLevel::kSse41 : KernelLevel::kPlain;
}

// The entries of a level's table that are not plain C++.
inline std::set<std::string> vectorEntries(KernelLevel level) {
  std::set<std::string> entries;
  for (KernelLevel l = level; l != KernelLevel::kPlain; l = levelBelow(l)) {
    const auto own = ownEntries().find(l);
    if (own != ownEntries().end()) entries.insert(own->second.begin(), own->second.end());
  }
  return entries;
}

// Every entry of a table by name, as the address it holds.
template <typename T>
std::vector<std::pair<std::string, const void*>> tableEntries(const Kernels<T>& k) {
  auto address = [](auto f) { return reinterpret_cast<const void*>(f); };
  std::vector<std::pair<std::string, const void*>> entries = {
      {"reconstruct4x4", address(k.reconstruct4x4)},
      {"reconstruct8x8", address(k.reconstruct8x8)},
      {"addDc4x4", address(k.addDc4x4)},
      {"chromaDc422", address(k.chromaDc422)},
      {"copyPrediction", address(k.copyPrediction)},
      {"intra4x4", address(k.intra4x4)},
      {"intra8x8", address(k.intra8x8)},
      {"intra16x16", address(k.intra16x16)},
      {"intraChroma8x8", address(k.intraChroma8x8)},
      {"intraChroma8x16", address(k.intraChroma8x16)},
      {"packV210", address(k.packV210)},
      {"packV210Preview", address(k.packV210Preview)}};
  const char* const kIndex[] = {"[0][0]", "[0][1]", "[1][0]", "[1][1]"};  // [orientation][strong]
  for (int i = 0; i < 4; ++i) {
    entries.push_back({std::string("lumaEdge") + kIndex[i], address(k.lumaEdge[i / 2][i % 2])});
    entries.push_back({std::string("chromaEdge") + kIndex[i], address(k.chromaEdge[i / 2][i % 2])});
  }
  // Every entry of the table is listed: a new one must be added here.
  static_assert(sizeof(Kernels<T>) == 20 * sizeof(void (*)()));
  return entries;
}

}  // namespace H264
