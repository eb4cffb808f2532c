#pragma once
// What the engine keeps to explain its errors to a person: the language of
// the explanations, the directory paths are shown relative to, what a load
// noticed but did not refuse, and the check mode of `vexmora --check`.
#include <cstdint>
#include <string>
#include <vector>

namespace vx {

enum class ExplainLanguage : std::uint8_t { kEnglish, kJapanese };

// A `Data` line whose type is none of the known ones. The loader ignores
// such a line, so the name it meant to declare fails later, far from it.
struct IgnoredDeclaration {
  std::string type;
  std::string name;
  std::int32_t line = 0;
};

struct Diagnostics {
  ExplainLanguage language = ExplainLanguage::kEnglish;
  // The directory the program was started in (Shift-JIS); script paths
  // below it are shown relative to it.
  std::string start_dir;
  // The file that holds a script read from standard input; shown as
  // STDIN_SCRIPT_NAME.
  std::string stdin_script;
  // --check: every line is compiled and every error reported, nothing runs.
  bool check_only = false;
  int check_errors = 0;
  int check_warnings = 0;
  std::vector<IgnoredDeclaration> ignored_declarations;  // of the loaded program
  // The script and line of the last `Exit` with a path, for a chain that
  // finds no script.
  std::string chain_from;
  std::int32_t chain_from_line = 0;
  bool source_unreadable = false;  // the last load could not open its source
};

inline constexpr const char* STDIN_SCRIPT_NAME = "<stdin>";

}  // namespace vx
