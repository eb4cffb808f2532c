#include "platform/zero_pages.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace vx::platform {
namespace {

TEST(ZeroPagesTest, WholePagesThatReadAsZeroAndTakeWrites) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  ZeroPages block(page + 1);
  ASSERT_NE(block.Data(), nullptr);
  ASSERT_EQ(block.Size(), 2 * page);
  EXPECT_TRUE(std::all_of(block.Data(), block.Data() + block.Size(), [](char c) { return c == 0; }));
  block.Data()[0] = 'a';
  block.Data()[block.Size() - 1] = 'z';  // the rounded-up tail is usable too
  EXPECT_EQ(block.Data()[block.Size() - 1], 'z');
}

TEST(ZeroPagesTest, EmptyAndHugeRequestsGiveNoBlock) {
  ZeroPages none(0);
  EXPECT_EQ(none.Data(), nullptr);
  EXPECT_EQ(none.Size(), 0u);
  ZeroPages huge(~std::size_t{0} - 10);  // rounding would wrap
  EXPECT_EQ(huge.Data(), nullptr);
  EXPECT_EQ(huge.Size(), 0u);
}

TEST(ZeroPagesTest, MovingHandsTheBlockOverOnce) {
  ZeroPages a(100);
  char* data = a.Data();
  ASSERT_NE(data, nullptr);
  data[5] = 7;
  ZeroPages b(std::move(a));
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(a.Size(), 0u);
  EXPECT_EQ(b.Data(), data);
  EXPECT_EQ(b.Data()[5], 7);
  ZeroPages c(10);
  c = std::move(b);  // c's own block is released, b's taken
  EXPECT_EQ(c.Data(), data);
  EXPECT_EQ(b.Data(), nullptr);
  c = ZeroPages();
  EXPECT_EQ(c.Data(), nullptr);
}

}  // namespace
}  // namespace vx::platform
