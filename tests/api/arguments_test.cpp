#include "api/arguments.hpp"

#include <gtest/gtest.h>

#include <string>

#include "api/argument_cache.hpp"
#include "api_test_support.hpp"

namespace vx::test {
namespace {

using args::ArgCount;
using args::ArgLocate;
using args::ArgText;

// "表" in Shift-JIS: its second byte is a backslash.
constexpr std::string_view kHyo = "\x95\x5C";

TEST(ArgumentSplitting, CountsSeparatingCommas) {
  EXPECT_EQ(ArgCount(""), 1);
  EXPECT_EQ(ArgCount("a"), 1);
  EXPECT_EQ(ArgCount("a,b"), 2);
  EXPECT_EQ(ArgCount("a,,b"), 3);
  EXPECT_EQ(ArgCount(","), 2);
  EXPECT_EQ(ArgCount("a, b ,c,"), 4);
}

TEST(ArgumentSplitting, CommasInQuotesOrBehindABackslashDoNotSeparate) {
  EXPECT_EQ(ArgCount(R"("a,b",c)"), 2);
  EXPECT_EQ(ArgCount(R"(a\,b,c)"), 2);
  // The escaped quote does not close the quoted part, so its comma stays in.
  EXPECT_EQ(ArgCount(R"("a\",b",c)"), 2);
  EXPECT_EQ(ArgText(R"("a\",b",c)", 0), R"("a\",b")");
  // An unclosed quote hides every later comma.
  EXPECT_EQ(ArgCount(R"("a,b,c)"), 1);
  EXPECT_EQ(ArgCount(R"("a""b",c,"d,e")"), 3);
}

TEST(ArgumentSplitting, ShiftJisSecondByteIsNeverABackslashOrComma) {
  // 表 ends in 0x5C; the quote after it still closes the text.
  const std::string text = "\"" + std::string(kHyo) + "\",x";
  EXPECT_EQ(ArgCount(text), 2);
  EXPECT_EQ(ArgText(text, 1), "x");
  // A lead byte 0x7F-0x9F takes a following comma with it.
  EXPECT_EQ(ArgCount("\x81,x"), 1);
  EXPECT_EQ(ArgCount("\x7F,x"), 1);
  EXPECT_EQ(ArgCount("\x9F\",x"), 2);
  // Other high bytes are single characters for the splitting.
  EXPECT_EQ(ArgCount("\xE0,x"), 2);
  EXPECT_EQ(ArgCount("\xB1,x"), 2);
  EXPECT_EQ(ArgCount("\xA0\",x"), 1);
}

TEST(ArgumentSplitting, LocatesArgumentsAndStopsTheirTextAtLineEnds) {
  const std::string_view text = "ab, cd,ef";
  EXPECT_EQ(ArgLocate(text, 0), 0u);
  EXPECT_EQ(ArgLocate(text, 1), 3u);
  EXPECT_EQ(ArgLocate(text, 2), 7u);
  EXPECT_EQ(ArgLocate(text, 3), text.size());
  EXPECT_EQ(ArgLocate(text, 100), text.size());
  EXPECT_EQ(ArgLocate(text, -1), text.size());
  EXPECT_EQ(ArgText(text, 1), " cd");
  EXPECT_EQ(ArgText(text, 5), "");
  EXPECT_EQ(ArgText("a\r\nb,c", 0), "a");
  EXPECT_EQ(ArgText("a\r\nb,c", 1), "c");
  EXPECT_EQ(ArgText("\"a\nb\",c", 0), "\"a");
}

TEST(ArgumentSplitting, TruncatedCharactersAtTheEndAreSafe) {
  EXPECT_EQ(ArgCount("a\x81"), 1);
  EXPECT_EQ(ArgCount("a\\"), 1);
  EXPECT_EQ(ArgText("a,\x81", 1), "\x81");
  EXPECT_EQ(ArgText("a,\\", 1), "\\");
}

TEST(ArgumentSplitting, ANulByteEndsTheText) {
  const std::string_view text("a\0,b", 4);
  EXPECT_EQ(ArgCount(text), 1);
  EXPECT_EQ(ArgLocate(text, 1), 1u);
  EXPECT_EQ(ArgText(text, 0), "a");
  EXPECT_EQ(ArgText(text, 1), "");
}

// The getters over a text and over a cache must agree; every case runs both.
class GetterTest : public ApiTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool Cached() const { return GetParam(); }
  ArgumentCache& Bound(std::string_view text) {
    ArgumentCache& cache = GetOrCreateArgumentCache(cache_);
    args::BindCache(cache, text);
    return cache;
  }
  std::int32_t Int(std::string_view text, int n) {
    return Cached() ? args::GetIntArg(rt, Bound(text), n) : args::GetIntArg(rt, text, n);
  }
  double Dbl(std::string_view text, int n) {
    return Cached() ? args::GetDoubleArg(rt, Bound(text), n) : args::GetDoubleArg(rt, text, n);
  }
  int Str(std::string_view text, int n, std::string& out) {
    return Cached() ? args::GetStringArg(rt, Bound(text), n, out)
                    : args::GetStringArg(rt, text, n, out);
  }
  std::int32_t Rsc(std::string_view text, int n) {
    return Cached() ? args::GetResourceArg(rt, Bound(text), n)
                    : args::GetResourceArg(rt, text, n);
  }
  std::int32_t RscOrNone(std::string_view text, int n) {
    return Cached() ? args::GetResourceArgOrNone(rt, Bound(text), n)
                    : args::GetResourceArgOrNone(rt, text, n);
  }
  void Optional() { rt.arg_status |= ARG_OPTIONAL; }

  ArgumentCachePtr cache_;
};

INSTANTIATE_TEST_SUITE_P(TextAndCache, GetterTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Cached" : "Text"; });

TEST_P(GetterTest, IntegersAreTruncatedTowardZero) {
  Ready();
  EXPECT_EQ(Int("7.9", 0), 7);
  EXPECT_EQ(Int("1, -7.9", 1), -7);
  EXPECT_EQ(rt.arg_status, ARG_PRESENT);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_DOUBLE_EQ(Dbl("1, -7.25", 1), -7.25);
}

TEST_P(GetterTest, NumbersReadVariables) {
  const auto x = DeclareLong("X", 20);
  DeclareDouble("D", 1.5);
  Ready();
  EXPECT_EQ(Int("X + 1", 0), 21);
  EXPECT_DOUBLE_EQ(Dbl("0, D * 2", 1), 3.0);
  values::WriteInteger(rt, x, 5);
  EXPECT_EQ(Int("X + 1", 0), 6);  // the value of the moment, also when cached
}

TEST_P(GetterTest, MissingArgumentsReportByGetterType) {
  Ready();
  EXPECT_EQ(Int("1", 1), 0);
  EXPECT_EQ(rt.arg_status, ARG_MISSING);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kIntParamMissing));
  rt.error.Clear();

  EXPECT_DOUBLE_EQ(Dbl("1,,3", 1), 0.0);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamMissing));
  rt.error.Clear();

