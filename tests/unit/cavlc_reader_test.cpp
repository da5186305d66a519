#include "syntax/cavlc_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/bit_writer.h"

namespace H264 {
namespace {

using istrel::test::BitWriter;

// Codes typed from the standard's tables, as printed there: first bit first,
// grouped by four. "" marks a combination the table does not have.

// Table 9-5, [TrailingOnes][TotalCoeff]. For 8 <= nC see coeffTokenCode().
const char* const kCoeffTokenNc0[4][17] = {
    {"1", "0001 01", "0000 0111", "0000 0011 1", "0000 0001 11", "0000 0000 111",
     "0000 0000 0111 1", "0000 0000 0101 1", "0000 0000 0100 0", "0000 0000 0011 11",
     "0000 0000 0010 11", "0000 0000 0001 111", "0000 0000 0001 011", "0000 0000 0000 1111",
     "0000 0000 0000 1011", "0000 0000 0000 0111", "0000 0000 0000 0100"},
    {"", "01", "0001 00", "0000 0110", "0000 0011 0", "0000 0001 10", "0000 0000 110",
     "0000 0000 0111 0", "0000 0000 0101 0", "0000 0000 0011 10", "0000 0000 0010 10",
     "0000 0000 0001 110", "0000 0000 0001 010", "0000 0000 0000 001", "0000 0000 0000 1110",
     "0000 0000 0000 1010", "0000 0000 0000 0110"},
    {"", "", "001", "0000 101", "0000 0101", "0000 0010 1", "0000 0001 01", "0000 0000 101",
     "0000 0000 0110 1", "0000 0000 0100 1", "0000 0000 0011 01", "0000 0000 0010 01",
     "0000 0000 0001 101", "0000 0000 0001 001", "0000 0000 0000 1101", "0000 0000 0000 1001",
     "0000 0000 0000 0101"},
    {"", "", "", "0001 1", "0000 11", "0000 100", "0000 0100", "0000 0010 0", "0000 0001 00",
     "0000 0000 100", "0000 0000 0110 0", "0000 0000 0011 00", "0000 0000 0010 00",
     "0000 0000 0001 100", "0000 0000 0001 000", "0000 0000 0000 1100", "0000 0000 0000 1000"},
};
const char* const kCoeffTokenNc2[4][17] = {
    {"11", "0010 11", "0001 11", "0000 111", "0000 0111", "0000 0100", "0000 0011 1",
     "0000 0001 111", "0000 0001 011", "0000 0000 1111", "0000 0000 1011", "0000 0000 1000",
     "0000 0000 0111 1", "0000 0000 0101 1", "0000 0000 0011 1", "0000 0000 0010 01",
     "0000 0000 0001 11"},
    {"", "10", "0011 1", "0010 10", "0001 10", "0000 110", "0000 0110", "0000 0011 0",
     "0000 0001 110", "0000 0001 010", "0000 0000 1110", "0000 0000 1010", "0000 0000 0111 0",
     "0000 0000 0101 0", "0000 0000 0010 11", "0000 0000 0010 00", "0000 0000 0001 10"},
    {"", "", "011", "0010 01", "0001 01", "0000 101", "0000 0101", "0000 0010 1", "0000 0001 101",
     "0000 0001 001", "0000 0000 1101", "0000 0000 1001", "0000 0000 0110 1", "0000 0000 0100 1",
     "0000 0000 0011 0", "0000 0000 0010 10", "0000 0000 0001 01"},
    {"", "", "", "0101", "0100", "0011 0", "0010 00", "0001 00", "0000 100", "0000 0010 0",
     "0000 0001 100", "0000 0001 000", "0000 0000 1100", "0000 0000 0110 0", "0000 0000 0100 0",
     "0000 0000 0000 1", "0000 0000 0001 00"},
};
const char* const kCoeffTokenNc4[4][17] = {
    {"1111", "0011 11", "0010 11", "0010 00", "0001 111", "0001 011", "0001 001", "0001 000",
     "0000 1111", "0000 1011", "0000 0111 1", "0000 0101 1", "0000 0100 0", "0000 0011 01",
     "0000 0010 01", "0000 0001 01", "0000 0000 01"},
    {"", "1110", "0111 1", "0110 0", "0101 0", "0100 0", "0011 10", "0010 10", "0001 110",
     "0000 1110", "0000 1010", "0000 0111 0", "0000 0101 0", "0000 0011 1", "0000 0011 00",
     "0000 0010 00", "0000 0001 00"},
    {"", "", "1101", "0111 0", "0101 1", "0100 1", "0011 01", "0010 01", "0001 101", "0001 010",
     "0000 1101", "0000 1001", "0000 0110 1", "0000 0100 1", "0000 0010 11", "0000 0001 11",
     "0000 0000 11"},
    {"", "", "", "1100", "1011", "1010", "1001", "1000", "0110 1", "0011 00", "0001 100",
     "0000 1100", "0000 1000", "0000 0110 0", "0000 0010 10", "0000 0001 10", "0000 0000 10"},
};
const char* const kCoeffTokenChromaDc420[4][5] = {
    {"01", "0001 11", "0001 00", "0000 11", "0000 10"},
    {"", "1", "0001 10", "0000 011", "0000 0011"},
    {"", "", "001", "0000 010", "0000 0010"},
    {"", "", "", "0001 01", "0000 000"},
};
const char* const kCoeffTokenChromaDc422[4][9] = {
    {"1", "0001 111", "0001 110", "0000 0011 1", "0000 0011 0", "0000 0001 11", "0000 0000 111",
     "0000 0000 0111", "0000 0000 0011 1"},
    {"", "01", "0001 101", "0001 100", "0000 0010 1", "0000 0001 10", "0000 0000 110",
     "0000 0000 0110", "0000 0000 0101"},
    {"", "", "001", "0001 011", "0001 010", "0000 0010 0", "0000 0001 01", "0000 0000 101",
     "0000 0000 0100"},
    {"", "", "", "0000 1", "0000 01", "0001 001", "0001 000", "0000 0001 00", "0000 0000 100"},
};

// Tables 9-7 and 9-8 by TotalCoeff (tzVlcIndex), then Table 9-9a and 9-9b: the codes of
// total_zeros 0, 1, 2...
const char* const kTotalZeros4x4[15][16] = {
    {"1", "011", "010", "0011", "0010", "00011", "00010", "000011", "000010", "0000011", "0000010",
     "00000011", "00000010", "000000011", "000000010", "000000001"},
    {"111", "110", "101", "100", "011", "0101", "0100", "0011", "0010", "00011", "00010", "000011",
     "000010", "000001", "000000"},
    {"0101", "111", "110", "101", "0100", "0011", "100", "011", "0010", "00011", "00010", "000001",
     "00001", "000000"},
    {"00011", "111", "0101", "0100", "110", "101", "100", "0011", "011", "0010", "00010", "00001",
     "00000"},
    {"0101", "0100", "0011", "111", "110", "101", "100", "011", "0010", "00001", "0001", "00000"},
    {"000001", "00001", "111", "110", "101", "100", "011", "010", "0001", "001", "000000"},
    {"000001", "00001", "101", "100", "011", "11", "010", "0001", "001", "000000"},
    {"000001", "0001", "00001", "011", "11", "10", "010", "001", "000000"},
    {"000001", "000000", "0001", "11", "10", "001", "01", "00001"},
    {"00001", "00000", "001", "11", "10", "01", "0001"},
    {"0000", "0001", "001", "010", "1", "011"},
    {"0000", "0001", "01", "1", "001"},
    {"000", "001", "1", "01"},
    {"00", "01", "1"},
    {"0", "1"},
};
const char* const kTotalZerosChromaDc420[3][4] = {
    {"1", "01", "001", "000"},
    {"1", "01", "00"},
    {"1", "0"},
};
const char* const kTotalZerosChromaDc422[7][8] = {
    {"1", "010", "011", "0010", "0011", "0001", "00001", "00000"},
    {"000", "01", "001", "100", "101", "110", "111"},
    {"000", "001", "01", "10", "110", "111"},
    {"110", "00", "01", "10", "111"},
    {"00", "01", "10", "11"},
    {"00", "01", "1"},
    {"0", "1"},
};

// Table 9-10 by zerosLeft (the last row for zerosLeft > 6): the codes of run_before 0, 1, 2...
const char* const kRunBefore[7][15] = {
    {"1", "0"},
    {"1", "01", "00"},
    {"11", "10", "01", "00"},
    {"11", "10", "01", "001", "000"},
    {"11", "10", "011", "010", "001", "000"},
    {"11", "000", "001", "011", "010", "101", "100"},
    {"111", "110", "101", "100", "011", "010", "001", "0001", "00001", "000001", "0000001",
     "00000001", "000000001", "0000000001", "00000000001"},
};

// A bit string with its grouping spaces removed.
std::string compact(const char* code) {
  std::string bits;
  for (const char* c = code; *c; ++c) {
    if (*c != ' ') bits += *c;
  }
  return bits;
}

// coeff_token; for 8 <= nC the table is the 6-bit code (TotalCoeff - 1) * 4 + TrailingOnes,
// with 000011 for TotalCoeff 0.
std::string coeffTokenCode(int nC, int totalCoeff, int trailingOnes) {
  if (nC >= 8) {
    const int value = totalCoeff == 0 ? 3 : (totalCoeff - 1) * 4 + trailingOnes;
    std::string bits;
    for (int i = 5; i >= 0; --i) bits += static_cast<char>('0' + ((value >> i) & 1));
    return bits;
  }
  if (nC == -1) return compact(kCoeffTokenChromaDc420[trailingOnes][totalCoeff]);
  if (nC == -2) return compact(kCoeffTokenChromaDc422[trailingOnes][totalCoeff]);
  if (nC >= 4) return compact(kCoeffTokenNc4[trailingOnes][totalCoeff]);
  if (nC >= 2) return compact(kCoeffTokenNc2[trailingOnes][totalCoeff]);
  return compact(kCoeffTokenNc0[trailingOnes][totalCoeff]);
}

std::string totalZerosCode(int maxNumCoeff, int totalCoeff, int totalZeros) {
  const char* const* row = maxNumCoeff == 4   ? kTotalZerosChromaDc420[totalCoeff - 1]
                           : maxNumCoeff == 8 ? kTotalZerosChromaDc422[totalCoeff - 1]
                                              : kTotalZeros4x4[totalCoeff - 1];
  return row[totalZeros] ? row[totalZeros] : "";
}

std::string runBeforeCode(int zerosLeft, int runBefore) {
  const char* code = kRunBefore[std::min(zerosLeft, 7) - 1][runBefore];
  return code ? code : "";
}

void writeCode(BitWriter& w, const std::string& bits) {
  ASSERT_FALSE(bits.empty()) << "no such code";
  for (char c : bits) w.bit(c == '1' ? 1 : 0);
}

// What the writer used, so tests can check that the cases they aim at occurred.
struct WriterStats {
  int escapes[2][32] = {};  // [suffixLength > 0][level_prefix], level_prefix >= 14 only
  int fullBlocks = 0;       // totalCoeff == maxNumCoeff
  int suffixGrowthAfterOnes = 0;
};

// level_prefix and level_suffix of one levelCode, clause 9.2.2.1 run backwards.
// Returns level_prefix.
int writeLevelCode(BitWriter& w, int levelCode, int suffixLength) {
  int prefix;
  int suffix;
  int suffixSize;
  if (suffixLength == 0 && levelCode < 14) {
    prefix = levelCode;
    suffix = suffixSize = 0;
  } else if (suffixLength == 0 && levelCode < 30) {
    prefix = 14;
    suffix = levelCode - 14;
    suffixSize = 4;
  } else if (suffixLength > 0 && levelCode < (15 << suffixLength)) {
    prefix = levelCode >> suffixLength;
    suffix = levelCode & ((1 << suffixLength) - 1);
    suffixSize = suffixLength;
  } else {
    // Escapes: prefix 15 holds 4096 values past the base, each further prefix twice as many.
    const int excess = levelCode - (15 << suffixLength) - (suffixLength == 0 ? 15 : 0);
    prefix = 15;
    int offset = 0;
    while (excess - offset >= 1 << (prefix - 3)) {
      ++prefix;
      offset = (1 << (prefix - 3)) - 4096;
    }
    suffix = excess - offset;
    suffixSize = prefix - 3;
  }
  w.bits(1, prefix + 1);
  if (suffixSize > 0) w.bits(static_cast<std::uint32_t>(suffix), suffixSize);
  return prefix;
}

// The decoder's expected output for one block.
struct Expected {
  int totalCoeff = 0;
  int trailingOnes = 0;
  std::vector<std::int32_t> levels;  // highest coefficient number first
  std::vector<int> positions;
};

Expected describe(const std::vector<int>& coeff) {
  Expected e;
  for (int n = static_cast<int>(coeff.size()) - 1; n >= 0; --n) {
    if (coeff[n] == 0) continue;
    const bool one = coeff[n] == 1 || coeff[n] == -1;
    if (one && e.trailingOnes == e.totalCoeff && e.trailingOnes < 3) ++e.trailingOnes;
    ++e.totalCoeff;
    e.levels.push_back(coeff[n]);
    e.positions.push_back(n);
  }
  return e;
}

void writeLevels(BitWriter& w, const Expected& e, WriterStats& stats) {
  for (int i = 0; i < e.trailingOnes; ++i) w.bit(e.levels[i] < 0 ? 1 : 0);
  int suffixLength = e.totalCoeff > 10 && e.trailingOnes < 3 ? 1 : 0;
  for (int i = e.trailingOnes; i < e.totalCoeff; ++i) {
    const int level = e.levels[i];
    int levelCode = level > 0 ? 2 * level - 2 : -2 * level - 1;
    if (i == e.trailingOnes && e.trailingOnes < 3) levelCode -= 2;
    const int prefix = writeLevelCode(w, levelCode, suffixLength);
    if (prefix >= 14) ++stats.escapes[suffixLength > 0][prefix];
    const int before = suffixLength;
    if (suffixLength == 0) suffixLength = 1;
    if (std::abs(level) > (3 << (suffixLength - 1)) && suffixLength < 6) ++suffixLength;
    if (e.trailingOnes > 0 && suffixLength > std::max(before, 1)) ++stats.suffixGrowthAfterOnes;
  }
}

void writeZerosAndRuns(BitWriter& w, const Expected& e, int maxNumCoeff) {
  int zerosLeft = e.positions[0] + 1 - e.totalCoeff;
  if (e.totalCoeff < maxNumCoeff) {
    writeCode(w, totalZerosCode(maxNumCoeff, e.totalCoeff, zerosLeft));
  }
  for (int i = 0; i + 1 < e.totalCoeff && zerosLeft > 0; ++i) {
    const int run = e.positions[i] - e.positions[i + 1] - 1;
    writeCode(w, runBeforeCode(zerosLeft, run));
    zerosLeft -= run;
  }
}

// residual_block_cavlc() of `coeff` (maxNumCoeff entries in coefficient-number order).
Expected writeBlock(BitWriter& w, const std::vector<int>& coeff, int nC, WriterStats& stats) {
  const Expected e = describe(coeff);
  const int maxNumCoeff = static_cast<int>(coeff.size());
  writeCode(w, coeffTokenCode(nC, e.totalCoeff, e.trailingOnes));
  if (e.totalCoeff == 0) return e;
  if (e.totalCoeff == maxNumCoeff) ++stats.fullBlocks;
  writeLevels(w, e, stats);
  writeZerosAndRuns(w, e, maxNumCoeff);
  return e;
}

StreamParser over(const std::vector<std::uint8_t>& bytes) {
  return StreamParser(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// Reads one block and compares it with what was written.
void expectBlock(StreamParser& parser, int nC, int maxNumCoeff, const Expected& e) {
  const CoeffToken token = readCoeffToken(parser, nC);
  ASSERT_EQ(token.totalCoeff, e.totalCoeff);
  ASSERT_EQ(token.trailingOnes, e.trailingOnes);
  ResidualLevels out;
  readResidualLevels(parser, token, maxNumCoeff, out);
  ASSERT_EQ(out.count, e.totalCoeff);
  for (int i = 0; i < e.totalCoeff; ++i) {
    EXPECT_EQ(out.level[i], e.levels[i]) << "level " << i;
    EXPECT_EQ(out.position[i], e.positions[i]) << "level " << i;
  }
}

// Writes the blocks into one stream, then reads them back one after the other,
// checking that each ends exactly where it was written to end.
void roundTrip(const std::vector<std::vector<int>>& blocks, const std::vector<int>& nCs,
               WriterStats& stats) {
  BitWriter w;
  std::vector<Expected> expected;
  std::vector<std::size_t> ends;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    expected.push_back(writeBlock(w, blocks[b], nCs[b], stats));
    ends.push_back(w.bitCount());
  }
  const std::vector<std::uint8_t> bytes = w.bytes();
  StreamParser parser = over(bytes);
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    SCOPED_TRACE(testing::Message()
                 << "block " << b << ", nC " << nCs[b] << ", maxNumCoeff " << blocks[b].size());
    const int maxNumCoeff = static_cast<int>(blocks[b].size());
    ASSERT_NO_FATAL_FAILURE(expectBlock(parser, nCs[b], maxNumCoeff, expected[b]));
    ASSERT_EQ(parser.bitOffset(), ends[b]);
  }
}

std::vector<int> blockWith(int maxNumCoeff, std::initializer_list<std::pair<int, int>> placed) {
  std::vector<int> coeff(static_cast<std::size_t>(maxNumCoeff), 0);
  for (auto [position, level] : placed) coeff[static_cast<std::size_t>(position)] = level;
  return coeff;
}

int throwsCode(StreamParser& parser, int nC, int maxNumCoeff) {
  try {
    const CoeffToken token = readCoeffToken(parser, nC);
    ResidualLevels out;
    readResidualLevels(parser, token, maxNumCoeff, out);
  } catch (int code) {
    return code;
  }
  return 0;
}

std::vector<std::uint8_t> bitsOf(const std::string& bits) {
  BitWriter w;
  writeCode(w, bits);
  return w.bytes();
}

// ---------------------------------------------------------------------------
// coeff_token

struct TokenCode {
  std::uint32_t bits;
  std::size_t length;
  CoeffToken token;
};

std::vector<TokenCode> coeffTokenCodes(int nC) {
  const int maxTotal = nC == -1 ? 4 : nC == -2 ? 8 : 16;
  std::vector<TokenCode> codes;
  for (int total = 0; total <= maxTotal; ++total) {
    for (int ones = 0; ones <= std::min(total, 3); ++ones) {
      const std::string code = coeffTokenCode(nC, total, ones);
      codes.push_back({static_cast<std::uint32_t>(std::stoul(code, nullptr, 2)), code.size(),
                       CoeffToken{total, ones}});
    }
  }
  return codes;
}

// Every 16-bit window either begins with exactly one code of the class, which decodes with its
// length, or begins with none and throws.
TEST(CavlcCoeffToken, EveryWindowOfEveryClassDecodesAsTheTableSays) {
  for (int nC : {0, 2, 4, 8, -1, -2}) {
    SCOPED_TRACE(testing::Message() << "nC " << nC);
    const std::vector<TokenCode> codes = coeffTokenCodes(nC);
    for (std::uint32_t window = 0; window < 0x10000; ++window) {
      const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(window >> 8),
                                     static_cast<std::uint8_t>(window)};
      StreamParser parser(bytes, 2);
      const TokenCode* match = nullptr;
      for (const TokenCode& code : codes) {
        if (code.bits != window >> (16 - code.length)) continue;
        ASSERT_EQ(match, nullptr) << "two codes begin window " << window;
        match = &code;
      }
      if (match == nullptr) {
        EXPECT_THROW(readCoeffToken(parser, nC), int) << "window " << window;
        continue;
      }
      const CoeffToken got = readCoeffToken(parser, nC);
      ASSERT_EQ(got.totalCoeff, match->token.totalCoeff) << "window " << window;
      ASSERT_EQ(got.trailingOnes, match->token.trailingOnes) << "window " << window;
      ASSERT_EQ(parser.bitOffset(), match->length) << "window " << window;
    }
  }
}

TEST(CavlcCoeffToken, NcPicksTheClassByRange) {
  // TotalCoeff 1, TrailingOnes 1 has a different code in every class.
  const std::pair<int, int> ranges[] = {{0, 1}, {2, 3}, {4, 7}, {8, 16}};
  for (auto [low, high] : ranges) {
    for (int nC = low; nC <= high; ++nC) {
      const std::vector<std::uint8_t> bytes = bitsOf(coeffTokenCode(low, 1, 1));
      StreamParser parser = over(bytes);
      const CoeffToken token = readCoeffToken(parser, nC);
      EXPECT_EQ(token.totalCoeff, 1) << "nC " << nC;
      EXPECT_EQ(token.trailingOnes, 1) << "nC " << nC;
    }
  }
}

TEST(CavlcCoeffToken, InvalidCodesThrowSliceError) {
  const std::pair<int, const char*> invalid[] = {
      {0, "0000 0000 0000 0001"},
      {2, "0000 0000 0000 01"},
      {4, "0000 0000 0011"},
      {8, "0000 10"},
      {8, "0001 11"},
      {-2, "0000 0000 0000 01"},
  };
  for (auto [nC, bits] : invalid) {
    const std::vector<std::uint8_t> bytes = bitsOf(compact(bits));
    StreamParser parser = over(bytes);
    int code = 0;
    try {
      readCoeffToken(parser, nC);
    } catch (int thrown) {
      code = thrown;
    }
    EXPECT_EQ(code, kSliceError) << "nC " << nC << " bits " << bits;
  }
}

// ---------------------------------------------------------------------------
// Levels, total_zeros and run_before: hand-worked blocks

TEST(CavlcResidualLevels, DecodesAWorkedExampleBitForBit) {
  // Coefficients 0 3 0 1 -1 -1 0 1 (then zeros), nC 0: coeff_token 0000100 (5, 3),
  // signs 011, level 1 as prefix 0, level 3 as prefix 2 + suffix 0, total_zeros 3 as 111,
  // runs 1, 0, 0, 1 as 10 1 1 01.
  const std::vector<std::uint8_t> bytes = bitsOf("000010001110010111101101");
  StreamParser parser = over(bytes);
  const CoeffToken token = readCoeffToken(parser, 0);
  ASSERT_EQ(token.totalCoeff, 5);
  ASSERT_EQ(token.trailingOnes, 3);
  ResidualLevels out;
  readResidualLevels(parser, token, 16, out);
  const std::int32_t levels[] = {1, -1, -1, 1, 3};
  const int positions[] = {7, 5, 4, 3, 1};
  ASSERT_EQ(out.count, 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(out.level[i], levels[i]);
    EXPECT_EQ(out.position[i], positions[i]);
  }
  EXPECT_EQ(parser.bitOffset(), 24u);
}

// One coefficient at position 0 of a 16-coefficient block with suffixLength 0:
// coeff_token 000101, the level's code, total_zeros 0 as 1.
std::int32_t singleLevel(const std::string& levelBits) {
  const std::vector<std::uint8_t> bytes = bitsOf("000101" + levelBits + "1");
  StreamParser parser = over(bytes);
  const CoeffToken token = readCoeffToken(parser, 0);
  ResidualLevels out;
  readResidualLevels(parser, token, 16, out);
  EXPECT_EQ(out.count, 1);
  EXPECT_EQ(out.position[0], 0);
  EXPECT_EQ(parser.bitOffset(), 6 + levelBits.size() + 1) << levelBits;
  return out.level[0];
}

TEST(CavlcResidualLevels, EscapesWithSuffixLengthZero) {
  const std::string zeros14(14, '0');
  const std::string zeros15(15, '0');
  const std::string zeros16(16, '0');
  // Prefix 14 takes a 4-bit suffix: levelCode 14 + 5, plus 2 as the first level after no ones.
  EXPECT_EQ(singleLevel(zeros14 + "1" + "0101"), -11);
  // Prefix 15: 12-bit suffix, levelCode 15 + 15 + 0 + 2 = 32.
  EXPECT_EQ(singleLevel(zeros15 + "1" + "000000000000"), 17);
  // Prefix 16: 13-bit suffix, levelCode 15 + 15 + 1 + 4096 + 2 = 4129.
  EXPECT_EQ(singleLevel(zeros16 + "1" + "0000000000001"), -2065);
}

TEST(CavlcResidualLevels, EscapeWithSuffixLengthAboveZero) {
  // TotalCoeff 11, no trailing ones (nC 8 code 101000): suffixLength starts at 1.
  // First level: prefix 15, 12-bit suffix 3: levelCode 30 + 3 + 2 = 35 -> -18.
  // It grows suffixLength to 2; the other ten levels are 1 (prefix 0, suffix 00).
  // Eleven coefficients at positions 10..0, so total_zeros 0 (Table 9-8, TotalCoeff 11: 0000).
  std::string bits = "101000" + std::string(15, '0') + "1" + "000000000011";
  for (int i = 0; i < 10; ++i) bits += "100";
  bits += "0000";
  const std::vector<std::uint8_t> bytes = bitsOf(bits);
  StreamParser parser = over(bytes);
  const CoeffToken token = readCoeffToken(parser, 8);
  ASSERT_EQ(token.totalCoeff, 11);
  ASSERT_EQ(token.trailingOnes, 0);
  ResidualLevels out;
  readResidualLevels(parser, token, 16, out);
  EXPECT_EQ(out.level[0], -18);
  for (int i = 1; i < 11; ++i) EXPECT_EQ(out.level[i], 1) << i;
  EXPECT_EQ(out.position[0], 10);
  EXPECT_EQ(out.position[10], 0);
  EXPECT_EQ(parser.bitOffset(), bits.size());
}

TEST(CavlcResidualLevels, TotalZerosEdges) {
  // TotalCoeff 1 with a trailing one, sign 0: total_zeros 011 is 1, 0000 0000 1 is 15.
  const std::pair<const char*, int> cases[] = {{"011", 1}, {"000000001", 15}};
  for (auto [code, position] : cases) {
    const std::vector<std::uint8_t> bytes = bitsOf(std::string("0") + code);
    StreamParser parser = over(bytes);
    ResidualLevels out;
    readResidualLevels(parser, CoeffToken{1, 1}, 16, out);
    EXPECT_EQ(out.level[0], 1);
    EXPECT_EQ(out.position[0], position);
  }
}

// ---------------------------------------------------------------------------
// Round trips through the test writer

TEST(CavlcRoundTrip, EveryTotalZerosCodeOfEveryTable) {
  WriterStats stats;
  std::vector<std::vector<int>> blocks;
  std::vector<int> nCs;
  for (int maxNumCoeff : {4, 8, 15, 16}) {
    const int nC = maxNumCoeff == 4 ? -1 : maxNumCoeff == 8 ? -2 : 0;
    for (int total = 1; total < maxNumCoeff; ++total) {
      for (int zeros = 0; zeros <= maxNumCoeff - total; ++zeros) {
        // Levels of 2 keep every coefficient out of the trailing ones.
        std::vector<int> coeff(static_cast<std::size_t>(maxNumCoeff), 0);
        for (int k = 0; k < total; ++k) coeff[static_cast<std::size_t>(zeros + k)] = 2;
        blocks.push_back(coeff);
        nCs.push_back(nC);
      }
    }
  }
  roundTrip(blocks, nCs, stats);
}

TEST(CavlcRoundTrip, EveryRunBeforeCode) {
  WriterStats stats;
  std::vector<std::vector<int>> blocks;
  std::vector<int> nCs;
  // Two coefficients: the upper at zerosLeft + 1 leaves zerosLeft zeros for the one run.
  for (int zerosLeft = 1; zerosLeft <= 14; ++zerosLeft) {
    for (int run = 0; run <= zerosLeft; ++run) {
      blocks.push_back(blockWith(16, {{zerosLeft + 1, -1}, {zerosLeft - run, 1}}));
      nCs.push_back(2);
    }
  }
  roundTrip(blocks, nCs, stats);
}

int randomLevel(std::mt19937& rng) {
  // Magnitude ranges, weighted by repetition: ones often enough to give trailing ones, and
  // enough large levels to need every kind of escape.
  const std::pair<int, int> magnitudes[] = {{1, 1},        {1, 1},          {1, 1},    {1, 1},
                                            {2, 15},       {2, 15},         {16, 300}, {300, 5000},
                                            {5000, 70000}, {70000, 1 << 21}};
  const auto [low, high] = magnitudes[rng() % 10];
  const int magnitude = std::uniform_int_distribution<int>(low, high)(rng);
  return rng() % 2 ? -magnitude : magnitude;
}

std::vector<int> randomBlock(std::mt19937& rng, int maxNumCoeff) {
  std::vector<int> coeff(static_cast<std::size_t>(maxNumCoeff), 0);
  const int total = std::uniform_int_distribution<int>(0, maxNumCoeff)(rng);
  std::vector<int> positions(static_cast<std::size_t>(maxNumCoeff));
  for (int i = 0; i < maxNumCoeff; ++i) positions[static_cast<std::size_t>(i)] = i;
  std::shuffle(positions.begin(), positions.end(), rng);
  for (int i = 0; i < total; ++i) coeff[static_cast<std::size_t>(positions[i])] = randomLevel(rng);
  return coeff;
}

TEST(CavlcRoundTrip, RandomBlocksOfEveryKind) {
  const int maxNums[] = {4, 8, 15, 16};
  const int lumaNcs[] = {0, 1, 2, 3, 4, 6, 7, 8, 11, 16};
  WriterStats stats;
  for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
    std::printf("CavlcRoundTrip seed %u\n", seed);
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::vector<std::vector<int>> blocks;
    std::vector<int> nCs;
    for (int b = 0; b < 3000; ++b) {
      const int maxNumCoeff = maxNums[rng() % 4];
      blocks.push_back(randomBlock(rng, maxNumCoeff));
      nCs.push_back(maxNumCoeff == 4 ? -1 : maxNumCoeff == 8 ? -2 : lumaNcs[rng() % 10]);
    }
    roundTrip(blocks, nCs, stats);
  }
  // The cases the random blocks are meant to reach.
  for (int prefix : {14, 15, 16, 20}) EXPECT_GT(stats.escapes[0][prefix], 0) << prefix;
  for (int prefix : {15, 16, 20, 24}) EXPECT_GT(stats.escapes[1][prefix], 0) << prefix;
  EXPECT_GT(stats.fullBlocks, 0);
  EXPECT_GT(stats.suffixGrowthAfterOnes, 0);
}

