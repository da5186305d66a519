#include "syntax/cavlc_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/bit_writer.h"
#include "support/thrown.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;

// A small independent CAVLC writer of 4x4 blocks whose coefficients start at coefficient 0 with
// no zeros between them, at nC 8 (coeff_token is the 6-bit (TotalCoeff - 1) * 4 + TrailingOnes):
// the levels and their escapes are what it checks; the vectors cover the tables.

// total_zeros 0 of 4x4 blocks by TotalCoeff.
const char* const kNoZeros4x4[15] = {"1",      "111",    "0101",   "00011",  "0101",
                                     "000001", "000001", "000001", "000001", "00001",
                                     "0000",   "0000",   "000",    "00",     "0"};

struct Writer {
  BitWriter w;
  std::set<std::pair<int, int>> escapes;  // (suffixLength, level_prefix) for prefixes from 14

  void levelCode(int levelCode, int suffixLength) {
    int prefix = levelCode >> suffixLength;
    int suffix = levelCode & ((1 << suffixLength) - 1);
    int suffixSize = suffixLength;
    if (suffixLength == 0 && levelCode >= 14 && levelCode < 30) {
      prefix = 14, suffix = levelCode - 14, suffixSize = 4;
    } else if (prefix >= 15 || (suffixLength == 0 && levelCode >= 30)) {
      // Prefix 15 holds 4096 values past its base, each further prefix twice as many.
      const int excess = levelCode - (15 << suffixLength) - (suffixLength == 0 ? 15 : 0);
      int offset = 0;
      for (prefix = 15; excess - offset >= 1 << (prefix - 3);)
        offset = (1 << (++prefix - 3)) - 4096;
      suffix = excess - offset, suffixSize = prefix - 3;
    }
    if (prefix >= 14) escapes.insert({suffixLength, prefix});
    w.bits(1, prefix + 1);
    if (suffixSize > 0) w.bits(static_cast<std::uint32_t>(suffix), suffixSize);
  }

  // levels: highest coefficient first; the lowest sits at coefficient 0.
  void block(int maxNumCoeff, const std::vector<int>& levels) {
    const int total = static_cast<int>(levels.size());
    int ones = 0;
    while (ones < 3 && ones < total && std::abs(levels[ones]) == 1) ++ones;
    w.bits(static_cast<std::uint32_t>((total - 1) * 4 + ones), 6);
    for (int i = 0; i < ones; ++i) w.bit(levels[i] < 0);
    int suffixLength = total > 10 && ones < 3 ? 1 : 0;
    for (int i = ones; i < total; ++i) {
      levelCode((levels[i] > 0 ? 2 * levels[i] - 2 : -2 * levels[i] - 1) -
                    (i == ones && ones < 3 ? 2 : 0),
                suffixLength);
      if (suffixLength == 0) suffixLength = 1;
      if (std::abs(levels[i]) > (3 << (suffixLength - 1)) && suffixLength < 6) ++suffixLength;
    }
    if (total < maxNumCoeff) w.code(kNoZeros4x4[total - 1]);
  }
};

struct Block {
  int maxNumCoeff;
  std::vector<int> levels;
};

int randomLevel(std::mt19937& rng, int lowest) {
  const std::pair<int, int> ranges[] = {{1, 1},      {1, 1},        {2, 15},         {16, 300},
                                        {300, 5000}, {5000, 70000}, {70000, 1 << 21}};
  const auto [low, high] = ranges[rng() % 7];
  const int magnitude =
      std::uniform_int_distribution<int>(std::max(low, lowest), std::max(high, lowest))(rng);
  return rng() % 2 ? -magnitude : magnitude;
}

