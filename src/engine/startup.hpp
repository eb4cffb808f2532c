#pragma once
// The life of the process around the engine: choosing the script source,
// the script directory, the title scan, the start-up sequence up to the main
// window, the first load and the chain to another script.
#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

struct Runtime;

inline constexpr std::string_view START_SCRIPT_NAME = "default.vx";

namespace engine {

// Whether the path ends in a separator (not in the second byte of a
// two-byte character).
bool EndsWithSeparator(std::string_view path);

// The directory part of the executable's path (Shift-JIS), up to and
// including its last separator; "" when it has none.
std::string ProgramDirectoryOf(std::string_view executable_path);

// Selects the file the loader reads. A path ending in ".vx" (its first
// ".vx", any case, is its last three bytes) is taken as it is, result 1.
// Otherwise everything from the last "." is replaced by ".vx"; the result is
// 1 when that file exists, 0 when it does not or the path is unusable.
int SelectScriptSource(Runtime& rt, std::string_view path);

// Makes the directory of `path` the current one (a backslash or a slash is a
// separator; the second byte of a Shift-JIS character never is), records the
// current directory and rewrites `path` as current directory + name.
void SetScriptDirectory(Runtime& rt, std::string& path);

// Reads the selected source for "$CONFIG_TITTLE:" lines; the last one sets
// the title-bar setting. A missing source changes nothing.
void ScanConfigTitle(Runtime& rt);

// The process start-up up to the creation of the main window: the program
// directory, the command line, default.vx, the script directory and source
// and the title scan. 0 when the process must end (the reason was shown);
// the exit code is then 0.
int PrepareStartUp(Runtime& rt, std::string_view program_dir, std::string_view command_line);

// Loads the script of the current script path (after the main window
// exists). The result of LoadScript.
int LoadStartScript(Runtime& rt);

// After a message: when a run asked to chain (Exit with a path), clears the
// request and reloads with the chain path, as often as the new scripts ask.
// True when a reload took place.
bool FollowChain(Runtime& rt);

// The reload sequence for a path (chain, open dialog, dropped file).
int ReloadScript(Runtime& rt, std::string_view path);

// The running script's path as it is found again after the current folder
// has moved: a bare file name is taken from the folder it was loaded in.
std::string RunningScriptPath(const Runtime& rt);

}  // namespace engine
}  // namespace vx
