// The progress line of `istrel decode` on a terminal: whatever else is
// printed, on either stream, starts on a cleared line.
#include "istrel/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace istrel::tools {
namespace {

TEST(ProgressLine, ClearedBeforeAnythingElseIsPrinted) {
  std::ostringstream console;  // standard output and error on one terminal
  {
    ProgressLine progress(console, console, 3, true);
    progress.update(1);
    progress.out() << "0 md5\n";
    progress.update(2);
    progress.err() << "istrel: note\n";
    progress.finish(3);
  }
  // The line is drawn at once, then redrawn at most ten times a second.
  const std::string text = console.str();
  EXPECT_EQ(text.rfind("\rDecoded 1/3 frames (33%) - ", 0), 0u) << text;
  for (const char* line : {"0 md5\n", "istrel: note\n", "Decoded 3/3 frames - "}) {
    const std::size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos) << line;
    EXPECT_TRUE(text[at - 1] == '\r' || text[at - 1] == '\n') << text.substr(0, at);
  }
  EXPECT_EQ(text.substr(text.find('\r', 1), 4), "\r   ") << "the line cleared";
}

TEST(ProgressLine, OnlyTheSummaryWhenNotOnATerminal) {
  std::ostringstream out, err;
  ProgressLine progress(out, err, 3, false);
  progress.update(1);
  progress.out() << "0 md5\n";
  progress.finish(3);
  EXPECT_EQ(out.str(), "0 md5\n");
  EXPECT_EQ(err.str().rfind("Decoded 3/3 frames - ", 0), 0u) << err.str();
  EXPECT_EQ(err.str().find('\n'), err.str().size() - 1) << err.str();
}

}  // namespace
}  // namespace istrel::tools
