#include "values/values.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "engine/system_variables.hpp"
#include "support/runtime_fixture.hpp"

namespace vx::test {
namespace {

using values::ReadAsDouble;
using values::ReadAsInteger;

class ValuesTest : public RuntimeTest {};

TEST_F(ValuesTest, StringVariablesContributeLengthOrNumberToNameTable) {
  const auto sized = DeclareString("S1", 64, "12abc", true);
  const auto plain = DeclareString("S2", 64, "12abc");
  const auto word = DeclareString("S3", 64, "abc");
  values::BuildNameTable(rt);
  EXPECT_DOUBLE_EQ(rt.names.At(rt.program.Resource(sized).name_index).value, 5.0);
  EXPECT_DOUBLE_EQ(rt.names.At(rt.program.Resource(plain).name_index).value, 12.0);
  EXPECT_DOUBLE_EQ(rt.names.At(rt.program.Resource(word).name_index).value, 0.0);
}

TEST_F(ValuesTest, WritesRefreshTheNameTable) {
  const auto x = DeclareLong("X");
  const auto s = DeclareString("S", 16);
  values::BuildNameTable(rt);
  values::WriteDouble(rt, x, 7.9);
  values::WriteText(rt, s, "2.5");
  EXPECT_DOUBLE_EQ(rt.names.At(rt.names.Find("X")).value, 7.0);
  EXPECT_DOUBLE_EQ(rt.names.At(rt.names.Find("S")).value, 2.5);
  values::AppendText(rt, s, "5");
  EXPECT_DOUBLE_EQ(rt.names.At(rt.names.Find("S")).value, 2.55);
}

TEST_F(ValuesTest, NameTableHoldsOnlyVariablesInResourceOrder) {
  DeclareControl("B", R_KD_BUTTON);
  const auto l = DeclareLong("L", 3);
  values::BuildNameTable(rt);
  // 12 longs, 8 strings, ... of the system variables come first.
  EXPECT_EQ(rt.names.At(rt.names.Find("L")).resource, l);
  EXPECT_EQ(rt.names.Find("B"), -1);
  EXPECT_EQ(rt.names.Find("G_CLIPBOARD"), -1);
  EXPECT_EQ(rt.names.At(0).name, "U_V1");
}

TEST_F(ValuesTest, DoubleToLongTruncatesTowardZero) {
  const auto x = DeclareLong("X");
  values::WriteDouble(rt, x, 2.9);
  EXPECT_EQ(ReadAsInteger(rt, x), 2);
  values::WriteDouble(rt, x, -2.9);
  EXPECT_EQ(ReadAsInteger(rt, x), -2);
  const auto d = DeclareDouble("D", -7.99);
  EXPECT_EQ(ReadAsInteger(rt, d), -7);
}

TEST_F(ValuesTest, StringWritesAreCutToCapacity) {
  const auto s = DeclareString("S", 16);
  values::WriteText(rt, s, "01234567890123456789");
  EXPECT_EQ(Text(s), "012345678901234");
  values::SetTextByName(rt, "S", "abcdefghijklmnopqrst", true);
  EXPECT_EQ(Text(s), "012345678901234");
  values::SetTextByName(rt, "S", "short", true);
  EXPECT_EQ(Text(s), "short");
  values::SetTextByName(rt, "S", "+more", false);
  EXPECT_EQ(Text(s), "short+more");
}

TEST_F(ValuesTest, AppendOnFullStringStaysTerminated) {
  const auto s = DeclareString("S", 4, "abc");
  values::AppendText(rt, s, "def");
  EXPECT_EQ(Text(s), "abc");
  const auto t = DeclareString("T", 6, "ab");
  values::AppendText(rt, t, "cdefg");
  EXPECT_EQ(Text(t), "abcde");
}

TEST_F(ValuesTest, PrintedForms) {
  const auto d = DeclareDouble("D", 1.5);
  EXPECT_EQ(Text(d), "1.500000");
  const auto f = DeclareDouble("F", 1.5, "%.2lf");
  EXPECT_EQ(Text(f), "1.50");
  const auto l = DeclareLong("L", 42, "%05ld");
  EXPECT_EQ(Text(l), "00042");
  const auto bad = DeclareLong("Bad", 42, "%s%s");
  EXPECT_EQ(Text(bad), "42");
  values::WriteText(rt, l, "00017");
  EXPECT_EQ(ReadAsInteger(rt, l), 17);
  values::WriteText(rt, l, "xyz");
  EXPECT_EQ(ReadAsInteger(rt, l), 0);
}

TEST_F(ValuesTest, PlainLongsPrintAsPrintfDoes) {
  for (std::int32_t v : {0, 7, -7, 1000000, std::numeric_limits<std::int32_t>::max(),
                         std::numeric_limits<std::int32_t>::min()}) {
    const auto l = DeclareLong("L" + std::to_string(rt.program.RscCount()), v);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%d", v);
    EXPECT_EQ(Text(l), expected);
  }
}

// Texts are read as numbers by strtod after leading white space; the quick
// refusal of texts that hold no number must refuse exactly those.
TEST(ScanDoubleTest, AgreesWithStrtod) {
  const char* const texts[] = {"",     " ",     "12",    " \t\n-3.5x", "+.5",  "-.5", ".",    "+",
                         "-",    "+-1",   ".e1",   "1e5",        "0x1A", "inf", "-INF", "Infinity",
                         "in",   "nan",   "NaN(1)", "na",        "-nan", "n1",  "<12>", "abc",
                         "\v7", "+ 1",   "..5",   "\x81\x40", "9.",   "-0",  "1e400", "0x",
                         // numbers followed by bytes no number holds
                         "3=45><", "1.5e3 rest", "nan(ab_9)x", "0x1p3;", "12\x81", "7,5", "1e+5]",
                         "-0x.8p1 ", "infinity!", "2e", "5e-", "0x1.8P+1:"};
  for (const char* raw : texts) {
    const std::string text = raw;
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    const bool reads = end != text.c_str();
    double got = 42.0;
    EXPECT_EQ(values::ScanDouble(text, &got), reads) << raw;
    if (reads) EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected)) << raw;
    else EXPECT_EQ(got, 42.0) << raw;
  }
}

