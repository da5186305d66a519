// `istrel info`: each format of a stream with its frames, frames counted
// whole, the loop-filter fields of the slices.
#include "tools/tool_support.h"

namespace istrel::test {
namespace {

struct InfoCase {
  const char* name;
  Bytes (*stream)();
  std::vector<std::string> lines;  // parts of the output, in this order
};

class Info : public testing::TestWithParam<InfoCase> {};

TEST_P(Info, DescribesTheStream) {
  const InfoCase& c = GetParam();
  ToolRun run = runTool({"info", writeStream(std::string(c.name) + ".264", c.stream())});
  EXPECT_EQ(run.status, 0) << run.err;
  std::size_t at = 0;
  for (const std::string& line : c.lines) {
    at = run.out.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << " in\n" << run.out;
  }
}

const InfoCase kInfoCases[] = {
    {"FormatChange",
     formatChange,
     {"frames:           4", "frames 0-1:       64x64 4:2:2 10-bit", "cropped size:     64x64",
      "frames 2-3:       128x32 4:2:0 8-bit", "cropped size:     128x32"}},
    {"FieldPairs",
     [] { return pcmFrames(kTopFirst, 2); },
     {"frames:           2", "2 field pairs", "slices per frame: 4"}},
    {"Filtered",
     [] { return pcmFrames(kFiltered, 1); },
     {"disable_deblocking_filter_idc 0", "slice_alpha_c0_offset_div2 -2",
      "slice_beta_offset_div2 3"}},
    {"Unfiltered",
     [] { return pcmFrames(kSmall, 1); },
     {"loop filter:      disable_deblocking_filter_idc 1"}},
};

INSTANTIATE_TEST_SUITE_P(Pcm, Info, testing::ValuesIn(kInfoCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace istrel::test
