// Access units of I_PCM macroblocks and flat Intra_16x16 macroblocks (DC
// prediction, one Intra16x16DCLevel coefficient, chroma DC only) in CAVLC
// slices, whose decoded samples before the deblocking filter the tests know:
// the plain model here computes them from clauses 8.3.3, 8.3.4, 8.5.10 and
// 8.5.11 with flat scaling. A frame or a field pair; every slice header and
// picture parameter set chosen by the test.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/bit_writer.h"
#include "support/parameter_set_writer.h"
#include "support/pcm_stream.h"

namespace istrel::test {

// Written with CAVLC tokens for nC 0: an Intra_16x16 macroblock has no
// I_PCM neighbour (left, above) in its own slice.
struct IntraMb {
  int qp = 26;              // QPY (Intra_16x16; mb_qp_delta is derived from it)
  int lumaLevel = 0;        // the one coefficient of Intra16x16DCLevel ...
  int chromaLevel[2] = {};  // the DC coefficient c[0] of Cb and of Cr
  int lumaScanIndex = 0;    // ... at scan index 0, 1 or 2
  bool pcm = false;
};

struct IntraSlice {
  int firstMb = 0;
  std::uint32_t disableIdc = 0;  // disable_deblocking_filter_idc
  std::int32_t alphaDiv2 = 0;    // slice_alpha_c0_offset_div2
  std::int32_t betaDiv2 = 0;     // slice_beta_offset_div2
};

struct IntraPicture {
  std::uint32_t ppsId = 0;
  std::vector<IntraSlice> slices;  // by firstMb, from 0
  std::vector<IntraMb> mbs;        // raster order
};

struct IntraStream {
  int widthInMbs = 2;
  int heightInMbs = 2;  // of each picture (of each field of a field pair)
  bool fields = false;
  int chromaFormat = 2;  // 1 or 2
  int bitDepth = 10;
  // chroma_qp_index_offset and second_chroma_qp_index_offset by pic_parameter_set_id.
  std::vector<std::vector<int>> chromaQpOffsets = {{0, 0}};
  std::vector<IntraPicture> pictures;  // a frame, or the top and then the bottom field

