// Runs the `istrel` command as a function on streams the tests write, the
// I_PCM streams of support/pcm_stream.h and the md5 lines they decode to.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/picture_view.h"
#include "istrel/command_line.h"
#include "support/pcm_stream.h"

namespace istrel::test {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

inline ToolRun runTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int status = tools::runIstrel(args, out, err);
  return {status, out.str(), err.str()};
}

// A file under the test's temporary directory.
inline std::string tempPath(const std::string& name) {
  return testing::TempDir() + "istrel_tool_" + name;
}

inline std::string writeStream(const std::string& name, const Bytes& bytes) {
  std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `count` coded frames of `s`, one after the other.
inline Bytes pcmFrames(const PcmStream& s, int count) {
  Bytes stream;
  for (int i = 0; i < count; ++i) {
    Bytes unit = pcmAccessUnit(s);
    stream.insert(stream.end(), unit.begin(), unit.end());
  }
  return stream;
}

// The `istrel decode --md5` line of frame `index` when it shows the frame `s` codes.
inline std::string pcmMd5Line(const PcmStream& s, std::size_t index) {
  const int width = 16 * s.widthInMbs, height = 16 * s.frameHeightInMbs;
  const int chromaHeight = s.chromaFormat == 2 ? height : height / 2;
  std::vector<std::uint16_t> planes[3];
  tools::PictureView view{};
  view.chromaFormat = s.chromaFormat;
  for (int p = 0; p < 3; ++p) {
    view.width[p] = p ? width / 2 : width;
    view.height[p] = p ? chromaHeight : height;
    view.stride[p] = view.width[p];
    view.bitDepth[p] = s.bitDepth;
    for (int y = 0; y < view.height[p]; ++y) {
      for (int x = 0; x < view.width[p]; ++x) planes[p].push_back(pcmSample(s, p, x, y));
    }
    view.plane[p] = planes[p].data();
  }
  return tools::md5Line(index, view);
}

// 64x64 4:2:2 10-bit, and 128x32 4:2:0 8-bit: two formats a stream may switch between.
inline const PcmStream kSmall{};
inline const PcmStream kWide{
    .widthInMbs = 8, .frameHeightInMbs = 2, .chromaFormat = 1, .bitDepth = 8};
inline const PcmStream kTopFirst{.fields = true};
inline const PcmStream kBottomFirst{.cabac = true, .fields = true, .bottomFieldFirst = true};
inline const PcmStream kSetOne{.spsId = 1};
inline const PcmStream kTwelveSlices{.slicesPerPicture = 12};
inline const PcmStream kFiltered{
    .disableDeblockingFilterIdc = 0, .alphaOffsetDiv2 = -2, .betaOffsetDiv2 = 3};

inline Bytes formatChange() {
  Bytes stream = pcmFrames(kSmall, 2), wide = pcmFrames(kWide, 2);
  stream.insert(stream.end(), wide.begin(), wide.end());
  return stream;
}

// A frame, then the parameter sets of a larger format with a slice that
// cannot be read, then the first frame again.
inline Bytes unreadableFrameOfNewFormat() {
  Bytes stream = pcmAccessUnit(kSmall);
  SpsFields sps;
  sps.widthInMbsMinus1 = 15;
  sps.heightInMapUnitsMinus1 = 15;
  appendNal(stream, 0x67, writeSps(sps));
  appendNal(stream, 0x68, writePps(PpsFields{}));
  appendNal(stream, 0x65, {0x80});
  Bytes again = pcmAccessUnit(kSmall);
  stream.insert(stream.end(), again.begin(), again.end());
  return stream;
}

}  // namespace istrel::test
