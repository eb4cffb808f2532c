// Arbitrary argument texts through every getter and through the dispatcher,
// over the text and over an argument cache. Besides not crashing, the two
// paths must agree on every value, message, status word and variable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/support/null_window_system.hpp"
#include "api/api_table.hpp"
#include "api/argument_cache.hpp"
#include "api/arguments.hpp"
#include "engine/runtime.hpp"
#include "engine/window_system.hpp"
#include "values/values.hpp"

namespace vx {
namespace {

struct World {
  World() {
    rt.program.CreateSystemVariables("", "/", "/");
    Declare("A", R_KD_VAL_LONG, 0).long_value = 5;
    Declare("B", R_KD_VAL_DOUBLE, 0).double_value = -2.75;
    Declare("S", R_KD_VAL_TXT, 32);
    Declare("T", R_KD_EDITBOX, 0).window = 1;
    values::BuildNameTable(rt);
    values::WriteText(rt, rt.program.FindResource("S"), "A*2+1");
  }
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
  test::NullWindowSystem windows{{"12.5", -1, true, 3, "clip"}};
  Runtime rt{windows};
};

void Require(bool same) {
  if (!same) std::abort();
}

bool SameDouble(double x, double y) { return x == y || (x != x && y != y); }

// What a getter may change: the pending error and the status word.
bool SameStatus(const World& a, const World& b) {
  return a.rt.error.Raised() == b.rt.error.Raised() && a.rt.error.Text() == b.rt.error.Text() &&
         a.rt.arg_status == b.rt.arg_status;
}

// Everything an API may change is the same in both worlds.
bool SameState(const World& a, const World& b) {
  if (!SameStatus(a, b) || a.rt.program.RscCount() != b.rt.program.RscCount()) return false;
  for (std::int32_t i = 0; i < a.rt.program.RscCount(); ++i) {
    const ResourceEntry& x = a.rt.program.Resource(i);
    const ResourceEntry& y = b.rt.program.Resource(i);
    if (x.long_value != y.long_value || !SameDouble(x.double_value, y.double_value) ||
        x.Text() != y.Text())
      return false;
  }
  return true;
}

// One fetch of each kind for argument n, text path on `a`, cache path on `b`.
void CompareGetters(World& a, World& b, ArgumentCache& cache, std::string_view text, int n,
                    bool optional) {
  auto begin = [&] {
    const std::uint32_t status = optional ? ARG_OPTIONAL : ARG_PRESENT;
    a.rt.arg_status = status;
    b.rt.arg_status = status;
    a.rt.error.Clear();
    b.rt.error.Clear();
  };
  auto same = [&] { Require(SameStatus(a, b)); };

  begin();
  Require(args::GetIntArg(a.rt, text, n) == args::GetIntArg(b.rt, cache, n));
  same();
  begin();
  const double x = args::GetDoubleArg(a.rt, text, n);
  const double y = args::GetDoubleArg(b.rt, cache, n);
  Require(SameDouble(x, y));
  same();
  begin();
  std::string s1, s2;
  Require(args::GetStringArg(a.rt, text, n, s1) == args::GetStringArg(b.rt, cache, n, s2));
  Require(s1 == s2);
  same();
  begin();
  Require(args::GetResourceArg(a.rt, text, n) == args::GetResourceArg(b.rt, cache, n));
  same();
  begin();
  Require(args::GetResourceArgOrNone(a.rt, text, n) == args::GetResourceArgOrNone(b.rt, cache, n));
  same();
}

constexpr std::string_view kApis[] = {"strlen", "CalcStr", "BitTest", "BitSet",
                                      "BitLogic", "rand", "WSrvStart", "SMPT_sim1"};

}  // namespace
}  // namespace vx

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx;
  const std::string text(reinterpret_cast<const char*>(data), size);

  // Two worlds that see the same calls must stay alike throughout.
  World a, b;
  {
    ArgumentCachePtr slot;
    ArgumentCache& cache = GetOrCreateArgumentCache(slot);
    args::BindCache(cache, text);
    const int count = args::ArgCount(text);
    Require(args::ArgCount(cache) == count);
    Require(args::ArgLocate(text, count - 1) <= text.size());
    const int last = count < 6 ? count : 6;
    for (int n = -1; n <= last; ++n) {
      for (bool optional : {false, true}) {
        // Twice: the second fetch uses what the first one cached.
        CompareGetters(a, b, cache, text, n, optional);
        CompareGetters(a, b, cache, text, n, optional);
      }
    }
    Require(SameState(a, b));  // getters never write a variable
  }

  for (std::string_view api : kApis) {
    ArgumentCachePtr slot;
    const int id = api::LookupApi(api)->id;
    for (int round = 0; round < 2; ++round) {
      const int x = api::Dispatch(a.rt, id, text);
      const int y = api::Dispatch(b.rt, id, text, &GetOrCreateArgumentCache(slot));
      Require(x == y);
      Require(SameState(a, b));
    }
  }
  return 0;
}
