// The "Edit script" item's command: terminal editors run inside a terminal,
// graphical ones directly, and without either the desktop opens the file.
#include "host/editor_command.hpp"

#include <gtest/gtest.h>

namespace vx::test {
namespace {

using host::ChooseEditorCommand;
using host::EditorCommand;
using Words = std::vector<std::string>;

TEST(EditorCommand, ATerminalEditorRunsInsideTheTerminal) {
  const EditorCommand c = ChooseEditorCommand("", "vim", "/s/a b.vx", true);
  EXPECT_EQ(c.program, "x-terminal-emulator");
  EXPECT_EQ(c.args, (Words{"-e", "vim", "/s/a b.vx"}));
  const EditorCommand nw = ChooseEditorCommand("emacs -nw", "", "/s/a.vx", true);
  EXPECT_EQ(nw.args, (Words{"-e", "emacs", "-nw", "/s/a.vx"}));
}

TEST(EditorCommand, AGraphicalEditorRunsDirectlyAndVisualComesFirst) {
  const EditorCommand c = ChooseEditorCommand("/usr/bin/gedit --new-window", "nano", "/s/a.vx", true);
  EXPECT_EQ(c.program, "/usr/bin/gedit");
  EXPECT_EQ(c.args, (Words{"--new-window", "/s/a.vx"}));
  EXPECT_EQ(ChooseEditorCommand("", "emacs", "/s/a.vx", false).program, "emacs");
}

TEST(EditorCommand, WithoutATerminalOrAnEditorTheDesktopOpensTheFile) {
  const EditorCommand none = ChooseEditorCommand("", "", "/s/a.vx", true);
  EXPECT_TRUE(none.program.empty());
  EXPECT_EQ(none.args, (Words{"/s/a.vx"}));
  // vi cannot show without a terminal; $EDITOR's graphical one still can.
  EXPECT_EQ(ChooseEditorCommand("vi", "kate", "/s/a.vx", false).program, "kate");
  EXPECT_TRUE(ChooseEditorCommand("vi", "   ", "/s/a.vx", false).program.empty());
}

TEST(EditorCommand, WordsFollowTheShellsQuotes) {
  EXPECT_EQ(host::SplitCommandWords("  code  --wait "), (Words{"code", "--wait"}));
  EXPECT_EQ(host::SplitCommandWords("'/opt/my editor/ed' -a\"b c\" x\\ y"),
            (Words{"/opt/my editor/ed", "-ab c", "x y"}));
  EXPECT_EQ(host::SplitCommandWords("ed ''"), (Words{"ed", ""}));
  EXPECT_TRUE(host::SplitCommandWords("").empty());
}

}  // namespace
}  // namespace vx::test
