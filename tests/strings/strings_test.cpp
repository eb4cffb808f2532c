// The string and field APIs through the dispatcher: argument order, optional
// arguments, outputs, G_ERROR and the secondary results.
#include <gtest/gtest.h>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "text/encoding.hpp"

namespace vx::test {
namespace {

std::string Sj(std::string_view utf8) { return text::Utf8ToCp932(utf8); }

class StringApiTest : public ApiTest {
 protected:
  void SetUp() override {
    a = DeclareString("A", 4096);
    b = DeclareString("B", 4096);
    n = DeclareLong("N");
    d = DeclareDouble("D");
    bin = DeclareString("BIN", 16);
    small = DeclareString("SMALL", 6);
    Ready();
  }
  void Set(std::int32_t index, std::string_view value) { values::WriteText(rt, index, value); }
  std::int32_t Work1() { return Long(sysvar::G_WORK1); }
  // Runs and expects no pending error.
  void Ok(std::string_view name, std::string_view args) {
    EXPECT_EQ(Call(name, args), 1) << name;
    EXPECT_FALSE(rt.error.Raised()) << name << ": " << text::Cp932ToUtf8(rt.error.Text());
  }

  std::int32_t a, b, n, d, bin, small;
};

TEST_F(StringApiTest, EveryIdOfTheFamilyIsHandled) {
  for (int id = 8; id <= 47; ++id) {
    rt.error.Clear();
    EXPECT_EQ(api::Dispatch(rt, id, ""), 1) << id;
  }
  for (int id : {51, 52, 53, 54, 55, 56, 204, 205, 433}) EXPECT_EQ(api::Dispatch(rt, id, ""), 1) << id;
}

TEST_F(StringApiTest, ClassificationWritesNumbers) {
  Ok("AllAscii", "\"abc\", N");
  EXPECT_EQ(Long(n), 1);
  Set(a, Sj("あ"));
  Ok("AllAscii", "A, N");
  EXPECT_EQ(Long(n), 0);
  Ok("ChkString", "\"1F\", N");
  EXPECT_EQ(Long(n), 67);
  Ok("ChkString", "\"1G\", N");
  EXPECT_EQ(Long(n), 3);
  Ok("ChkKWord", "\"if goto\", \"if while\", N");
  EXPECT_EQ(Long(n), 1);
  Ok("strCWord", "\"x=ab+a;\", \"a\", N");
  EXPECT_EQ(Long(n), 1);
  Ok("strCWord", "\"x=ab;\", \"a\", N");
  EXPECT_EQ(Long(n), 0);
  Ok("strcmp", "\"abc\", \"abd\", N");
  EXPECT_EQ(Long(n), -1);
  Ok("stricmp", "\"ABC\", \"abc\", N");
  EXPECT_EQ(Long(n), 0);
  Ok("StrcmpWild", "\"Readme.TXT\", \"*.txt\", N");
  EXPECT_EQ(Long(n), 1);
  Ok("StrcmpWild", "\"\", \"?\", N");
  EXPECT_EQ(Long(n), 0);
}

TEST_F(StringApiTest, ReplaceReportsItsCountInWork1) {
  Set(a, Sj("ア") + "A");  // 0x83 0x41 0x41
  Ok("StrReplace", "A, \"A\", \"x\", B");
  EXPECT_EQ(Text(b), "\x83xx");
  EXPECT_EQ(Work1(), 2);
  Ok("StrReplaceSj", "A, \"A\", \"x\", B");
  EXPECT_EQ(Text(b), Sj("ア") + "x");
  EXPECT_EQ(Work1(), 1);
  Ok("StrReplace", "\"aaaa\", \"a\", \"b\", B, 3");
  EXPECT_EQ(Text(b), "bbba");
  EXPECT_EQ(Work1(), 3);
  values::WriteInteger(rt, sysvar::G_ERROR, 7);
  Ok("CWordReplace", "\"a+ab+a\", \"a\", \"Z\", B");
  EXPECT_EQ(Text(b), "Z+ab+Z");
  EXPECT_EQ(Work1(), 2);
  EXPECT_EQ(Error(), 0);
}

TEST_F(StringApiTest, ReplacedTextIsCutToTheOutputVariable) {
  Ok("StrReplace", "\"abc\", \"b\", \"123456\", SMALL");
  EXPECT_EQ(Text(small), "a1234");
  EXPECT_EQ(Work1(), 1);
}

TEST_F(StringApiTest, SearchCounts) {
  Ok("stristr", "\"ABab\", \"ab\", N");
  EXPECT_EQ(Long(n), 2);
  Set(a, Sj("ヂ"));
  Set(b, Sj("ア"));
  Ok("stristr", "A, B, N");
  EXPECT_EQ(Long(n), 1);
  Ok("stristrSjis", "A, B, N");
  EXPECT_EQ(Long(n), 0);
  Ok("StrInStr", "\"abcabc\", \"c\", N");
  EXPECT_EQ(Long(n), 2);
  Ok("StrInStr", "\"abcabc\", \"c\", N, 3");
  EXPECT_EQ(Long(n), 5);
  Ok("StrInStr", "\"abcabc\", \"c\", N, -1");
  EXPECT_EQ(Long(n), -1);
}

TEST_F(StringApiTest, DividingWritesBothOutputs) {
  Set(a, "a" + Sj("あ") + "b");
  Ok("SjDivideStr", "A, 2, B, SMALL");
  EXPECT_EQ(Text(b), "a");
  EXPECT_EQ(Text(small), Sj("あ") + "b");
  Ok("ScanWord", "\"  cmd arg1,arg2\", A, B");
  EXPECT_EQ(Text(a), "cmd");
  EXPECT_EQ(Text(b), " arg1,arg2");
  Ok("ScanWordC", "\"x1+y\", A, B");
  EXPECT_EQ(Text(a), "x1");
  EXPECT_EQ(Text(b), "+y");
}

TEST_F(StringApiTest, DividingWithAnUnknownSecondOutputWritesNothing) {
  Set(b, "old");
  EXPECT_EQ(Call("ScanWord", "\"word rest\", B, NOPE"), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "NOPE"));
  EXPECT_EQ(Text(b), "old");
}

TEST_F(StringApiTest, PathsAndSeparators) {
  Set(a, "C:\\data\\" + Sj("表") + ".txt");
  Ok("GlosFN", "A, B, SMALL");
  EXPECT_EQ(Text(b), Sj("表") + ".txt");
  EXPECT_EQ(Text(small), "C:\\da");  // cut to the capacity of SMALL
  Ok("GlosFN", "\"name.txt\", B");
  EXPECT_EQ(Text(b), "name.txt");
  Ok("GetExt", "A, B");
  EXPECT_EQ(Text(b), ".txt");

  Ok("CutString", "\"a,b,c\", \",\", B");
  EXPECT_EQ(Text(b), "a");
  EXPECT_EQ(Error(), 0);
  Ok("CutString", "\"a,b,c\", \",\", B, -1");
  EXPECT_EQ(Text(b), "a,b");
  Ok("CutString", "\"abc\", \",\", B");
  EXPECT_EQ(Text(b), "abc");
  EXPECT_EQ(Error(), 1);
  Ok("SplitString", "\"a,b,c\", \",\", B, 2");
  EXPECT_EQ(Text(b), "c");
  EXPECT_EQ(Error(), 0);
  Ok("SplitString", "\"abc\", \";\", B");
  EXPECT_EQ(Text(b), "");
  EXPECT_EQ(Error(), 1);
}

TEST_F(StringApiTest, BlanksAndPrefixes) {
  Ok("SkipSpace", "\" \t x y \", B, N");
  EXPECT_EQ(Text(b), "x y ");
  EXPECT_EQ(Long(n), 3);
  Ok("SkipSpace", "\"  z\", B");
  EXPECT_EQ(Text(b), "z");
  Ok("CutSpace", "\" \t x y \t\", B");
  EXPECT_EQ(Text(b), "x y");
  Set(a, "ab" + Sj("あ"));
  Ok("strncpyPlus", "B, A, 3");
  EXPECT_EQ(Text(b), "ab");
  Ok("GetPartStr", "\"abcdef\", 2, B, A");
  EXPECT_EQ(Text(b), "cdef");
  EXPECT_EQ(Text(a), "ab");
  Ok("GetPartStr", "\"abc\", 9, B");
  EXPECT_EQ(Text(b), "");
}

TEST_F(StringApiTest, BuildingTexts) {
  Ok("StrFill", "\"ab\", 5, 0, B");
  EXPECT_EQ(Text(b), "ababa");
  Ok("StrFill", "\"42\", 6, 2, B");
  EXPECT_EQ(Text(b), "    42");
  Ok("InsComma", "\"-1234567.891\", B");
  EXPECT_EQ(Text(b), "-1,234,567.891");
  EXPECT_EQ(Error(), 0);
  Ok("InsComma", "\"n/a\", B");
  EXPECT_EQ(Text(b), "n/a");
  EXPECT_EQ(Error(), 1);
  Ok("CnvTab", "\"a\\x09b\", 4, B");
  EXPECT_EQ(Text(b), "a   b");
  Ok("StrAddMulti", "\"x\", \"-\", 3, B");
  EXPECT_EQ(Text(b), "x---");
  Set(a, Sj("ｶﾞｯﾂ") + "1");
  Ok("Hafe2Full", "A, B, 1");
  EXPECT_EQ(Text(b), Sj("ガッツ１"));
  Ok("Hafe2Full", "B, A, 2");
  EXPECT_EQ(Text(a), Sj("ｶﾞｯﾂ") + "1");
}

TEST_F(StringApiTest, BinaryBytesOfStringVariables) {
  Ok("LayIntOnStr", "258, BIN, 0, 2");
  EXPECT_EQ(Error(), 0);
  Ok("GetIntOnStr", "BIN, 0, 2, N");
  EXPECT_EQ(Long(n), 258);
  Ok("BinStrToBinary", "BIN, 1, N");
  EXPECT_EQ(Long(n), 1);  // little-endian: 0x02 0x01
  Ok("LayIntOnStr", "-2, BIN, 4, 2, 1");
  Ok("GetIntOnStr", "BIN, 4, 2, N, 3");
  EXPECT_EQ(Long(n), -2);
  Ok("GetIntOnStr", "BIN, 4, 2, N, 1");
  EXPECT_EQ(Long(n), 0xFFFE);
  Ok("BinaryToChar", "65, BIN, 14");  // the last writable byte
  EXPECT_EQ(Error(), 0);
  Ok("BinStrToBinary", "BIN, 14, N");
  EXPECT_EQ(Long(n), 65);
  Ok("BinaryToChar", "65, BIN, 15");  // the terminator stays
  EXPECT_EQ(Error(), 1);
  Ok("LayIntOnStr", "1, BIN, 13, 4");
  EXPECT_EQ(Error(), 1);
  Ok("GetIntOnStr", "BIN, 0, 5, N");
  EXPECT_EQ(Error(), 1);
  Ok("BinStrToBinary", "N, 0, N");  // not a string variable
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Long(n), -1);
}