TEST(CavlcRoundTrip, LargestAcceptedLevelPrefix) {
  WriterStats stats;
  // Levels from about 2^21 up need level_prefix 25 (here with suffixLength 0).
  roundTrip({blockWith(16, {{3, (1 << 21) + 2100}}), blockWith(16, {{0, -(1 << 22) + 2100}})},
            {0, 0}, stats);
  EXPECT_EQ(stats.escapes[0][25], 2);
}

// ---------------------------------------------------------------------------
// Streams no encoder writes

TEST(CavlcMalformed, TotalCoeffAboveMaxNumCoeff) {
  const std::vector<std::uint8_t> bytes(8, 0xff);
  const std::pair<CoeffToken, int> cases[] = {{{5, 3}, 4}, {{9, 0}, 8}, {{16, 2}, 15}};
  for (auto [token, maxNumCoeff] : cases) {
    StreamParser parser = over(bytes);
    ResidualLevels out;
    EXPECT_THROW(readResidualLevels(parser, token, maxNumCoeff, out), int);
  }
  // nC 0 decodes TotalCoeff 16 from 0000 0000 0000 0100; a 15-coefficient block refuses it.
  const std::vector<std::uint8_t> sixteen = bitsOf("0000000000000100" + std::string(40, '1'));
  StreamParser parser = over(sixteen);
  EXPECT_EQ(throwsCode(parser, 0, 15), kSliceError);
}

