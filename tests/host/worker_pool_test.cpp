#include <gtest/gtest.h>
#include <zoncore/threads.h>
#include <zonmediatypes/pixel_format.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using zoncore::threads::ExecuteCPUBoundTaskOnAllProcessors;
using zoncore::threads::SetWorkerCount;

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

TEST_F(WorkerPoolTest, CallersOnSeveralThreadsEachGetTheirOwnJob) {
  SetWorkerCount(3);
  std::atomic<int> failures{0};
  std::vector<std::thread> callers;
  for (int c = 0; c < 3; ++c) {
    callers.emplace_back([&failures, c] {
      // Distinct sizes, so crossed jobs would be noticed.
      for (int round = 0; round < 200; ++round) failures += !eachIndexOnce(5 + c);
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(failures.load(), 0);
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
  EXPECT_TRUE(eachIndexOnce(10));
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
