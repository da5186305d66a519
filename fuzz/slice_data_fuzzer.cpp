// Decodes the input as the slice data of one slice behind fixed, valid
// parameter sets of a 64x64 picture, so that nearly every input reaches the
// macroblock layer (and, in conformant mode, the deblocking filter).
//
// Input: four configuration bytes, then the slice data (for CAVLC it follows
// the slice header bit by bit, for CABAC from the byte boundary after
// cabac_alignment_one_bit). The configuration bytes, in order:
//   0: bit 0 CABAC, bits 1-2 chroma_format_idc, bits 3-4 bit depth (8, 9, 10,
//      14), bits 5-6 structure (frame, MBAFF frame, top field, bottom field),
//      bit 7 transform_8x8_mode_flag;
//   1: bit 0 qpprime_y_zero_transform_bypass_flag, bit 1 scaling lists in the
//      SPS, bit 2 in the PPS, bit 3 constrained_intra_pred_flag, bit 4 IDR,
//      bit 5 the conformant decoding mode, bit 6 separate_colour_plane_flag
//      (4:4:4 only), bit 7 deblocking_filter_control_present_flag (then
//      disable_deblocking_filter_idc 1);
//   2: SliceQPY + QpBdOffsetY, modulo the legal range;
//   3: bits 0-3 first_mb_in_slice, bits 4-5 colour_plane_id, bits 6-7
//      chroma_qp_index_offset (0, -12, 12, 5).
// fuzz/make_seeds.cpp writes them for the first slice of each test vector.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/h264_decoder.h"
#include "support/parameter_set_writer.h"

using namespace istrel::test;

namespace {

constexpr unsigned kBytes = 4, kWidthInMbs = 4, kHeightInMbs = 4;

struct Config {
  const std::uint8_t* b;
  // `count` bits of byte `i` from bit `shift` on.
  unsigned bits(int i, int shift, int count = 1) const {
    return (b[i] >> shift) & ((1u << count) - 1);
  }
  bool flag(int i, int shift) const { return bits(i, shift); }
  unsigned chromaFormat() const { return bits(0, 1, 2); }
  unsigned bitDepth() const { return std::array{8u, 9u, 10u, 14u}[bits(0, 3, 2)]; }
  unsigned structure() const { return bits(0, 5, 2); }
  bool frameMbsOnly() const { return structure() == 0; }
  bool separatePlanes() const { return chromaFormat() == 3 && flag(1, 6); }
  int chromaQpOffset() const { return std::array{0, -12, 12, 5}[bits(3, 6, 2)]; }
};

// `count` scaling lists whose entries differ from the flat 16 and from each
// other; every third list is absent (fall-back rule) and list 4 asks for the
// default. None unless `present`.
std::function<void(BitWriter&)> scalingLists(bool present, int count) {
  if (!present) return {};
  return [count](BitWriter& w) {
    for (int i = 0; i < count; ++i) {
      w.flag(i % 3 != 2);
      if (i % 3 == 2) continue;
      w.se(i == 4 ? -8 : 4 + i);  // nextScale 0 for list 4: the default list
      for (int j = 1; j < (i < 6 ? 16 : 64) && i != 4; ++j) w.se(1);
    }
  };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kBytes || size > (1u << 20)) return 0;
  const Config c{data};
  const int qpBdOffset = 6 * static_cast<int>(c.bitDepth() - 8);
  const bool idr = c.flag(1, 4);

  // Four-byte start codes, emulation prevention as an encoder inserts it.
  Bytes parameterSets;
  appendNal(parameterSets, kSpsNal,
            writeSps({.profile_idc = 244,
                      .chroma_format_idc = c.chromaFormat(),
                      .separateColourPlanes = c.separatePlanes(),
                      .bitDepthMinus8 = c.bitDepth() - 8,
                      .transformBypass = c.flag(1, 0),
                      .scalingMatrix = scalingLists(c.flag(1, 1), c.chromaFormat() == 3 ? 12 : 8),
                      .widthInMbsMinus1 = kWidthInMbs - 1,
                      .heightInMapUnitsMinus1 = kHeightInMbs / (c.frameMbsOnly() ? 1 : 2) - 1,
                      .frameMbsOnly = c.frameMbsOnly(),
                      .mbaff = c.structure() == 1}),
            true, true);
  const int ppsLists = 6 + (c.flag(0, 7) ? (c.chromaFormat() == 3 ? 6 : 2) : 0);
  appendNal(parameterSets, kPpsNal,
            writePps({.cabac = c.flag(0, 0),
                      .chroma_qp_index_offset = c.chromaQpOffset(),
                      .deblockingControl = c.flag(1, 7),
                      .constrainedIntraPred = c.flag(1, 3),
                      .transform8x8 = c.flag(0, 7),
                      .scalingMatrix = scalingLists(c.flag(1, 2), ppsLists),
                      .second_chroma_qp_index_offset = -c.chromaQpOffset() / 2}),
            true, true);

  H264::H264Decoder decoder(c.flag(1, 5) ? H264::DecodeMode::kConformant
                                         : H264::DecodeMode::kCompatible);
  try {
    decoder.readParameterSets(parameterSets.data(), static_cast<int>(parameterSets.size()));
    decoder.allocatePicture();
  } catch (int) {
    return 0;  // a combination the decoder does not support
  }

  // In an MBAFF frame the address counts pairs; a field has half the rows.
  BitWriter slice;
  writeSliceHeader(
      slice,
      {.firstMb = c.bits(3, 0, 4) % (kWidthInMbs * kHeightInMbs / (c.structure() ? 2 : 1)),
       .frameMbsOnly = c.frameMbsOnly(),
       .structure = c.structure() < 2 ? 0 : static_cast<int>(c.structure()) - 1,
       .idr = idr,
       .colourPlaneId = c.separatePlanes() ? std::optional(c.bits(3, 4, 2) % 3) : std::nullopt,
       .sliceQpDelta = data[2] % (52 + qpBdOffset) - qpBdOffset - 26,
       .disableDeblockingFilterIdc = c.flag(1, 7) ? std::optional(1u) : std::nullopt});
  if (c.flag(0, 0)) slice.alignWithOnes();
  for (std::size_t i = kBytes; i < size; ++i) slice.bits(data[i], 8);
  std::vector<std::uint8_t> payload = slice.bytes();  // no slack past its end
  decoder.beginFrame(1);
  decoder.decodeSlice(payload.data(), 0, static_cast<unsigned>(payload.size()), 3,
                      idr ? H264::kNalIdrSlice : H264::kNalNonIdrSlice);
  // Conformant mode: the deblocking filter over whatever the slice decoded,
  // all its rows in this one task.
  if (decoder.beginDeblocking() > 0) decoder.deblockTask();
  return 0;
}
