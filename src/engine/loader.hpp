#pragma once
// Script loading: reads the script line by line and builds the compiled
// program (resource table, procedure records, label table), then creates
// the declared controls and starts the Initial label.
#include <string>
#include <string_view>

namespace vx {

struct Runtime;
class ScriptInput;

enum class CompileStatus {
  kCompiled,          // every line compiled, all blocks closed
  kFailed,            // stopped with a message; the tables keep what was compiled
  kUnknownDirective,  // stopped with "unknown directive"; the caller unloads
};

// Empties the tables, the expression name table and the pending error, and
// creates the system variables from the start-up state (indices 0 to 69).
void BeginProgram(Runtime& rt);

// Compiles every line of `input` into the program that BeginProgram
// started, with the end-of-source checks. Every failure has been shown to
// the user through the window system when this returns.
CompileStatus CompileScript(Runtime& rt, ScriptInput& input);

// Remembers `path` as the current script path, unloads the previous
// program, compiles the loader's input and on success creates the controls
// and timers and starts the program. 1 on success, 0 on failure (shown to
// the user, except a source that cannot be opened).
int LoadScript(Runtime& rt, std::string_view path);

// vexmora --check: compiles `source` (the plain text of the script at
// `path`) with rt.diagnostics.check_only set, reporting every error and
// warning and going on after each; nothing is created or run. The number of
// errors.
int CheckScript(Runtime& rt, std::string_view path, std::string source);

}  // namespace vx
