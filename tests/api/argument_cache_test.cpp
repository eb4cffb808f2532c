// The cached path must give exactly what the text path gives: values,
// messages, status word and every variable, on the first call and later ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/argument_cache.hpp"
#include "api/arguments.hpp"
#include "api_test_support.hpp"

namespace vx::test {
namespace {

// A loaded program with a few variables, as a run would see it.
class World {
 public:
  World() {
    rt.program.CreateSystemVariables("", "/prog/", "/cur");
    Declare("L", R_KD_VAL_LONG, 0).long_value = 7;
    Declare("M", R_KD_VAL_LONG, 0).long_value = 12;
    Declare("D", R_KD_VAL_DOUBLE, 0).double_value = 2.5;
    Declare("S", R_KD_VAL_TXT, 64);
    Declare("E", R_KD_VAL_TXT, 64);
    values::BuildNameTable(rt);
    values::WriteText(rt, rt.program.FindResource("S"), "L+M");
    values::WriteText(rt, rt.program.FindResource("E"), "1+)");
  }

  int Run(std::string_view name, std::string_view args, ArgumentCache* cache) {
    return api::Dispatch(rt, api::LookupApi(name)->id, args, cache);
  }
  void Set(std::string_view name, std::int32_t value) {
    values::WriteInteger(rt, rt.program.FindResource(name), value);
  }
  Snapshot Take() const {
    Snapshot s;
    for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
      const ResourceEntry& e = rt.program.Resource(i);
      s.values.push_back(std::to_string(e.long_value) + "|" + std::to_string(e.double_value) +
                         "|" + std::string(e.Text()));
    }
    s.error_raised = rt.error.Raised();
    s.error_text = rt.error.Text();
    s.arg_status = rt.arg_status;
    return s;
  }

  FakeWindowSystem window;
  Runtime rt{window};

 private:
  ResourceEntry& Declare(std::string_view name, std::uint16_t kind, std::int32_t capacity) {
    ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    if (capacity > 0) {
      e->AllocateText(capacity);
      e->capacity = capacity;
    }
    rt.program.CommitResource(0, rt.error);
    return *e;
  }
};

struct Case {
  const char* api;
  std::string args;
};

std::vector<Case> Cases() {
  const std::string blanks(4100, ' ');
  return {
      {"BitTest", "M, 2, L"},
      {"BitTest", "M + L * 2, L - 5, D"},
      {"BitLogic", "M, L, 1, L"},
      {"BitLogic", "M, , 1, L"},
      {"BitLogic", "M, L, -1"},
      {"BitSet", "L % 5, -1, M"},
      {"BitTest", "M, 1/0, L"},
      {"BitTest", "M, (1, L"},
      {"BitTest", "M, 1), L"},
      {"BitTest", "UNKNOWN, 1, L"},
      {"BitTest", "M, 1, NOPE"},
      {"BitTest", "M, 1,"},
      {"BitTest", ""},
      {"BitTest", "M" + blanks + ", 1, L"},
      {"strlen", "\"a,b\" + S, L"},
      {"strlen", "S + NOTHING, L"},
      {"strlen", "\"" + std::string(5000, 'x') + "\", L"},
      {"strlen", "\"\x95\x5C\",L"},
      {"CalcStr", "S, D"},
      {"CalcStr", "E, D"},
      {"CalcStr", "\"L*M\", S"},
      {"rand", "100, L"},
      {"rand", "L * 1000000, D"},
      {"rand", ", L"},
  };
}

TEST(ArgumentCache, CachedCallsEqualTextCalls) {
  for (const Case& c : Cases()) {
    World text_world;
    World cached_world;
    ArgumentCachePtr cache;
    for (int round = 0; round < 3; ++round) {
      const int a = text_world.Run(c.api, c.args, nullptr);
      const int b = cached_world.Run(c.api, c.args, &GetOrCreateArgumentCache(cache));
      EXPECT_EQ(a, b) << c.api << " " << c.args;
      EXPECT_EQ(text_world.Take(), cached_world.Take())
          << c.api << " (" << c.args.substr(0, 60) << ") round " << round;
      // Values change between calls; the cached path must see them.
      for (World* w : {&text_world, &cached_world}) {
        w->Set("L", 3 + round * 5);
        w->Set("M", 100 - round * 7);
        w->rt.error.Clear();
      }
    }
  }
}

TEST(ArgumentCache, RefillsWhenHandedAnotherText) {
  World world;
  ArgumentCachePtr cache;
  ArgumentCache& c = GetOrCreateArgumentCache(cache);
  const std::int32_t l = world.rt.program.FindResource("L");
  world.Run("BitLogic", "12, 10, 1, L", &c);
  EXPECT_EQ(world.rt.program.Resource(l).long_value, 8);
  world.Run("BitLogic", "12, 10, 0, L", &c);
  EXPECT_EQ(world.rt.program.Resource(l).long_value, 14);
  world.Run("strlen", "\"abcde\", L", &c);
  EXPECT_EQ(world.rt.program.Resource(l).long_value, 5);
  // The same text in another buffer is still the same text.
  const std::string copy = "\"abcdef\", L";
  world.Run("strlen", copy, &c);
  world.Run("strlen", std::string(copy), &c);
  EXPECT_EQ(world.rt.program.Resource(l).long_value, 6);
  EXPECT_FALSE(world.rt.error.Raised());
}

TEST(ArgumentCache, GetOrCreateMakesOneCachePerSlot) {
  ArgumentCachePtr slot;
  ArgumentCache& first = GetOrCreateArgumentCache(slot);
  EXPECT_EQ(&GetOrCreateArgumentCache(slot), &first);
  ArgumentCachePtr other;
  EXPECT_NE(&GetOrCreateArgumentCache(other), &first);
}

TEST(ArgumentCache, SplitsLikeTheTextGetters) {
  const std::string texts[] = {
      "", ",", "a,,b", R"("a,b",c)", R"(a\,b,c)", "\"\x95\x5C\",x", "\x81,x", "a\r\nb,c",
      "a,\x81", "\"open, never, closed",
  };
  for (const std::string& text : texts) {
    ArgumentCachePtr slot;
    ArgumentCache& cache = GetOrCreateArgumentCache(slot);
    args::BindCache(cache, text);
    EXPECT_EQ(args::ArgCount(cache), args::ArgCount(text)) << text;
    for (int n = -1; n <= args::ArgCount(text) + 1; ++n) {
      const std::string_view raw = args::ArgText(text, n);
      EXPECT_EQ(args::IsPresent(cache, n), raw.find_first_not_of(" \t") != raw.npos)
          << text << " #" << n;
    }
  }
}

}  // namespace
}  // namespace vx::test