TEST(CavlcMalformed, TotalZerosBeyondTheBlock) {
  // TotalCoeff 1 (a trailing one, sign 0) in a 15-coefficient block: total_zeros 15 is one too
  // many; nine zero bits are no code at all.
  const char* codes[] = {"000000001", "000000000"};
  for (const char* code : codes) {
    const std::vector<std::uint8_t> bytes = bitsOf(std::string("0") + code + "1111");
    StreamParser parser = over(bytes);
    ResidualLevels out;
    int thrown = 0;
    try {
      readResidualLevels(parser, CoeffToken{1, 1}, 15, out);
    } catch (int c) {
      thrown = c;
    }
    EXPECT_EQ(thrown, kSliceError) << code;
  }
}

TEST(CavlcMalformed, RunBeforeLongerThanZerosLeft) {
  // Two trailing ones, signs 00, total_zeros 7 (TotalCoeff 2: 0011); zerosLeft 7 then
  // meets run_before 8 (00001), and, second case, eleven zero bits (no code).
  const char* runs[] = {"00001", "00000000000"};
  for (const char* run : runs) {
    const std::vector<std::uint8_t> bytes = bitsOf(std::string("00") + "0011" + run + "1111");
    StreamParser parser = over(bytes);
    ResidualLevels out;
    int thrown = 0;
    try {
      readResidualLevels(parser, CoeffToken{2, 2}, 16, out);
    } catch (int c) {
      thrown = c;
    }
    EXPECT_EQ(thrown, kSliceError) << run;
  }
}

