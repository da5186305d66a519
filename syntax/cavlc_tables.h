// Code tables of CAVLC residual blocks (ITU-T H.264 clause 9.2), laid out for
// decoding from a peeked 32-bit window with one lookup per code.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "base/compiler.h"

namespace H264 {

struct VlcEntry {
  std::uint8_t value;
  std::uint8_t length;  // 0: no code begins with these bits
};

struct VlcRow {
  std::uint16_t first;  // index of the row's first entry
  std::uint8_t width;   // window bits, counted from the end of the leading zeros, indexing the row
};

// A prefix code looked up in two steps: the window's leading zero count, capped
// at the longest run of zeros the code holds before a 1, selects a row; the bits
// from there on select the entry.
struct VlcTable {
  std::uint32_t capBit;  // ORed into the window to cap the count
  const VlcRow* rows;
  const VlcEntry* entries;
};

ISTREL_FORCE_INLINE VlcEntry lookupVlc(const VlcTable& table, std::uint32_t window) {
  const auto zeros = static_cast<unsigned>(std::countl_zero(window | table.capBit));
  const VlcRow row = table.rows[zeros];
  return table.entries[row.first + ((window << zeros) >> (32 - row.width))];
}

// coeff_token values (Table 9-5) hold TotalCoeff in bits 0-4, TrailingOnes above.
inline constexpr int kTrailingOnesShift = 5;
inline constexpr int kTotalCoeffMask = (1 << kTrailingOnesShift) - 1;

// By nC class: 0 <= nC < 2, 2 <= nC < 4, 4 <= nC < 8, 8 <= nC, nC == -1, nC == -2.
extern const std::array<VlcTable, 6> kCoeffTokenTables;
// The same by class and the next eight bits, for the codes that fit in them;
// length 0 where a longer code begins.
extern const std::array<std::array<VlcEntry, 256>, 6> kCoeffTokenShort;
// The class of nC, indexed by min(nC, 8) + 2.
extern const std::array<std::uint8_t, 11> kCoeffTokenClass;

// total_zeros, indexed by tzVlcIndex - 1: Tables 9-7 and 9-8 for 4x4 blocks
// by the next nine bits, which hold every code (length 0 where no code
// begins); 9-9a for chroma DC 4:2:0 and 9-9b for chroma DC 4:2:2.
extern const std::array<std::array<VlcEntry, 512>, 15> kTotalZeros4x4Short;
extern const std::array<VlcTable, 3> kTotalZerosChromaDc420;
extern const std::array<VlcTable, 7> kTotalZerosChromaDc422;

// run_before (Table 9-10) by min(zerosLeft, 7) - 1 and the next three bits;
// length 0 where a longer code (run_before 7 to 14) begins.
extern const std::array<std::array<VlcEntry, 8>, 7> kRunBeforeShort;

}  // namespace H264
