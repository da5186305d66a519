// The six exported functions: their statuses, what each refuses, and the
// worker threads as a host meets them. (Hosts that load the library at run
// time go through the calling order: examples/host_example.c and tests/loader.)
#include <gtest/gtest.h>
#include <zoncore/threads.h>

#include <algorithm>
#include <vector>

#include "common/annexb_file.h"
#include "core/h264_decoder.h"
#include "istrel/istrel.h"
#include "support/bit_writer.h"
#include "support/host.h"
#include "support/parameter_set_writer.h"
#include "support/vectors.h"

namespace {

using istrel::test::appendNal;
using istrel::test::Bytes;

// The first access unit of the sample stream (1280x720 4:2:2 10-bit, ten slices).
Bytes sampleFrame() {
  return istrel::test::unitBytes(
      istrel::tools::splitAnnexB(istrel::tools::readFile(istrel::test::samplePath())), 0);
}

class Handle : public testing::Test {
 protected:
  void SetUp() override {
    h = AVCINewTepDecoder();
    ASSERT_NE(h, nullptr);
  }
  void TearDown() override {
    AVCIFileClose(h);
    AVCIntraDispose(h);
  }
  void openAs(bool is422, int width, int height) {
    ASSERT_EQ(AVCIFileOpen(h), 1);
    h->is422 = is422;
    h->width = width;
    h->height = height;
  }
  // A sequence parameter set, and a picture parameter set after it.
  static Bytes sets(const istrel::test::SpsFields& sps, bool pps = true) {
    Bytes frame;
    appendNal(frame, istrel::test::kSpsNal, istrel::test::writeSps(sps));
    if (pps) appendNal(frame, istrel::test::kPpsNal, istrel::test::writePps({}));
    return frame;
  }
  int readAspect(Bytes data) {
    return AVCIReadAspectRatio(h, data.data(), static_cast<int>(data.size()));
  }
  int decode(Bytes data, bool full = true) {
    return AVCIDecodeFrame(nullptr, h, data.data(), static_cast<int>(data.size()), output.data(),
                           full);
  }
  bool outputUntouched() const {
    return std::all_of(output.begin(), output.end(), [](char c) { return c == kCanary; });
  }

