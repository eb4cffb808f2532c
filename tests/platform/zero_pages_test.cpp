#include "platform/zero_pages.hpp"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

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

// Which of the block's pages are resident, one flag a page.
std::vector<bool> ResidentPages(const ZeroPages& block) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  std::vector<unsigned char> flags(block.Size() / page);
  if (mincore(block.Data(), block.Size(), flags.data()) != 0) return {};
  std::vector<bool> resident;
  for (const unsigned char f : flags) resident.push_back((f & 1) != 0);
  return resident;
}

// A script's start maps a block for every load; only what it writes may
// cost a page.
TEST(ZeroPagesTest, OnlyWrittenPagesBecomeResident) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  ZeroPages block(8 * page);
  ASSERT_NE(block.Data(), nullptr);
  EXPECT_EQ(ResidentPages(block), std::vector<bool>(8, false));
  block.Data()[3 * page + 10] = 'x';
  std::vector<bool> expected(8, false);
  expected[3] = true;
  EXPECT_EQ(ResidentPages(block), expected);
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
