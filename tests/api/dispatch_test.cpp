#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "api/arguments.hpp"
#include "api/call.hpp"
#include "api_test_support.hpp"

namespace vx::test {
namespace {

class RecordingRegistry : public api::Registry {
 public:
  void Add(int id, api::Handler handler) override { added.push_back({id, handler}); }
  std::vector<api::Registration> added;
};

TEST(FamilyRegistration, EveryIdIsValidProvidableAndRegisteredOnce) {
  RecordingRegistry registry;
  api::RegisterFamilies(registry);
  std::map<int, int> times;
  for (const api::Registration& r : registry.added) {
    EXPECT_GE(r.id, API_ID_MIN);
    EXPECT_LE(r.id, API_ID_MAX);
    EXPECT_FALSE(IsWithoutImplementation(r.id)) << r.id;
    EXPECT_NE(r.handler, nullptr) << r.id;
    ++times[r.id];
  }
  for (const auto& [id, count] : times) EXPECT_EQ(count, 1) << api::NameOf(id);
  for (const char* name : {"strlen", "CalcStr", "rand", "BitTest", "BitSet", "BitLogic"}) {
    const int id = api::LookupApi(name)->id;
    EXPECT_EQ(times[id], 1) << name;
    EXPECT_TRUE(api::IsProvided(id)) << name;
  }
  for (const auto& [id, count] : times) EXPECT_TRUE(api::IsProvided(id)) << id;
}

class DispatchTest : public ApiTest {
 protected:
  void SetUp() override {
    DeclareLong("L", 5);
    DeclareString("S", 64, "text");
    Ready();
  }
  // Arguments that would change variables or raise errors if anything read them.
  static constexpr std::string_view kTrap = "UNDECLARED, , L, S, 1/0";
};

TEST_F(DispatchTest, UnprovidedIdsReturnZeroAndTouchNothing) {
  std::vector<int> ids;
  for (int id = 191; id <= 203; ++id) ids.push_back(id);
  for (int id = 577; id <= 583; ++id) ids.push_back(id);
  rt.arg_status = ARG_OPTIONAL;
  const Snapshot before = Take();
  for (int id : ids) {
    EXPECT_FALSE(api::IsProvided(id)) << id;
    ArgumentCachePtr cache;
    EXPECT_EQ(api::Dispatch(rt, id, kTrap), 0) << api::NameOf(id);
    EXPECT_EQ(api::Dispatch(rt, id, kTrap, &GetOrCreateArgumentCache(cache)), 0);
    EXPECT_EQ(Take(), before) << api::NameOf(id);
  }
  EXPECT_EQ(Call("WSrvStart", kTrap), 0);
  EXPECT_EQ(Call("SMPT_slope", kTrap), 0);
  EXPECT_EQ(Take(), before);
}

TEST_F(DispatchTest, IdsOutsideTheTableReturnZero) {
  const Snapshot before = Take();
  for (int id : {0, -1, API_ID_MAX + 1, 1000, INT_MAX, INT_MIN}) {
    EXPECT_FALSE(api::IsProvided(id));
    EXPECT_EQ(api::Dispatch(rt, id, kTrap), 0) << id;
  }
  EXPECT_EQ(Take(), before);
}

TEST_F(DispatchTest, IdsWithoutAHandlerReturnZeroAndTouchNothing) {
  const Snapshot before = Take();
  int without = 0;
  for (int id = API_ID_MIN; id <= API_ID_MAX; ++id) {
    if (api::IsProvided(id)) continue;
    ++without;
    EXPECT_EQ(api::Dispatch(rt, id, kTrap), 0) << api::NameOf(id);
  }
  EXPECT_GE(without, 20);  // at least the never-provided ones
  EXPECT_EQ(Take(), before);
}

TEST_F(DispatchTest, ProvidedIdRunsAndReturnsOneEvenWhenItFails) {
  EXPECT_EQ(Call("strlen", "\"abc\", L"), 1);
  EXPECT_EQ(Long(rt.program.FindResource("L")), 3);
  EXPECT_EQ(Call("strlen", "\"abc\", NOWHERE"), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kParamNoResource, "NOWHERE"));
}

TEST_F(DispatchTest, StartsEveryCallWithAClearStatusWord) {
  // A stray optional bit left behind must not silence the next call's
  // missing output.
  rt.arg_status = ARG_OPTIONAL;
  EXPECT_EQ(Call("strlen", "\"abc\""), 1);
  EXPECT_EQ(ErrorText(), Message(msg::Id::kResourceParamMissing));
}

}  // namespace
}  // namespace vx::test