  static constexpr char kCanary = 0x5A;
  AVCIntraInfo* h = nullptr;
  std::vector<char> output = std::vector<char>(5120 * 1088, kCanary);  // v210 1920x1088
};

// Null or closed handles, missing data or output are refused; decoding waits
// for the parameter sets without touching the frame or the output.
TEST_F(Handle, RefusesAndWaits) {
  Bytes frame = sampleFrame();
  const Bytes before = frame;
  EXPECT_EQ(AVCIDecodeFrame(nullptr, nullptr, frame.data(), 1, output.data(), true),
            ISTREL_STATUS_REFUSED);
  EXPECT_EQ(AVCIReadAspectRatio(nullptr, frame.data(), 1), ISTREL_STATUS_REFUSED);
  EXPECT_EQ(decode(frame), ISTREL_STATUS_REFUSED);  // never opened
  openAs(true, 1280, 720);
  EXPECT_EQ(AVCIDecodeFrame(reinterpret_cast<void*>(7), h, frame.data(),
                            static_cast<int>(frame.size()), output.data(), true),
            ISTREL_STATUS_NOT_READY);
  EXPECT_EQ(frame, before) << "the frame was touched";
  EXPECT_EQ(readAspect({0x00, 0x00, 0x01, istrel::test::kIdrSliceNal, 0x88}), ISTREL_STATUS_OK);
  EXPECT_EQ(h->parametersRead, 0);
  ASSERT_EQ(readAspect(frame), ISTREL_STATUS_OK);
  EXPECT_EQ(AVCIDecodeFrame(nullptr, h, nullptr, 10, output.data(), true), ISTREL_STATUS_REFUSED);
  EXPECT_EQ(AVCIDecodeFrame(nullptr, h, frame.data(), -1, output.data(), true),
            ISTREL_STATUS_REFUSED);
  EXPECT_EQ(AVCIDecodeFrame(nullptr, h, frame.data(), 10, nullptr, true), ISTREL_STATUS_REFUSED);
  AVCIFileClose(h);
  EXPECT_EQ(decode(frame), ISTREL_STATUS_REFUSED);
  EXPECT_EQ(readAspect(frame), ISTREL_STATUS_REFUSED);
  EXPECT_TRUE(outputUntouched());
}

// Host fields that do not fit the picture are refused without a byte written:
// another width, more rows than coded, negative sizes, 4:2:2 rows of a 4:2:0
// picture. Fewer rows, none, and 4:2:0 rows of a 4:2:2 picture are decoded.
TEST_F(Handle, RefusesHostFieldsThatDoNotFit) {
  const int refused = ISTREL_STATUS_REFUSED, ok = ISTREL_STATUS_OK;
  auto expect = [&](const Bytes& frame, int width, int height, bool is422, int status) {
    h->width = width, h->height = height, h->is422 = is422;
    for (bool full : {true, false}) {
      std::fill(output.begin(), output.end(), kCanary);
      EXPECT_EQ(decode(frame, full), status) << width << "x" << height << " is422 " << is422;
      EXPECT_TRUE(status == ok || outputUntouched()) << width << "x" << height;
    }
  };
  const Bytes frame = sampleFrame();  // 1280x720, coded as such
  openAs(true, 1280, 720);
  ASSERT_EQ(readAspect(frame), ok);
  for (int width : {1296, 1264, 1282, 1279, 0, -1280}) expect(frame, width, 720, true, refused);
  for (int height : {721, 736, -1}) expect(frame, 1280, height, true, refused);
  for (int height : {361, 0}) expect(frame, 1280, height, true, ok);
  expect(frame, 1280, 720, false, ok);
  const istrel::test::VectorCase c = istrel::test::vectorNamed("cabac_420_8bit");
  const Bytes frame420 =
      istrel::test::unitBytes(istrel::tools::splitAnnexB(istrel::tools::readFile(c.path())), 0);
  AVCIFileClose(h);
  openAs(false, c.width, c.height);
  ASSERT_EQ(readAspect(frame420), ok);
  expect(frame420, c.width, c.height, true, refused);
}

TEST_F(Handle, ParameterSetFailuresKeepTheHandleAsItWas) {
  openAs(false, 1920, 1088);
  istrel::test::SpsFields sps;
  sps.id = 3;
  EXPECT_EQ(readAspect(sets(sps)), ISTREL_STATUS_PARAMETER_SET_ERROR);  // no set with id 0
  sps.id = 0;
  EXPECT_EQ(readAspect(sets(sps, false)), ISTREL_STATUS_PARAMETER_SET_ERROR);  // and no PPS
  sps.level_idc = 0;
  EXPECT_EQ(readAspect(sets(sps)), ISTREL_STATUS_PARAMETER_SET_ERROR);
  EXPECT_EQ(h->parametersRead, 0);
  EXPECT_EQ(AVCIReadAspectRatio(h, nullptr, 5), ISTREL_STATUS_REFUSED);
}

// The sample aspect ratio of the VUI for every aspect_ratio_idc: Table E-1
// for 1 to 13, Extended_SAR (255) with its own width and height; any other
// value, or no VUI, the host's default: 1:1 for 4:2:2, 4:3 for 4:2:0 (the
// values 14 to 16 of later editions included).
TEST_F(Handle, SampleAspectRatioOfTheVui) {
  const int kTableE1[14][2] = {{0, 0},   {1, 1},   {12, 11}, {10, 11}, {16, 11},
                               {40, 33}, {24, 11}, {20, 11}, {32, 11}, {80, 33},
                               {18, 11}, {15, 11}, {64, 33}, {160, 99}};
  struct Case {
    int idc;  // -1: no VUI
    int sarWidth = 0, sarHeight = 0;
  };
  std::vector<Case> cases = {{-1}, {255, 3, 2}, {255, 9, 16}, {255, 0, 0}, {255, 65535, 1}};
  for (int idc = 0; idc < 255; ++idc) cases.push_back({idc});
  openAs(true, 1920, 1088);
  for (const Case& c : cases) {
    for (std::uint32_t chromaFormat : {1u, 2u}) {
      istrel::test::SpsFields sps;
      sps.chroma_format_idc = chromaFormat;
      h->is422 = chromaFormat == 2;
      if (c.idc >= 0) {
        sps.vui = [&c](istrel::test::BitWriter& w) {
          w.bit(1).bits(static_cast<std::uint32_t>(c.idc), 8);
          if (c.idc == 255) {
            w.bits(static_cast<std::uint32_t>(c.sarWidth), 16);
            w.bits(static_cast<std::uint32_t>(c.sarHeight), 16);
          }
          w.bits(0, 8);  // no overscan, signal type, chroma location, timing, HRD, restrictions
        };
      }
      ASSERT_EQ(readAspect(sets(sps)), ISTREL_STATUS_OK) << c.idc;
      int width = h->is422 ? 1 : 4, height = h->is422 ? 1 : 3;
      if (c.idc >= 1 && c.idc <= 13) width = kTableE1[c.idc][0], height = kTableE1[c.idc][1];
      if (c.idc == 255) width = c.sarWidth, height = c.sarHeight;
      EXPECT_EQ(h->sarWidth, width) << "aspect_ratio_idc " << c.idc << " is422 " << h->is422;
      EXPECT_EQ(h->sarHeight, height) << "aspect_ratio_idc " << c.idc << " is422 " << h->is422;
    }
  }
}

// The worker threads: started by the first decode, shared by every handle,
// joined when the last handle is closed (no thread of the library outlives it).
TEST_F(Handle, TheLastCloseJoinsTheWorkers) {
  using zoncore::threads::RunningWorkerCount;
  zoncore::threads::SetWorkerCount(3);
  const Bytes frame = sampleFrame();
  AVCIntraInfo* second = AVCINewTepDecoder();
  for (AVCIntraInfo* each : {h, second}) {
    EXPECT_EQ(AVCIFileOpen(each), 1);
    each->is422 = true, each->width = 1280, each->height = 720;
    Bytes data = frame;
    EXPECT_EQ(AVCIReadAspectRatio(each, data.data(), static_cast<int>(data.size())), 0);
  }
  EXPECT_EQ(RunningWorkerCount(), 0) << "started before the first decode";
  for (AVCIntraInfo* each : {h, second}) {
    Bytes data = frame;
    EXPECT_EQ(AVCIDecodeFrame(nullptr, each, data.data(), static_cast<int>(data.size()),
                              output.data(), true),
              ISTREL_STATUS_OK);
    EXPECT_EQ(RunningWorkerCount(), 2) << "the handles do not share the workers";
  }
  AVCIFileClose(h);
  EXPECT_EQ(RunningWorkerCount(), 2) << "stopped while a handle is open";
  AVCIFileClose(second);
  EXPECT_EQ(RunningWorkerCount(), 0) << "still running after the last AVCIFileClose";
  AVCIntraDispose(second);
  zoncore::threads::SetWorkerCount(0);
}

}  // namespace
