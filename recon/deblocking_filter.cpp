#include "recon/deblocking_filter.h"

#include <algorithm>

#include "base/compiler.h"
#include "recon/chroma_qp.h"
#include "recon/deblocking_tables.h"

namespace H264 {
namespace {

// The lines of a left edge run in a plane whose macroblocks are `height`
// lines tall.
struct Lines {
  int first;
  int step;
  int count;
};

Lines linesOf(LeftLines lines, int height) {
  switch (lines) {
    case LeftLines::kEven:
      return {0, 2, height / 2};
    case LeftLines::kOdd:
      return {1, 2, height / 2};
    case LeftLines::kUpperHalf:
      return {0, 1, height / 2};
    case LeftLines::kLowerHalf:
      return {height / 2, 1, height / 2};
    case LeftLines::kAll:
      break;
  }
  return {0, 1, height};
}

}  // namespace

bool DeblockingFilter::prepare(const FilterInput& input) {
  input_ = input;
  rows_ = 0;
  const FilterSlice* first = nullptr;
  for (std::size_t i = 0; i < input.sliceCount && !first; ++i) {
    if (input.slices[i].decoding) first = &input.slices[i];
  }
  if (!first || !input.picture || !input.macroblocks || !input.kernels) return false;
  usable_.assign(input.sliceCount, 0);
  for (std::size_t i = 0; i < input.sliceCount; ++i) {
    const FilterSlice& s = input.slices[i];
    usable_[i] = s.decoding && s.samePicture(*first) ? 1 : 0;
  }
  structure_ = first->field   ? Structure::kFieldPair
               : first->mbaff ? Structure::kMbaffFrame
                              : Structure::kFrame;
  rows_ = structure_ == Structure::kFrame ? input.heightInMbs : input.heightInMbs / 2;
  const int fields = structure_ == Structure::kFieldPair ? 2 : 1;
  rows_ *= fields;
  planeCount_ = first->chromaArrayType == 0 ? 1 : 3;
  qpBdOffsetC_ = 6 * (first->bitDepthChroma - 8);
  for (int field = 0; field < fields; ++field) setPlanes(*first, field, fields);
  return rows_ > 0 && input.widthInMbs > 0;
}

// The planes of one field of `fields` (1 for a frame): its rows are every
// second row of a field pair's frame.
void DeblockingFilter::setPlanes(const FilterSlice& first, int field, int fields) {
  for (int c = 0; c < 3; ++c) {
    const bool luma = c == 0;
    const std::ptrdiff_t width = luma ? input_.picture->lumaWidth() : input_.picture->chromaWidth();
    const bool lumaStyle = luma || first.chromaArrayType == 3;
    planes_[field][c] = {input_.picture->plane(c) + field * width,
                         fields * width,
                         luma ? 16 : input_.mbWidthC,
                         luma ? 16 : input_.mbHeightC,
                         luma ? first.bitDepthLuma : first.bitDepthChroma,
                         c,
                         lumaStyle,
                         lumaStyle};
  }
}

void DeblockingFilter::filterAt(int row, int column) const {
  const int size = input_.widthInMbs * input_.heightInMbs;
  const int field = structure_ == Structure::kFieldPair ? row % 2 : 0;
  if (column + kPrefetchAhead < input_.widthInMbs) prefetchColumn(row, column + kPrefetchAhead);
  const MacroblockMap map(input_.macroblocks + field * (size / 2), input_.slices, usable_.data(),
                          input_.sliceCount, input_.widthInMbs);
  MacroblockEdges e;
  switch (structure_) {
    case Structure::kFrame:
      if (map.pictureEdges(column, row, false, e)) filterMacroblock(e, 0);
      break;
    case Structure::kMbaffFrame:
      for (int bottom = 0; bottom < 2; ++bottom) {
        if (map.mbaffEdges(column, row, bottom, e)) filterMacroblock(e, 0);
      }
      break;
    case Structure::kFieldPair:
      if (map.pictureEdges(column, row / 2, true, e)) filterMacroblock(e, field);
      break;
  }
}

// Decoding wrote the picture long before the filter reads it again: the
// rows of a macroblock (a pair) a few columns ahead are fetched early. The
// processor's own prefetching, with dozens of rows in flight, falls behind
// when other work keeps the memory busy (a quarter of the filter's time
// then; nothing measurable on an idle machine).
void DeblockingFilter::prefetchColumn(int row, int column) const {
  const bool fields = structure_ == Structure::kFieldPair;
  const int field = fields ? row % 2 : 0;
  const int pictureRow = fields ? row / 2 : row;
  const int macroblocks = structure_ == Structure::kMbaffFrame ? 2 : 1;
  for (int c = 0; c < planeCount_; ++c) {
    const Plane& plane = planes_[field][c];
    const int lines = macroblocks * plane.mbHeight;
    const unsigned short* first = plane.origin + std::ptrdiff_t{pictureRow} * lines * plane.stride +
                                  std::ptrdiff_t{column} * plane.mbWidth;
    for (int y = 0; y < lines; ++y) prefetchForWrite(first + y * plane.stride);
  }
}

// Luma, then each chroma component: the planes share no sample.
void DeblockingFilter::filterMacroblock(const MacroblockEdges& e, int field) const {
  for (int c = 0; c < planeCount_; ++c) filterPlane(planes_[field][c], e);
}

// Clause 8.7: the vertical edges left to right, then the horizontal edges
// top to bottom.
void DeblockingFilter::filterPlane(const Plane& plane, const MacroblockEdges& e) const {
  const auto& edges = plane.lumaStyle ? input_.kernels->lumaEdge : input_.kernels->chromaEdge;
  const int width = plane.mbWidth, height = plane.mbHeight;
  const std::ptrdiff_t line = e.lineRows * plane.stride;
  unsigned short* mb = plane.origin +
                       (std::ptrdiff_t{e.mbRow} * height + e.rowOffset) * plane.stride +
                       std::ptrdiff_t{e.mbX} * width;
  EdgeThresholds t;
  for (int i = 0; i < e.leftRuns; ++i) {
    if (!thresholds(plane, *e.left[i].p, e, 4, t)) continue;
    const Lines l = linesOf(e.left[i].lines, height);
    edges[kVerticalEdge][1](mb + l.first * line, l.step * line, l.count, t);
  }
  // Transform blocks of 8x8 have no edges at 4 and 12.
  const int step = plane.followsLuma8x8 && (e.q->flags & FilterMacroblock::kTransform8x8) ? 8 : 4;
  EdgeThresholds inner;
  const bool filterInner = e.internal && thresholds(plane, *e.q, e, 3, inner);
  if (filterInner) {
    for (int x = step; x < width; x += step) edges[kVerticalEdge][0](mb + x, line, height, inner);
  }
  for (int i = 0; i < e.topRuns; ++i) {
    const TopRun& run = e.top[i];
    if (!thresholds(plane, *run.p, e, run.bS, t)) continue;
    edges[kHorizontalEdge][run.bS == 4 ? 1 : 0](mb + run.qRow * plane.stride,
                                                run.acrossRows * plane.stride, width, t);
  }
  if (filterInner) {
    for (int y = step; y < height; y += step) {
      edges[kHorizontalEdge][0](mb + y * line, line, width, inner);
    }
  }
}

// Clause 8.7.2.2 with the parameters of q's slice.
bool DeblockingFilter::thresholds(const Plane& plane, const FilterMacroblock& p,
                                  const MacroblockEdges& e, int bS, EdgeThresholds& t) const {
  const FilterSlice& s = *e.slice;
  const int qPav = (qpOf(plane, p, s) + qpOf(plane, *e.q, s) + 1) >> 1;
  const int indexA = std::clamp(qPav + s.offsetA, 0, 51);
  const int indexB = std::clamp(qPav + s.offsetB, 0, 51);
  const int scale = plane.bitDepth - 8;
  t.alpha = kAlphaPrime[indexA] << scale;
  t.beta = kBetaPrime[indexB] << scale;
  t.tc0 = bS < 4 ? kTc0Prime[indexA][bS - 1] << scale : 0;
  t.maxValue = (1 << plane.bitDepth) - 1;
  return t.alpha != 0 && t.beta != 0;
}

// qPp or qPq: the macroblock's QPY for luma; for chroma the QPC that QPY
// gives with the component's offset (clause 8.5.8, Table 8-15).
int DeblockingFilter::qpOf(const Plane& plane, const FilterMacroblock& mb,
                           const FilterSlice& slice) const {
  if (plane.component == 0) return mb.qp;
  return chromaQp(mb.qp, slice.chromaQpOffset[plane.component - 1], qpBdOffsetC_);
}

}  // namespace H264