  std::string out = "left over";
  EXPECT_EQ(Str("1, ,3", 1, out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(rt.arg_status, ARG_MISSING);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamMissing));
  rt.error.Clear();

  EXPECT_EQ(Rsc("1,\t", 1), -1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kResourceParamMissing));
  rt.error.Clear();

  // The third argument after the empty one is still found.
  EXPECT_EQ(Int("1,,3", 2), 3);
  EXPECT_EQ(rt.arg_status, ARG_PRESENT);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_P(GetterTest, OptionalBitSilencesAMissingArgumentAndIsUsedUp) {
  Ready();
  Optional();
  EXPECT_EQ(Int("1,", 1), 0);
  EXPECT_EQ(rt.arg_status, ARG_MISSING);
  EXPECT_FALSE(rt.error.Raised());

  Optional();
  EXPECT_EQ(Int("1,5", 1), 5);
  EXPECT_EQ(rt.arg_status, ARG_PRESENT);

  Optional();
  std::string out;
  EXPECT_EQ(Str("1", 3, out), 0);
  Optional();
  EXPECT_EQ(Rsc("1", 3), -1);
  EXPECT_FALSE(rt.error.Raised());

  // The bit covers one fetch only.
  EXPECT_EQ(Int("1,", 1), 0);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kIntParamMissing));
}

TEST_P(GetterTest, StringArgumentsKeepCommasInQuotes) {
  DeclareString("S", 64, "xyz");
  Ready();
  std::string out;
  EXPECT_EQ(Str(R"("a,b", S)", 0, out), 1);
  EXPECT_EQ(out, "a,b");
  EXPECT_EQ(rt.arg_status, ARG_PRESENT);
  EXPECT_EQ(Str(R"("a,b", S)", 1, out), 1);
  EXPECT_EQ(out, "xyz");
  EXPECT_EQ(Str(R"("a" + S, 1)", 0, out), 1);
  EXPECT_EQ(out, "axyz");
  const std::string sjis = "\"" + std::string(kHyo) + "\",S";
  EXPECT_EQ(Str(sjis, 0, out), 1);
  EXPECT_EQ(out, kHyo);
  EXPECT_EQ(Str(sjis, 1, out), 1);
  EXPECT_EQ(out, "xyz");
  EXPECT_FALSE(rt.error.Raised());
}

