#include "engine/api_arguments.hpp"

#include <algorithm>
#include <array>

namespace vx::engine {
namespace {

constexpr DocumentedApi kRows[] = {
#include "engine/api_arguments.inc"
};

}  // namespace

std::span<const DocumentedApi> DocumentedApis() { return kRows; }

std::vector<DocumentedArgument> DocumentedArguments(std::string_view api) {
  const auto row = std::lower_bound(std::begin(kRows), std::end(kRows), api,
                                    [](const DocumentedApi& r, std::string_view n) { return r.name < n; });
  std::vector<DocumentedArgument> out;
  if (row == std::end(kRows) || row->name != api || row->arguments.empty()) return out;
  std::string_view rest = row->arguments;
  for (;;) {
    const std::size_t tab = rest.find('\t');
    std::string_view item = rest.substr(0, tab);
    DocumentedArgument arg;
    if (!item.empty() && item.front() == '?') {
      arg.optional = true;
      item.remove_prefix(1);
    }
    arg.name = item;
    out.push_back(arg);
    if (tab == std::string_view::npos) break;
    rest.remove_prefix(tab + 1);
  }
  return out;
}

}  // namespace vx::engine
