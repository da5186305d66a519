// `istrel decode` on the host's path: what the host's decoding leaves out
// is said once, with --conformant as the way to decode the stream whole.
#include "tools/tool_support.h"

namespace istrel::test {
namespace {

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct NoteCase {
  const char* name;
  Bytes (*stream)();
  bool conformant;
  int status;
  std::vector<std::string> note;  // parts of the one note expected; none when empty
};

class HostNotes : public testing::TestWithParam<NoteCase> {};

TEST_P(HostNotes, SayOnceWhatTheHostLeavesOut) {
  const NoteCase& c = GetParam();
  std::vector<std::string> args{"decode", writeStream(std::string(c.name) + ".264", c.stream())};
  if (c.conformant) args.push_back("--conformant");
  ToolRun run = runTool(args);
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_EQ(count(run.err, "--conformant"), c.note.empty() ? 0u : 1u) << run.err;
  for (const std::string& part : c.note)
    EXPECT_NE(run.err.find(part), std::string::npos) << run.err;
}

const NoteCase kNoteCases[] = {
    {"Filtered", [] { return pcmFrames(kFiltered, 2); }, false, 0, {"loop filter"}},
    {"FilteredConformant", [] { return pcmFrames(kFiltered, 2); }, true, 0, {}},
    {"TwelveSlices", [] { return pcmFrames(kTwelveSlices, 2); }, false, 0, {"12 slices"}},
    {"TwelveSlicesConformant", [] { return pcmFrames(kTwelveSlices, 2); }, true, 0, {}},
    {"SetOne", [] { return pcmFrames(kSetOne, 2); }, false, 1, {"sequence parameter set 0"}},
    {"Unfiltered", [] { return pcmFrames(kSmall, 2); }, false, 0, {}},
};

INSTANTIATE_TEST_SUITE_P(Pcm, HostNotes, testing::ValuesIn(kNoteCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace istrel::test