TEST_P(GetterTest, ResourceArgumentTakesTheFirstWord) {
  const auto x = DeclareLong("X");
  Ready();
  EXPECT_EQ(Rsc("1,  X  trailing words", 1), x);
  EXPECT_EQ(Rsc("X\t", 0), x);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_EQ(Rsc("1, x", 1), -1);  // names are case-sensitive
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "x"));
  rt.error.Clear();
  Optional();
  EXPECT_EQ(Rsc("NOPE other", 0), -1);  // optional does not hide a wrong name
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "NOPE"));
  EXPECT_EQ(rt.arg_status, ARG_PRESENT);
}

TEST_P(GetterTest, NothingAfterANulByteIsRead) {
  const auto x = DeclareLong("X");
  Ready();
  EXPECT_EQ(Rsc(std::string_view("X\0 junk, 5", 11), 0), x);
  EXPECT_EQ(Int(std::string_view("X\0 junk, 5", 11), 1), 0);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kIntParamMissing));
}

TEST_P(GetterTest, ResourceOrNoneIsSilent) {
  const auto x = DeclareLong("X");
  Ready();
  EXPECT_EQ(RscOrNone("X", 0), x);
  EXPECT_EQ(RscOrNone("NOPE", 0), -1);
  EXPECT_EQ(rt.arg_status, ARG_PRESENT);
  EXPECT_EQ(RscOrNone("X, ", 1), -1);
  EXPECT_EQ(rt.arg_status, ARG_MISSING);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_P(GetterTest, ArgumentOf4095BytesOrMoreIsCutAndReported) {
  Ready();
  std::string out;
  // 4094 bytes: fine.
  const std::string fits = "\"ab\"" + std::string(4090, ' ');
  EXPECT_EQ(Str(fits, 0, out), 1);
  EXPECT_EQ(out, "ab");
  EXPECT_FALSE(rt.error.Raised());
  // 4095 bytes: reported, the text still used.
  const std::string limit = "\"ab\"" + std::string(4091, ' ');
  EXPECT_EQ(Str(limit + ",1", 0, out), 1);
  EXPECT_EQ(out, "ab");
  EXPECT_EQ(ErrorText(), Message(msg::Id::kArgumentTooLong));
  rt.error.Clear();
  // Longer: only the first 4095 bytes count, so the second term is lost.
  EXPECT_EQ(Str(limit + "+\"cd\", 1", 0, out), 1);
  EXPECT_EQ(out, "ab");
  EXPECT_EQ(ErrorText(), Message(msg::Id::kArgumentTooLong));
  rt.error.Clear();
  // The next argument is unaffected.
  EXPECT_EQ(Int(limit + "+\"cd\", 12", 1), 12);
  EXPECT_FALSE(rt.error.Raised());
  // A long numeric argument: the number before the cut still counts.
  EXPECT_EQ(Int("7" + std::string(5000, ' '), 0), 7);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kArgumentTooLong));
  rt.error.Clear();
  // Only blanks before the cut: the argument counts as missing.
  EXPECT_EQ(Rsc(std::string(5000, ' ') + "G_ERROR", 0), -1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kResourceParamMissing));
}

TEST_P(GetterTest, BadNumbersGiveZeroAndTheExpressionError) {
  Ready();
  EXPECT_EQ(Int("UNDECLARED + 1", 0), 0);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kExpressionError));
  EXPECT_EQ(rt.arg_status, ARG_PRESENT);
  rt.error.Clear();
  EXPECT_EQ(Int("1+2)", 0), 0);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kExpressionError));
  rt.error.Clear();
  // The same failing text again: the cache must not hide the failure.
  EXPECT_EQ(Int("1+2)", 0), 0);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kExpressionError));
}

TEST_P(GetterTest, UnknownResourceInATextArgumentIsReported) {
  Ready();
  std::string out;
  EXPECT_EQ(Str("\"a\" + MISSING", 0, out), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kStringExprNoResource, "MISSING"));
}

TEST(PendingError, LaterMessageReplacesEarlier) {
  FakeWindowSystem window;
  Runtime rt{window};
  args::SetPendingError(rt, "first");
  args::SetPendingError(rt, "second");
  EXPECT_TRUE(rt.error.Raised());
  EXPECT_EQ(rt.error.Text(), "second");
}

}  // namespace
}  // namespace vx::test