TEST_F(StringApiTest, SetPartStrAndCharToBinary) {
  Set(a, "abc");
  Ok("SetPartStr", "A, 1, \"XY\"");
  EXPECT_EQ(Text(a), "aXY");
  Ok("SetPartStr", "A, 5, \"Z\"");
  EXPECT_EQ(Text(a), "aXY  Z");
  Ok("SetPartStr", "A, 0, \"q\"");
  EXPECT_EQ(Text(a), "qXY  Z");
  Ok("SetPartStr", "SMALL, 3, \"123456\"");
  EXPECT_EQ(Text(small), "   12");  // within the capacity of 6
  Ok("SetPartStr", "SMALL, 5, \"x\"");
  EXPECT_EQ(Error(), 1);
  Ok("CharToBinary", "\"AB\", 1, N");
  EXPECT_EQ(Long(n), 66);
  Ok("CharToBinary", "\"AB\", 2, N");
  EXPECT_EQ(Long(n), -1);
  EXPECT_EQ(Error(), 1);
}

TEST_F(StringApiTest, UnicodeRoundTripThroughAVariable) {
  Set(a, Sj("Aあ①"));
  Ok("ToUnicode", "A, BIN");
  EXPECT_EQ(Long(sysvar::G_WORK1), 6);
  Ok("GetIntOnStr", "BIN, 2, 2, N");
  EXPECT_EQ(Long(n), 0x3042);  // あ
  Ok("UnicodeToSJis", "BIN, B");
  EXPECT_EQ(Text(b), Sj("Aあ①"));
  Ok("SJisToUTF8", "A, B");
  EXPECT_EQ(Text(b), "Aあ①");
  Ok("UTF8ToSJis", "B, A");
  EXPECT_EQ(Text(a), Sj("Aあ①"));
}

