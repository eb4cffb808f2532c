// The string family: Shift-JIS texts held in string variables.
#include <cstdint>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/families.hpp"
#include "values/expression.hpp"

namespace vx::api {
namespace {

// strlen T, R: the length of the text in bytes.
void Strlen(Call& call) {
  std::string& text = call.Large(0);
  call.String(0, text);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteInt(out, static_cast<std::int32_t>(text.size()));
}

// CalcStr T expression, R: the value of a numeric expression held in a text.
// A failing expression reports 計算式エラー and gives 0.
void CalcStr(Call& call) {
  std::string& expression = call.Large(0);
  call.String(0, expression);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteDouble(out, expr::EvaluateExpression(call.rt(), expression));
}

constexpr Registration kStringApis[] = {
    {Id("strlen"), Strlen},
    {Id("CalcStr"), CalcStr},
};

}  // namespace

void RegisterStringApis(Registry& registry) {
  registry.AddAll(kStringApis);
}

}  // namespace vx::api
