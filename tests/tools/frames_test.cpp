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

// Both fields of a pair make one frame, as the host hands it over.
const Md5Case kMd5Cases[] = {
    {"FieldPairs", [] { return pcmFrames(kTopFirst, 2); }, {kTopFirst, kTopFirst}, false},
    {"FieldPairsConformant", [] { return pcmFrames(kTopFirst, 2); }, {kTopFirst, kTopFirst}, true},
    {"BottomFieldFirst",
     [] { return pcmFrames(kBottomFirst, 2); },
     {kBottomFirst, kBottomFirst},
     false},
};

INSTANTIATE_TEST_SUITE_P(Pcm, DecodeMd5, testing::ValuesIn(kMd5Cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace istrel::test
