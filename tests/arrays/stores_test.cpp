#include "arrays/stores.hpp"

#include <bit>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vx::api {
namespace {

TEST(NumericArrayTest, RowsAndElementsRefuseBadIndexes) {
  NumericArray a;
  EXPECT_TRUE(a.SetRow(9999, {1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(a.SetRow(10000, {7, 7, 7, 7, 7, 7}));
  EXPECT_FALSE(a.SetRow(-1, {7, 7, 7, 7, 7, 7}));
  EXPECT_EQ(a.Row(10000), nullptr);
  ASSERT_NE(a.Row(9999), nullptr);
  EXPECT_EQ((*a.Row(9999))[5], 6.0);
  EXPECT_TRUE(a.SetElement(0, 5, 2.5));
  EXPECT_FALSE(a.SetElement(0, 6, 9.0));
  EXPECT_FALSE(a.SetElement(10000, 0, 9.0));
  EXPECT_EQ(a.Element(0, 5), 2.5);
  a.Clear();
  EXPECT_EQ(a.Element(9999, 0), 0.0);
  EXPECT_EQ(a.Element(0, 5), 0.0);
}

TEST(NumericArrayTest, SortMovesWholeRowsAndKeepsNaNLast) {
  NumericArray a;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  a.SetRow(0, {3, 30, 0, 0, 0, 0});
  a.SetRow(1, {nan, 99, 0, 0, 0, 0});
  a.SetRow(2, {-1, 10, 0, 0, 0, 0});
  a.SetRow(3, {2, 20, 0, 0, 0, 0});
  a.SetRow(4, {-5, 50, 0, 0, 0, 0});  // outside the count: stays
  ASSERT_TRUE(a.SortRows(4));
  EXPECT_EQ(a.Element(0, 0), -1);
  EXPECT_EQ(a.Element(0, 1), 10);
  EXPECT_EQ(a.Element(1, 1), 20);
  EXPECT_EQ(a.Element(2, 1), 30);
  EXPECT_TRUE(std::isnan(a.Element(3, 0)));
  EXPECT_EQ(a.Element(3, 1), 99);
  EXPECT_EQ(a.Element(4, 0), -5);
}

TEST(NumericArrayTest, SortKeepsTheOrderOfEqualKeys) {
  // Random keys with many repeats, NaNs and both zeros, against a stable
  // sort that puts NaN last; column 1 tells the rows apart.
  std::mt19937 rng(5);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double pool[] = {nan, -0.0, 0.0, 1.5, -2.0, 7.0, -nan};
  for (int count : {0, 1, 2, 17, 1000, 10000}) {
    NumericArray a;
    std::vector<ArrayRow> rows;
    for (int i = 0; i < ARRAY_ROWS; ++i) {
      const ArrayRow row = {pool[rng() % 7], static_cast<double>(i), 0, 0, 0, 0};
      a.SetRow(i, row);
      rows.push_back(row);
    }
    std::stable_sort(rows.begin(), rows.begin() + count, [](const ArrayRow& x, const ArrayRow& y) {
      return !std::isnan(x[0]) && (std::isnan(y[0]) || x[0] < y[0]);
    });
    ASSERT_TRUE(a.SortRows(count));
    for (int i = 0; i < ARRAY_ROWS; ++i) {
      ASSERT_EQ(a.Element(i, 1), rows[i][1]) << "count " << count << " row " << i;
      ASSERT_EQ(std::signbit(a.Element(i, 0)), std::signbit(rows[i][0])) << "row " << i;
    }
  }
}

TEST(NumericArrayTest, SortOrdersEveryKindOfNumber) {
  // Keys that differ in every byte: both signs, infinities, subnormals,
  // large and tiny magnitudes and small whole numbers, against a stable sort.
  std::mt19937_64 rng(11);
  const double specials[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::denorm_min(),
                             -std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                             1e-300, -1e-300, 0.0, -0.0};
  NumericArray a;
  std::vector<ArrayRow> rows;
  for (int i = 0; i < ARRAY_ROWS; ++i) {
    double key;
    switch (rng() % 4) {
      case 0: key = specials[rng() % std::size(specials)]; break;
      case 1: key = static_cast<double>(static_cast<int>(rng() % 200) - 100); break;
      case 2: key = std::ldexp(static_cast<double>(rng() % 1000000) - 500000.0, static_cast<int>(rng() % 200) - 100); break;
      default: key = std::bit_cast<double>(rng()); break;  // any bits, NaNs included
    }
    const ArrayRow row = {key, static_cast<double>(i), 0, 0, 0, 0};
    a.SetRow(i, row);
    rows.push_back(row);
  }
  std::stable_sort(rows.begin(), rows.end(), [](const ArrayRow& x, const ArrayRow& y) {
    return !std::isnan(x[0]) && (std::isnan(y[0]) || x[0] < y[0]);
  });
  ASSERT_TRUE(a.SortRows(ARRAY_ROWS));
  for (int i = 0; i < ARRAY_ROWS; ++i) ASSERT_EQ(a.Element(i, 1), rows[i][1]) << "row " << i;
}

TEST(NumericArrayTest, SortRefusesCountsOutsideTheStore) {
  NumericArray a;
  a.SetRow(0, {2, 0, 0, 0, 0, 0});
  a.SetRow(1, {1, 0, 0, 0, 0, 0});
  EXPECT_FALSE(a.SortRows(10001));
  EXPECT_FALSE(a.SortRows(-1));
  EXPECT_EQ(a.Element(0, 0), 2);
  EXPECT_TRUE(a.SortRows(10000));
  // All other rows are zero and sort between -inf and 1.
  EXPECT_EQ(a.Element(9999, 0), 2);
  EXPECT_EQ(a.Element(9998, 0), 1);
}

TEST(StringArrayTest, SetEnforcesTheEntrySize) {
  StringArray s;
  EXPECT_TRUE(s.Set(499, std::string(1022, 'x')));
  EXPECT_EQ(s.Get(499).size(), 1022u);
  EXPECT_FALSE(s.Set(0, std::string(1023, 'y')));
  EXPECT_EQ(s.Get(0), "");
  EXPECT_FALSE(s.Set(500, "a"));
  EXPECT_FALSE(s.Set(-1, "a"));
  EXPECT_EQ(s.Get(500), "");
  EXPECT_TRUE(s.Set(1, std::string("ab\0cd", 5)));
  EXPECT_EQ(s.Get(1), "ab");
}

TEST(StringArrayTest, SortAndSearch) {
  StringArray s;
  s.Set(0, "pear");
  s.Set(1, "\x82\xa0");  // a two-byte character sorts after ASCII
  s.Set(2, "apple");
  s.Set(3, "applepie");
  ASSERT_TRUE(s.Sort(4));
  EXPECT_EQ(s.Get(0), "apple");
  EXPECT_EQ(s.Get(1), "applepie");
  EXPECT_EQ(s.Get(2), "pear");
  EXPECT_EQ(s.Get(3), "\x82\xa0");
  EXPECT_FALSE(s.Sort(501));
  EXPECT_EQ(s.Search(4, "pie", false), 1);
  EXPECT_EQ(s.Search(4, "pie", true), -1);
  EXPECT_EQ(s.Search(4, "pear", true), 2);
  EXPECT_EQ(s.Search(1, "pear", true), -1);      // outside the count
  EXPECT_EQ(s.Search(100000, "pear", true), 2);  // count capped at 500
  EXPECT_EQ(s.Search(-3, "pear", true), -1);
  s.Clear();
  EXPECT_EQ(s.Get(2), "");
}

TEST(FifoTest, ReadWithoutRemovingThenRewind) {
  Fifo f;
  std::string out;
  ASSERT_EQ(f.Put("first", false), Fifo::PutResult::kStored);
  ASSERT_EQ(f.Put("second", false), Fifo::PutResult::kStored);
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "first");
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "second");
  EXPECT_FALSE(f.Get(out, false));
  f.Rewind();
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "first");
  EXPECT_EQ(f.Count(), 2);
}

TEST(FifoTest, RemovingEmptiesAndTheNextPutGoesToSlotZero) {
  Fifo f;
  std::string out;
  f.Put("a", false);
  f.Put("b", false);
  ASSERT_TRUE(f.Get(out, true));
  EXPECT_EQ(out, "a");
  ASSERT_TRUE(f.Get(out, true));
  EXPECT_EQ(out, "b");
  EXPECT_EQ(f.Count(), 0);
  EXPECT_FALSE(f.Get(out, true));
  f.Put("c", false);
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "c");
}