  int mbHeightC() const { return chromaFormat == 2 ? 16 : 8; }
  int qpBdOffset() const { return 6 * (bitDepth - 8); }
  int sliceOf(const IntraPicture& p, int mbAddr) const {
    int slice = 0;
    while (slice + 1 < static_cast<int>(p.slices.size()) && p.slices[slice + 1].firstMb <= mbAddr) {
      ++slice;
    }
    return slice;
  }
};

// The samples of a frame, plane 0 luma, 1 Cb, 2 Cr.
struct Planes {
  int width[3] = {};
  int height[3] = {};
  std::vector<int> samples[3];
  int& at(int plane, int x, int y) { return samples[plane][y * width[plane] + x]; }
};

// One picture of the frame: a field is every second row from its parity on.
struct PictureView {
  Planes* planes;
  int step;
  int parity;
  int& at(int plane, int x, int y) const { return planes->at(plane, x, y * step + parity); }
};

inline PictureView viewOf(const IntraStream& s, Planes& planes, int picture) {
  return s.fields ? PictureView{&planes, 2, picture} : PictureView{&planes, 1, 0};
}

// What an I_PCM macroblock carries at (x, y) of the frame: a gentle texture.
inline int pcmSample(const IntraStream& s, int plane, int x, int y) {
  return (100 + 20 * plane + (x * 5 + y * 3) % 11 + (x / 4 + y / 4) % 3) << (s.bitDepth - 8);
}

// QPC for QPY and a chroma offset (clause 8.5.8, Table 8-15).
inline int chromaQpFor(int qpY, int offset, int qpBdOffsetC) {
  static const int kQpc[22] = {29, 30, 31, 32, 32, 33, 34, 34, 35, 35, 36,
                               36, 37, 37, 37, 38, 38, 38, 39, 39, 39, 39};
  const int qPI = std::clamp(qpY + offset, -qpBdOffsetC, 51);
  return qPI < 30 ? qPI : kQpc[qPI - 30];
}

namespace intra_detail {

// A residual block of one coefficient `level` at scan index `index` (none
// when 0), in table 0 (4x4 blocks, nC 0), 1 (chroma DC 4:2:0) or 2 (chroma
// DC 4:2:2): coeff_token (Table 9-5), the level, total_zeros (Tables 9-7, 9-9).
inline void writeOneCoefficient(BitWriter& w, int table, int level, int index) {
  static const char* const kTokens[3][3] = {
      {"1", "01", "000101"}, {"01", "1", "000111"}, {"1", "01", "0001111"}};
  static const char* const kTotalZeros[3][3] = {
      {"1", "011", "010"}, {"1", "01", "001"}, {"1", "010", "011"}};
  const bool trailingOne = level == 1 || level == -1;
  w.code(kTokens[table][level == 0 ? 0 : trailingOne ? 1 : 2]);
  if (level == 0) return;
  if (trailingOne) {
    w.bit(level < 0);
  } else {
    // levelCode less the 2 added to a first level after fewer than three
    // trailing ones, with suffixLength 0 (clause 9.2.2.1).
    const int code = (level > 0 ? 2 * level - 2 : -2 * level - 1) - 2;
    if (code < 14) {
      w.bits(1, code + 1);
    } else if (code < 30) {
      w.bits(1, 15).bits(static_cast<std::uint32_t>(code - 14), 4);
    } else {
      w.bits(1, 16).bits(static_cast<std::uint32_t>(code - 30), 12);
    }
  }
  w.code(kTotalZeros[table][index]);
}

inline void writeMacroblock(const IntraStream& s, int picture, int mbAddr, int& qpPred,
                            BitWriter& w) {
  const IntraMb& mb = s.pictures[picture].mbs[mbAddr];
  const int mbX = mbAddr % s.widthInMbs, mbY = mbAddr / s.widthInMbs;
  if (mb.pcm) {
    w.ue(25);
    return writePcmMacroblock(w, s, s.mbHeightC(), mbX, mbY, s.fields ? 2 : 1,
                              s.fields ? picture : 0);
  }
  const bool chroma = mb.chromaLevel[0] || mb.chromaLevel[1];
  // I_16x16_2_x_0 (DC prediction), intra_chroma_pred_mode DC, mb_qp_delta
  // (the tests' QPs step by less than 26: no wrapping, clause 7.4.5).
  w.ue(chroma ? 7 : 3).ue(0).se(mb.qp - qpPred);
  qpPred = mb.qp;
  writeOneCoefficient(w, 0, mb.lumaLevel, mb.lumaScanIndex);
  if (chroma) {
    for (int c = 0; c < 2; ++c) writeOneCoefficient(w, s.chromaFormat, mb.chromaLevel[c], 0);
  }
}

}  // namespace intra_detail

inline Bytes intraAccessUnit(const IntraStream& s) {
  Bytes stream;
  appendNal(stream, kSpsNal,
            writeSps({.chroma_format_idc = static_cast<std::uint32_t>(s.chromaFormat),
                      .bitDepthMinus8 = static_cast<std::uint32_t>(s.bitDepth - 8),
                      .widthInMbsMinus1 = static_cast<std::uint32_t>(s.widthInMbs - 1),
                      .heightInMapUnitsMinus1 = static_cast<std::uint32_t>(s.heightInMbs - 1),
                      .frameMbsOnly = !s.fields}));
  for (std::size_t id = 0; id < s.chromaQpOffsets.size(); ++id) {
    appendNal(stream, kPpsNal,
              writePps({.id = static_cast<std::uint32_t>(id),
                        .chroma_qp_index_offset = s.chromaQpOffsets[id][0],
                        .second_chroma_qp_index_offset = s.chromaQpOffsets[id][1]}));
  }
  for (int picture = 0; picture < static_cast<int>(s.pictures.size()); ++picture) {
    const IntraPicture& p = s.pictures[picture];
    for (std::size_t i = 0; i < p.slices.size(); ++i) {
      const IntraSlice& slice = p.slices[i];
      BitWriter w;
      writeSliceHeader(w, {.firstMb = static_cast<std::uint32_t>(slice.firstMb),
                           .ppsId = p.ppsId,
                           .frameMbsOnly = !s.fields,
                           .structure = s.fields ? 1 + picture : 0,
                           .idr = picture == 0,
                           .disableDeblockingFilterIdc = slice.disableIdc,
                           .alphaOffsetDiv2 = slice.alphaDiv2,
                           .betaOffsetDiv2 = slice.betaDiv2});
      const int end =
          i + 1 < p.slices.size() ? p.slices[i + 1].firstMb : static_cast<int>(p.mbs.size());
      int qpPred = 26;
      for (int mb = slice.firstMb; mb < end; ++mb)
        intra_detail::writeMacroblock(s, picture, mb, qpPred, w);
      w.trailing();
      appendNal(stream, picture == 0 ? kIdrSliceNal : kSliceNal, w.bytes());
    }
  }
  return stream;
}

}  // namespace istrel::test
