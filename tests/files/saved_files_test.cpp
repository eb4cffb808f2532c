#include "files/saved_files.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "files/sort_list.hpp"

namespace vx::api {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Load(std::string_view bytes, saved::LoadReport* report = nullptr) {
  Pairs pairs;
  const auto r = saved::ParseSavedValues(
      bytes, [&](std::string_view n, std::string_view v) { pairs.emplace_back(n, v); });
  if (report) *report = r;
  return pairs;
}

TEST(SavedValuesTest, LinesAreNameEqualsValueCrLf) {
  std::string out;
  saved::AppendSavedValue(out, "N", "12");
  saved::AppendSavedValue(out, "D", "1.500000");
  saved::AppendSavedValue(out, "S", "a=b C:\\dir\\x");
  saved::AppendSavedValue(out, "E", "");
  EXPECT_EQ(out, "N=12\r\nD=1.500000\r\nS=a=b C:\\dir\\x\r\nE=\r\n");
}

TEST(SavedValuesTest, LoadSplitsAtTheFirstEqualsAndSkipsOthers) {
  saved::LoadReport report;
  const Pairs pairs = Load("N=12\r\nno equals here\r\n\r\nS=a=b\nT=\r\r\n=x\nlast=1", &report);
  EXPECT_EQ(pairs, (Pairs{{"N", "12"}, {"S", "a=b"}, {"T", ""}, {"", "x"}, {"last", "1"}}));
  EXPECT_EQ(report.assignments, 5);
  EXPECT_EQ(report.skipped, 2);
  EXPECT_EQ(report.too_long, 0);
}

TEST(SavedValuesTest, MultiLineValuesRoundTrip) {
  std::string out;
  const std::string value = "line1\r\nline2\\n stays\nX=evil\r";
  saved::AppendSavedValue(out, "M", value);
  saved::AppendSavedValue(out, "N", "1");
  EXPECT_EQ(out, "M\t=line1\\r\\nline2\\\\n stays\\nX=evil\\r\r\nN=1\r\n");
  // A later line of the value must never assign another variable.
  EXPECT_EQ(Load(out), (Pairs{{"M", value}, {"N", "1"}}));
}

TEST(SavedValuesTest, OverLongLinesAreSkippedWhole) {
  std::string bytes = "A=1\r\nB=" + std::string(saved::SAVED_LINE_MAX, 'x') + "\r\nC=3\r\n";
  saved::LoadReport report;
  EXPECT_EQ(Load(bytes, &report), (Pairs{{"A", "1"}, {"C", "3"}}));
  EXPECT_EQ(report.too_long, 1);
}

TEST(SavedValuesTest, StrayBackslashesInEscapedLinesStay) {
  EXPECT_EQ(Load("M\t=a\\qb\\"), (Pairs{{"M", "a\\qb\\"}}));
}

TEST(StrArrayFileTest, FormatAndParse) {
  const std::string bytes = saved::FormatStrArrayLines({"one", "", "\x83\x5c"});
  EXPECT_EQ(bytes, "one\r\n\r\n\x83\x5c\r\n");
  const auto parsed = saved::ParseStrArrayLines(bytes + "four", 500, 1022);
  EXPECT_EQ(parsed.lines, (std::vector<std::string>{"one", "", "\x83\x5c", "four"}));
  EXPECT_EQ(parsed.cut, 0);
  EXPECT_EQ(saved::ParseStrArrayLines(bytes, 2, 1022).lines.size(), 2u);
  EXPECT_TRUE(saved::ParseStrArrayLines(bytes, 0, 1022).lines.empty());
}

TEST(StrArrayFileTest, LongLinesAreCutOnACharacterBoundary) {
  // 1021 ASCII bytes then a two-byte character that would end at 1023.
  const std::string line = std::string(1021, 'a') + "\x82\xa0" + "tail";
  const auto parsed = saved::ParseStrArrayLines(line + "\r\nnext\r\n", 500, 1022);
  ASSERT_EQ(parsed.lines.size(), 2u);
  EXPECT_EQ(parsed.lines[0], std::string(1021, 'a'));
  EXPECT_EQ(parsed.lines[1], "next");
  EXPECT_EQ(parsed.cut, 1);
  bool cut = false;
  EXPECT_EQ(saved::StrArrayEntry(std::string("ab\0cd\r\n", 7), 1022, &cut), "ab");
  EXPECT_FALSE(cut);
}

TEST(SortListTest, KeysBetweenMarkers) {
  EXPECT_EQ(SortKey("id=42;name=x\r\n", "id=", ";"), "42");
  EXPECT_EQ(SortKey("id=42\r\n", "id=", ";"), "42");  // no end marker: to the line end
  EXPECT_EQ(SortKey("id=42;\r\n", "id=", ""), "42;");
  EXPECT_EQ(SortKey("whole\n", "", ""), "whole");
  EXPECT_FALSE(SortKey("name=x\r\n", "id=", ";"));
}

TEST(SortListTest, SortsByTheMarkedPartWithKeylessLinesLast) {
  std::vector<std::string> lines = {"c <k>3</k>\r\n", "none\r\n",      "a <k>1</k> zz\r\n",
                                    "b <k>2</k>\r\n", "also none\r\n", "d <k>10</k>"};
  SortLines(lines, "<k>", "</k>", true);
  EXPECT_EQ(lines, (std::vector<std::string>{"a <k>1</k> zz\r\n", "d <k>10</k>", "b <k>2</k>\r\n",
                                             "c <k>3</k>\r\n", "none\r\n", "also none\r\n"}));
  SortLines(lines, "<k>", "</k>", false);
  EXPECT_EQ(lines, (std::vector<std::string>{"c <k>3</k>\r\n", "b <k>2</k>\r\n", "d <k>10</k>",
                                             "a <k>1</k> zz\r\n", "none\r\n", "also none\r\n"}));
  EXPECT_EQ(JoinLines(lines),
            "c <k>3</k>\r\nb <k>2</k>\r\nd <k>10</k>\r\na <k>1</k> zz\r\nnone\r\nalso none\r\n");
}

TEST(SortListTest, BytesCompareUnsigned) {
  std::vector<std::string> lines = {"\x82\xa0\n", "z\n", "A\n"};
  SortLines(lines, "", "", true);
  EXPECT_EQ(lines, (std::vector<std::string>{"A\n", "z\n", "\x82\xa0\n"}));
}

}  // namespace
}  // namespace vx::api
