// The `istrel` command run as a function on streams the tests write: what it
// prints, writes and says.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/picture_view.h"
#include "istrel/command_line.h"
#include "istrel/progress_line.h"
#include "istrel/version.h"
#include "support/pcm_stream.h"
#include "support/processor.h"

namespace istrel::test {
namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

ToolRun runTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = tools::runIstrel(args, out, err);
  return {status, out.str(), err.str()};
}

// A file under the test's temporary directory, of this test alone: ctest runs
// the cases of one suite at the same time.
std::string tempPath(const std::string& name) {
  std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
  std::replace(test.begin(), test.end(), '/', '_');
  return testing::TempDir() + "istrel_tool_" + test + "_" + name;
}

std::string writeStream(const std::string& name, const Bytes& bytes) {
  std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The access units of `frames`, one after the other.
Bytes pcmFrames(const std::vector<PcmStream>& frames) {
  Bytes stream;
  for (const PcmStream& s : frames) {
    Bytes unit = pcmAccessUnit(s);
    stream.insert(stream.end(), unit.begin(), unit.end());
  }
  return stream;
}

// The `istrel decode --md5` line of frame `index` when it shows the frame `s` codes.
std::string pcmMd5Line(const PcmStream& s, std::size_t index) {
  std::vector<std::uint16_t> planes[3];
  tools::PictureView view{};
  view.chromaFormat = s.chromaFormat;
  for (int p = 0; p < 3; ++p) {
    view.stride[p] = view.width[p] = 16 * s.widthInMbs / (p ? 2 : 1);
    view.height[p] = 16 * s.frameHeightInMbs / (p && s.chromaFormat == 1 ? 2 : 1);
    view.bitDepth[p] = s.bitDepth;
    for (int y = 0; y < view.height[p]; ++y)
      for (int x = 0; x < view.width[p]; ++x) planes[p].push_back(pcmSample(s, p, x, y));
    view.plane[p] = planes[p].data();
  }
  return tools::md5Line(index, view);
}

// 64x64 4:2:2 10-bit, and 128x32 4:2:0 8-bit: two formats a stream may switch between.
const PcmStream kSmall{};
const PcmStream kWide{.widthInMbs = 8, .frameHeightInMbs = 2, .chromaFormat = 1, .bitDepth = 8};
const PcmStream kTopFirst{.fields = true};
const PcmStream kBottomFirst{.cabac = true, .fields = true, .bottomFieldFirst = true};
const PcmStream kSetOne{.spsId = 1};
const PcmStream kTwelveSlices{.slicesPerPicture = 12};
const PcmStream kFiltered{
    .disableDeblockingFilterIdc = 0, .alphaOffsetDiv2 = -2, .betaOffsetDiv2 = 3};
const std::vector<PcmStream> kFormatChange{kSmall, kSmall, kWide, kWide};

// A frame, then the parameter sets of a larger format with a slice that
// cannot be read, then the first frame again.
Bytes unreadableFrameOfNewFormat() {
  Bytes stream = pcmAccessUnit(kSmall);
  SpsFields sps;
  sps.widthInMbsMinus1 = 15;
  sps.heightInMapUnitsMinus1 = 15;
  appendNal(stream, kSpsNal, writeSps(sps));
  appendNal(stream, kPpsNal, writePps(PpsFields{}));
  appendNal(stream, kIdrSliceNal, {0x80});
  Bytes again = pcmAccessUnit(kSmall);
  stream.insert(stream.end(), again.begin(), again.end());
  return stream;
}

// `istrel decode --md5`: one line per frame of the stream, each frame decoded
// whole.
struct Md5Case {
  const char* name;
  std::vector<PcmStream> frames;  // the stream's frames, each showing what it codes
  bool conformant;
};

class DecodeMd5 : public testing::TestWithParam<Md5Case> {};

TEST_P(DecodeMd5, PrintsTheFramesOfTheStream) {
  const Md5Case& c = GetParam();
  std::vector<std::string> args{"decode", writeStream(c.name, pcmFrames(c.frames)), "--md5"};
  if (c.conformant) args.push_back("--conformant");
  ToolRun run = runTool(args);
  std::string expected;
  for (std::size_t i = 0; i < c.frames.size(); ++i) expected += pcmMd5Line(c.frames[i], i) + "\n";
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected) << run.err;
}

