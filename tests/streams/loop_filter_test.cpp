// The deblocking filter where x264's streams never take it: slices whose
// filter offsets differ, Cb and Cr offsets that differ, a field pair filtered
// in both fields, disable_deblocking_filter_idc 2 across slice edges, I_PCM
// beside filtered macroblocks. Streams of I_PCM and flat Intra_16x16
// macroblocks whose unfiltered samples are known (support/intra_model.h),
// decoded in the conformant mode and compared sample by sample with a plain
// filter written from clause 8.7 (support/reference_deblocking.h). Every case
// in 4:2:0 and 4:2:2, at 8 and 10 bits, at every kernel level here.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>

#include "api/frame_decoder.h"
#include "support/intra_model.h"
#include "support/reference_deblocking.h"

namespace istrel::test {
namespace {

using reference_deblocking::kBelow4;
using reference_deblocking::kStrong;
using reference_deblocking::kWeak;

const IntraMb kPcm{.pcm = true};

struct Scenario {
  const char* name;
  IntraStream stream;  // each case gives it its chroma format and bit depth
};

// Slices {first_mb_in_slice, disable_deblocking_filter_idc,
// slice_alpha_c0_offset_div2, slice_beta_offset_div2}; macroblocks {QPY,
// luma DC level, {Cb, Cr DC levels}, the luma level's scan index}.
const Scenario kScenarios[] = {
    // Slice 0 (macroblock 0) would leave its edges with slice 1 unfiltered
    // (FilterOffsetA -12); slice 1 filters them (+12), and its FilterOffsetB
    // (-12) still lets them through, which its FilterOffsetA would not.
    {"OffsetsOfQsSlice",
     {.pictures =
          {{0,
            {{0, 0, -6, 6}, {1, 0, 6, -6}},
            {{30, 20, {8, -8}}, {30, -20, {-8, 8}}, {32, 8, {6, 0}}, {28, -6, {0, 6}, 1}}}}}},
    // I_PCM (qP of QP'Y 0) beside Intra_16x16 at QP 51, in other slices.
    {"PcmBesideIntra16x16",
     {.pictures = {{0,
                    {{0, 0, 6, 6}, {1, 0, 6, 6}},
                    {kPcm, {51, -1, {-1, 1}}, {51, 1, {1, -1}}, {45, 3, {2, -2}, 2}}}}}},
    // One slice; chroma_qp_index_offset -6, second_chroma_qp_index_offset +6:
    // Cr's edges pass alpha where Cb's would not, and take larger tC0.
    {"CbAndCrOffsets",
     {.chromaQpOffsets = {{-6, 6}},
      .pictures = {{0,
                    {{0, 0, 0, 0}},
                    {{36, 6, {3, 9}}, {36, -4, {-2, -6}}, {38, 5, {4, 12}}, {34, 2, {-3, -8}}}}}}},
    // A field pair: each field its own slices and picture parameter set;
    // vertical macroblock edges bS 4, horizontal ones bS 3.
    {"FieldPair",
     {.fields = true,
      .chromaQpOffsets = {{0, 0}, {12, -12}},
      .pictures =
          {{0,
            {{0, 0, 2, 2}, {2, 0, 0, 0}},
            {{34, 10, {4, -4}}, {34, -10, {-4, 4}}, {36, 6, {2, 2}, 1}, {30, -8, {-2, 2}, 2}}},
           {1,
            {{0, 0, 4, 0}, {2, 0, 0, 1}},
            {{34, -12, {3, 3}}, {36, 8, {-3, -3}}, {32, 4, {-3, -3}, 2}, {38, -3, {3, 3}, 1}}}}}},
    // Slices of two macroblocks: the first two with
    // disable_deblocking_filter_idc 2 (their edges with the slice above
    // stay), the third with 0.
    {"DisableIdc2",
     {.heightInMbs = 3,
      .pictures = {{0,
                    {{0, 2, 3, 3}, {2, 2, 3, 3}, {4, 0, 3, 3}},
                    {{34, 10, {4, -4}},
                     {34, -6, {-4, 4}},
                     {36, -8, {4, 4}},
                     {32, 6, {-4, -4}, 1},
                     {30, 12, {5, -5}},
                     {34, -10, {-5, 5}}}}}}},
};

using Param = std::tuple<Scenario, int, int, H264::KernelLevel>;  // chroma format, bit depth

class LoopFilter : public testing::TestWithParam<Param> {
 protected:
  IntraStream make() const {
    IntraStream s = std::get<0>(GetParam()).stream;
    s.chromaFormat = std::get<1>(GetParam());
    s.bitDepth = std::get<2>(GetParam());
    return s;
  }
  // How many samples of the picture the conformant mode decodes differ from
  // `expected`, and the first of them; empty when none.
  std::string mismatches(const IntraStream& s, const Planes& expected) const {
    Bytes unit = intraAccessUnit(s), priming = unit;
    H264::FrameDecoder decoder(H264::DecodeMode::kConformant, std::get<3>(GetParam()));
    EXPECT_TRUE(decoder.prime(priming.data(), static_cast<int>(priming.size())));
    decoder.decodeFrame(unit.data(), static_cast<int>(unit.size()));
    EXPECT_EQ(decoder.errorFlags(), 0u);
    EXPECT_EQ(decoder.picture().lumaHeight(), static_cast<unsigned>(expected.height[0]));
    int count = 0;
    std::ostringstream first;
    for (int plane = 0; plane < 3; ++plane) {
      for (int y = 0; y < expected.height[plane]; ++y) {
        for (int x = 0; x < expected.width[plane]; ++x) {
          const int decoded = decoder.picture().plane(plane)[y * expected.width[plane] + x];
          const int wanted = expected.samples[plane][y * expected.width[plane] + x];
          if (decoded != wanted && count++ == 0) {
            first << "plane " << plane << " (" << x << ", " << y << "): " << decoded
                  << " instead of " << wanted;
          }
        }
      }
    }
    return count ? std::to_string(count) + " samples differ, the first at " + first.str() : "";
  }
};

TEST_P(LoopFilter, ConformantModeFiltersAsTheClauseSays) {
  const IntraStream s = make();
  const Planes unfiltered = unfilteredPicture(s);
  Planes expected = unfiltered;
  const unsigned paths = referenceDeblock(s, expected);
  EXPECT_EQ(paths, kStrong | kWeak | kBelow4) << "bS 4 strong and weak, and bS 3, all reached";
  for (int plane = 0; plane < 3; ++plane) {
    EXPECT_NE(expected.samples[plane], unfiltered.samples[plane])
        << "nothing filtered in " << plane;
  }
  EXPECT_EQ(mismatches(s, expected), "");
}

// The same stream with the filter off in every slice: the model's
// unfiltered picture, which the case above starts from.
TEST_P(LoopFilter, UnfilteredPictureIsTheModels) {
  IntraStream s = make();
  for (IntraPicture& picture : s.pictures) {
    for (IntraSlice& slice : picture.slices) slice.disableIdc = 1;
  }
  EXPECT_EQ(mismatches(s, unfilteredPicture(s)), "");
}

INSTANTIATE_TEST_SUITE_P(Streams, LoopFilter,
                         testing::Combine(testing::ValuesIn(kScenarios), testing::Values(1, 2),
                                          testing::Values(8, 10),
                                          testing::ValuesIn(H264::kernelLevelsHere())),
                         [](const testing::TestParamInfo<Param>& info) {
                           std::string name = std::get<0>(info.param).name;
                           name += std::get<1>(info.param) == 1 ? "_420_" : "_422_";
                           name += std::to_string(std::get<2>(info.param)) + "bit_";
                           name += H264::kernelLevelName(std::get<3>(info.param));
                           std::erase(name, '.');
                           return name;
                         });

}  // namespace
}  // namespace istrel::test
