// Which macroblock lies across each edge of a macroblock the deblocking
// filter visits (clause 8.7), how the samples of the edges are laid out, and
// their boundary strength, for frames, MBAFF frames and field pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recon/deblocking_records.h"

namespace H264 {

// The lines of a left macroblock edge that share the macroblock across the
// edge: all of them, or, beside an MBAFF pair of the other coding, half.
enum class LeftLines : std::uint8_t {
  kAll,
  kEven,       // a frame macroblock beside a field pair: the top field macroblock's rows
  kOdd,        // ... the bottom field macroblock's rows
  kUpperHalf,  // a field macroblock beside a frame pair: the top frame macroblock's rows
  kLowerHalf,  // ... the bottom frame macroblock's rows
};

struct LeftRun {
  const FilterMacroblock* p;
  LeftLines lines;
};

// A top macroblock edge: the q0 samples on row `qRow` of the macroblock
// (1 only for the bottom field rows of a frame macroblock under a field
// pair), p and q samples `acrossRows` picture rows apart.
struct TopRun {
  const FilterMacroblock* p;
  std::uint8_t qRow;
  std::uint8_t acrossRows;
  std::uint8_t bS;
};

struct MacroblockEdges {
  const FilterMacroblock* q = nullptr;
  const FilterSlice* slice = nullptr;  // the slice of q, whose parameters govern
  int mbX = 0;
  // The first line of the macroblock lies on picture row
  // mbRow * MbHeight + rowOffset; its lines are lineRows picture rows apart.
  int mbRow = 0;
  int rowOffset = 0;
  int lineRows = 1;
  bool internal = false;  // filterInternalEdgesFlag
  int leftRuns = 0;
  int topRuns = 0;
  LeftRun left[2] = {};
  TopRun top[2] = {};
};

// The macroblock records of one picture (a frame, or one field of a pair).
class MacroblockMap {
 public:
  // `records` is the picture's first macroblock; `slices` those of the frame
  // and `usable` which of them the filter may use.
  MacroblockMap(const FilterMacroblock* records, const FilterSlice* slices,
                const std::uint8_t* usable, std::size_t sliceCount, int widthInMbs)
      : records_(records),
        slices_(slices),
        usable_(usable),
        sliceCount_(sliceCount),
        widthInMbs_(widthInMbs) {}

  // The edges of the macroblock at column mbX, row mbY of a frame or field
  // picture (`fieldPicture`). False when it is not filtered: no slice decoded
  // it, or its slice disables the filter.
  bool pictureEdges(int mbX, int mbY, bool fieldPicture, MacroblockEdges& e) const;
  // The same for the top (bottom 0) or bottom macroblock of the pair at
  // pairX, pairY of an MBAFF frame.
  bool mbaffEdges(int pairX, int pairY, int bottom, MacroblockEdges& e) const;

 private:
  bool decoded(const FilterMacroblock& mb) const {
    return mb.slice != 0 && mb.slice <= sliceCount_ && usable_[mb.slice - 1];
  }
  // Sets q and its slice; false when the macroblock is not filtered.
  bool start(const FilterMacroblock& q, MacroblockEdges& e) const;
  // p across an edge of q: decoded, and with disable_deblocking_filter_idc 2
  // in q's slice.
  bool available(const FilterMacroblock& p, const MacroblockEdges& e) const {
    return decoded(p) && (e.slice->disableIdc != 2 || p.slice == e.q->slice);
  }
  void addLeft(const FilterMacroblock& p, LeftLines lines, MacroblockEdges& e) const;
  void addTop(const FilterMacroblock& p, int qRow, int acrossRows, int bS,
              MacroblockEdges& e) const;

  const FilterMacroblock* records_;
  const FilterSlice* slices_;
  const std::uint8_t* usable_;
  std::size_t sliceCount_;
  int widthInMbs_;
};

}  // namespace H264
