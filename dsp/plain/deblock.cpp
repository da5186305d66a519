// The edge filters of the deblocking filter in plain C++, with the formulas
// of clauses 8.7.2.3 and 8.7.2.4 as they are written.
#include <algorithm>
#include <cstdlib>

#include "dsp/kernel_levels.h"

namespace H264::plain {
namespace {

using Sample = unsigned short;

// The samples of one line: p(i) before the edge, q(i) after it.
struct Line {
  Sample* at;
  std::ptrdiff_t step;
  int p(int i) const { return at[-(i + 1) * step]; }
  int q(int i) const { return at[i * step]; }
  void setP(int i, int v) const { at[-(i + 1) * step] = static_cast<Sample>(v); }
  void setQ(int i, int v) const { at[i * step] = static_cast<Sample>(v); }
};

// filterSamplesFlag (clause 8.7.2).
bool filtersSamples(const Line& l, const EdgeThresholds& t) {
  return std::abs(l.p(0) - l.q(0)) < t.alpha && std::abs(l.p(1) - l.p(0)) < t.beta &&
         std::abs(l.q(1) - l.q(0)) < t.beta;
}

// Clause 8.7.2.3: bS below 4.
template <bool kLumaStyle>
void filterNormal(const Line& l, const EdgeThresholds& t) {
  if (!filtersSamples(l, t)) return;
  const int p0 = l.p(0), p1 = l.p(1), q0 = l.q(0), q1 = l.q(1);
  int tc = t.tc0 + 1;
  bool filterP1 = false, filterQ1 = false;
  if constexpr (kLumaStyle) {
    filterP1 = std::abs(l.p(2) - p0) < t.beta;  // ap < beta
    filterQ1 = std::abs(l.q(2) - q0) < t.beta;  // aq < beta
    tc = t.tc0 + (filterP1 ? 1 : 0) + (filterQ1 ? 1 : 0);
  }
  const int delta = std::clamp((((q0 - p0) << 2) + (p1 - q1) + 4) >> 3, -tc, tc);
  l.setP(0, std::clamp(p0 + delta, 0, t.maxValue));
  l.setQ(0, std::clamp(q0 - delta, 0, t.maxValue));
  if (filterP1) {
    l.setP(1, p1 + std::clamp((l.p(2) + ((p0 + q0 + 1) >> 1) - (p1 << 1)) >> 1, -t.tc0, t.tc0));
  }
  if (filterQ1) {
    l.setQ(1, q1 + std::clamp((l.q(2) + ((p0 + q0 + 1) >> 1) - (q1 << 1)) >> 1, -t.tc0, t.tc0));
  }
}

// Clause 8.7.2.4 for one side of the edge: a[0..3] are its samples from the
// edge outwards, b[0..1] the first two of the other side; out[0..2] receives
// a'0..a'2.
void strongSide(const int* a, const int* b, bool lumaStyle, const EdgeThresholds& t, int* out) {
  out[1] = a[1];
  out[2] = a[2];
  if (lumaStyle && std::abs(a[2] - a[0]) < t.beta && std::abs(a[0] - b[0]) < (t.alpha >> 2) + 2) {
    out[0] = (a[2] + 2 * a[1] + 2 * a[0] + 2 * b[0] + b[1] + 4) >> 3;
    out[1] = (a[2] + a[1] + a[0] + b[0] + 2) >> 2;
    out[2] = (2 * a[3] + 3 * a[2] + a[1] + a[0] + b[0] + 4) >> 3;
  } else {
    out[0] = (2 * a[1] + a[0] + b[1] + 2) >> 2;
  }
}

// bS equal to 4: both sides from the unfiltered samples. Chroma-style
// filtering reads no sample beyond p1 and q1.
template <bool kLumaStyle>
void filterStrong(const Line& l, const EdgeThresholds& t) {
  if (!filtersSamples(l, t)) return;
  constexpr int kRead = kLumaStyle ? 4 : 2;
  int p[4] = {}, q[4] = {}, pOut[3], qOut[3];
  for (int i = 0; i < kRead; ++i) {
    p[i] = l.p(i);
    q[i] = l.q(i);
  }
  strongSide(p, q, kLumaStyle, t, pOut);
  strongSide(q, p, kLumaStyle, t, qOut);
  for (int i = 0; i < (kLumaStyle ? 3 : 1); ++i) {
    l.setP(i, pOut[i]);
    l.setQ(i, qOut[i]);
  }
}

// The edge filters, as fillEdgeFilters takes them.
struct Edges {
  template <EdgeOrientation kOrientation, bool kStrong, bool kLumaStyle>
  static void filter(Sample* q0, std::ptrdiff_t stride, int lines, const EdgeThresholds& t) {
    const std::ptrdiff_t across = kOrientation == kVerticalEdge ? 1 : stride;
    const std::ptrdiff_t along = kOrientation == kVerticalEdge ? stride : 1;
    for (int i = 0; i < lines; ++i) {
      const Line l{q0 + i * along, across};
      if constexpr (kStrong) {
        filterStrong<kLumaStyle>(l, t);
      } else {
        filterNormal<kLumaStyle>(l, t);
      }
    }
  }
};

}  // namespace

void fillDeblock(Kernels<unsigned short>& k) { fillEdgeFilters<Edges>(k); }

}  // namespace H264::plain
