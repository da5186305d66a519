#include "syntax/cavlc_reader.h"

#include <algorithm>
#include <bit>

#include "base/level.h"
#include "syntax/cavlc_tables.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace {

struct CoeffToken {
  int totalCoeff;
  int trailingOnes;
};

// suffixLength grows by one after a level whose magnitude exceeds this
// (clause 9.2.2.1; 0 counts as 1, and 6 is the largest).
constexpr int kSuffixGrowth[7] = {3, 3, 6, 12, 24, 48, 1 << 30};

// The bound documented with readResidualBlock.
constexpr int kMaxLevelPrefix = 25;

// Consumes a code found in a table; an entry of length 0 is no code at all.
ISTREL_FORCE_INLINE int take(BitWindow& parser, VlcEntry entry) {
  if (entry.length == 0) fail(kSliceError);
  parser.skipBits(entry.length);
  return entry.value;
}

ISTREL_FORCE_INLINE int readCode(BitWindow& parser, const VlcTable& table) {
  return take(parser, lookupVlc(table, parser.peek32()));
}

// coeff_token: most codes from the first eight bits, the rest in two steps.
ISTREL_FORCE_INLINE int readCoeffToken(BitWindow& parser, int tableClass) {
  const VlcEntry entry = kCoeffTokenShort[tableClass][parser.peek32() >> 24];
  if (entry.length == 0) return readCode(parser, kCoeffTokenTables[tableClass]);
  return take(parser, entry);
}

// levelCode of clause 9.2.2.1, before the adjustment of the first level after
// fewer than three trailing ones.
ISTREL_FORCE_INLINE int readLevelCode(BitWindow& parser, int suffixLength) {
  // Accepted prefixes end inside one peeked word; a longer run of zeros fails here.
  const std::uint32_t window = parser.peek32();
  const int prefix = std::countl_zero(window);
  if (prefix < 14) {
    // The common case: prefix, its one and a suffix of suffixLength (at most
    // 6) bits all lie in the window. Two shifts keep a 0-bit suffix defined.
    const std::uint32_t afterPrefix = window << prefix << 1;
    const auto suffix = static_cast<int>((afterPrefix >> 1) >> (31 - suffixLength));
    parser.skipBits(static_cast<unsigned>(prefix + 1 + suffixLength));
    return (prefix << suffixLength) + suffix;
  }
  if (prefix > kMaxLevelPrefix) fail(kSliceError);
  parser.skipBits(static_cast<unsigned>(prefix) + 1);
  int levelCode = std::min(15, prefix) << suffixLength;
  int suffixSize = suffixLength;
  if (prefix >= 15) {
    suffixSize = prefix - 3;
  } else if (prefix == 14 && suffixLength == 0) {
    suffixSize = 4;
  }
  if (suffixSize > 0) {
    levelCode += static_cast<int>(parser.readBits(static_cast<unsigned>(suffixSize)));
  }
  if (prefix >= 15 && suffixLength == 0) levelCode += 15;
  if (prefix >= 16) levelCode += (1 << (prefix - 3)) - 4096;
  return levelCode;
}

void readLevels(BitWindow& parser, CoeffToken token, std::int32_t* level) {
  const int trailingOnes = token.trailingOnes;
  // Three signs are taken from the window whatever their number, which
  // saves a loop of data-dependent length; levels read next overwrite the
  // extra ones.
  const std::uint32_t signs = parser.peek32();
  for (int i = 0; i < 3; ++i) level[i] = 1 - 2 * static_cast<int>((signs >> (31 - i)) & 1);
  parser.skipBits(static_cast<unsigned>(trailingOnes));
  int suffixLength = token.totalCoeff > 10 && trailingOnes < 3 ? 1 : 0;
  // After fewer than three trailing ones the next level cannot be +-1.
  int firstOffset = trailingOnes < 3 ? 2 : 0;
  for (int i = trailingOnes; i < token.totalCoeff; ++i) {
    const int levelCode = readLevelCode(parser, suffixLength) + firstOffset;
    firstOffset = 0;
    const int magnitude = (levelCode + 2) >> 1;
    level[i] = (levelCode & 1) ? -magnitude : magnitude;
    // Arithmetic, not branches: whether a level is large is for the data to say.
    suffixLength += (suffixLength == 0) + (magnitude > kSuffixGrowth[suffixLength]);
  }
}

int readTotalZeros(BitWindow& parser, int totalCoeff, int maxNumCoeff) {
  int totalZeros;
  if (maxNumCoeff >= 15) {
    totalZeros = take(parser, kTotalZeros4x4Short[totalCoeff - 1][parser.peek32() >> 23]);
  } else {
    totalZeros = readCode(parser, maxNumCoeff == 4 ? kTotalZerosChromaDc420[totalCoeff - 1]
                                                   : kTotalZerosChromaDc422[totalCoeff - 1]);
  }
  // Tables 9-7 and 9-8 also serve 15-coefficient blocks, which have one zero fewer to place.
  if (totalZeros > maxNumCoeff - totalCoeff) fail(kSliceError);
  return totalZeros;
}

// run_before: a code of more than three bits is three or more zeros, a one,
// and stands for run 4 + the number of zeros.
ISTREL_FORCE_INLINE int readRunBefore(BitWindow& parser, int zerosLeft) {
  const std::uint32_t window = parser.peek32();
  const VlcEntry entry = kRunBeforeShort[std::min(zerosLeft, 7) - 1][window >> 29];
  if (entry.length != 0) return take(parser, entry);
  const int zeros = std::countl_zero(window);
  if (zeros > 10) fail(kSliceError);
  parser.skipBits(static_cast<unsigned>(zeros) + 1);
  return zeros + 4;
}

// Clause 9.2.3: each run_before moves the coefficient number down from the highest one.
void readPositions(BitWindow& parser, int totalCoeff, int zerosLeft, std::uint8_t* position) {
  int coeffNum = totalCoeff - 1 + zerosLeft;
  for (int i = 0; i < totalCoeff - 1; ++i) {
    position[i] = static_cast<std::uint8_t>(coeffNum);
    int run = 0;
    if (zerosLeft > 0) {
      run = readRunBefore(parser, zerosLeft);
      if (run > zerosLeft) fail(kSliceError);
      zerosLeft -= run;
    }
    coeffNum -= run + 1;
  }
  position[totalCoeff - 1] = static_cast<std::uint8_t>(coeffNum);
}

}  // namespace

void readResidualBlock(StreamParser& parser, int nC, int maxNumCoeff, ResidualLevels& out) {
  BitWindow bits = parser.window();
  const int value = readCoeffToken(bits, kCoeffTokenClass[std::min(nC, 8) + 2]);
  const CoeffToken token{value & kTotalCoeffMask, value >> kTrailingOnesShift};
  if (token.totalCoeff > maxNumCoeff) fail(kSliceError);
  out.count = token.totalCoeff;
  if (token.totalCoeff > 0) {
    readLevels(bits, token, out.level);
    const int totalZeros =
        token.totalCoeff < maxNumCoeff ? readTotalZeros(bits, token.totalCoeff, maxNumCoeff) : 0;
    readPositions(bits, token.totalCoeff, totalZeros, out.position);
  }
  parser.window() = bits;
}

ISTREL_LEVEL_END
}  // namespace H264
