// Memory running out at each allocation in turn while a host opens the
// sample stream and decodes a frame: every call reports it as documented,
// nothing leaks, and a handle that survived decodes exactly once memory is
// back. Its own executable: the replaced global operator new would otherwise
// hide the sanitizers' checks of new and delete from every other test.
#include <gtest/gtest.h>
#include <zoncore/threads.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "common/annexb_file.h"
#include "support/host.h"
#include "support/vectors.h"

namespace {

// Allocations left before the one that fails; negative: none fails.
std::atomic<long> allocationsLeft{-1};
std::atomic<bool> failureHappened{false};
std::atomic<long> liveAllocations{0};

void* allocate(std::size_t size) {
  if (allocationsLeft.load(std::memory_order_relaxed) >= 0 &&
      allocationsLeft.fetch_sub(1, std::memory_order_relaxed) == 0) {
    failureHappened.store(true, std::memory_order_relaxed);
    return nullptr;
  }
  void* p = std::malloc(size ? size : 1);
  if (p) liveAllocations.fetch_add(1, std::memory_order_relaxed);
  return p;
}

void release(void* p) noexcept {
  if (!p) return;
  liveAllocations.fetch_sub(1, std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

// The forms the library, GoogleTest and the standard library call: nothing
// allocated is over-aligned, and no array is allocated with std::nothrow.
void* operator new(std::size_t size) {
  void* p = allocate(size);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }

namespace {

using Bytes = std::vector<std::uint8_t>;

// Where the failing allocation fell, and what each call said.
enum class Stage { kNone, kNew, kOpen, kReadAspect, kDecode };

struct Outcome {
  Stage failedIn = Stage::kNone;
  bool handle = false;
  int open = -1;
  int isOpen = -1;
  int aspect = -1;
  int parametersRead = -1;
  int decode = -1;
  bool outOfMemory = false;
  unsigned errorFlags = 0;
};

class AllocationFailure : public testing::Test {
 protected:
  void SetUp() override {
    zoncore::threads::SetWorkerCount(1);  // the same allocations in the same order every run
    istrel::tools::AnnexBStream s =
        istrel::tools::splitAnnexB(istrel::tools::readFile(istrel::test::samplePath()));
    ASSERT_GE(s.units.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) frames_[i] = istrel::test::unitBytes(s, i);
    std::ifstream md5(std::string(ISTREL_SAMPLE_DIR) + "/class100_720p_422_10bit.md5");
    for (std::string& line : expected_) std::getline(md5, line);
    output_.resize(H264::V210Geometry::of(kWidth, kHeight, true).bytes());
  }
  void TearDown() override { zoncore::threads::SetWorkerCount(0); }

  // Opens a handle, reads the parameter sets from frame 0 and decodes it,
  // with allocation `n` failing (none when n is 0). Stops at the first call
  // that fails; the handle stays open for the caller.
  Outcome runFailingAt(long n, AVCIntraInfo*& h) {
    Bytes aspectData = frames_[0];
    Bytes frameData = frames_[0];
    Outcome run;
    failureHappened = false;
    allocationsLeft = n - 1;
    auto failed = [&run](Stage stage) {
      if (failureHappened && run.failedIn == Stage::kNone) run.failedIn = stage;
      return failureHappened.load();
    };
    h = AVCINewTepDecoder();
    run.handle = h != nullptr;
    if (!failed(Stage::kNew)) {
      run.open = AVCIFileOpen(h);
      run.isOpen = h->isOpen;
      if (!failed(Stage::kOpen)) {
        h->is422 = true;
        h->width = kWidth;
        h->height = kHeight;
        run.aspect = AVCIReadAspectRatio(h, aspectData.data(), static_cast<int>(aspectData.size()));
        run.parametersRead = h->parametersRead;
        if (!failed(Stage::kReadAspect)) {
          run.decode = AVCIDecodeFrame(nullptr, h, frameData.data(),
                                       static_cast<int>(frameData.size()), output_.data(), true);
          run.outOfMemory = h->decoder->outOfMemory();
          run.errorFlags = h->decoder->errorFlags();
          failed(Stage::kDecode);
        }
      }
    }
    allocationsLeft = -1;
    return run;
  }

  // Brings a handle that survived a failure to decoding frame 1 exactly.
  void expectRecovers(AVCIntraInfo* h) {
    ASSERT_EQ(AVCIFileOpen(h), 1);
    h->is422 = true;
    h->width = kWidth;
    h->height = kHeight;
    if (!h->parametersRead) {
      Bytes data = frames_[0];
      ASSERT_EQ(AVCIReadAspectRatio(h, data.data(), static_cast<int>(data.size())), 0);
    }
    Bytes data = frames_[1];
    ASSERT_EQ(AVCIDecodeFrame(nullptr, h, data.data(), static_cast<int>(data.size()),
                              output_.data(), true),
              0);
    EXPECT_EQ(istrel::test::hostMd5(*h, 1), expected_[1]);
  }

  static constexpr int kWidth = 1280;
  static constexpr int kHeight = 720;
  Bytes frames_[2];
  std::string expected_[2];
  std::vector<char> output_;
};

TEST_F(AllocationFailure, EveryAllocationInTurn) {
  // A clean run first: it also creates what the library and the host
  // service build once per process, which no later run allocates again.
  AVCIntraInfo* h = nullptr;
  Outcome clean = runFailingAt(0, h);
  ASSERT_EQ(clean.decode, 0);
  EXPECT_EQ(istrel::test::hostMd5(*h, 0), expected_[0]);
  AVCIFileClose(h);
  AVCIntraDispose(h);

  long n = 1;
  for (;; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " fails");
    long liveBefore = liveAllocations;
    Outcome run = runFailingAt(n, h);
    switch (run.failedIn) {
      case Stage::kNone:
        EXPECT_EQ(run.decode, 0);
        EXPECT_EQ(istrel::test::hostMd5(*h, 0), expected_[0]);
        break;
      case Stage::kNew:
        EXPECT_FALSE(run.handle);
        break;
      case Stage::kOpen:
        EXPECT_EQ(run.open, 0);
        EXPECT_EQ(run.isOpen, 0);
        break;
      case Stage::kReadAspect:
        EXPECT_EQ(run.aspect, ISTREL_STATUS_OUT_OF_MEMORY);
        EXPECT_EQ(run.parametersRead, 0);
        break;
      case Stage::kDecode:
        if (run.decode == ISTREL_STATUS_OK) {
          EXPECT_TRUE(run.outOfMemory) << "a slice ran out of memory unnoticed";
          EXPECT_EQ(run.errorFlags & 1u, 1u);
        } else {
          EXPECT_EQ(run.decode, ISTREL_STATUS_OUT_OF_MEMORY);
          EXPECT_EQ(run.errorFlags & 1u, 0u) << "the slices reported it but the call did not";
        }
        break;
    }
    if (h) expectRecovers(h);
    AVCIFileClose(h);
    AVCIntraDispose(h);
    h = nullptr;
    EXPECT_EQ(liveAllocations - liveBefore, 0) << "allocations left behind";
    if (run.failedIn == Stage::kNone || HasFailure()) break;
  }
  EXPECT_GT(n, 20) << "the run allocated suspiciously little";
}

}  // namespace