TEST_F(StringApiTest, ToUnicodeKeepsWholeUnitsAndAZeroUnit) {
  Ok("ToUnicode", "\"abcdefgh\", SMALL");  // capacity 6: two units and a zero unit
  EXPECT_EQ(Long(sysvar::G_WORK1), 4);
  Ok("UnicodeToSJis", "SMALL, B");
  EXPECT_EQ(Text(b), "ab");
}

TEST_F(StringApiTest, SeparatedFields) {
  Ok("GetSprtdFld", "\"a,b,c\", \",\", 2, B");
  EXPECT_EQ(Text(b), "c");
  EXPECT_EQ(Error(), 0);
  Ok("GetSprtdFld", "\"a,b,c\", \",\", 3, B");
  EXPECT_EQ(Text(b), "c");  // not written
  EXPECT_EQ(Error(), 1);
  Ok("GetSprtdFldCalc", "\"1;2*3+1;x\", \";\", 1, D");
  EXPECT_DOUBLE_EQ(Double(d), 7.0);
  EXPECT_EQ(Error(), 0);
}

TEST_F(StringApiTest, KeyedFields) {
  Set(a, "name=\"a;b\";n=6*7;");
  Ok("GetField", "A, \"name=\", \";\", B");
  EXPECT_EQ(Text(b), "\"a;b\"");
  EXPECT_EQ(Error(), 0);
  Ok("GetFieldCalc", "A, \"n=\", \";\", D");
  EXPECT_DOUBLE_EQ(Double(d), 42.0);
  Set(b, "keep");
  Ok("GetField", "A, \"age=\", \";\", B");
  EXPECT_EQ(Text(b), "keep");
  EXPECT_EQ(Error(), 1);
  Ok("SetField", "A, \"n=\", \";\", \"1\", B");
  EXPECT_EQ(Text(b), "name=\"a;b\";n=1;");
  Ok("SetField", "A, \"age=\", \";\", \"30\", B");
  EXPECT_EQ(Text(b), "name=\"a;b\";n=6*7;age=30;");
  EXPECT_EQ(Error(), 0);
  Ok("GetFixFld", "\"20240131\", 4, 2, N");
  EXPECT_EQ(Long(n), 1);
  Ok("GetFixFld", "\"2024\", 4, 2, N");
  EXPECT_EQ(Error(), 1);
}

