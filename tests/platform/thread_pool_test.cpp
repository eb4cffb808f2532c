#include "platform/thread_pool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vx::platform {
namespace {

TEST(ThreadPoolTest, ThreadCountFromTheVariable) {
  EXPECT_EQ(ParseThreadCount("1"), 1);
  EXPECT_EQ(ParseThreadCount(" 8 "), 8);
  EXPECT_EQ(ParseThreadCount("65"), kMaxLoopThreads);
  EXPECT_EQ(ParseThreadCount("99999999999999999999999"), kMaxLoopThreads);
  EXPECT_FALSE(ParseThreadCount(""));
  EXPECT_FALSE(ParseThreadCount("0"));
  EXPECT_FALSE(ParseThreadCount("-2"));
  EXPECT_FALSE(ParseThreadCount("-99999999999999999999999"));
  EXPECT_FALSE(ParseThreadCount("4x"));
  EXPECT_FALSE(ParseThreadCount("two"));
  EXPECT_GE(LoopThreads(), 1);
}

// Every item reaches the body exactly once, in bands that do not overlap,
// for sizes around the band counts and for ranges not starting at 0.
TEST(ThreadPoolTest, BandsCoverEveryItemOnce) {
  for (const int begin : {0, -7, 1000}) {
    for (const int items : {1, 2, 3, 7, 8, 9, 63, 64, 65, 1000, 4097}) {
      std::vector<std::atomic<int>> seen(static_cast<std::size_t>(items));
      ForBands(begin, begin + items, kMinParallelWork, [&](int first, int last) {
        ASSERT_LE(begin, first);
        ASSERT_LT(first, last);
        ASSERT_LE(last, begin + items);
        for (int i = first; i < last; ++i) seen[static_cast<std::size_t>(i - begin)].fetch_add(1);
      });
      for (int i = 0; i < items; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)].load(), 1) << begin << " " << items << " " << i;
    }
  }
}

TEST(ThreadPoolTest, EmptyAndSmallLoopsStayOnTheCallingThread) {
  int calls = 0;
  ForBands(5, 5, kMinParallelWork, [&](int, int) { ++calls; });
  ForBands(5, 2, kMinParallelWork, [&](int, int) { ++calls; });
  EXPECT_EQ(calls, 0);
  const std::thread::id me = std::this_thread::get_id();
  std::vector<std::pair<int, int>> bands;
  ForBands(0, 100, kMinParallelWork / 100 - 1, [&](int first, int last) {
    EXPECT_EQ(std::this_thread::get_id(), me);
    bands.emplace_back(first, last);
  });
  EXPECT_EQ(bands, (std::vector<std::pair<int, int>>{{0, 100}}));
}

// A loop inside a band runs whole on the band's thread.
TEST(ThreadPoolTest, NestedLoopsRunInsideTheirBand) {
  std::atomic<std::int64_t> total{0};
  ForBands(0, 64, kMinParallelWork, [&](int first, int last) {
    for (int i = first; i < last; ++i) {
      const std::thread::id outer = std::this_thread::get_id();
      int inner_calls = 0;
      ForBands(0, 1000, kMinParallelWork, [&](int a, int b) {
        EXPECT_EQ(std::this_thread::get_id(), outer);
        ++inner_calls;
        total.fetch_add(b - a);
      });
      EXPECT_EQ(inner_calls, 1);
    }
  });
  EXPECT_EQ(total.load(), 64 * 1000);
}

// Loops started from several threads at once all complete.
TEST(ThreadPoolTest, LoopsFromSeveralThreads) {
  std::vector<std::thread> callers;
  std::atomic<std::int64_t> total{0};
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&] {
      for (int round = 0; round < 200; ++round) {
        ForBands(0, 256, kMinParallelWork, [&](int first, int last) { total.fetch_add(last - first); });
      }
    });
  }
  for (auto& c : callers) c.join();
  EXPECT_EQ(total.load(), 4 * 200 * 256);
}

}  // namespace
}  // namespace vx::platform
