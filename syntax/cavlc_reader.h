// Readers of CAVLC residual blocks, ITU-T H.264 clauses 7.3.5.3.2 and 9.2.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "base/errors.h"
#include "base/level.h"
#include "syntax/cavlc_tables.h"
#include "syntax/residual_levels.h"
#include "syntax/stream_parser.h"

namespace H264 {
ISTREL_LEVEL_BEGIN
namespace cavlc {

struct CoeffToken {
  int totalCoeff;
  int trailingOnes;
};

// suffixLength grows by one after a level whose magnitude exceeds this
// (clause 9.2.2.1; 0 counts as 1, and 6 is the largest).
inline constexpr int kSuffixGrowth[7] = {3, 3, 6, 12, 24, 48, 1 << 30};

// The bound documented with readResidualBlock.
inline constexpr int kMaxLevelPrefix = 25;

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

ISTREL_FORCE_INLINE void readLevels(BitWindow& parser, CoeffToken token, std::int32_t* level) {
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

ISTREL_FORCE_INLINE int readTotalZeros(BitWindow& parser, int totalCoeff, int maxNumCoeff) {
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

// Clause 9.2.3: each run_before moves the coefficient number down from the
// highest one; each level goes to place(coefficient number, level) at once.
template <typename Place>
ISTREL_FORCE_INLINE void placeLevels(BitWindow& parser, int totalCoeff, int zerosLeft,
                                     const std::int32_t* level, Place& place) {
  int coeffNum = totalCoeff - 1 + zerosLeft;
  for (int i = 0; i < totalCoeff - 1; ++i) {
    place(coeffNum, level[i]);
    int run = 0;
    if (zerosLeft > 0) {
      run = readRunBefore(parser, zerosLeft);
      if (run > zerosLeft) fail(kSliceError);
      zerosLeft -= run;
    }
    coeffNum -= run + 1;
  }
  place(coeffNum, level[totalCoeff - 1]);
}

}  // namespace cavlc

// residual_block_cavlc() (clauses 7.3.5.3.2 and 9.2): coeff_token, where nC >= 0 selects the
// table by range (0-1, 2-3, 4-7, 8+), -1 is chroma DC 4:2:0 and -2 chroma DC 4:2:2; the trailing
// ones' signs, the other levels, total_zeros (Table 9-9a for maxNumCoeff 4, 9-9b for 8, else
// Tables 9-7 and 9-8) and run_before. maxNumCoeff is 4, 8, 15 or 16. Each nonzero coefficient
// goes to place(coefficient number, level), the number counted from the block's first coded
// coefficient, highest first; returns TotalCoeff. Throws kSliceError for what no valid stream
// holds: invalid codes, TotalCoeff above maxNumCoeff, total_zeros or a run_before beyond the
// zeros left, and a level_prefix above 25. Prefixes up to 25 reach level magnitudes just under
// 2^22, more than the levels of 14-bit video need, and keep every intermediate value far inside
// int32. The window is the caller's, which keeps it in registers across blocks.
template <typename Place>
ISTREL_FORCE_INLINE int readResidualBlock(BitWindow& bits, int nC, int maxNumCoeff, Place place) {
  using namespace cavlc;
  const int value = readCoeffToken(bits, kCoeffTokenClass[std::min(nC, 8) + 2]);
  const CoeffToken token{value & kTotalCoeffMask, value >> kTrailingOnesShift};
  if (token.totalCoeff > maxNumCoeff) fail(kSliceError);
  if (token.totalCoeff > 0) {
    std::int32_t level[16];
    readLevels(bits, token, level);
    const int totalZeros =
        token.totalCoeff < maxNumCoeff ? readTotalZeros(bits, token.totalCoeff, maxNumCoeff) : 0;
    placeLevels(bits, token.totalCoeff, totalZeros, level, place);
  }
  return token.totalCoeff;
}

// The same from the parser's position into `out`, in the order read.
void readResidualBlock(StreamParser& parser, int nC, int maxNumCoeff, ResidualLevels& out);

ISTREL_LEVEL_END
}  // namespace H264
