// strlen, CalcStr, BitTest, BitSet, BitLogic and rand through the dispatcher.
#include <gtest/gtest.h>

#include "api_test_support.hpp"
#include "system/random.hpp"

namespace vx::test {
namespace {

class FirstApisTest : public ApiTest {
 protected:
  void SetUp() override {
    l = DeclareLong("L", 77);
    m = DeclareLong("M");
    d = DeclareDouble("D");
    s = DeclareString("S", 64, "X*2");
    x = DeclareLong("X", 21);
    t = DeclareString("T", 8);
    Ready();
  }
  std::int32_t l, m, d, s, x, t;
};

TEST_F(FirstApisTest, StrlenCountsBytes) {
  EXPECT_EQ(Call("strlen", "\"abc\", L"), 1);
  EXPECT_EQ(Long(l), 3);
  EXPECT_EQ(Call("strlen", "\"\x95\x5C\x82\xA0\", L"), 1);  // two Shift-JIS characters
  EXPECT_EQ(Long(l), 4);
  EXPECT_EQ(Call("strlen", "S + \"!\", D"), 1);
  EXPECT_DOUBLE_EQ(Double(d), 4.0);
  EXPECT_EQ(Call("strlen", "\"a,b\", T"), 1);
  EXPECT_EQ(Text(t), "3");
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(FirstApisTest, StrlenWithUndeclaredOutputNamesItAndWritesNothing) {
  const Snapshot before = TakeValues();
  EXPECT_EQ(Call("strlen", "\"abc\", UNDECLARED"), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "UNDECLARED"));
  Snapshot after = TakeValues();
  after.error_raised = before.error_raised;
  after.error_text = before.error_text;
  EXPECT_EQ(after, before);
}

TEST_F(FirstApisTest, StrlenWithMissingTextStillRunsWithEmptyText) {
  EXPECT_EQ(Call("strlen", ", L"), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamMissing));
  EXPECT_EQ(Long(l), 0);
  rt.error.Clear();
  EXPECT_EQ(Call("strlen", "\"abc\""), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kResourceParamMissing));
}

TEST_F(FirstApisTest, CalcStrEvaluatesTheTextAsANumber) {
  EXPECT_EQ(Call("CalcStr", "\"1+2*3\", D"), 1);
  EXPECT_DOUBLE_EQ(Double(d), 7.0);
  EXPECT_EQ(Call("CalcStr", "S, L"), 1);
  EXPECT_EQ(Long(l), 42);
  EXPECT_EQ(Call("CalcStr", "\"7/2\", L"), 1);
  EXPECT_EQ(Long(l), 3);  // a long output is truncated
  EXPECT_EQ(Call("CalcStr", "\"7/2\", D"), 1);
  EXPECT_DOUBLE_EQ(Double(d), 3.5);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(FirstApisTest, CalcStrOfABadExpressionGivesZeroAndTheError) {
  EXPECT_EQ(Call("CalcStr", "\"2*NOSUCH\", L"), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kExpressionError));
  EXPECT_EQ(Long(l), 0);
}

TEST_F(FirstApisTest, BitTest) {
  Call("BitTest", "5, 0, L");
  EXPECT_EQ(Long(l), 1);
  Call("BitTest", "5, 1, L");
  EXPECT_EQ(Long(l), 0);
  Call("BitTest", "-1, 31, L");
  EXPECT_EQ(Long(l), 1);
  Call("BitTest", "0x40000000, 30, L");
  EXPECT_EQ(Long(l), 1);
  Call("BitTest", "-1, 32, L");  // no such bit
  EXPECT_EQ(Long(l), 0);
  values::WriteInteger(rt, l, 9);
  Call("BitTest", "-1, -1, L");
  EXPECT_EQ(Long(l), 0);
  EXPECT_FALSE(rt.error.Raised());
  // The output may be left out.
  const Snapshot before = TakeValues();
  EXPECT_EQ(Call("BitTest", "5, 0"), 1);
  EXPECT_EQ(TakeValues(), before);
}

