#pragma once
// The per-user folders the program keeps its own data in, after the XDG base
// directory rules: a variable counts only when it holds an absolute path.
// Nothing here creates a folder; the callers do, with the mode they need.
#include <string>

namespace vx::user_dirs {

// $XDG_CONFIG_HOME/vexmora, else ~/.config/vexmora. The home directory is
// $HOME when that is absolute, else the one in the password database, else
// /tmp.
std::string ConfigFolder();

// $XDG_RUNTIME_DIR/vexmora, else /tmp/vexmora-UID.
std::string RuntimeFolder();

}  // namespace vx::user_dirs
