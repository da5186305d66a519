// The deblocking filter of clause 8.7 for the pictures of an IntraStream,
// written plainly for the tests: macroblock by macroblock, plane by plane,
// each edge one line of samples at a time, with its own tables.
//
// I_PCM macroblocks are filtered with the qP of QP'Y 0, that is QPY =
// -QpBdOffsetY (at 8 bits the qPp 0 of clause 8.7.2.2), as the decoder
// documents and x264's reconstruction has it; everything else follows the clause.
#pragma once

#include <algorithm>
#include <cstdlib>

#include "support/intra_stream.h"

namespace istrel::test {

namespace reference_deblocking {

// Table 8-16, alpha' and beta' by indexA and indexB.
inline constexpr int kAlpha[52] = {0,  0,  0,  0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
                                   0,  0,  0,  4,   4,   5,   6,   7,   8,   9,   10,  12,  13,
                                   15, 17, 20, 22,  25,  28,  32,  36,  40,  45,  50,  56,  63,
                                   71, 80, 90, 101, 113, 127, 144, 162, 182, 203, 226, 255, 255};
inline constexpr int kBeta[52] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0,  0,  0,  2,  2,  2,  3,  3,  3,  3,  4,  4,  4,
    6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18};
// Table 8-17, tC0' by indexA for bS 3, the only strength below 4 between
// intra macroblocks.
inline constexpr int kTc0Bs3[52] = {0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0,  0,  0,  0, 0, 1,
                                    1, 1, 1, 1, 1, 1, 1, 1,  1,  2,  2,  2,  2,  3,  3,  3, 4, 4,
                                    4, 5, 6, 6, 7, 8, 9, 10, 11, 13, 14, 16, 18, 20, 23, 25};

// Which ways of filtering a line were taken.
inline constexpr unsigned kBelow4 = 1, kStrong = 2, kWeak = 4;

struct Thresholds {
  int alpha, beta, tc0, bitDepth;
  bool chroma;  // chromaStyleFilteringFlag
};

// One line across an edge, p[0] and q[0] beside it (clauses 8.7.2.3, 8.7.2.4).
inline unsigned filterLine(int* const p[4], int* const q[4], int bS, const Thresholds& t) {
  const int P[4] = {*p[0], *p[1], *p[2], *p[3]}, Q[4] = {*q[0], *q[1], *q[2], *q[3]};
  if (std::abs(P[0] - Q[0]) >= t.alpha || std::abs(P[1] - P[0]) >= t.beta ||
      std::abs(Q[1] - Q[0]) >= t.beta) {
    return 0;
  }
  const int ap = std::abs(P[2] - P[0]), aq = std::abs(Q[2] - Q[0]);
  if (bS < 4) {
    const int tc = t.chroma ? t.tc0 + 1 : t.tc0 + (ap < t.beta) + (aq < t.beta);
    const int delta = std::clamp((((Q[0] - P[0]) << 2) + (P[1] - Q[1]) + 4) >> 3, -tc, tc);
    *p[0] = std::clamp(P[0] + delta, 0, (1 << t.bitDepth) - 1);
    *q[0] = std::clamp(Q[0] - delta, 0, (1 << t.bitDepth) - 1);
    const int mid = (P[0] + Q[0] + 1) >> 1;
    if (!t.chroma && ap < t.beta)
      *p[1] = P[1] + std::clamp((P[2] + mid - 2 * P[1]) >> 1, -t.tc0, t.tc0);
    if (!t.chroma && aq < t.beta)
      *q[1] = Q[1] + std::clamp((Q[2] + mid - 2 * Q[1]) >> 1, -t.tc0, t.tc0);
    return kBelow4;
  }
  const bool small = std::abs(P[0] - Q[0]) < (t.alpha >> 2) + 2;
  const bool strongP = !t.chroma && ap < t.beta && small,
             strongQ = !t.chroma && aq < t.beta && small;
  // One side s of the edge, o the other.
  auto side = [](int* const s[4], const int* S, const int* O, bool strong) {
    if (strong) {
      *s[0] = (S[2] + 2 * S[1] + 2 * S[0] + 2 * O[0] + O[1] + 4) >> 3;
      *s[1] = (S[2] + S[1] + S[0] + O[0] + 2) >> 2;
      *s[2] = (2 * S[3] + 3 * S[2] + S[1] + S[0] + O[0] + 4) >> 3;
    } else {
      *s[0] = (2 * S[1] + S[0] + O[1] + 2) >> 2;
    }
  };
  side(p, P, Q, strongP);
  side(q, Q, P, strongQ);
  return (strongP || strongQ ? kStrong : 0) | (!strongP || !strongQ ? kWeak : 0);
}

// qPp or qPq of macroblock `mbAddr` in `plane` (clause 8.7.2.2).
inline int qpOf(const IntraStream& s, const IntraPicture& p, int plane, int mbAddr) {
  const int qpY = p.mbs[mbAddr].pcm ? -s.qpBdOffset() : p.mbs[mbAddr].qp;
  return plane ? chromaQpFor(qpY, s.chromaQpOffsets[p.ppsId][plane - 1], s.qpBdOffset()) : qpY;
}

// The thresholds of an edge between macroblocks pMb and qMb, with the
// offsets of q's slice.
inline Thresholds thresholds(const IntraStream& s, const IntraPicture& p, int plane, int pMb,
                             int qMb) {
  const IntraSlice& slice = p.slices[s.sliceOf(p, qMb)];
  const int qPav = (qpOf(s, p, plane, pMb) + qpOf(s, p, plane, qMb) + 1) >> 1;
  const int indexA = std::clamp(qPav + 2 * slice.alphaDiv2, 0, 51);
  const int indexB = std::clamp(qPav + 2 * slice.betaDiv2, 0, 51);
  const int scale = 1 << (s.bitDepth - 8);
  return {kAlpha[indexA] * scale, kBeta[indexB] * scale, kTc0Bs3[indexA] * scale, s.bitDepth,
          plane != 0};
}

// The edges of macroblock `mbAddr` in `plane`, the vertical ones left to
// right and then the horizontal ones top to bottom (clause 8.7).
inline unsigned filterMacroblock(const IntraStream& s, const IntraPicture& p, const PictureView& v,
                                 int plane, int mbAddr) {
  const int width = plane ? 8 : 16, height = plane ? s.mbHeightC() : 16;
  const int mbX = mbAddr % s.widthInMbs, mbY = mbAddr / s.widthInMbs;
  const int slice = s.sliceOf(p, mbAddr);
  unsigned paths = 0;
  for (int horizontal = 0; horizontal < 2; ++horizontal) {
    const int across = horizontal ? height : width, along = horizontal ? width : height;
    for (int e = 0; e < across; e += 4) {
      const int pMb = e ? mbAddr : horizontal ? mbAddr - s.widthInMbs : mbAddr - 1;
      if (e == 0 && (horizontal ? mbY : mbX) == 0) continue;
      if (e == 0 && p.slices[slice].disableIdc == 2 && s.sliceOf(p, pMb) != slice) continue;
      // Intra: 4 on macroblock edges, but 3 on the horizontal ones of field pictures.
      const int bS = e == 0 && !(horizontal && s.fields) ? 4 : 3;
      const Thresholds t = thresholds(s, p, plane, pMb, mbAddr);
      for (int k = 0; k < along; ++k) {
        const int x = width * mbX + (horizontal ? k : e), y = height * mbY + (horizontal ? e : k);
        int *ps[4], *qs[4];
        for (int i = 0; i < 4; ++i) {
          ps[i] = horizontal ? &v.at(plane, x, y - 1 - i) : &v.at(plane, x - 1 - i, y);
          qs[i] = horizontal ? &v.at(plane, x, y + i) : &v.at(plane, x + i, y);
        }
        paths |= filterLine(ps, qs, bS, t);
      }
    }
  }
  return paths;
}

}  // namespace reference_deblocking

// Filters `planes`, the unfiltered frame of `s`; returns the paths taken.
inline unsigned referenceDeblock(const IntraStream& s, Planes& planes) {
  unsigned paths = 0;
  for (int picture = 0; picture < static_cast<int>(s.pictures.size()); ++picture) {
    const IntraPicture& p = s.pictures[picture];
    const PictureView v = viewOf(s, planes, picture);
    for (int mbAddr = 0; mbAddr < static_cast<int>(p.mbs.size()); ++mbAddr) {
      if (p.slices[s.sliceOf(p, mbAddr)].disableIdc == 1) continue;
      for (int plane = 0; plane < 3; ++plane) {
        paths |= reference_deblocking::filterMacroblock(s, p, v, plane, mbAddr);
      }
    }
  }
  return paths;
}

}  // namespace istrel::test
