// CALL and CALLS: handing an API id and its argument text to the dispatcher.
#include "api/api_table.hpp"
#include "api/argument_cache.hpp"
#include "api/arguments.hpp"
#include "engine/explain.hpp"
#include "engine/run_internal.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::engine::detail {
namespace {

constexpr std::string_view kErrorCaption = "Error";
constexpr std::string_view kNoSuchApi = "no such API";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void CallApi(Runtime& rt, Procedure& proc) {
  if (api::Dispatch(rt, proc.a, proc.text, &GetOrCreateArgumentCache(proc.arguments)) == 0)
    rt.error.Set(msg::Format(msg::Id::kNoInternalFunction, proc.text));
}

// The API name and its arguments are computed; an unknown name or an error
// inside the API is shown and the run goes on with G_ERROR set.
void CallApiByName(Runtime& rt, Procedure& proc) {
  std::string& value = rt.run.text;
  rt.arg_status = 0;
  args::GetStringArg(rt, proc.text, 0, value);
  if (rt.error.Raised()) return;  // the statement's own expression failed

  std::size_t end = 0;
  while (end < value.size() && !IsBlank(value[end])) ++end;
  std::string& name = rt.run.api_name;
  name.assign(value, 0, std::min(end, API_NAME_BYTES - 1));
  std::size_t rest = end;
  while (rest < value.size() && IsBlank(value[rest])) ++rest;

  ErrorSite site;
  site.line = proc.line;
  site.api = name;
  site.computed_call = true;
  const std::optional<ApiLookup> found = api::LookupApi(name);
  if (!found) {
    site.message = kNoSuchApi;
    ShowExplainedError(rt, kErrorCaption, LineMessage(proc.line, kNoSuchApi, name), site);
    values::SetLong(rt, sysvar::G_ERROR, 2);
    return;
  }
  proc.a = found->id;
  proc.b = found->position;
  const std::string_view arguments = std::string_view(value).substr(rest);
  if (api::Dispatch(rt, found->id, arguments, nullptr) == 0) values::SetLong(rt, sysvar::G_ERROR, 1);
  if (rt.error.Raised()) {
    site.message = rt.error.Text();
    site.arguments = arguments;
    ShowExplainedError(rt, kErrorCaption, LineMessage(proc.line, rt.error.Text(), name), site);
    rt.error.Clear();
    values::SetLong(rt, sysvar::G_ERROR, 1);
  }
}

}  // namespace vx::engine::detail
