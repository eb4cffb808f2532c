#pragma once
// What the front end works out before anything runs: its options, the
// program directory, the command line handed to the script, and how a
// message box reads on a terminal.
#include <string>
#include <string_view>
#include <vector>

namespace vx::host {

struct LaunchOptions {
  bool headless = false;
  bool list_apis = false;
  bool version = false;
  bool help = false;
  bool scramble = false;
  std::string scramble_in;   // --scramble IN OUT (system paths)
  std::string scramble_out;
  std::string vram_png;      // --vram-png FILE: the bank as PNG at the end
  std::vector<std::string> words;  // the command line as given (UTF-8)
  std::string error;               // set when the options cannot be used
};

// Options come first; the first word that is not an option, or everything
// after "--", is the command line.
LaunchOptions ParseLaunchOptions(int argc, const char* const* argv);

std::string_view UsageText();

// Exit status of a headless run whose last script failed to load or ended
// with a run error, unless the script set G_EXIT_CODE itself.
inline constexpr int SCRIPT_ERROR_STATUS = 3;

// The process's exit status: G_EXIT_CODE when it is not 0; else, headless,
// SCRIPT_ERROR_STATUS when the last script ended with an error; else 0. With
// a window the user has seen the error and closed the window.
int ExitStatus(int exit_code, bool ended_with_error, bool headless);

// The command line for G_CMD_LINE: the words joined by single blanks, in
// Shift-JIS. A word naming an existing file becomes its absolute path,
// because start-up makes the program directory the current one.
std::string BuildCommandLine(const std::vector<std::string>& words);

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

}  // namespace vx::host
