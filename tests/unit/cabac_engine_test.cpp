// The CABAC arithmetic decoder where the vectors do not take it: data running out, and
// codIOffset values a conforming slice cannot start with. (Every CABAC vector decodes through
// it bin by bin.)
#include "macroblock/cabac_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "base/errors.h"
#include "support/thrown.h"

namespace H264 {
namespace {

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
    // codIOffset 511, then 510 one byte in
    EXPECT_EQ(istrel::test::thrownCode([&] { engine.start(bytes[i], 3, i); }), kSliceError) << i;
  }
  EXPECT_NO_THROW(engine.start(bytes[2], 3, 0));
}

}  // namespace
}  // namespace H264
