#include <array>

#include "api/api_table.hpp"
#include "api/arguments.hpp"
#include "api/call.hpp"
#include "engine/runtime.hpp"

namespace vx::api {
namespace {

// Handlers by id. A registration of an id outside the table, of an id that
// is never provided, or of an id already taken is ignored (the family
// registration test keeps them from happening).
class HandlerTable final : public Registry {
 public:
  void Add(int id, Handler handler) override {
    if (id < API_ID_MIN || id > API_ID_MAX || IsWithoutImplementation(id)) return;
    if (handler == nullptr || handlers_[id] != nullptr) return;
    handlers_[id] = handler;
  }
  Handler At(int id) const {
    return id >= API_ID_MIN && id <= API_ID_MAX ? handlers_[id] : nullptr;
  }

 private:
  std::array<Handler, API_ID_MAX + 1> handlers_{};
};

// Filled once, on first use, and read-only afterwards.
const HandlerTable& Handlers() {
  static const HandlerTable table = [] {
    HandlerTable filled;
    RegisterFamilies(filled);
    return filled;
  }();
  return table;
}

}  // namespace

bool IsProvided(int id) { return Handlers().At(id) != nullptr; }

int Dispatch(Runtime& rt, int id, std::string_view args, ArgumentCache* cache) {
  const Handler handler = Handlers().At(id);
  if (handler == nullptr) return 0;
  rt.arg_status = ARG_PRESENT;
  Call call(rt, args, cache);
  handler(call);
  return 1;
}

}  // namespace vx::api
