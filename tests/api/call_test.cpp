#include "api/call.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "api/argument_cache.hpp"
#include "api_test_support.hpp"
#include "engine/system_variables.hpp"

namespace vx::test {
namespace {

// Every case runs once over the argument text and once over a cache.
class CallTest : public ApiTest, public ::testing::WithParamInterface<bool> {
 protected:
  api::Call& Make(std::string_view args) {
    args_ = std::string(args);
    call_ = std::make_unique<api::Call>(
        rt, args_, GetParam() ? &GetOrCreateArgumentCache(cache_) : nullptr);
    return *call_;
  }

  std::string args_;
  ArgumentCachePtr cache_;
  std::unique_ptr<api::Call> call_;
};

INSTANTIATE_TEST_SUITE_P(TextAndCache, CallTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Cached" : "Text"; });

TEST_P(CallTest, OptionalGettersGiveTheirFallbackSilently) {
  const auto x = DeclareLong("X", 3);
  Ready();
  api::Call& call = Make("1, , \"s\", X");
  EXPECT_EQ(call.ArgCount(), 4);
  EXPECT_EQ(call.OptInt(0, 99), 1);
  EXPECT_EQ(call.OptInt(1, 99), 99);
  EXPECT_DOUBLE_EQ(call.OptDouble(1, 2.5), 2.5);
  EXPECT_DOUBLE_EQ(call.OptDouble(0, 2.5), 1.0);
  std::string text;
  EXPECT_FALSE(call.OptString(1, text, "fallback"));
  EXPECT_EQ(text, "fallback");
  EXPECT_TRUE(call.OptString(2, text, "fallback"));
  EXPECT_EQ(text, "s");
  EXPECT_EQ(call.OptResource(5), -1);
  EXPECT_EQ(call.OptResource(3), x);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_EQ(call.OptResource(0), -1);  // "1" names no resource: reported
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "1"));
}

TEST_P(CallTest, RequiredGettersReportAndGoOn) {
  Ready();
  api::Call& call = Make("5");
  EXPECT_EQ(call.Int(0), 5);
  EXPECT_EQ(call.Int(1), 0);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kIntParamMissing));
  EXPECT_EQ(call.Resource(1), -1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kResourceParamMissing));
  EXPECT_EQ(call.ResourceOrNone(0), -1);
}

TEST_P(CallTest, HasTellsPresentArgumentsWithoutReporting) {
  Ready();
  api::Call& call = Make("a, ,\t,\"\", UNKNOWN");
  EXPECT_TRUE(call.Has(0));
  EXPECT_FALSE(call.Has(1));
  EXPECT_FALSE(call.Has(2));
  EXPECT_TRUE(call.Has(3));
  EXPECT_TRUE(call.Has(4));
  EXPECT_FALSE(call.Has(5));
  EXPECT_FALSE(call.Has(-1));
  EXPECT_FALSE(rt.error.Raised());
}

TEST_P(CallTest, SmallWorkBufferKeepsAt4095Bytes) {
  const auto s = DeclareString("BIG", 131072);
  values::WriteText(rt, s, std::string(10000, 'q'));
  Ready();
  api::Call& call = Make("BIG");
  std::string& small = call.Small(2);
  EXPECT_TRUE(call.String(0, small));
  EXPECT_EQ(small.size(), 4095u);
  std::string& large = call.Large(2);
  EXPECT_TRUE(call.String(0, large));
  EXPECT_EQ(large.size(), 10000u);
}

TEST_P(CallTest, WorkBuffersAreReusedWithoutReallocation) {
  api::Call& call = Make("");
  std::string& large = call.Large(1);
  EXPECT_GE(large.capacity(), WORK_BUFFER_LARGE_BYTES);
  large.assign(100000, 'x');
  const char* large_data = large.data();
  std::string& small = call.Small(3);
  EXPECT_GE(small.capacity(), WORK_BUFFER_SMALL_BYTES);
  small.assign(4000, 'y');
  const char* small_data = small.data();

  api::Call& again = Make("");
  EXPECT_EQ(&again.Large(1), &large);
  EXPECT_TRUE(large.empty());
  EXPECT_EQ(large.data(), large_data);
  EXPECT_EQ(again.Small(3).data(), small_data);
  EXPECT_TRUE(small.empty());
  // Different indices are different buffers.
  EXPECT_NE(&again.Large(0), &again.Large(1));
  EXPECT_NE(&again.Small(0), &again.Small(1));
  EXPECT_NE(&again.Small(0), &again.Large(0));
}

TEST_P(CallTest, FixedResultVariables) {
  Ready();
  api::Call& call = Make("");
  call.SetError(1);
  EXPECT_EQ(Long(sysvar::G_ERROR), 1);
  for (int k = 1; k <= 4; ++k) call.SetWork(k, 10 * k);
  for (int k = 1; k <= 6; ++k) call.SetDblWork(k, k + 0.5);
  EXPECT_EQ(Long(sysvar::G_WORK1), 10);
  EXPECT_EQ(Long(sysvar::G_WORK4), 40);
  EXPECT_DOUBLE_EQ(Double(sysvar::G_DBLWK1), 1.5);
  EXPECT_DOUBLE_EQ(Double(sysvar::G_DBLWK6), 6.5);
  // Out-of-range result numbers touch nothing, not even the neighbours.
  call.SetWork(0, 7);
  call.SetWork(5, 7);
  call.SetDblWork(0, 7.0);
  call.SetDblWork(7, 7.0);
  EXPECT_EQ(Long(sysvar::G_RETV), 0);
  EXPECT_DOUBLE_EQ(Double(sysvar::G_DBLWK1), 1.5);
  EXPECT_EQ(Long(sysvar::G_IMG_WD), 0);
  // The name table sees the new values.
  EXPECT_DOUBLE_EQ(rt.names.At(rt.names.Find("G_WORK4")).value, 40.0);
}

TEST_P(CallTest, TextResultsReplaceOnlyWhenTheyFit) {
  Ready();
  api::Call& call = Make("");
  call.SetTxt("first");
  EXPECT_EQ(Text(sysvar::G_TXT), "first");
  call.SetTxt(std::string(15999, 'a'));
  EXPECT_EQ(Text(sysvar::G_TXT).size(), 15999u);
  call.SetTxt(std::string(16000, 'b'));  // too long for G_TXT: unchanged
  EXPECT_EQ(Text(sysvar::G_TXT), std::string(15999, 'a'));

  call.AppendDebugLog("one;");
  call.AppendDebugLog("two;");
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG), "one;two;");

  call.SetErrText(std::string(5000, 'e'));
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), std::string(4095, 'e'));
  call.SetErrText("short");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "short");
}

TEST_P(CallTest, OutputResourcesConvertByKind) {
  const auto l = DeclareLong("L");
  const auto d = DeclareDouble("D");
  const auto s = DeclareString("S", 32);
  Ready();
  api::Call& call = Make("");
  call.WriteDouble(l, 2.9);
  call.WriteDouble(d, 2.9);
  call.WriteInt(s, 42);
  EXPECT_EQ(Long(l), 2);
  EXPECT_DOUBLE_EQ(Double(d), 2.9);
  EXPECT_EQ(Text(s), "42");
  call.WriteText(l, "17");
  EXPECT_EQ(Long(l), 17);
  const Snapshot before = Take();
  call.WriteInt(-1, 5);  // no output: nothing happens
  call.WriteText(-1, "x");
  EXPECT_EQ(Take(), before);
  call.Fail("stop");
  EXPECT_EQ(ErrorText(), "stop");
}

}  // namespace
}  // namespace vx::test
