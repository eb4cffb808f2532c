#pragma once
// Which program the window's "Edit script" item starts: the user's editor
// from $VISUAL or $EDITOR, inside a terminal when it is a terminal editor,
// else whatever the desktop opens the file with.
#include <string>
#include <string_view>
#include <vector>

namespace vx::host {

struct EditorCommand {
  std::string program;             // empty: open the file with the desktop's choice
  std::vector<std::string> args;   // the file's path is the last
};

// Splits a command line into words as a shell would for the simple cases:
// blanks separate, single and double quotes group, a backslash escapes.
std::vector<std::string> SplitCommandWords(std::string_view line);

// `visual` and `editor` are the variables' values (empty when unset); the
// path is the file's system path. A terminal editor runs in
// x-terminal-emulator when `have_terminal`; without a terminal it cannot be
// shown and the desktop's choice is taken.
EditorCommand ChooseEditorCommand(std::string_view visual, std::string_view editor,
                                  std::string_view path, bool have_terminal);

}  // namespace vx::host
