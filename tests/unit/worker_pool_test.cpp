#include <gtest/gtest.h>
#include <zoncore/threads.h>
#include <zonmediatypes/pixel_format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors;
using zoncore::threads::SetWorkerCount;
using zoncore::threads::WorkerCount;

// Runs `count` indices and returns how often each one was called. Each task also writes a
// plain (non-atomic) result that the caller reads afterwards, so a missing happens-before
// edge shows up under ThreadSanitizer.
std::vector<int> runCounting(int count) {
  std::vector<std::atomic<int>> calls(static_cast<size_t>(std::max(count, 0)));
  std::vector<int> squares(calls.size(), -1);
  ExecuteCPUBoundTaskOnAllProcessors(
      [&](int i) {
        calls[static_cast<size_t>(i)].fetch_add(1);
        squares[static_cast<size_t>(i)] = i * i;
      },
      count);
  std::vector<int> result;
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(squares[i], static_cast<int>(i * i)) << "index " << i;
    result.push_back(calls[i].load());
  }
  return result;
}

class WorkerPoolTest : public ::testing::Test {
 protected:
  void TearDown() override { SetWorkerCount(0); }
};

class WorkerPoolSizeTest : public WorkerPoolTest, public ::testing::WithParamInterface<int> {};

TEST_P(WorkerPoolSizeTest, CallsEveryIndexExactlyOnce) {
  SetWorkerCount(GetParam());
  for (int count : {1, 2, 10, 100}) {
    EXPECT_EQ(runCounting(count), std::vector<int>(static_cast<size_t>(count), 1))
        << "count " << count;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, WorkerPoolSizeTest, ::testing::Values(1, 2, 16));

TEST_F(WorkerPoolTest, NonPositiveCountCallsNothing) {
  int calls = 0;
  ExecuteCPUBoundTaskOnAllProcessors([&](int) { ++calls; }, 0);
  ExecuteCPUBoundTaskOnAllProcessors([&](int) { ++calls; }, -3);
  EXPECT_EQ(calls, 0);
}

TEST_F(WorkerPoolTest, SingleThreadRunsEverythingOnTheCaller) {
  SetWorkerCount(1);
  const std::thread::id caller = std::this_thread::get_id();
  int elsewhere = 0;
  ExecuteCPUBoundTaskOnAllProcessors(
      [&](int) {
        if (std::this_thread::get_id() != caller) ++elsewhere;
      },
      20);
  EXPECT_EQ(elsewhere, 0);
}

// Every task waits until all of them have started, which only works if they run at once.
TEST_F(WorkerPoolTest, RunsTasksConcurrently) {
  constexpr int kTasks = 4;
  SetWorkerCount(kTasks);
  std::mutex mutex;
  std::condition_variable allStarted;
  int started = 0;
  std::atomic<int> metEveryone{0};
  ExecuteCPUBoundTaskOnAllProcessors(
      [&](int) {
        std::unique_lock<std::mutex> lock(mutex);
        if (++started == kTasks) allStarted.notify_all();
        if (allStarted.wait_for(lock, std::chrono::seconds(5), [&] { return started == kTasks; })) {
          ++metEveryone;
        }
      },
      kTasks);
  EXPECT_EQ(metEveryone.load(), kTasks);
}

TEST_F(WorkerPoolTest, CallersOnSeveralThreadsEachGetTheirOwnJob) {
  SetWorkerCount(3);
  constexpr int kCallers = 3;
  std::vector<int> failures(kCallers, 0);
  std::vector<std::thread> callers;
  for (int c = 0; c < kCallers; ++c) {
    callers.emplace_back([&failures, c] {
      const int count = 5 + c;  // distinct sizes so crossed jobs would be noticed
      for (int round = 0; round < 200; ++round) {
        if (runCounting(count) != std::vector<int>(static_cast<size_t>(count), 1)) {
          ++failures[static_cast<size_t>(c)];
        }
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(failures, std::vector<int>(kCallers, 0));
}

TEST_F(WorkerPoolTest, SurvivesATaskThatThrows) {
  SetWorkerCount(2);
  std::atomic<int> calls{0};
  ExecuteCPUBoundTaskOnAllProcessors(
      [&](int i) {
        ++calls;
        if (i % 2 == 0) throw std::runtime_error("broken task");
      },
      10);
  EXPECT_EQ(calls.load(), 10);
  EXPECT_EQ(runCounting(10), std::vector<int>(10, 1));
}

TEST_F(WorkerPoolTest, WorkerCountFollowsSetWorkerCount) {
  SetWorkerCount(3);
  EXPECT_EQ(WorkerCount(), 3);
  SetWorkerCount(1);
  EXPECT_EQ(WorkerCount(), 1);
  SetWorkerCount(0);
  const int processors = static_cast<int>(std::thread::hardware_concurrency());
  EXPECT_EQ(WorkerCount(), std::max(1, processors));
}

TEST(PixelFormatTest, V210RowBytesCoverStartedGroupsOf48Pixels) {
  const zonmediatypes::PixelFormat v210 = zonmediatypes::kPixelFormat_V210_422_10u_709;
  EXPECT_NE(v210.code, 0u);
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(v210, 1920), 5120u);
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(v210, 1280), 3456u);
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(v210, 48), 128u);
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(v210, 49), 256u);
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(v210, 1), 128u);
}

TEST(PixelFormatTest, RowBytesAreZeroForUnknownFormatOrEmptyRow) {
  const zonmediatypes::PixelFormat v210 = zonmediatypes::kPixelFormat_V210_422_10u_709;
  const zonmediatypes::PixelFormat unknown{v210.code + 1};
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(unknown, 1920), 0u);
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(v210, 0), 0u);
  EXPECT_EQ(zonmediatypes::UncompressedPixelFormatRowBytes(v210, -48), 0u);
}

}  // namespace