// Both fields of a pair make one frame, as the host hands it over; after a
// change of format the frames show the new one, on the exported path and
// with --conformant.
const Md5Case kMd5Cases[] = {
    {"FormatChange", kFormatChange, false},
    {"FormatChangeConformant", kFormatChange, true},
    {"FieldPairs", {kTopFirst, kTopFirst}, false},
    {"BottomFieldFirst", {kBottomFirst, kBottomFirst}, false},
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
  EXPECT_EQ(run.err.find('\r'), std::string::npos) << run.err;
  const std::size_t summary = run.err.rfind("\nDecoded 3/3 frames - ");
  ASSERT_NE(summary, std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Decoded"), summary + 1) << run.err;
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
  std::vector<std::string> args{"decode", writeStream("change.264", pcmFrames(kFormatChange)), "-o",
                                output};
  if (c.conformant) args.push_back("--conformant");
  ToolRun run = runTool(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
            "istrel: frame 2: the pictures change from 64x64 4:2:2 10-bit to 128x32 4:2:0 8-bit; " +
                output +
                " holds pictures of one format, so decoding stops after frame 1 (--md5 without -o "
                "goes on across the change)");
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

// The y4m header of `istrel decode -o OUT.y4m`: frame rate, field order and
// sample aspect ratio as the stream states them.
struct Y4mCase {
  const char* name;
  PcmStream frame;     // the stream, one frame of it
  const char* vector;  // a committed test vector instead of `frame`
  const char* header;
  const char* option = nullptr;
};

class Y4mHeader : public testing::TestWithParam<Y4mCase> {};

TEST_P(Y4mHeader, SaysWhatTheStreamSays) {
  const Y4mCase& c = GetParam();
  const std::string input = c.vector
                                ? std::string(ISTREL_VECTOR_DIR) + "/" + c.vector + ".264"
                                : writeStream(std::string(c.name) + ".264", pcmAccessUnit(c.frame));
  const std::string output = tempPath(std::string(c.name) + ".y4m");
  std::vector<std::string> args{"decode", input, "-o", output, "--frames", "1"};
  if (c.option) args.push_back(c.option);
  ToolRun run = runTool(args);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string written = readAll(output);
  EXPECT_EQ(written.substr(0, written.find('\n')), c.header);
}

// Without timing information 25 frames per second; without an aspect ratio
// 0:0, unknown. MBAFF frames are taken as top field first. The preview holds
// one field of a pair.
const Y4mCase kY4mCases[] = {
    {"NoVui", kSmall, nullptr, "YUV4MPEG2 W64 H64 F25:1 Ip A0:0 C422p10"},
    {"TopFieldFirst", kTopFirst, nullptr, "YUV4MPEG2 W64 H64 F25:1 It A0:0 C422p10"},
    {"BottomFieldFirst", kBottomFirst, nullptr, "YUV4MPEG2 W64 H64 F25:1 Ib A0:0 C422p10"},
    {"FieldPairPreview", kBottomFirst, nullptr, "YUV4MPEG2 W32 H32 F25:1 Ip A0:0 C422p10",
     "--preview"},
    {"MbaffPreview",
     {},
     "mbaff_cavlc_420_8bit",
     "YUV4MPEG2 W88 H72 F25:1 Ip A0:0 C420jpeg",
     "--preview"},
    {"Mbaff", {}, "mbaff_cavlc_420_8bit", "YUV4MPEG2 W176 H144 F25:1 It A0:0 C420jpeg"},
    {"AspectRatio", {}, "avci50_720p_420_10bit", "YUV4MPEG2 W960 H720 F50:1 Ip A4:3 C420p10"},
};

INSTANTIATE_TEST_SUITE_P(Streams, Y4mHeader, testing::ValuesIn(kY4mCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What `istrel` says: `info` each format of a stream with its frames (frames
// counted whole) and the loop-filter fields of the slices; `decode` on the
// host's path what the host's decoding leaves out, once, with --conformant
// as the way to decode the stream whole; and when it is used wrongly, the
// word at fault and what would be right.
struct MessageCase {
  std::vector<std::string> args;  // {in}: the stream, {dir}: a directory, {out}: a new file
  int status;
  std::vector<std::string> parts;  // of standard output, then standard error, in this order
  std::vector<PcmStream> frames{kSmall};
  int notes = -1;  // how often standard error names --conformant; -1: not counted
};

void PrintTo(const MessageCase& c, std::ostream* os) {
  for (const std::string& arg : c.args) *os << arg << ' ';
}

class Messages : public testing::TestWithParam<MessageCase> {};

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_P(Messages, SayWhatTheyShould) {
  const MessageCase& c = GetParam();
  std::vector<std::string> args;
  for (const std::string& arg : c.args) {
    if (arg == "{in}") args.push_back(writeStream("messages.264", pcmFrames(c.frames)));
    if (arg == "{dir}") args.push_back(testing::TempDir());
    if (arg == "{out}") args.push_back(tempPath("OUT.Y4M"));
    if (arg.front() != '{') args.push_back(arg);
  }
  ToolRun run = runTool(args);
  EXPECT_EQ(run.status, c.status) << run.err;
  const std::string said = run.out + run.err;
  std::size_t at = 0;
  for (std::string part : c.parts) {
    if (part == "{dir}") part = testing::TempDir();
    at = said.find(part, at);
    ASSERT_NE(at, std::string::npos) << part << " in\n" << said;
  }
  if (c.notes >= 0) {
    EXPECT_EQ(count(run.err, "--conformant"), static_cast<std::size_t>(c.notes)) << run.err;
  }
}

const MessageCase kMessageCases[] = {
    {{"info", "{in}"},
     0,
     {"frames:           4", "frames 0-1:       64x64 4:2:2 10-bit", "cropped size:     64x64",
      "frames 2-3:       128x32 4:2:0 8-bit", "cropped size:     128x32"},
     kFormatChange},
    {{"info", "{in}"},
     0,
     {"frames:           2", "2 field pairs", "slices per frame: 4"},
     {kTopFirst, kTopFirst}},
    {{"info", "{in}"},
     0,
     {"loop filter:      disable_deblocking_filter_idc 0", "slice_alpha_c0_offset_div2 -2",
      "slice_beta_offset_div2 3"},
     {kFiltered, kFiltered}},
    {{"decode", "{in}"}, 0, {"loop filter"}, {kFiltered, kFiltered}, 1},
    {{"decode", "{in}", "--conformant"}, 0, {}, {kFiltered, kFiltered}, 0},
    {{"decode", "{in}"}, 0, {"12 slices"}, {kTwelveSlices, kTwelveSlices}, 1},
    {{"decode", "{in}", "--conformant"}, 0, {}, {kTwelveSlices, kTwelveSlices}, 0},
    {{"decode", "{in}"}, 1, {"sequence parameter set 0"}, {kSetOne, kSetOne}, 1},
    {{"decode", "{in}"}, 0, {}, {kSmall, kSmall}, 0},
    {{"decode", "{in}", "--help"}, 0, {"usage: istrel decode"}},
    {{"info", "--stats"}, 2, {"no input file"}},
    {{"info", "{in}", "--fast"}, 2, {"unknown option '--fast'"}},
    {{"foo"}, 2, {"unknown command 'foo'"}},
    {{"decode", "{in}", "--threads", "abc"}, 2, {"--threads abc:", "1 to 256"}},
    {{"bench", "{in}", "--threads", "0"}, 2, {"--threads 0:", "1 to 256"}},
    {{"decode", "{in}", "-o"}, 2, {"-o needs", ".y4m, .yuv or .v210"}},
    {{"decode", "{in}", "-o", "a.y4m", "--output", "b.y4m"}, 2, {"--output", "once"}},
    {{"decode", "{in}", "{in}"}, 2, {"more than one input file"}},
    {{"decode", "{in}", "-o", "out.mp4"}, 2, {"-o out.mp4: ", ".y4m, .yuv or .v210"}},
    {{"decode", "{in}", "-o", "{out}"}, 0, {}},
    {{"decode", "{dir}"}, 1, {"{dir}", "directory"}},
    {{"info", "{dir}"}, 1, {"{dir}", "directory"}},
};

INSTANTIATE_TEST_SUITE_P(CommandLines, Messages, testing::ValuesIn(kMessageCases));

// The profile line of `istrel info`: profile_idc, constraint_set1_flag
// (Constrained Baseline) and constraint_set3_flag (the Intra profiles).
TEST(Info, NamesTheProfile) {
  const struct {
    std::uint32_t idc, constraintByte;
    const char* name;
  } cases[] = {{66, 0x00, "Baseline"},
               {66, 0x40, "Constrained Baseline"},
               {77, 0x00, "Main"},
               {88, 0x00, "Extended"},
               {100, 0x00, "High"},
               {110, 0x00, "High 10"},
               {110, 0x10, "High 10 Intra"},
               {122, 0x00, "High 4:2:2"},
               {122, 0x10, "High 4:2:2 Intra"},
               {244, 0x00, "High 4:4:4 Predictive"},
               {244, 0x10, "High 4:4:4 Intra"},
               {44, 0x00, "CAVLC 4:4:4 Intra"},
               {123, 0x00, "profile_idc 123"}};
  for (const auto& c : cases) {
    // Profiles without chroma syntax code 4:2:0 8-bit.
    const bool chromaSyntax = hasChromaSyntax(c.idc);
    const PcmStream s{.chromaFormat = chromaSyntax ? 2 : 1,
                      .bitDepth = chromaSyntax ? 10 : 8,
                      .profileIdc = c.idc,
                      .constraintByte = c.constraintByte};
    ToolRun run = runTool({"info", writeStream("profile.264", pcmAccessUnit(s))});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::size_t at = run.out.find("profile:");
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(at, run.out.find('\n', at) - at),
              "profile:          " + std::string(c.name) + " (profile_idc " +
                  std::to_string(c.idc) + ")");
  }
}

// `istrel --version` names the level the library takes on this processor,
// and `--cpu` forces each level the processor has: `bench` says which one
// decoded.
TEST(KernelLevel, VersionAndCpuSayWhichLevelDecodes) {
#if defined(__x86_64__)
  const std::string architecture = "x86-64";
#elif defined(__aarch64__)
  const std::string architecture = "aarch64";
#else
  const std::string architecture = "other";
#endif
  const H264::KernelLevel best = bestLevelOfThisProcessor();
  EXPECT_EQ(runTool({"--version"}).out, std::string("istrel ") + ISTREL_VERSION_STRING + " (" +
                                            architecture + ", kernels " +
                                            H264::kernelLevelName(best) + ")\n");
  const std::string stream = writeStream("levels.264", pcmAccessUnit(kSmall));
  for (H264::KernelLevel level : levelsOfThisProcessor()) {
    const std::string name = H264::kernelLevelName(level);
    ToolRun run = runTool({"bench", stream, "--seconds", "0", "--threads", "1", "--cpu", name});
    H264::limitKernelLevel(best);  // --cpu caps the whole process
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\nkernels:  " + name + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "") << name;
  }
}

// The progress line of `istrel decode` on a terminal: whatever else is
// printed, on either stream, starts on a cleared line.
TEST(ProgressLine, ClearedBeforeAnythingElseIsPrinted) {
  std::ostringstream console;  // standard output and error on one terminal
  {
    tools::ProgressLine progress(console, console, 3, true);
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

}  // namespace
}  // namespace istrel::test
