// `istrel decode --md5`: one line per frame of the stream, each frame decoded
// whole.
#include "tools/tool_support.h"

namespace istrel::test {
namespace {

struct Md5Case {
  const char* name;
  Bytes (*stream)();
  std::vector<PcmStream> frames;  // what each decoded frame shows
  bool conformant;
};

class DecodeMd5 : public testing::TestWithParam<Md5Case> {};

TEST_P(DecodeMd5, PrintsTheFramesOfTheStream) {
  const Md5Case& c = GetParam();
  std::vector<std::string> args{"decode", writeStream(c.name, c.stream()), "--md5"};
  if (c.conformant) args.push_back("--conformant");
  ToolRun run = runTool(args);
  std::string expected;
  for (std::size_t i = 0; i < c.frames.size(); ++i) expected += pcmMd5Line(c.frames[i], i) + "\n";
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected) << run.err;
}

// Both fields of a pair make one frame, as the host hands it over; after a
// change of format the frames show the new one, on the exported path too;
// --conformant decodes sets of any id and every slice.
const Md5Case kMd5Cases[] = {
    {"FormatChange", formatChange, {kSmall, kSmall, kWide, kWide}, false},
    {"FormatChangeConformant", formatChange, {kSmall, kSmall, kWide, kWide}, true},
    {"FieldPairs", [] { return pcmFrames(kTopFirst, 2); }, {kTopFirst, kTopFirst}, false},
    {"FieldPairsConformant", [] { return pcmFrames(kTopFirst, 2); }, {kTopFirst, kTopFirst}, true},
    {"BottomFieldFirst",
     [] { return pcmFrames(kBottomFirst, 2); },
     {kBottomFirst, kBottomFirst},
     false},
    {"SetOneConformant", [] { return pcmFrames(kSetOne, 2); }, {kSetOne, kSetOne}, true},
    {"TwelveSlicesConformant", [] { return pcmFrames(kTwelveSlices, 1); }, {kTwelveSlices}, true},
};

INSTANTIATE_TEST_SUITE_P(Pcm, DecodeMd5, testing::ValuesIn(kMd5Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// A frame whose slices cannot be read leaves the picture as it was, shown as
// it was, whatever size its parameter sets announce.
TEST(Decode, UnreadableFrameShowsThePictureBefore) {
  ToolRun run = runTool({"decode", writeStream("unreadable.264", unreadableFrameOfNewFormat()),
                         "--md5", "--conformant"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, pcmMd5Line(kSmall, 0) + "\n" + pcmMd5Line(kSmall, 1) + "\n" +
                         pcmMd5Line(kSmall, 2) + "\n");
  EXPECT_NE(run.err.find("frame 1: "), std::string::npos) << run.err;
  // Standard error is no terminal here: no progress, no empty lines, one
  // summary line.
  EXPECT_EQ(run.err.find("\n\n"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find_first_of("\r\n"), run.err.find('\n')) << run.err;
  EXPECT_EQ(run.err.find("Decoded"), run.err.rfind("Decoded")) << run.err;
}

struct OutputCase {
  const char* extension;
  bool conformant;
};

class FormatChangeOutput : public testing::TestWithParam<OutputCase> {};

// A file holds one format: decoding stops at the change, after writing the
// frames before it, and says where and between which formats.
TEST_P(FormatChangeOutput, StopsAtTheChange) {
  const OutputCase& c = GetParam();
  const std::string output = tempPath(std::string("change.") + c.extension);
  std::vector<std::string> args{"decode", writeStream("change.264", formatChange()), "-o", output};
  if (c.conformant) args.push_back("--conformant");
  ToolRun run = runTool(args);
  EXPECT_EQ(run.status, 1);
  for (const char* part : {"frame 2", "64x64 4:2:2 10-bit", "128x32 4:2:0 8-bit"}) {
    EXPECT_NE(run.err.find(part), std::string::npos) << part << " in " << run.err;
  }
  // 64x64 4:2:2 10-bit: 16384 bytes a frame as planes, and as v210 (64 rows of 256 bytes).
  const std::string written = readAll(output);
  const std::size_t y4mHeaders =
      c.extension == std::string("y4m") ? written.find('\n') + 1 + 2 * 6 : 0;
  EXPECT_EQ(written.size(), y4mHeaders + 2 * 16384);
}

INSTANTIATE_TEST_SUITE_P(Files, FormatChangeOutput,
                         testing::Values(OutputCase{"yuv", false}, OutputCase{"y4m", true},
                                         OutputCase{"v210", false}),
                         [](const auto& info) { return std::string(info.param.extension); });

}  // namespace
}  // namespace istrel::test
