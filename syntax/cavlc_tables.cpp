#include "syntax/cavlc_tables.h"

#include <algorithm>
#include <cstddef>

namespace H264 {
namespace {

// Codes are written behind a marker bit: 0b1'0101 is the 4-bit code 0101; 0 is no code.

// Table 9-5 by nC class (as kCoeffTokenTables), TotalCoeff and TrailingOnes.
// clang-format off
constexpr std::uint32_t kCoeffTokenCodes[6][17][4] = {
    {  // 0 <= nC < 2
        {0b1'1, 0, 0, 0},
        {0b1'000101, 0b1'01, 0, 0},
        {0b1'00000111, 0b1'000100, 0b1'001, 0},
        {0b1'000000111, 0b1'00000110, 0b1'0000101, 0b1'00011},
        {0b1'0000000111, 0b1'000000110, 0b1'00000101, 0b1'000011},
        {0b1'00000000111, 0b1'0000000110, 0b1'000000101, 0b1'0000100},
        {0b1'0000000001111, 0b1'00000000110, 0b1'0000000101, 0b1'00000100},
        {0b1'0000000001011, 0b1'0000000001110, 0b1'00000000101, 0b1'000000100},
        {0b1'0000000001000, 0b1'0000000001010, 0b1'0000000001101, 0b1'0000000100},
        {0b1'00000000001111, 0b1'00000000001110, 0b1'0000000001001, 0b1'00000000100},
        {0b1'00000000001011, 0b1'00000000001010, 0b1'00000000001101, 0b1'0000000001100},
        {0b1'000000000001111, 0b1'000000000001110, 0b1'00000000001001, 0b1'00000000001100},
        {0b1'000000000001011, 0b1'000000000001010, 0b1'000000000001101, 0b1'00000000001000},
        {0b1'0000000000001111, 0b1'000000000000001, 0b1'000000000001001, 0b1'000000000001100},
        {0b1'0000000000001011, 0b1'0000000000001110, 0b1'0000000000001101, 0b1'000000000001000},
        {0b1'0000000000000111, 0b1'0000000000001010, 0b1'0000000000001001, 0b1'0000000000001100},
        {0b1'0000000000000100, 0b1'0000000000000110, 0b1'0000000000000101, 0b1'0000000000001000},
    },
    {  // 2 <= nC < 4
        {0b1'11, 0, 0, 0},
        {0b1'001011, 0b1'10, 0, 0},
        {0b1'000111, 0b1'00111, 0b1'011, 0},
        {0b1'0000111, 0b1'001010, 0b1'001001, 0b1'0101},
        {0b1'00000111, 0b1'000110, 0b1'000101, 0b1'0100},
        {0b1'00000100, 0b1'0000110, 0b1'0000101, 0b1'00110},
        {0b1'000000111, 0b1'00000110, 0b1'00000101, 0b1'001000},
        {0b1'00000001111, 0b1'000000110, 0b1'000000101, 0b1'000100},
        {0b1'00000001011, 0b1'00000001110, 0b1'00000001101, 0b1'0000100},
        {0b1'000000001111, 0b1'00000001010, 0b1'00000001001, 0b1'000000100},
        {0b1'000000001011, 0b1'000000001110, 0b1'000000001101, 0b1'00000001100},
        {0b1'000000001000, 0b1'000000001010, 0b1'000000001001, 0b1'00000001000},
        {0b1'0000000001111, 0b1'0000000001110, 0b1'0000000001101, 0b1'000000001100},
        {0b1'0000000001011, 0b1'0000000001010, 0b1'0000000001001, 0b1'0000000001100},
        {0b1'0000000000111, 0b1'00000000001011, 0b1'0000000000110, 0b1'0000000001000},
        {0b1'00000000001001, 0b1'00000000001000, 0b1'00000000001010, 0b1'0000000000001},
        {0b1'00000000000111, 0b1'00000000000110, 0b1'00000000000101, 0b1'00000000000100},
    },
    {  // 4 <= nC < 8
        {0b1'1111, 0, 0, 0},
        {0b1'001111, 0b1'1110, 0, 0},
        {0b1'001011, 0b1'01111, 0b1'1101, 0},
        {0b1'001000, 0b1'01100, 0b1'01110, 0b1'1100},
        {0b1'0001111, 0b1'01010, 0b1'01011, 0b1'1011},
        {0b1'0001011, 0b1'01000, 0b1'01001, 0b1'1010},
        {0b1'0001001, 0b1'001110, 0b1'001101, 0b1'1001},
        {0b1'0001000, 0b1'001010, 0b1'001001, 0b1'1000},
        {0b1'00001111, 0b1'0001110, 0b1'0001101, 0b1'01101},
        {0b1'00001011, 0b1'00001110, 0b1'0001010, 0b1'001100},
        {0b1'000001111, 0b1'00001010, 0b1'00001101, 0b1'0001100},
        {0b1'000001011, 0b1'000001110, 0b1'00001001, 0b1'00001100},
        {0b1'000001000, 0b1'000001010, 0b1'000001101, 0b1'00001000},
        {0b1'0000001101, 0b1'000000111, 0b1'000001001, 0b1'000001100},
        {0b1'0000001001, 0b1'0000001100, 0b1'0000001011, 0b1'0000001010},
        {0b1'0000000101, 0b1'0000001000, 0b1'0000000111, 0b1'0000000110},
        {0b1'0000000001, 0b1'0000000100, 0b1'0000000011, 0b1'0000000010},
    },
    {  // 8 <= nC
        {0b1'000011, 0, 0, 0},
        {0b1'000000, 0b1'000001, 0, 0},
        {0b1'000100, 0b1'000101, 0b1'000110, 0},
        {0b1'001000, 0b1'001001, 0b1'001010, 0b1'001011},
        {0b1'001100, 0b1'001101, 0b1'001110, 0b1'001111},
        {0b1'010000, 0b1'010001, 0b1'010010, 0b1'010011},
        {0b1'010100, 0b1'010101, 0b1'010110, 0b1'010111},
        {0b1'011000, 0b1'011001, 0b1'011010, 0b1'011011},
        {0b1'011100, 0b1'011101, 0b1'011110, 0b1'011111},
        {0b1'100000, 0b1'100001, 0b1'100010, 0b1'100011},
        {0b1'100100, 0b1'100101, 0b1'100110, 0b1'100111},
        {0b1'101000, 0b1'101001, 0b1'101010, 0b1'101011},
        {0b1'101100, 0b1'101101, 0b1'101110, 0b1'101111},
        {0b1'110000, 0b1'110001, 0b1'110010, 0b1'110011},
        {0b1'110100, 0b1'110101, 0b1'110110, 0b1'110111},
        {0b1'111000, 0b1'111001, 0b1'111010, 0b1'111011},
        {0b1'111100, 0b1'111101, 0b1'111110, 0b1'111111},
    },
    {  // nC == -1 (chroma DC 4:2:0)
        {0b1'01, 0, 0, 0},
        {0b1'000111, 0b1'1, 0, 0},
        {0b1'000100, 0b1'000110, 0b1'001, 0},
        {0b1'000011, 0b1'0000011, 0b1'0000010, 0b1'000101},
        {0b1'000010, 0b1'00000011, 0b1'00000010, 0b1'0000000},
    },
    {  // nC == -2 (chroma DC 4:2:2)
        {0b1'1, 0, 0, 0},
        {0b1'0001111, 0b1'01, 0, 0},
        {0b1'0001110, 0b1'0001101, 0b1'001, 0},
        {0b1'000000111, 0b1'0001100, 0b1'0001011, 0b1'00001},
        {0b1'000000110, 0b1'000000101, 0b1'0001010, 0b1'000001},
        {0b1'0000000111, 0b1'0000000110, 0b1'000000100, 0b1'0001001},
        {0b1'00000000111, 0b1'00000000110, 0b1'0000000101, 0b1'0001000},
        {0b1'000000000111, 0b1'000000000110, 0b1'00000000101, 0b1'0000000100},
        {0b1'0000000000111, 0b1'000000000101, 0b1'000000000100, 0b1'00000000100},
    },
};
// clang-format on

// Tables 9-7 and 9-8: a row per tzVlcIndex, a code per total_zeros.
constexpr std::uint32_t kTotalZeros4x4Codes[][16] = {
    {0b1'1, 0b1'011, 0b1'010, 0b1'0011, 0b1'0010, 0b1'00011, 0b1'00010, 0b1'000011, 0b1'000010,
     0b1'0000011, 0b1'0000010, 0b1'00000011, 0b1'00000010, 0b1'000000011, 0b1'000000010,
     0b1'000000001},
    {0b1'111, 0b1'110, 0b1'101, 0b1'100, 0b1'011, 0b1'0101, 0b1'0100, 0b1'0011, 0b1'0010, 0b1'00011,
     0b1'00010, 0b1'000011, 0b1'000010, 0b1'000001, 0b1'000000},
    {0b1'0101, 0b1'111, 0b1'110, 0b1'101, 0b1'0100, 0b1'0011, 0b1'100, 0b1'011, 0b1'0010, 0b1'00011,
     0b1'00010, 0b1'000001, 0b1'00001, 0b1'000000},
    {0b1'00011, 0b1'111, 0b1'0101, 0b1'0100, 0b1'110, 0b1'101, 0b1'100, 0b1'0011, 0b1'011, 0b1'0010,
     0b1'00010, 0b1'00001, 0b1'00000},
    {0b1'0101, 0b1'0100, 0b1'0011, 0b1'111, 0b1'110, 0b1'101, 0b1'100, 0b1'011, 0b1'0010, 0b1'00001,
     0b1'0001, 0b1'00000},
    {0b1'000001, 0b1'00001, 0b1'111, 0b1'110, 0b1'101, 0b1'100, 0b1'011, 0b1'010, 0b1'0001, 0b1'001,
     0b1'000000},
    {0b1'000001, 0b1'00001, 0b1'101, 0b1'100, 0b1'011, 0b1'11, 0b1'010, 0b1'0001, 0b1'001,
     0b1'000000},
    {0b1'000001, 0b1'0001, 0b1'00001, 0b1'011, 0b1'11, 0b1'10, 0b1'010, 0b1'001, 0b1'000000},
    {0b1'000001, 0b1'000000, 0b1'0001, 0b1'11, 0b1'10, 0b1'001, 0b1'01, 0b1'00001},
    {0b1'00001, 0b1'00000, 0b1'001, 0b1'11, 0b1'10, 0b1'01, 0b1'0001},
    {0b1'0000, 0b1'0001, 0b1'001, 0b1'010, 0b1'1, 0b1'011},
    {0b1'0000, 0b1'0001, 0b1'01, 0b1'1, 0b1'001},
    {0b1'000, 0b1'001, 0b1'1, 0b1'01},
    {0b1'00, 0b1'01, 0b1'1},
    {0b1'0, 0b1'1},
};

// Table 9-9a.
constexpr std::uint32_t kTotalZerosChromaDc420Codes[][4] = {
    {0b1'1, 0b1'01, 0b1'001, 0b1'000},
    {0b1'1, 0b1'01, 0b1'00},
    {0b1'1, 0b1'0},
};

// Table 9-9b.
constexpr std::uint32_t kTotalZerosChromaDc422Codes[][8] = {
    {0b1'1, 0b1'010, 0b1'011, 0b1'0010, 0b1'0011, 0b1'0001, 0b1'00001, 0b1'00000},
    {0b1'000, 0b1'01, 0b1'001, 0b1'100, 0b1'101, 0b1'110, 0b1'111},
    {0b1'000, 0b1'001, 0b1'01, 0b1'10, 0b1'110, 0b1'111},
    {0b1'110, 0b1'00, 0b1'01, 0b1'10, 0b1'111},
    {0b1'00, 0b1'01, 0b1'10, 0b1'11},
    {0b1'00, 0b1'01, 0b1'1},
    {0b1'0, 0b1'1},
};

// Table 9-10: a row per zerosLeft (the last for zerosLeft > 6), a code per run_before.
constexpr std::uint32_t kRunBeforeCodes[][15] = {
    {0b1'1, 0b1'0},
    {0b1'1, 0b1'01, 0b1'00},
    {0b1'11, 0b1'10, 0b1'01, 0b1'00},
    {0b1'11, 0b1'10, 0b1'01, 0b1'001, 0b1'000},
    {0b1'11, 0b1'10, 0b1'011, 0b1'010, 0b1'001, 0b1'000},
    {0b1'11, 0b1'000, 0b1'001, 0b1'011, 0b1'010, 0b1'101, 0b1'100},
    {0b1'111, 0b1'110, 0b1'101, 0b1'100, 0b1'011, 0b1'010, 0b1'001, 0b1'0001, 0b1'00001, 0b1'000001,
     0b1'0000001, 0b1'00000001, 0b1'000000001, 0b1'0000000001, 0b1'00000000001},
};

// The lookup structures are built from the code lists above when compiling.
// Tables are numbered: the coeff_token classes, then the rows of total_zeros and run_before.
constexpr int kTotalZeros4x4Id = 6;
constexpr int kTotalZerosChromaDc420Id = kTotalZeros4x4Id + 15;
constexpr int kTotalZerosChromaDc422Id = kTotalZerosChromaDc420Id + 3;
constexpr int kRunBeforeId = kTotalZerosChromaDc422Id + 7;
constexpr int kTableCount = kRunBeforeId + 7;

struct VlcBits {
  int length;
  std::uint32_t bits;
};

struct CodeList {
  VlcBits code[64] = {};
  std::uint8_t value[64] = {};
  int count = 0;

  constexpr void add(std::uint32_t markedCode, int symbol) {
    if (markedCode == 0) return;
    const int length = std::bit_width(markedCode) - 1;
    code[count] = {length, markedCode ^ (1u << length)};
    value[count] = static_cast<std::uint8_t>(symbol);
    ++count;
  }
  template <std::size_t N>
  constexpr void addByValue(const std::uint32_t (&markedCodes)[N]) {
    for (std::size_t symbol = 0; symbol < N; ++symbol) {
      add(markedCodes[symbol], static_cast<int>(symbol));
    }
  }
};

constexpr CodeList codeList(int table) {
  CodeList list;
  if (table < kTotalZeros4x4Id) {
    for (int totalCoeff = 0; totalCoeff <= 16; ++totalCoeff) {
      for (int trailingOnes = 0; trailingOnes <= 3; ++trailingOnes) {
        list.add(kCoeffTokenCodes[table][totalCoeff][trailingOnes],
                 totalCoeff | trailingOnes << kTrailingOnesShift);
      }
    }
  } else if (table < kTotalZerosChromaDc420Id) {
    list.addByValue(kTotalZeros4x4Codes[table - kTotalZeros4x4Id]);
  } else if (table < kTotalZerosChromaDc422Id) {
    list.addByValue(kTotalZerosChromaDc420Codes[table - kTotalZerosChromaDc420Id]);
  } else if (table < kRunBeforeId) {
    list.addByValue(kTotalZerosChromaDc422Codes[table - kTotalZerosChromaDc422Id]);
  } else {
    list.addByValue(kRunBeforeCodes[table - kRunBeforeId]);
  }
  return list;
}

constexpr int leadingZeros(VlcBits code) { return code.length - std::bit_width(code.bits); }

// A code of zeros only is prefix of no other code, so capping the count below
// its length still leaves its last bit to tell it apart in its row.
struct RowLayout {
  int cap = 0;
  int width[16] = {};

  constexpr int rowOf(VlcBits code) const { return std::min(leadingZeros(code), cap); }
  constexpr int entryCount() const {
    int count = 0;
    for (int row = 0; row <= cap; ++row) count += 1 << width[row];
    return count;
  }
};

constexpr RowLayout rowLayout(const CodeList& list) {
  RowLayout layout;
  for (int i = 0; i < list.count; ++i) {
    const VlcBits code = list.code[i];
    layout.cap = std::max(layout.cap, std::min(leadingZeros(code), code.length - 1));
  }
  for (int row = 0; row <= layout.cap; ++row) layout.width[row] = 1;
  for (int i = 0; i < list.count; ++i) {
    const int row = layout.rowOf(list.code[i]);
    layout.width[row] = std::max(layout.width[row], list.code[i].length - row);
  }
  return layout;
}

constexpr int totalRows() {
  int rows = 0;
  for (int table = 0; table < kTableCount; ++table) rows += rowLayout(codeList(table)).cap + 1;
  return rows;
}

constexpr int totalEntries() {
  int entries = 0;
  for (int table = 0; table < kTableCount; ++table) {
    entries += rowLayout(codeList(table)).entryCount();
  }
  return entries;
}

struct Pool {
  VlcRow rows[totalRows()] = {};
  VlcEntry entries[totalEntries()] = {};
  int firstRow[kTableCount] = {};
  int cap[kTableCount] = {};
  bool prefixFree = true;
};

// Points every row entry whose bits begin with the code's bits after the row's zeros at the code.
// Returns false when one of them already held another code.
constexpr bool fillEntries(VlcEntry* entries, VlcRow row, int zeros, VlcBits code, int value) {
  const int tail = code.length - zeros;
  const int spread = row.width - tail;
  const int start = row.first + static_cast<int>((code.bits & ((1u << tail) - 1)) << spread);
  bool unused = true;
  for (int k = 0; k < 1 << spread; ++k) {
    unused = unused && entries[start + k].length == 0;
    entries[start + k] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(code.length)};
  }
  return unused;
}

constexpr Pool buildPool() {
  Pool pool;
  int row = 0;
  int entry = 0;
  for (int table = 0; table < kTableCount; ++table) {
    const CodeList list = codeList(table);
    const RowLayout layout = rowLayout(list);
    pool.firstRow[table] = row;
    pool.cap[table] = layout.cap;
    for (int r = 0; r <= layout.cap; ++r) {
      pool.rows[row + r] = {static_cast<std::uint16_t>(entry),
                            static_cast<std::uint8_t>(layout.width[r])};
      entry += 1 << layout.width[r];
    }
    for (int i = 0; i < list.count; ++i) {
      const int zeros = layout.rowOf(list.code[i]);
      pool.prefixFree &=
          fillEntries(pool.entries, pool.rows[row + zeros], zeros, list.code[i], list.value[i]);
    }
    row += layout.cap + 1;
  }
  return pool;
}

constexpr Pool kPool = buildPool();
static_assert(kPool.prefixFree, "a code is the prefix of another one");

template <std::size_t N>
constexpr std::array<VlcTable, N> tables(int firstTable) {
  std::array<VlcTable, N> out{};
  for (std::size_t i = 0; i < N; ++i) {
    const int table = firstTable + static_cast<int>(i);
    out[i] = {0x80000000u >> kPool.cap[table], kPool.rows + kPool.firstRow[table], kPool.entries};
  }
  return out;
}

// Tables `firstTable` on by their first `Bits` bits: the codes no longer
// than that; length 0 where a longer code begins.
template <int Bits, std::size_t N>
constexpr std::array<std::array<VlcEntry, 1 << Bits>, N> shortCodes(int firstTable) {
  std::array<std::array<VlcEntry, 1 << Bits>, N> out{};
  for (std::size_t row = 0; row < N; ++row) {
    const CodeList list = codeList(firstTable + static_cast<int>(row));
    for (int i = 0; i < list.count; ++i) {
      const VlcBits code = list.code[i];
      if (code.length > Bits) continue;
      const int spread = Bits - code.length;
      for (int k = 0; k < 1 << spread; ++k) {
        out[row][(code.bits << spread) + static_cast<std::uint32_t>(k)] = {
            list.value[i], static_cast<std::uint8_t>(code.length)};
      }
    }
  }
  return out;
}

}  // namespace

// Every run_before code but those of runs 7 to 14 fits in three bits.
constinit const std::array<std::array<VlcEntry, 8>, 7> kRunBeforeShort =
    shortCodes<3, 7>(kRunBeforeId);
constinit const std::array<std::array<VlcEntry, 256>, 6> kCoeffTokenShort = shortCodes<8, 6>(0);
// total_zeros of 4x4 blocks: every code fits in nine bits.
constinit const std::array<std::array<VlcEntry, 512>, 15> kTotalZeros4x4Short =
    shortCodes<9, 15>(kTotalZeros4x4Id);

constinit const std::array<VlcTable, 6> kCoeffTokenTables = tables<6>(0);
constinit const std::array<std::uint8_t, 11> kCoeffTokenClass = {5, 4, 0, 0, 1, 1, 2, 2, 2, 2, 3};
constinit const std::array<VlcTable, 3> kTotalZerosChromaDc420 =
    tables<3>(kTotalZerosChromaDc420Id);
constinit const std::array<VlcTable, 7> kTotalZerosChromaDc422 =
    tables<7>(kTotalZerosChromaDc422Id);

}  // namespace H264
