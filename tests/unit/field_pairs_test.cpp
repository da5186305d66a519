// A frame handed over as a field pair, every macroblock I_PCM: each field's
// slices land on its own rows and stay within its own field.
#include <gtest/gtest.h>

#include "api/frame_decoder.h"
#include "istrel/istrel.h"
#include "support/pcm_stream.h"

namespace istrel::test {
namespace {

struct Case {
  bool cabac;
  H264::DecodeMode mode;
};

class FieldPairs : public testing::TestWithParam<Case> {};

TEST_P(FieldPairs, DecodeBothFieldsOfTheFrame) {
  PcmStream s;
  s.cabac = GetParam().cabac;
  s.fields = true;
  const Bytes unit = pcmAccessUnit(s);
  H264::FrameDecoder decoder(GetParam().mode);
  Bytes priming = unit, frame = unit;
  ASSERT_TRUE(decoder.prime(priming.data(), static_cast<int>(priming.size())));
  decoder.decodeFrame(frame.data(), static_cast<int>(frame.size()));
  EXPECT_EQ(decoder.errorFlags(), 0u);
  EXPECT_EQ(decoder.lastFrame().slicesDecoded, 4u);
  const H264::Picture<unsigned short>& picture = decoder.picture();
  ASSERT_EQ(picture.lumaHeight(), 64u);
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane ? 32 : 64;
    const unsigned short* samples = picture.plane(plane);
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(samples[y * width + x], pcmSample(s, plane, x, y))
            << "plane " << plane << " x " << x << " y " << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pcm, FieldPairs,
                         testing::Values(Case{false, H264::DecodeMode::kCompatible},
                                         Case{true, H264::DecodeMode::kCompatible},
                                         Case{false, H264::DecodeMode::kConformant},
                                         Case{true, H264::DecodeMode::kConformant}),
                         [](const testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.cabac ? "Cabac" : "Cavlc") +
                                  (info.param.mode == H264::DecodeMode::kConformant ? "Conformant"
                                                                                    : "Compatible");
                         });

}  // namespace
}  // namespace istrel::test
