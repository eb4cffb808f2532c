#pragma once
// What start-up records about the process and the script it runs: the
// directories and command line that every load hands to the system
// variables, the current script path, and the selected source file from
// which the loader's input is actually read.
#include <cstddef>
#include <string>

#include "text/script_text.hpp"

namespace vx {

inline constexpr std::size_t STARTUP_PATH_MAX = 4095;  // 4096-byte buffers

// Set by start-up and reloads (SelectScriptSource); read by the input opener.
struct SelectedSource {
  std::string path;
  bool selected = false;
};

struct StartupState {
  std::string program_dir;   // with its trailing separator; G_MODULE_DIR
  std::string current_dir;   // G_CURRENT_DIR at each load
  std::string command_line;  // G_CMD_LINE at each load; empty when none was kept
  std::string script_path;   // the script being loaded or running
  SelectedSource source;
  // How script files without the UTF-8 byte-order mark are read.
  text::ScriptEncoding encoding = text::ScriptEncoding::kShiftJis;
};

}  // namespace vx
