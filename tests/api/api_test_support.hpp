#pragma once
// A runtime with a few declared variables, ready for API calls, and a
// snapshot of everything a call could change.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <thread>
#include <string>
#include <string_view>
#include <vector>

#include "api/api_table.hpp"
#include "api/argument_cache.hpp"
#include "engine/messages.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "support/runtime_fixture.hpp"
#include "text/messages.hpp"
#include "values/values.hpp"

namespace vx::test {

// Every value a resource shows, the pending error and the status word.
struct Snapshot {
  std::vector<std::string> values;
  bool error_raised = false;
  std::string error_text;
  std::uint32_t arg_status = 0;
  bool operator==(const Snapshot&) const = default;
};

inline void PrintTo(const Snapshot& s, std::ostream* os) {
  *os << "{error " << s.error_raised << " [" << s.error_text << "] status " << s.arg_status;
  for (std::size_t i = 0; i < s.values.size(); ++i) *os << "\n  #" << i << " " << s.values[i];
  *os << "}";
}

class ApiTest : public RuntimeTest {
 protected:
  // Declares nothing; call after the test's declarations, as a load does.
  void Ready() { values::BuildNameTable(rt); }

  int Call(std::string_view name, std::string_view args) {
    const auto found = api::LookupApi(name);
    EXPECT_TRUE(found.has_value()) << name;
    return found ? api::Dispatch(rt, found->id, args) : -1;
  }
  int CallCached(std::string_view name, std::string_view args, ArgumentCachePtr& cache) {
    const auto found = api::LookupApi(name);
    EXPECT_TRUE(found.has_value()) << name;
    return found ? api::Dispatch(rt, found->id, args, &GetOrCreateArgumentCache(cache)) : -1;
  }

  std::string ErrorText() const { return rt.error.Raised() ? rt.error.Text() : std::string(); }
  static std::string Message(msg::Id id) { return std::string(msg::Text(id)); }
  static std::string Message(msg::Id id, std::string_view arg) { return msg::Format(id, arg); }

  std::int32_t Long(std::int32_t index) { return rt.program.Resource(index).long_value; }
  double Double(std::int32_t index) { return rt.program.Resource(index).double_value; }
  std::int32_t Error() { return Long(sysvar::G_ERROR); }
  std::int32_t Work(int k) { return Long(sysvar::G_WORK1 + k - 1); }

  // Hands what the main window's inbox receives to `handle` until `done`;
  // false when `seconds` pass first.
  bool Pump(const std::function<bool()>& done, const std::function<void(const host::Message&)>& handle,
            double seconds = 10.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    host::Message m;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (rt.main_window.inbox.Take(&m)) {
        handle(m);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
    return true;
  }

  Snapshot Take() {
    Snapshot s;
    for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
      const ResourceEntry& e = rt.program.Resource(i);
      s.values.push_back(std::to_string(e.long_value) + "|" + std::to_string(e.double_value) +
                         "|" + std::to_string(e.step_count) + "|" + std::string(e.Text()));
    }
    s.error_raised = rt.error.Raised();
    s.error_text = rt.error.Text();
    s.arg_status = rt.arg_status;
    return s;
  }
  // The variables and the pending error, leaving out the status word that
  // every fetch sets.
  Snapshot TakeValues() {
    Snapshot s = Take();
    s.arg_status = 0;
    return s;
  }
};

}  // namespace vx::test
