// The worker threads as a host meets them: started by the first decode,
// shared by every handle, joined when the last handle is closed; handles
// used from several host threads at once; and, on Linux, the shared library
// loaded, used and unloaded again three times with no thread left behind.
#include <gtest/gtest.h>
#include <zoncore/threads.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
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

// The functions this test binary links.
HostFunctions linkedFunctions() {
  HostFunctions f;
  f.newDecoder = &AVCINewTepDecoder;
  f.fileOpen = &AVCIFileOpen;
  f.fileClose = &AVCIFileClose;
  f.dispose = &AVCIntraDispose;
  f.readAspectRatio = &AVCIReadAspectRatio;
  f.decodeFrame = &AVCIDecodeFrame;
  return f;
}

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
  const HostFunctions functions = linkedFunctions();
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

// Handles of their own on several host threads at once, each opened,
// decoding and closed while the others are at any step of theirs.
TEST_F(HandleThreads, HandlesOnSeveralHostThreadsAtOnce) {
  std::atomic<int> failures{0};
  std::vector<std::thread> hosts;
  for (int t = 0; t < 3; ++t) {
    hosts.emplace_back([this, &failures] {
      try {
        for (int round = 0; round < 4; ++round) {
          HostHandle h(functions, stream);
          for (std::size_t i = 0; i < stream.frames.size(); ++i) failures += !h.decodes(i);
        }
      } catch (const std::exception&) {
        ++failures;
      }
    });
  }
  for (std::thread& host : hosts) host.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(RunningWorkerCount(), 0);
}

#if defined(__linux__)
// The threads of this process, as the system lists them.
std::size_t processThreads() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// dlopen, decode on two handles, close them, dlclose: three times. The
// library's workers (one per processor but the caller) run while a handle is
// open and are gone once the last one is closed, before the library is.
TEST(SharedLibrary, LoadDecodeUnloadThreeTimesLeavesNoThread) {
  const TenSlices stream{};
  // A sanitizer's runtime starts a helper thread with the first thread a
  // process creates: that one is counted in `before`.
  std::thread([] {}).join();
  const std::size_t before = processThreads();
  const std::size_t workers = std::max(1u, std::thread::hardware_concurrency()) - 1;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    istrel::test::LoadedLibrary lib(ISTREL_SHARED_LIBRARY);
    {
      HostHandle first(lib, stream), second(lib, stream);
      EXPECT_TRUE(first.decodes(0));
      EXPECT_TRUE(second.decodes(1));
      EXPECT_EQ(processThreads(), before + workers);
    }
    EXPECT_EQ(processThreads(), before) << "threads left after the last AVCIFileClose";
    lib.unload();
  }
  EXPECT_EQ(processThreads(), before);
}
#endif

}  // namespace