TEST_F(FirstApisTest, BitSetSetsClearsAndInverts) {
  values::WriteInteger(rt, m, 0);
  Call("BitSet", "3, 1, M");
  EXPECT_EQ(Long(m), 8);
  Call("BitSet", "0, 1, M");
  EXPECT_EQ(Long(m), 9);
  Call("BitSet", "3, 0, M");
  EXPECT_EQ(Long(m), 1);
  Call("BitSet", "31, -1, M");
  EXPECT_EQ(Long(m), static_cast<std::int32_t>(0x80000001u));
  Call("BitSet", "31, -1, M");
  EXPECT_EQ(Long(m), 1);  // inverting twice restores the value
  EXPECT_DOUBLE_EQ(rt.names.At(rt.names.Find("M")).value, 1.0);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(FirstApisTest, BitSetIgnoresOtherModesKindsAndBits) {
  values::WriteInteger(rt, m, 6);
  const Snapshot before = TakeValues();
  Call("BitSet", "0, 2, M");
  Call("BitSet", "40, 1, M");
  Call("BitSet", "-1, 1, M");
  Call("BitSet", "0, 1, D");  // not a long variable
  Call("BitSet", "0, 1, S");
  Call("BitSet", "0, 1");     // output left out
  EXPECT_EQ(TakeValues(), before);
}

TEST_F(FirstApisTest, BitLogic) {
  Call("BitLogic", "12, 10, 1, M");
  EXPECT_EQ(Long(m), 8);
  Call("BitLogic", "12, 10, 0, M");
  EXPECT_EQ(Long(m), 14);
  Call("BitLogic", "12, 10, -1, M");
  EXPECT_EQ(Long(m), 6);
  Call("BitLogic", "-1, 0x0F, 1, M");
  EXPECT_EQ(Long(m), 15);
  Call("BitLogic", "-1, 1, -1, M");
  EXPECT_EQ(Long(m), -2);
  const Snapshot before = TakeValues();
  Call("BitLogic", "12, 10, 2, M");
  Call("BitLogic", "12, 10, 1, D");
  Call("BitLogic", "12, 10, 1");
  EXPECT_EQ(TakeValues(), before);
  EXPECT_EQ(Call("BitLogic", "12, 10, 1, NOPE"), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "NOPE"));
}

// The first values of the classic C-library generator seeded with 1.
constexpr std::int32_t kFirstDraws[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};

TEST_F(FirstApisTest, RandDrawsTheCLibrarySequence) {
  for (std::int32_t expected : kFirstDraws) {
    Call("rand", "32767, L");
    EXPECT_EQ(Long(l), expected);
  }
  api::ResetRandom(rt);
  Call("rand", "32767, L");
  EXPECT_EQ(Long(l), kFirstDraws[0]);
}

TEST_F(FirstApisTest, RandRangeRule) {
  Call("rand", "10, L");
  EXPECT_EQ(Long(l), 41 % 11);
  Call("rand", "0, L");  // draws, gives 0
  EXPECT_EQ(Long(l), 0);
  Call("rand", "-100, L");
  EXPECT_EQ(Long(l), -(6334 % 101));
  for (int i = 0; i < 200; ++i) {
    Call("rand", "0, L");
    EXPECT_EQ(Long(l), 0);
    Call("rand", "3, L");
    EXPECT_GE(Long(l), 0);
    EXPECT_LE(Long(l), 3);
    Call("rand", "1000000, D");
    EXPECT_GE(Double(d), 0.0);
    EXPECT_LE(Double(d), 1000000.0);
    Call("rand", "2147483647, M");
    EXPECT_GE(Long(m), 0);
    Call("rand", "-2147483648, M");
    EXPECT_LE(Long(m), 0);
  }
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(FirstApisTest, RandLargeMaximaReachBeyondOneDraw) {
  bool beyond = false;
  for (int i = 0; i < 50 && !beyond; ++i) {
    Call("rand", "1000000, L");
    beyond = Long(l) > 32767;
  }
  EXPECT_TRUE(beyond);
}

TEST_F(FirstApisTest, TwoRunsDrawTheSameNumbers) {
  FakeWindowSystem other_window;
  Runtime other{other_window};
  api::ResetRandom(rt);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(api::RandomUpTo(rt, 1000), api::RandomUpTo(other, 1000));
    EXPECT_EQ(api::RandomUpTo(rt, 5000000), api::RandomUpTo(other, 5000000));
  }
}

}  // namespace
}  // namespace vx::test
