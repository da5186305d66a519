// A frame handed over as a field pair, every macroblock I_PCM: each field's
// slices land on its own rows and stay within its own field.
#include <gtest/gtest.h>

#include "api/frame_decoder.h"
#include "istrel/istrel.h"
#include "support/pcm_stream.h"

namespace istrel::test {
namespace {

struct Case {
  const char* name;
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
  ASSERT_EQ(decoder.picture().lumaHeight(), 64u);
  EXPECT_EQ(pcmMismatches(decoder.picture(), s), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pcm, FieldPairs,
    testing::Values(Case{"CavlcCompatible", false, H264::DecodeMode::kCompatible},
                    Case{"CabacCompatible", true, H264::DecodeMode::kCompatible},
                    Case{"CavlcConformant", false, H264::DecodeMode::kConformant},
                    Case{"CabacConformant", true, H264::DecodeMode::kConformant}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace istrel::test
