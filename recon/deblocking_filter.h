// The deblocking filter of clause 8.7 for pictures of I slices, applied once
// every slice of the picture has been decoded. The work comes in rows of
// macroblocks (of pairs in MBAFF frames; of each field in turn for a field
// pair); a row's column x may be filtered once the row it depends on has
// finished column x + 1, which keeps the order of clause 8.7 wherever
// samples are shared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/picture.h"
#include "dsp/kernels.h"
#include "recon/deblocking_records.h"
#include "recon/macroblock_edges.h"

namespace H264 {

// A decoded frame (or field pair) and the records of its macroblocks and slices.
struct FilterInput {
  Picture<unsigned short>* picture = nullptr;
  const FilterMacroblock* macroblocks = nullptr;  // FrameHeightInMbs * PicWidthInMbs
  const FilterSlice* slices = nullptr;
  std::size_t sliceCount = 0;
  int widthInMbs = 0;
  int heightInMbs = 0;  // of the frame
  int mbWidthC = 8;
  int mbHeightC = 8;
  const Kernels<unsigned short>* kernels = nullptr;
};

class DeblockingFilter {
 public:
  // Sets the filter up for a picture; the first slice that was decoded gives
  // its structure and format, and slices of another are left out. False
  // when there is nothing to filter.
  bool prepare(const FilterInput& input);

  int rows() const { return rows_; }
  int columns() const { return input_.widthInMbs; }
  // Row r depends on row r - rowDistance() (none below 0).
  int rowDistance() const { return structure_ == Structure::kFieldPair ? 2 : 1; }

  // Filters the macroblock (the pair) at `column` of `row`.
  void filterAt(int row, int column) const;

 private:
  enum class Structure { kFrame, kMbaffFrame, kFieldPair };

  // One plane of the picture (of one field) as the filter walks it.
  struct Plane {
    unsigned short* origin;
    std::ptrdiff_t stride;  // between picture rows
    int mbWidth;
    int mbHeight;
    int bitDepth;
    int component;        // 0 luma, 1 Cb, 2 Cr
    bool lumaStyle;       // luma, or chroma with ChromaArrayType 3
    bool followsLuma8x8;  // transform_size_8x8_flag leaves out its 4x4 edges
  };

  // Columns between the macroblock filtered and the one fetched ahead.
  static constexpr int kPrefetchAhead = 3;

  void setPlanes(const FilterSlice& first, int field, int fields);
  void prefetchColumn(int row, int column) const;
  void filterMacroblock(const MacroblockEdges& e, int field) const;
  void filterPlane(const Plane& plane, const MacroblockEdges& e) const;
  // The thresholds of an edge between p and q in `plane`; false when they
  // filter nothing.
  bool thresholds(const Plane& plane, const FilterMacroblock& p, const MacroblockEdges& e, int bS,
                  EdgeThresholds& t) const;
  int qpOf(const Plane& plane, const FilterMacroblock& mb, const FilterSlice& slice) const;

  FilterInput input_;
  Structure structure_ = Structure::kFrame;
  int rows_ = 0;
  int planeCount_ = 1;
  int qpBdOffsetC_ = 0;
  Plane planes_[2][3] = {};           // by field of a field pair (frames use the first)
  std::vector<std::uint8_t> usable_;  // by slice
};

}  // namespace H264