TEST(CavlcRoundTrip, LevelsAndEveryEscape) {
  std::mt19937 rng(7);
  std::vector<Block> blocks;
  for (int i = 0; i < 600; ++i) {
    Block b{15 + i % 2, {}};
    for (int k = 0; k <= i % b.maxNumCoeff; ++k) b.levels.push_back(randomLevel(rng, 1 + i % 3));
    blocks.push_back(b);
  }
  // Levels from about 2^21 need level_prefix 25, the largest accepted.
  blocks.push_back({16, {(1 << 21) + 2100}});
  blocks.push_back({16, {-(1 << 22) + 2100}});

  Writer writer;
  std::vector<std::size_t> ends;
  for (const Block& b : blocks) {
    writer.block(b.maxNumCoeff, b.levels);
    ends.push_back(writer.w.bitCount());
  }
  writer.w.bits(0xffffffff, 32);
  const std::vector<std::uint8_t>& bytes = writer.w.bytes();
  StreamParser parser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  for (std::size_t n = 0; n < blocks.size(); ++n) {
    const Block& b = blocks[n];
    SCOPED_TRACE(testing::Message() << "block " << n << ", maxNumCoeff " << b.maxNumCoeff);
    ResidualLevels out;
    readResidualBlock(parser, 8 + static_cast<int>(n % 9), b.maxNumCoeff, out);
    ASSERT_EQ(out.count, static_cast<int>(b.levels.size()));
    for (int i = 0; i < out.count; ++i) {
      EXPECT_EQ(out.level[i], b.levels[i]) << i;
      EXPECT_EQ(out.position[i], out.count - 1 - i) << i;
    }
    ASSERT_EQ(parser.bitOffset(), ends[n]);
  }
  for (std::pair<int, int> escape :
       {std::pair{0, 14}, {0, 15}, {0, 16}, {0, 25}, {1, 15}, {1, 16}, {2, 15}, {6, 15}, {6, 20}}) {
    EXPECT_TRUE(writer.escapes.count(escape)) << escape.first << " " << escape.second;
  }
}

int decodeError(const std::string& bits, int nC, int maxNumCoeff, int blocks = 1) {
  BitWriter w;
  const std::vector<std::uint8_t>& bytes = w.code(bits.c_str()).bytes();
  StreamParser parser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return istrel::test::thrownCode([&] {
    for (int i = 0; i < blocks; ++i) {
      ResidualLevels out;
      readResidualBlock(parser, nC, maxNumCoeff, out);
    }
  });
}

TEST(CavlcMalformed, ThrowSliceError) {
  const std::string pad(40, '1');
  const struct {
    std::string bits;
    int nC;
    int maxNumCoeff;
  } cases[] = {
      // coeff_token codes no table has.
      {"0000 0000 0000 0001", 0, 16},
      {"0000 0000 0000 01", 2, 16},
      {"0000 0000 0011", 4, 16},
      {"000010" + pad, 8, 16},
      {"000111" + pad, 8, 16},
      {"0000 0000 0000 01", -2, 8},
      // TotalCoeff 16 in a 15-coefficient block.
      {"0000 0000 0000 0100" + pad, 0, 15},
      // One trailing one: total_zeros 15 in a 15-coefficient block, then no code at all.
      {"000001 0 000000001" + pad, 8, 15},
      {"000001 0 000000000" + pad, 8, 16},
      // Two trailing ones, total_zeros 7: run_before 8, then no code at all.
      {"000110 00 0011 00001" + pad, 8, 16},
      {"000110 00 0011 00000000000" + pad, 8, 16},
      // level_prefix 26.
      {"000000" + std::string(26, '0') + "1" + pad, 8, 16},
  };
  for (const auto& c : cases)
    EXPECT_EQ(decodeError(c.bits, c.nC, c.maxNumCoeff), kSliceError) << c.bits;
}

TEST(CavlcMalformed, DataRunningOutEndsInAnError) {
  // Zeros past the end match no coeff_token or no level_prefix: block after block must fail.
  for (int nC : {0, 2, 4, 8, -1, -2}) {
    EXPECT_EQ(decodeError("1", nC, nC == -1 ? 4 : nC == -2 ? 8 : 16, 100), kSliceError) << nC;
  }
  StreamParser empty(nullptr, 0);
  ResidualLevels out;
  EXPECT_THROW(readResidualBlock(empty, -1, 4, out), int);
}

}  // namespace
}  // namespace H264