TEST(CavlcMalformed, LevelPrefixAbove25) {
  // coeff_token 000101 (TotalCoeff 1), then 26 zeros before the 1.
  const std::vector<std::uint8_t> bytes =
      bitsOf("000101" + std::string(26, '0') + "1" + std::string(40, '1'));
  StreamParser parser = over(bytes);
  EXPECT_EQ(throwsCode(parser, 0, 16), kSliceError);
}

TEST(CavlcMalformed, DataRunningOutReadsZerosAndFails) {
  // Every class meets zeros past the end: either no coeff_token matches or the levels that
  // follow find no level_prefix. Decoding block after block must stop with an error.
  const std::vector<std::uint8_t> bytes = bitsOf("1");
  for (int nC : {0, 2, 4, 8, -1, -2}) {
    const int maxNumCoeff = nC == -1 ? 4 : nC == -2 ? 8 : 16;
    StreamParser parser = over(bytes);
    int thrown = 0;
    for (int block = 0; block < 100 && thrown == 0; ++block)
      thrown = throwsCode(parser, nC, maxNumCoeff);
    EXPECT_EQ(thrown, kSliceError) << "nC " << nC;
  }
  StreamParser empty(nullptr, 0);
  EXPECT_EQ(throwsCode(empty, -1, 4), kSliceError);
}

}  // namespace
}  // namespace H264
