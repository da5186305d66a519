// The samples an IntraStream decodes to before the deblocking filter,
// computed plainly from the clauses: I_PCM samples as written; Intra_16x16
// DC prediction (8.3.3) and chroma DC prediction (8.3.4) from the samples of
// macroblocks of the same slice; the luma and chroma DC transforms and
// scaling with flat weights (8.5.10, 8.5.11); a 4x4 block whose only
// coefficient is its DC value d adds (d + 32) >> 6 to every sample (8.5.12).
#pragma once

#include <algorithm>

#include "support/intra_stream.h"

namespace istrel::test {

namespace intra_model_detail {

// LevelScale4x4(m, 0, 0) with flat weights: 16 * normAdjust4x4(m, 0, 0).
inline int levelScale(int m) {
  static const int kNormAdjust[6] = {10, 11, 13, 14, 16, 18};
  return 16 * kNormAdjust[m];
}

// The scaling of the Intra_16x16 luma DC (clause 8.5.10) and of the 4:2:2
// chroma DC with qP,DC (clause 8.5.11.2).
inline int scaleDc(int f, int qP) {
  if (qP >= 36) return (f * levelScale(qP % 6)) << (qP / 6 - 6);
  return (f * levelScale(qP % 6) + (1 << (5 - qP / 6))) >> (6 - qP / 6);
}

// The DC prediction of the size x size block at (xO, yO) of the macroblock
// at (xM, yM) from the row above the macroblock and the column to its left,
// those of them it may use.
inline int dcPrediction(const PictureView& v, int plane, int xM, int yM, int xO, int yO, int size,
                        bool left, bool top, int bitDepth) {
  int sum = 0;
  for (int i = 0; i < size; ++i) {
    if (top) sum += v.at(plane, xM + xO + i, yM - 1);
    if (left) sum += v.at(plane, xM - 1, yM + yO + i);
  }
  const int count = size * (left + top);
  return count ? (sum + count / 2) / count : 1 << (bitDepth - 1);
}

inline void fill(const PictureView& v, int plane, int x0, int y0, int size, int value, int max) {
  for (int y = y0; y < y0 + size; ++y) {
    for (int x = x0; x < x0 + size; ++x) v.at(plane, x, y) = std::clamp(value, 0, max);
  }
}

inline void intra16x16(const IntraStream& s, const IntraPicture& p, const PictureView& v,
                       int mbAddr) {
  const IntraMb& mb = p.mbs[mbAddr];
  const int mbX = mbAddr % s.widthInMbs, mbY = mbAddr / s.widthInMbs, max = (1 << s.bitDepth) - 1;
  const int slice = s.sliceOf(p, mbAddr);
  const bool left = mbX > 0 && s.sliceOf(p, mbAddr - 1) == slice;
  const bool top = mbY > 0 && s.sliceOf(p, mbAddr - s.widthInMbs) == slice;
  // Luma: the coefficient's raster position by the zig-zag or field scan,
  // then the DC transform H c H with H the 4x4 Hadamard-like matrix.
  static const int kH[4][4] = {{1, 1, 1, 1}, {1, 1, -1, -1}, {1, -1, -1, 1}, {1, -1, 1, -1}};
  static const int kRaster[2][3] = {{0, 1, 4}, {0, 4, 1}};  // frame, field
  const int raster = kRaster[s.fields][mb.lumaScanIndex];
  const int pred = dcPrediction(v, 0, 16 * mbX, 16 * mbY, 0, 0, 16, left, top, s.bitDepth);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      const int f = kH[i][raster / 4] * kH[j][raster % 4] * mb.lumaLevel;
      const int d = scaleDc(f, mb.qp + s.qpBdOffset());
      fill(v, 0, 16 * mbX + 4 * j, 16 * mbY + 4 * i, 4, pred + ((d + 32) >> 6), max);
    }
  }
  for (int c = 0; c < 2; ++c) {
    const int qP =
        chromaQpFor(mb.qp, s.chromaQpOffsets[p.ppsId][c], s.qpBdOffset()) + s.qpBdOffset();
    const int f = mb.chromaLevel[c];
    const int d =
        s.chromaFormat == 1 ? ((f * levelScale(qP % 6)) << (qP / 6)) >> 5 : scaleDc(f, qP + 3);
    for (int yO = 0; yO < s.mbHeightC(); yO += 4) {
      for (int xO = 0; xO < 8; xO += 4) {
        // Clause 8.3.4.3: which neighbours a chroma block's DC comes from.
        bool useLeft = left, useTop = top;
        if (xO > 0 && yO == 0) useLeft = left && !top;
        if (xO == 0 && yO > 0) useTop = top && !left;
        const int xM = 8 * mbX, yM = s.mbHeightC() * mbY;
        const int cPred = dcPrediction(v, 1 + c, xM, yM, xO, yO, 4, useLeft, useTop, s.bitDepth);
        fill(v, 1 + c, xM + xO, yM + yO, 4, cPred + ((d + 32) >> 6), max);
      }
    }
  }
}

}  // namespace intra_model_detail

inline Planes unfilteredPicture(const IntraStream& s) {
  Planes planes;
  for (int plane = 0; plane < 3; ++plane) {
    planes.width[plane] = (plane ? 8 : 16) * s.widthInMbs;
    planes.height[plane] = (plane ? s.mbHeightC() : 16) * s.heightInMbs * (s.fields ? 2 : 1);
    planes.samples[plane].assign(planes.width[plane] * planes.height[plane], 0);
  }
  for (int picture = 0; picture < static_cast<int>(s.pictures.size()); ++picture) {
    const IntraPicture& p = s.pictures[picture];
    const PictureView v = viewOf(s, planes, picture);
    for (int mbAddr = 0; mbAddr < static_cast<int>(p.mbs.size()); ++mbAddr) {
      if (!p.mbs[mbAddr].pcm) {
        intra_model_detail::intra16x16(s, p, v, mbAddr);
        continue;
      }
      for (int plane = 0; plane < 3; ++plane) {
        const int w = plane ? 8 : 16, h = plane ? s.mbHeightC() : 16;
        const int x0 = w * (mbAddr % s.widthInMbs), y0 = h * (mbAddr / s.widthInMbs);
        for (int y = y0; y < y0 + h; ++y) {
          for (int x = x0; x < x0 + w; ++x) {
            v.at(plane, x, y) = pcmSample(s, plane, x, y * v.step + v.parity);
          }
        }
      }
    }
  }
  return planes;
}

}  // namespace istrel::test