TEST_F(StringApiTest, ScrambleRoundTripAndShortKey) {
  Set(a, "secret " + Sj("秘密"));
  Ok("xxEncode", "A, B, \"my key\"");
  EXPECT_EQ(Error(), 0);
  EXPECT_NE(Text(b), Text(a));
  EXPECT_EQ(Text(b).size(), Text(a).size());
  Ok("xxDecode", "B, SMALL, \"my key\"");
  Ok("xxDecode", "B, A, \"my key\"");
  EXPECT_EQ(Text(a), "secret " + Sj("秘密"));
  Set(b, "unchanged");
  Ok("xxEncode", "A, B, \"abc\"");
  EXPECT_EQ(Text(b), "unchanged");
  EXPECT_EQ(Error(), 1);
}

TEST_F(StringApiTest, MissingArgumentsAreReportedAndOutputsLeftAlone) {
  Set(b, "keep");
  EXPECT_EQ(Call("StrReplace", "\"abc\", \"b\", \"x\""), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kResourceParamMissing));
  EXPECT_EQ(Text(b), "keep");
  rt.error.Clear();
  EXPECT_EQ(Call("StrFill", "\"ab\", , 0, B"), 1);  // empty length counts as missing
  EXPECT_EQ(ErrorText(), Message(msg::Id::kIntParamMissing));
  EXPECT_EQ(Text(b), "");
}

}  // namespace
}  // namespace vx::test
