// The y4m header of `istrel decode -o OUT.y4m`: frame rate, field order and
// sample aspect ratio as the stream states them.
#include "tools/tool_support.h"

namespace istrel::test {
namespace {

struct Y4mCase {
  const char* name;
  Bytes (*stream)();
  const char* vector;  // a committed test vector instead of `stream`
  const char* header;
};

class Y4mHeader : public testing::TestWithParam<Y4mCase> {};

TEST_P(Y4mHeader, SaysWhatTheStreamSays) {
  const Y4mCase& c = GetParam();
  const std::string input = c.vector ? std::string(ISTREL_VECTOR_DIR) + "/" + c.vector + ".264"
                                     : writeStream(std::string(c.name) + ".264", c.stream());
  const std::string output = tempPath(std::string(c.name) + ".y4m");
  ToolRun run = runTool({"decode", input, "-o", output, "--frames", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string written = readAll(output);
  EXPECT_EQ(written.substr(0, written.find('\n')), c.header);
}

// Without timing information 25 frames per second; without an aspect ratio
// 0:0, unknown. MBAFF frames are taken as top field first.
const Y4mCase kY4mCases[] = {
    {"NoVui", [] { return pcmFrames(kSmall, 1); }, nullptr,
     "YUV4MPEG2 W64 H64 F25:1 Ip A0:0 C422p10"},
    {"TopFieldFirst", [] { return pcmFrames(kTopFirst, 1); }, nullptr,
     "YUV4MPEG2 W64 H64 F25:1 It A0:0 C422p10"},
    {"BottomFieldFirst", [] { return pcmFrames(kBottomFirst, 1); }, nullptr,
     "YUV4MPEG2 W64 H64 F25:1 Ib A0:0 C422p10"},
    {"Mbaff", nullptr, "mbaff_cavlc_420_8bit", "YUV4MPEG2 W176 H144 F25:1 It A0:0 C420jpeg"},
    {"AspectRatio", nullptr, "avci50_720p_420_10bit", "YUV4MPEG2 W960 H720 F50:1 Ip A4:3 C420p10"},
};

INSTANTIATE_TEST_SUITE_P(Streams, Y4mHeader, testing::ValuesIn(kY4mCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace istrel::test
