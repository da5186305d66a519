// The CABAC arithmetic decoder against an encoder written from clause 9.3.4.2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "base/errors.h"
#include "macroblock/cabac_engine.h"
#include "support/bit_writer.h"
#include "support/cabac_writer.h"

namespace H264 {
namespace {

using istrel::test::Bin;
using istrel::test::BitWriter;
using istrel::test::CabacWriter;
using Contexts = std::vector<ContextVariable>;

std::vector<Bin> randomBins(std::mt19937& rng, int count) {
  std::vector<Bin> bins;
  for (int i = 0; i < count; ++i) {
    const unsigned pick = rng() % 100;
    const int ctxIdx = static_cast<int>(rng() % kTerminateCtxIdx);
    // Skewed decisions by context, so runs of MPS and LPS both occur.
    const int value = static_cast<int>(pick < 70 ? rng() % 8 < unsigned(ctxIdx % 9) : rng() & 1);
    bins.push_back({pick < 70 ? 0 : pick < 95 ? 1 : 2, ctxIdx, pick < 95 ? value : 0});
  }
  bins.push_back({2, 0, 1});
  return bins;
}

// Segments of random bins, each coded as a slice or as the part before an I_PCM macroblock:
// terminate, pcm_alignment_zero_bits, samples, and the engine started again after them.
TEST(CabacEngine, RoundTripsSlicesAndPcmRestarts) {
  const char* fixed = std::getenv("ISTREL_TEST_SEED");  // replays a logged seed
  const unsigned seed = fixed ? static_cast<unsigned>(std::strtoul(fixed, nullptr, 10)) : 20261205u;
  std::printf("[   seed   ] %u\n", seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(testing::Message() << "seed " << seed << " round " << round);
    Contexts initial(kContextCount);
    for (ContextVariable& c : initial) c = ContextVariable(rng() % 63, rng() & 1);
    Contexts encoded = initial;
    BitWriter out;
    CabacWriter encoder(out);
    std::vector<std::vector<Bin>> segments;
    std::vector<std::size_t> starts, ends;
    for (int s = 0, n = 1 + static_cast<int>(rng() % 4); s < n; ++s) {
      starts.push_back(out.bitCount() / 8);
      segments.push_back(
          randomBins(rng, s == 0 && round < 4 ? round : static_cast<int>(rng() % 3000)));
      encoder.encode(encoded, segments.back());
      ends.push_back(out.bitCount());
      while (out.bitCount() % 8) out.bit(0);
      for (int k = static_cast<int>(rng() % 40); k > 0; --k)
        out.bits(rng() % 3 ? std::uint32_t(rng()) : 0xffu, 8);
    }
    // Exactly sized, so that a read past the end shows under AddressSanitizer.
    const std::vector<std::uint8_t>& written = out.bytes();
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[written.size()]);
    std::copy(written.begin(), written.end(), bytes.get());
    Contexts contexts = initial;
    CabacEngine engine;
    for (std::size_t s = 0; s < segments.size(); ++s) {
      engine.start(bytes.get(), written.size(), starts[s]);
      EXPECT_EQ(engine.bitPosition(), 8 * starts[s] + 9);
      for (const Bin& b : segments[s]) {
        ASSERT_EQ(b.kind == 0   ? engine.decodeDecision(contexts[b.ctxIdx])
                  : b.kind == 1 ? engine.decodeBypass()
                                : engine.decodeTerminate(),
                  b.value)
            << "segment " << s << " kind " << b.kind << " at bit " << engine.bitPosition();
      }
      ASSERT_EQ(engine.bitPosition(), ends[s]);
      EXPECT_EQ((bytes[(ends[s] - 1) / 8] >> (7 - (ends[s] - 1) % 8)) & 1, 1) << "stop bit";
    }
    ASSERT_EQ(std::memcmp(contexts.data(), encoded.data(), kContextCount * sizeof(ContextVariable)),
              0)
        << "contexts";
  }
}

TEST(CabacEngine, ReadsZerosPastTheEnd) {
  for (std::size_t size : {0, 1, 2}) {
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size + 1]());
    ContextVariable ctx(30, 1);
    CabacEngine engine;
    engine.start(bytes.get(), size, 0);
    // codIOffset stays 0: every decision is the MPS, every other bin 0, and bits are consumed.
    for (int i = 0; i < 2000; ++i) {
      ASSERT_EQ(engine.decodeDecision(ctx), 1);
      ASSERT_EQ(engine.decodeBypass(), 0);
      ASSERT_EQ(engine.decodeTerminate(), 0);
    }
    EXPECT_GT(engine.bitPosition(), 2000u);
  }
}

TEST(CabacEngine, StartRefusesOffset510And511) {
  const std::uint8_t bytes[3][3] = {{0xFF, 0x80, 0}, {0x12, 0xFF, 0x00}, {0xFE, 0x80, 0}};
  CabacEngine engine;
  for (int i = 0; i < 2; ++i) {
    try {
      engine.start(bytes[i], 3, i);  // codIOffset 511, then 510 one byte in
      ADD_FAILURE() << "accepted " << i;
    } catch (int code) {
      EXPECT_EQ(code, kSliceError);
    }
  }
  EXPECT_NO_THROW(engine.start(bytes[2], 3, 0));
}

}  // namespace
}  // namespace H264
