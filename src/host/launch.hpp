#pragma once
// What the front end works out before anything runs: its options, the
// program directory, the command line handed to the script, and how a
// message box reads on a terminal.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/diagnostics.hpp"
#include "text/script_text.hpp"

namespace vx {
struct Runtime;
}  // namespace vx

namespace vx::host {

struct LaunchOptions {
  bool headless = false;
  bool list_apis = false;
  bool version = false;
  bool help = false;
  bool scramble = false;
  bool check = false;        // --check: load the scripts in `words`, run nothing
  std::string scramble_in;   // --scramble IN OUT (system paths)
  std::string scramble_out;
  std::string vram_png;      // --vram-png FILE: the bank as PNG at the end (absolute once completed)
  std::vector<std::string> words;  // the command line as given (UTF-8)
  std::string error;               // set when the options cannot be used
  // --encoding NAME, else $VEXMORA_SCRIPT_ENCODING: how scripts without the
  // UTF-8 byte-order mark are read.
  text::ScriptEncoding encoding = text::ScriptEncoding::kShiftJis;
  bool encoding_given = false;
  ExplainLanguage language = ExplainLanguage::kEnglish;
  std::string start_dir;     // the directory the program was started in (UTF-8)
  std::string stdin_script;  // the file holding a script read from standard input
};

// Options come first; the first word that is not an option, or everything
// after "--", is the command line.
LaunchOptions ParseLaunchOptions(int argc, const char* const* argv);

// What the environment adds, read through `get` (std::getenv in the
// program): the script encoding (when no --encoding was given), the
// language of explanations, the start directory (`start_dir`), and
// --vram-png made absolute against it. Sets `error` for an encoding the
// variable names that is not one.
using EnvironmentReader = std::function<const char*(const char*)>;
void CompleteLaunchOptions(LaunchOptions& options, const EnvironmentReader& get, std::string_view start_dir);

// English unless the user's locale is Japanese: VEXMORA_LANG ("en", "ja")
// first, then the first of LC_ALL, LC_MESSAGES and LANG that is set.
ExplainLanguage ExplanationLanguage(const EnvironmentReader& get);

// A relative path made absolute against `start_dir`; an absolute or empty
// one as it is.
std::string AnchorPath(std::string_view path, std::string_view start_dir);

// The value of an environment variable that names a file or folder, made
// to mean the same after start-up changes directory: relative paths are
// anchored at `start_dir` (the part after "pdf:", "file:", "record:" and
// the like where the variable has such forms). Other variables and values
// come back unchanged.
std::string AnchoredVariable(std::string_view variable, std::string_view value, std::string_view start_dir);
// Rewrites every such variable of the process environment.
void AnchorEnvironmentPaths(std::string_view start_dir);

// A script read from standard input: "-" or "/dev/stdin" as the first word.
bool NamesStandardInput(std::string_view word);
// Copies standard input into a private file (mode 0600, in the per-user
// runtime folder) and returns its path; empty, with `error`, when that
// fails. The caller removes the file.
std::string SaveStandardInput(std::string* error);

// Whether the display the environment names (DISPLAY, else
// WAYLAND_DISPLAY) can be opened; false, with the reason, when a window
// could not be shown there. An X connection that answered is held until
// ReleaseDisplayCheck, which the window layer calls once Qt is connected.
bool DisplayOpens(std::string* reason);
void ReleaseDisplayCheck();

// The start of a run, with a window or without: the options into the
// runtime, the program directory and the start-up sequence. The result of
// engine::PrepareStartUp.
int PrepareRun(Runtime& rt, const LaunchOptions& options);

std::string_view UsageText();

// Exit status of a headless run whose last script failed to load or ended
// with a run error, unless the script set G_EXIT_CODE itself.
inline constexpr int SCRIPT_ERROR_STATUS = 3;
// Exit status of a run that ended well but could not write the picture
// --vram-png asked for.
inline constexpr int OUTPUT_FAILED_STATUS = 4;

// The process's exit status: G_EXIT_CODE when it is not 0; else, headless,
// SCRIPT_ERROR_STATUS when the last script ended with an error; else 0. With
// a window the user has seen the error and closed the window.
int ExitStatus(int exit_code, bool ended_with_error, bool headless);

// The command line for G_CMD_LINE, in Shift-JIS: the words written as a
// Windows command line is (QuoteArgument), joined by single blanks. A word
// naming an existing file becomes its absolute path, because start-up makes
// the program directory the current one.
std::string BuildCommandLine(const std::vector<std::string>& words);

// One word of a Windows command line (Shift-JIS in and out): a word with a
// blank, a tab or a double quote, or an empty one, goes in double quotes;
// a quote inside is written \" and the backslashes before a quote (or
// before the closing one) are doubled. The second byte of a two-byte
// character is never taken for a backslash or a quote.
std::string QuoteArgument(std::string_view word);

// Where an installed tree keeps default.vx, relative to the directory of the
// executable (bin/vexmora beside share/vexmora/).
inline constexpr std::string_view INSTALLED_DATA_DIR = "../share/vexmora/";

// The program directory (Shift-JIS, with a trailing separator): the value of
// $VEXMORA_PROGRAM_DIR when it is set and not empty; else the directory of
// the executable when default.vx is there; else INSTALLED_DATA_DIR from it
// when default.vx is there; else the executable's directory again, where
// start-up then reports the missing script. Both inputs are given as the
// system spells them (UTF-8).
std::string ResolveProgramDirectory(const char* override_dir, std::string_view executable_path);

// A message box as one terminal line: "[caption] text" in UTF-8, every line
// break of the Shift-JIS text written as the two characters \n.
std::string HeadlessMessageLine(std::string_view caption, std::string_view text);
// A note (an explanation or warning, Shift-JIS) as one terminal line in
// UTF-8, line breaks written as \n.
std::string HeadlessNoteLine(std::string_view text);

}  // namespace vx::host
