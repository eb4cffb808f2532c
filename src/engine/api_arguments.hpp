#pragma once
// The arguments of the built-in functions as their reference pages
// (docs/api) name them, so that a message about a missing argument can say
// which one. The table is generated from the pages by
// scripts/gen-api-arguments.py; a test keeps the two in step.
#include <span>
#include <string_view>
#include <vector>

namespace vx::engine {

struct DocumentedArgument {
  std::string_view name;  // as the page writes it ("replacement", "output")
  bool optional = false;
};

struct DocumentedApi {
  std::string_view name;
  std::string_view signature;  // as the page writes it
  std::string_view arguments;  // names separated by tabs, '?' before an optional one
};

// Every row, sorted by name.
std::span<const DocumentedApi> DocumentedApis();

// The arguments of `api`; empty when its page names none.
std::vector<DocumentedArgument> DocumentedArguments(std::string_view api);

}  // namespace vx::engine
