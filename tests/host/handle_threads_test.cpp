// The worker threads as a host meets them: started by the first decode,
// shared by every handle, joined when the last handle is closed. (Handles on
// several host threads, and the library loaded and unloaded with no thread
// left behind: tests/loader/loader_host.cpp.)
#include <gtest/gtest.h>
#include <zoncore/threads.h>

#include <string>
#include <vector>

#include "istrel/istrel.h"
#include "loader/loaded_library.h"
#include "loader/vector_host.h"
#include "support/vectors.h"

namespace {

using istrel::test::Frame;
using istrel::test::HostFunctions;
using istrel::test::VectorCase;
using zoncore::threads::RunningWorkerCount;

// A vector of ten slices a frame, its frames and the encoder's md5 lines.
struct TenSlices {
  VectorCase c = istrel::test::vectorNamed("slices10_422_10bit");
  std::vector<Frame> frames = istrel::test::framesOf(c);
  std::vector<std::string> expected = istrel::test::expectedMd5Lines(c);
};

// A handle primed for the vector, closed and freed at the end.
class HostHandle {
 public:
  HostHandle(const HostFunctions& f, const TenSlices& v) : f_(f), v_(v) {
    int status = -1;
    h_ = istrel::test::openFor(f, v.c, v.frames.at(0), status);
    if (!h_ || status != ISTREL_STATUS_OK) throw std::runtime_error("no handle ready to decode");
    output_.resize(istrel::test::v210Of(*h_, true).bytes());
  }
  ~HostHandle() {
    close();
    f_.dispose(h_);
  }
  HostHandle(const HostHandle&) = delete;
  HostHandle& operator=(const HostHandle&) = delete;

  // Decodes frame i and tells whether the planes are the reconstruction.
  bool decodes(std::size_t i) {
    return istrel::test::decodeCopy(f_, h_, v_.frames.at(i), output_, true) == ISTREL_STATUS_OK &&
           istrel::test::deliveredMd5Line(*h_, v_.c, i) == v_.expected.at(i);
  }
  void close() { f_.fileClose(h_); }

 private:
  const HostFunctions& f_;
  const TenSlices& v_;
  AVCIntraInfo* h_ = nullptr;
  std::vector<char> output_;
};

class HandleThreads : public testing::Test {
 protected:
  void SetUp() override { zoncore::threads::SetWorkerCount(3); }
  void TearDown() override { zoncore::threads::SetWorkerCount(0); }
  // The functions this test binary links.
  const HostFunctions functions{.newDecoder = &AVCINewTepDecoder,
                                .fileOpen = &AVCIFileOpen,
                                .fileClose = &AVCIFileClose,
                                .dispose = &AVCIntraDispose,
                                .readAspectRatio = &AVCIReadAspectRatio,
                                .decodeFrame = &AVCIDecodeFrame};
  const TenSlices stream{};
};

TEST_F(HandleThreads, TheLastCloseJoinsTheWorkers) {
  ASSERT_EQ(RunningWorkerCount(), 0);
  {
    HostHandle first(functions, stream), second(functions, stream);
    EXPECT_EQ(RunningWorkerCount(), 0) << "started before the first decode";
    EXPECT_TRUE(first.decodes(0));
    EXPECT_EQ(RunningWorkerCount(), 2);
    EXPECT_TRUE(second.decodes(1));
    EXPECT_EQ(RunningWorkerCount(), 2) << "the handles do not share the workers";
    first.close();
    EXPECT_EQ(RunningWorkerCount(), 2) << "stopped while a handle is open";
    second.close();
    EXPECT_EQ(RunningWorkerCount(), 0) << "still running after the last AVCIFileClose";
  }
}

}  // namespace
