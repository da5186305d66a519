// Access units made only of I_PCM macroblocks, so that the decoded picture is
// known sample by sample: a frame, or a field pair (a top field and then a
// bottom field, or the other way round, each in its own slices), in CAVLC or
// CABAC slices.
#pragma once

#include <cstdint>
#include <vector>

#include "support/bit_writer.h"
#include "support/cabac_writer.h"
#include "support/parameter_set_writer.h"

namespace istrel::test {

struct PcmStream {
  bool cabac = false;
  bool fields = false;  // a field pair instead of a frame
  bool bottomFieldFirst = false;
  int widthInMbs = 4;        // 64 samples
  int frameHeightInMbs = 4;  // 64 rows of the frame
  int slicesPerPicture = 2;  // per frame, or per field
  int chromaFormat = 2;      // 1 or 2
  int bitDepth = 10;
  std::uint32_t spsId = 0;
  std::uint32_t profileIdc = 122;
  std::uint32_t constraintByte = 0x10;  // constraint_set3_flag
  // The loop-filter fields of every slice header (I_PCM samples are never
  // filtered, whatever they say).
  std::uint32_t disableDeblockingFilterIdc = 1;
  std::int32_t alphaOffsetDiv2 = 0;
  std::int32_t betaOffsetDiv2 = 0;
};

// The sample the stream codes at (x, y) of plane 0 (luma), 1 or 2 of the frame.
inline std::uint16_t pcmSample(const PcmStream& s, int plane, int x, int y) {
  const int multipliers[3][2] = {{7, 13}, {5, 3}, {11, 2}};
  const int value = multipliers[plane][0] * x + multipliers[plane][1] * y + 300 * plane + 17;
  return static_cast<std::uint16_t>(value % (1 << s.bitDepth));
}

// An I_PCM macroblock of stream `s` after its mb_type: pcm_alignment_zero_bits,
// then the samples pcmSample(s, ...) gives for macroblock (mbX, mbY) of a
// picture whose rows are every `step`-th frame row from `parity` on.
template <typename Stream>
void writePcmMacroblock(BitWriter& w, const Stream& s, int mbHeightC, int mbX, int mbY, int step,
                        int parity) {
  while (w.bitCount() % 8) w.bit(0);
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane ? 8 : 16, height = plane ? mbHeightC : 16;
    for (int y = 0; y < height; ++y) {
      const int frameRow = (mbY * height + y) * step + parity;
      for (int x = 0; x < width; ++x) {
        w.bits(static_cast<std::uint32_t>(pcmSample(s, plane, mbX * width + x, frameRow)),
               s.bitDepth);
      }
    }
  }
}

namespace pcm_detail {

// One slice of macroblocks [first, end) of a picture `widthInMbs` wide:
// structure 0 a frame, 1 a top field, 2 a bottom field; the first picture of
// the unit is an IDR picture.
inline Bytes slice(const PcmStream& s, int first, int end, int structure, bool idr) {
  const int step = structure ? 2 : 1, parity = structure == 2 ? 1 : 0;
  BitWriter w;
  writeSliceHeader(w, {.firstMb = static_cast<std::uint32_t>(first),
                       .frameMbsOnly = !s.fields,
                       .structure = structure,
                       .idr = idr,
                       .disableDeblockingFilterIdc = s.disableDeblockingFilterIdc,
                       .alphaOffsetDiv2 = s.alphaOffsetDiv2,
                       .betaOffsetDiv2 = s.betaOffsetDiv2});
  std::vector<H264::ContextVariable> contexts(H264::kContextCount);
  H264::initCabacContexts(contexts.data(), 26);
  if (s.cabac) w.alignWithOnes();
  for (int mb = first; mb < end; ++mb) {
    const int x = mb % s.widthInMbs;
    if (s.cabac) {
      // mb_type I_PCM: bin 0 with condTermFlagA + condTermFlagB (I_PCM
      // neighbours count), then the terminating bin; end_of_slice_flag 0
      // before every macroblock but the first.
      const int inc = (x > 0 && mb - 1 >= first) + (mb - s.widthInMbs >= first);
      CabacWriter cabac(w);
      if (mb > first) cabac.terminate(0);
      cabac.decision(contexts[3 + inc], 1);
      cabac.terminate(1);
    } else {
      w.ue(25);
    }
    writePcmMacroblock(w, s, s.chromaFormat == 2 ? 16 : 8, x, mb / s.widthInMbs, step, parity);
  }
  if (s.cabac) {
    CabacWriter(w).terminate(1);  // end_of_slice_flag, then the stop bit
  } else {
    w.trailing();
  }
  return w.bytes();
}

}  // namespace pcm_detail

// The sequence and picture parameter sets of the stream.
inline Bytes pcmParameterSets(const PcmStream& s) {
  Bytes stream;
  const int heightInMapUnits = s.frameHeightInMbs / (s.fields ? 2 : 1);
  appendNal(stream, kSpsNal,
            writeSps({.profile_idc = s.profileIdc,
                      .constraintByte = s.constraintByte,
                      .id = s.spsId,
                      .chroma_format_idc = static_cast<std::uint32_t>(s.chromaFormat),
                      .bitDepthMinus8 = static_cast<std::uint32_t>(s.bitDepth - 8),
                      .widthInMbsMinus1 = static_cast<std::uint32_t>(s.widthInMbs - 1),
                      .heightInMapUnitsMinus1 = static_cast<std::uint32_t>(heightInMapUnits - 1),
                      .frameMbsOnly = !s.fields}));
  appendNal(stream, kPpsNal, writePps({.spsId = s.spsId, .cabac = s.cabac}));
  return stream;
}

inline Bytes pcmAccessUnit(const PcmStream& s) {
  Bytes stream = pcmParameterSets(s);
  const int mbs = s.widthInMbs * s.frameHeightInMbs / (s.fields ? 2 : 1);
  std::vector<int> structures{0};
  if (s.fields) structures = s.bottomFieldFirst ? std::vector<int>{2, 1} : std::vector<int>{1, 2};
  for (int structure : structures) {
    const bool idr = structure == structures.front();
    for (int i = 0; i < s.slicesPerPicture; ++i) {
      const int first = mbs * i / s.slicesPerPicture, end = mbs * (i + 1) / s.slicesPerPicture;
      appendNal(stream, idr ? kIdrSliceNal : kSliceNal,
                pcm_detail::slice(s, first, end, structure, idr));
    }
  }
  return stream;
}

// How many samples of `picture`, a frame of the size `s` codes, differ from
// what `s` codes.
template <typename Picture>
int pcmMismatches(const Picture& picture, const PcmStream& s) {
  int mismatches = 0;
  for (int plane = 0; plane < 3; ++plane) {
    const int width = 16 * s.widthInMbs / (plane ? 2 : 1);
    const int height = 16 * s.frameHeightInMbs / (plane && s.chromaFormat == 1 ? 2 : 1);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        mismatches += picture.plane(plane)[y * width + x] != pcmSample(s, plane, x, y);
      }
    }
  }
  return mismatches;
}

}  // namespace istrel::test
