#include "files/file_tools.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vx::api::filetools {
namespace {

TEST(NewFileNameTest, PlainNameWhenFreeThenNumbers) {
  std::set<std::string> taken;
  auto is_taken = [&](const std::string& n) { return taken.count(n) > 0; };
  EXPECT_EQ(NewFileName("log", ".txt", nullptr, is_taken), "log.txt");
  taken = {"log.txt"};
  EXPECT_EQ(NewFileName("log", ".txt", nullptr, is_taken), "log0.txt");
  taken = {"log.txt", "log0.txt", "log1.txt"};
  EXPECT_EQ(NewFileName("log", ".txt", nullptr, is_taken), "log2.txt");
}

TEST(NewFileNameTest, DatedNames) {
  const calendar::Date date{2024, 3, 7};
  std::set<std::string> taken;
  auto is_taken = [&](const std::string& n) { return taken.count(n) > 0; };
  EXPECT_EQ(NewFileName("rep", ".csv", &date, is_taken), "rep2024-03-07.csv");
  taken = {"rep2024-03-07.csv", "rep2024-03-07_0.csv"};
  EXPECT_EQ(NewFileName("rep", ".csv", &date, is_taken), "rep2024-03-07_1.csv");
}

TEST(NewFileNameTest, GivesUpAfterAThousandOrWhenTooLong) {
  int asked = 0;
  auto all_taken = [&](const std::string&) { return ++asked, true; };
  EXPECT_FALSE(NewFileName("x", ".y", nullptr, all_taken));
  EXPECT_EQ(asked, 1 + 1000);
  auto none_taken = [](const std::string&) { return false; };
  EXPECT_TRUE(NewFileName(std::string(2000, 'h'), std::string(28, 't'), nullptr, none_taken));
  EXPECT_FALSE(NewFileName(std::string(2000, 'h'), std::string(29, 't'), nullptr, none_taken));
}

TEST(WildcardTest, StarsQuestionMarksAndCase) {
  EXPECT_TRUE(WildcardMatch("Report.TXT", "*.txt"));
  EXPECT_TRUE(WildcardMatch("", "*"));
  EXPECT_FALSE(WildcardMatch("", "?"));
  EXPECT_TRUE(WildcardMatch("abc", "a?c"));
  EXPECT_FALSE(WildcardMatch("abcd", "a?c"));
  EXPECT_TRUE(WildcardMatch("a.b.c", "*.*.c"));
  EXPECT_FALSE(WildcardMatch("abc", "*d*"));
  EXPECT_TRUE(WildcardMatch("aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*b"));
  EXPECT_FALSE(WildcardMatch("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "*a*a*a*a*a*a*a*b"));
}

TEST(CommandLineTest, WindowsQuotingRules) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("  prog  a\tb  "), (Words{"prog", "a", "b"}));
  EXPECT_EQ(SplitCommandLine("prog \"two words\" x\"y z\""), (Words{"prog", "two words", "xy z"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\b \"q\" c\\\"d e\\"f g")"),
            (Words{"p", R"(a\\b)", "\"q\"", R"(c\"d)", R"(e\f g)"}));
  EXPECT_EQ(SplitCommandLine("p \"\""), (Words{"p", ""}));
  // 0x5C as the second byte of a two-byte character is not a backslash.
  EXPECT_EQ(SplitCommandLine("p \x95\x5c\"a b\""), (Words{"p",
                                                          "\x95\x5c"
                                                          "a b"}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(FillFormTest, ReplacesKnownNamesOnly) {
  auto lookup = [](std::string_view name, std::string& value) {
    if (name == "NAME")
      value = "Taro";
    else if (name == "N")
      value = "3";
    else
      return false;
    return true;
  };
  std::string out;
  auto report =
      FillForm("Dear %NAME%, %N% items at 50%% off; %UNKNOWN% stays, 100% sure", lookup, out, 1000);
  EXPECT_EQ(out, "Dear Taro, 3 items at 50% off; %UNKNOWN% stays, 100% sure");
  EXPECT_EQ(report.replaced, 2);
  EXPECT_EQ(report.unknown, 1);
  EXPECT_FALSE(report.cut);
  report = FillForm("%NAME%%NAME%", lookup, out, 6);
  EXPECT_EQ(out, "TaroTa");
  EXPECT_TRUE(report.cut);
  FillForm("%" + std::string(32, 'A') + "% %", lookup, out, 1000);
  EXPECT_EQ(out, "%" + std::string(32, 'A') + "% %");
}

TEST(ActivityLogTest, LinesAndTails) {
  calendar::DateTime t;
  t.date = {2024, 1, 2};
  t.hour = 3;
  t.minute = 4;
  t.second = 5;
  EXPECT_EQ(ActivityLogLine(t, "start\r\nnext"), "2024/01/02 03:04:05 start  next\r\n");
  EXPECT_EQ(LastLines("a\nb\nc\n", 2), "b\nc\n");
  EXPECT_EQ(LastLines("a\nb\nc", 1), "c");
  EXPECT_EQ(LastLines("a\nb\n", 5), "a\nb\n");
  EXPECT_EQ(LastLines("a\nb\n", 0), "");
}

}  // namespace
}  // namespace vx::api::filetools