TEST(FifoTest, FullFifoFailsOrOverwritesTheOldest) {
  Fifo f;
  for (int i = 0; i < FIFO_SLOTS; ++i)
    ASSERT_EQ(f.Put(std::to_string(i), false), Fifo::PutResult::kStored);
  EXPECT_EQ(f.Put("new", false), Fifo::PutResult::kFull);
  EXPECT_EQ(f.Count(), 100);
  // A refused text never pushes an entry out.
  EXPECT_EQ(f.Put(std::string(1024, 'x'), true), Fifo::PutResult::kTooLong);
  std::string out;
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "0");
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "1");
  // Two entries were read; overwriting drops "0" but the reader still gets
  // "2" next rather than skipping it.
  EXPECT_EQ(f.Put("new", true), Fifo::PutResult::kStored);
  EXPECT_EQ(f.Count(), 100);
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "2");
  f.Rewind();
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "1");
  for (int i = 0; i < 99; ++i) ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "new");
}

TEST(FifoTest, TextLimitIs1023Bytes) {
  Fifo f;
  EXPECT_EQ(f.Put(std::string(1023, 'x'), false), Fifo::PutResult::kStored);
  EXPECT_EQ(f.Put(std::string(1024, 'x'), false), Fifo::PutResult::kTooLong);
  EXPECT_EQ(f.Count(), 1);
  f.Clear();
  EXPECT_EQ(f.Count(), 0);
  EXPECT_EQ(f.Cursor(), 0);
}

TEST(FifoTest, RemovingInTheMiddleKeepsTheCursor) {
  Fifo f;
  std::string out;
  f.Put("a", false);
  f.Put("b", false);
  f.Put("c", false);
  f.Get(out, false);  // cursor 1
  ASSERT_TRUE(f.Get(out, true));
  EXPECT_EQ(out, "b");
  ASSERT_TRUE(f.Get(out, false));
  EXPECT_EQ(out, "c");
  f.Rewind();
  f.Get(out, false);
  EXPECT_EQ(out, "a");
}

}  // namespace
}  // namespace vx::api
