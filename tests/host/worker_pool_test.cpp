#include <gtest/gtest.h>
#include <zoncore/threads.h>
#include <zonmediatypes/pixel_format.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors;
using zoncore::threads::RunningWorkerCount;
using zoncore::threads::SetWorkerCount;
using zoncore::threads::WorkerLease;

// Runs `count` indices and tells whether each was called exactly once. Each task also writes a
// plain (non-atomic) result that the caller reads afterwards, so a missing happens-before edge
// shows up under ThreadSanitizer.
bool eachIndexOnce(int count) {
  std::vector<std::atomic<int>> calls(static_cast<std::size_t>(count));
  std::vector<int> squares(calls.size(), -1);
  ExecuteCPUBoundTaskOnAllProcessors(
      [&](int i) {
        calls[static_cast<std::size_t>(i)].fetch_add(1);
        squares[static_cast<std::size_t>(i)] = i * i;
      },
      count);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] != 1 || squares[i] != static_cast<int>(i * i)) return false;
  }
  return true;
}

class WorkerPoolTest : public ::testing::Test {
 protected:
  void TearDown() override { SetWorkerCount(0); }
};

TEST_F(WorkerPoolTest, CallsEveryIndexExactlyOnce) {
  for (int workers : {1, 2, 16}) {
    SetWorkerCount(workers);
    for (int count : {1, 2, 10, 100}) EXPECT_TRUE(eachIndexOnce(count)) << workers << " " << count;
  }
  int calls = 0;
  ExecuteCPUBoundTaskOnAllProcessors([&](int) { ++calls; }, 0);
  ExecuteCPUBoundTaskOnAllProcessors([&](int) { ++calls; }, -3);
  EXPECT_EQ(calls, 0);
}

// Whatever a task throws (a standard exception, an integer as the decoder's
// errors are, anything else), on a worker or on the calling thread, every
// index still runs and the call returns.
TEST_F(WorkerPoolTest, SurvivesATaskThatThrows) {
  struct Unrelated {};
  const std::function<void()> throws[] = {[] { throw std::runtime_error("broken task"); },
                                          [] { throw 2; }, [] { throw Unrelated{}; }};
  for (int workers : {1, 2, 4}) {
    SetWorkerCount(workers);
    for (const auto& fail : throws) {
      std::vector<std::atomic<int>> calls(10);
      ExecuteCPUBoundTaskOnAllProcessors(
          [&](int i) {
            ++calls[static_cast<std::size_t>(i)];
            if (i % 2 == 0) fail();
          },
          10);
      EXPECT_TRUE(std::all_of(calls.begin(), calls.end(), [](const auto& c) { return c == 1; }))
          << workers << " workers";
      EXPECT_TRUE(eachIndexOnce(10)) << workers << " workers, the call after";
    }
  }
}

// Workers start with the first call under a lease, are shared by every
// lease, and are joined when the last lease goes, not before; a call without
// a lease joins its own before it returns.
TEST_F(WorkerPoolTest, TheLastLeaseJoinsTheWorkers) {
  SetWorkerCount(3);
  ASSERT_EQ(RunningWorkerCount(), 0);
  {
    WorkerLease first;
    EXPECT_EQ(RunningWorkerCount(), 0) << "started before any call";
    EXPECT_TRUE(eachIndexOnce(10));
    EXPECT_EQ(RunningWorkerCount(), 2);
    {
      WorkerLease second;
      EXPECT_TRUE(eachIndexOnce(10));
      EXPECT_EQ(RunningWorkerCount(), 2) << "a second pool for the second lease";
    }
    EXPECT_EQ(RunningWorkerCount(), 2) << "stopped while a lease is held";
  }
  EXPECT_EQ(RunningWorkerCount(), 0) << "still running after the last lease";
  EXPECT_TRUE(eachIndexOnce(10));
  EXPECT_EQ(RunningWorkerCount(), 0) << "still running after a call without a lease";
}

TEST_F(WorkerPoolTest, ANewCountRetiresTheRunningWorkers) {
  WorkerLease lease;
  SetWorkerCount(3);
  EXPECT_TRUE(eachIndexOnce(10));
  EXPECT_EQ(RunningWorkerCount(), 2);
  SetWorkerCount(5);
  EXPECT_EQ(RunningWorkerCount(), 0);
  EXPECT_EQ(zoncore::threads::WorkerCount(), 5);
  EXPECT_TRUE(eachIndexOnce(10));
  EXPECT_EQ(RunningWorkerCount(), 4);
}

// Host threads calling at once, each its own sizes (crossed jobs would be
// noticed), taking and dropping leases or holding none: every call gets its
// indices run, and no worker outlives the last lease.
TEST_F(WorkerPoolTest, CallersOnSeveralThreadsEachGetTheirOwnJob) {
  SetWorkerCount(3);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&failures, t] {
      for (int round = 0; round < 60; ++round) {
        std::optional<WorkerLease> lease;
        if (round % 2) lease.emplace();
        for (int call = 0; call < 3; ++call) failures += !eachIndexOnce(4 + t + call);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(RunningWorkerCount(), 0);
}

TEST(PixelFormatTest, V210RowBytesCoverStartedGroupsOf48Pixels) {
  using zonmediatypes::UncompressedPixelFormatRowBytes;
  const zonmediatypes::PixelFormat v210 = zonmediatypes::kPixelFormat_V210_422_10u_709;
  EXPECT_EQ(UncompressedPixelFormatRowBytes(v210, 1920), 5120u);
  EXPECT_EQ(UncompressedPixelFormatRowBytes(v210, 1280), 3456u);
  EXPECT_EQ(UncompressedPixelFormatRowBytes(v210, 48), 128u);
  EXPECT_EQ(UncompressedPixelFormatRowBytes(v210, 49), 256u);
  EXPECT_EQ(UncompressedPixelFormatRowBytes(v210, 1), 128u);
  EXPECT_EQ(UncompressedPixelFormatRowBytes(v210, 0), 0u);
  EXPECT_EQ(UncompressedPixelFormatRowBytes(v210, -48), 0u);
  EXPECT_EQ(UncompressedPixelFormatRowBytes(zonmediatypes::PixelFormat{v210.code + 1}, 1920), 0u);
}

}  // namespace