TEST_F(ValuesTest, LongsReadTextBackWithTheirOwnFormat) {
  const auto hex = DeclareLong("H", 255, "%x");
  EXPECT_EQ(Text(hex), "ff");
  values::WriteText(rt, hex, "1f");
  EXPECT_EQ(ReadAsInteger(rt, hex), 31);
  values::WriteText(rt, hex, "ffffffff");
  EXPECT_EQ(ReadAsInteger(rt, hex), -1);
  const auto prefixed = DeclareLong("P", 255, "0x%04lX");
  EXPECT_EQ(Text(prefixed), "0x00FF");
  values::WriteText(rt, prefixed, "0x00AB");
  EXPECT_EQ(ReadAsInteger(rt, prefixed), 171);
  values::WriteText(rt, prefixed, "AB");  // the literal prefix does not match
  EXPECT_EQ(ReadAsInteger(rt, prefixed), 0);
  const auto octal = DeclareLong("O", 8, "%o");
  values::WriteText(rt, octal, "17");
  EXPECT_EQ(ReadAsInteger(rt, octal), 15);
  EXPECT_EQ(Text(octal), "17");
  const auto percent = DeclareLong("Pc", 5, "%3d%%");
  values::WriteText(rt, percent, " 42%");
  EXPECT_EQ(ReadAsInteger(rt, percent), 42);
  const auto chr = DeclareLong("C", 65, "%4c");
  EXPECT_EQ(Text(chr), "   A");
  values::WriteText(rt, chr, "");
  EXPECT_EQ(ReadAsInteger(rt, chr), 0);
  values::WriteText(rt, chr, "Bxyz");
  EXPECT_EQ(ReadAsInteger(rt, chr), 'B');
}

