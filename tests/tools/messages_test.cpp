// What `istrel` says when it is used wrongly: the word at fault and what
// would be right; --help for every command.
#include "tools/tool_support.h"

namespace istrel::test {
namespace {

struct MessageCase {
  std::vector<std::string> args;  // {in}: a stream, {dir}: a directory, {out}: a new file
  int status;
  std::vector<std::string> parts;  // of standard error, or of standard output when status is 0
};

void PrintTo(const MessageCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << arg << ' ';
}

class Messages : public testing::TestWithParam<MessageCase> {};

TEST_P(Messages, NameTheFaultAndTheRemedy) {
  const MessageCase& c = GetParam();
  std::vector<std::string> args;
  for (const std::string& arg : c.args) {
    if (arg == "{in}") args.push_back(writeStream("messages.264", pcmFrames(kSmall, 1)));
    if (arg == "{dir}") args.push_back(testing::TempDir());
    if (arg == "{out}") args.push_back(tempPath("OUT.Y4M"));
    if (arg.front() != '{') args.push_back(arg);
  }
  ToolRun run = runTool(args);
  EXPECT_EQ(run.status, c.status) << run.err;
  for (std::string part : c.parts) {
    if (part == "{dir}") part = testing::TempDir();
    EXPECT_NE((c.status ? run.err : run.out).find(part), std::string::npos) << part << " in\n"
                                                                            << run.err << run.out;
  }
}

const MessageCase kMessageCases[] = {
    {{"info", "--help"}, 0, {"usage: istrel info"}},
    {{"decode", "{in}", "--help"}, 0, {"usage: istrel decode"}},
    {{"bench", "--help"}, 0, {"usage: istrel bench"}},
    {{"info", "--stats"}, 2, {"no input file"}},
    {{"info", "{in}", "--fast"}, 2, {"unknown option '--fast'"}},
    {{"foo"}, 2, {"unknown command 'foo'"}},
    {{"decode", "{in}", "--threads", "-1"}, 2, {"--threads -1:", "1 to 256"}},
    {{"decode", "{in}", "--threads", "abc"}, 2, {"--threads abc:", "1 to 256"}},
    {{"bench", "{in}", "--threads", "0"}, 2, {"--threads 0:", "1 to 256"}},
    {{"decode", "{in}", "--frames", "-3"}, 2, {"--frames -3:", "0 or more"}},
    {{"bench", "{in}", "--seconds", "x"}, 2, {"--seconds x:"}},
    {{"decode", "{in}", "-o"}, 2, {"-o needs", ".y4m, .yuv or .v210"}},
    {{"decode", "{in}", "-o", "a.y4m", "--output", "b.y4m"}, 2, {"--output", "once"}},
    {{"decode", "{in}", "--md5", "--md5"}, 2, {"--md5", "once"}},
    {{"decode", "{in}", "{in}"}, 2, {"more than one input file"}},
    {{"decode", "{in}", "-o", "out.mp4"}, 2, {"-o out.mp4: ", ".y4m, .yuv or .v210"}},
    {{"decode", "{in}", "-o", "{out}"}, 0, {}},
    {{"decode", "{dir}"}, 1, {"{dir}", "directory"}},
    {{"info", "{dir}"}, 1, {"{dir}", "directory"}},
};

INSTANTIATE_TEST_SUITE_P(CommandLines, Messages, testing::ValuesIn(kMessageCases));

}  // namespace
}  // namespace istrel::test