TEST_F(ValuesTest, ControlsReadThroughTheWindowSystem) {
  const auto edit = DeclareControl("E", R_KD_EDITBOX);
  window.At(rt.program.Resource(edit)).text = "3.25";
  EXPECT_EQ(ReadAsInteger(rt, edit), 0);
  EXPECT_DOUBLE_EQ(ReadAsDouble(rt, edit), 3.25);
  EXPECT_EQ(Text(edit), "3.25");

  const auto check = DeclareControl("C", R_KD_CK_BOX);
  values::WriteInteger(rt, check, 5);
  EXPECT_EQ(Text(check), "1");
  EXPECT_EQ(ReadAsInteger(rt, check), 1);

  const auto list = DeclareControl("L", R_KD_LISTBOX);
  EXPECT_EQ(Text(list), "");
  window.At(rt.program.Resource(list)).items = {"a", "b"};
  window.At(rt.program.Resource(list)).selection = 1;
  EXPECT_EQ(Text(list), "b");

  const auto track = DeclareControl("T", R_KD_TRACK_BAR);
  values::WriteText(rt, track, " 12x");
  EXPECT_EQ(ReadAsInteger(rt, track), 12);
  values::WriteText(rt, track, "no");
  EXPECT_EQ(Text(track), "12");
}

TEST_F(ValuesTest, OutOfRangeIndexAndForeignKindsAreNeutral) {
  EXPECT_EQ(ReadAsInteger(rt, -1), 0);
  EXPECT_EQ(ReadAsInteger(rt, 99999), 0);
  EXPECT_EQ(Text(99999), "");
  values::WriteInteger(rt, 99999, 1);  // must not crash
  const auto timer = DeclareControl("Tm", R_KD_TIMER);
  values::WriteText(rt, timer, "5");
  EXPECT_EQ(Text(timer), "");
  EXPECT_DOUBLE_EQ(ReadAsDouble(rt, timer), 0.0);
}

TEST_F(ValuesTest, NamesAreCaseSensitiveAndFirstDeclarationWins) {
  const auto first = DeclareLong("Count", 1);
  DeclareLong("Count", 2);
  EXPECT_TRUE(rt.error.Raised());
  EXPECT_EQ(rt.program.FindResource("Count"), first);
  EXPECT_EQ(rt.program.FindResource("count"), -1);
  EXPECT_EQ(values::GetLongByName(rt, "Count"), 1);
  values::SetLongByName(rt, "nope", 3);  // unknown: nothing
}

TEST_F(ValuesTest, ByNameSettersConvertBetweenLongAndDouble) {
  values::SetDoubleByName(rt, "G_WORK1", -3.7);
  EXPECT_EQ(values::GetLongByName(rt, "G_WORK1"), -3);
  values::SetLongByName(rt, "G_DBLWK1", 4);
  EXPECT_DOUBLE_EQ(ReadAsDouble(rt, sysvar::G_DBLWK1), 4.0);
  values::SetLongByName(rt, "G_TXT", 4);  // a string: unchanged
  EXPECT_EQ(Text(sysvar::G_TXT), "");
}

TEST_F(ValuesTest, FilesReadWholeAndWriteReplacing) {
  const auto dir = std::filesystem::temp_directory_path() / "vx_values_test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "f.txt").string();
  const auto f = DeclareFile("F", path);
  values::WriteText(rt, f, std::string_view("a\0b", 3));
  EXPECT_EQ(Text(f), std::string("a\0b", 3));
  values::WriteText(rt, f, "12.5");
  EXPECT_DOUBLE_EQ(ReadAsDouble(rt, f), 0.0);  // the path is read as a number
  EXPECT_EQ(Text(f), "12.5");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vx::test
