// The front end's preparations and the platform-neutral main window.
#include "host/launch.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/main_window.hpp"
#include "support/script_fixture.hpp"
#include "support/temp_folder.hpp"

namespace vx {
namespace {

using Strings = std::vector<std::string>;

host::LaunchOptions Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "vexmora");
  return host::ParseLaunchOptions(static_cast<int>(args.size()), args.data());
}

TEST(LaunchOptions, OptionsThenTheCommandLine) {
  auto o = Parse({"--headless", "script.vx", "--version", "x"});
  EXPECT_TRUE(o.headless);
  EXPECT_FALSE(o.version);  // after the first word everything is the script's
  EXPECT_EQ(o.words, (Strings{"script.vx", "--version", "x"}));
  EXPECT_TRUE(o.error.empty());

  o = Parse({"--", "--headless"});
  EXPECT_FALSE(o.headless);
  EXPECT_EQ(o.words, (Strings{"--headless"}));

  o = Parse({"--list-apis", "--help", "--version"});
  EXPECT_TRUE(o.list_apis && o.help && o.version);
  EXPECT_TRUE(o.words.empty());

  o = Parse({"--scramble", "in.vx", "out.vx"});
  EXPECT_TRUE(o.scramble);
  EXPECT_EQ(o.scramble_in, "in.vx");
  EXPECT_EQ(o.scramble_out, "out.vx");

  o = Parse({"--vram-png", "out.png", "--headless", "s.vx"});
  EXPECT_EQ(o.vram_png, "out.png");
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.words, (Strings{"s.vx"}));
  EXPECT_EQ(Parse({"s.vx", "--vram-png", "x"}).vram_png, "");  // the script's words

  EXPECT_FALSE(Parse({"--vram-png"}).error.empty());
  EXPECT_FALSE(Parse({"--scramble", "in.vx"}).error.empty());
  EXPECT_FALSE(Parse({"--bogus"}).error.empty());
  EXPECT_EQ(Parse({"-", "a"}).words, (Strings{"-", "a"}));
}

TEST(LaunchOptions, CommandLineNamesExistingFilesAbsolutely) {
  test::TempDirectory dir;
  test::WriteBytes(dir.Path() / "s.vx", "");
  test::WriteBytes(dir.Path() / "データ.txt", "");
  EXPECT_EQ(host::BuildCommandLine({"s.vx", "not-a-file", "3"}),
            dir.Sjis() + "/s.vx not-a-file 3");
  EXPECT_EQ(host::BuildCommandLine({"./データ.txt"}),
            text::Utf8ToCp932(dir.Path().string() + "/データ.txt"));
  EXPECT_EQ(host::BuildCommandLine({}), "");
}

TEST(LaunchOptions, ProgramDirectoryFromTheEnvironmentWins) {
  test::TempFolder tree;
  std::filesystem::create_directories(tree.Path("bin"));
  tree.Write("bin/default.vx", "");
  const std::string exe = tree.Path("bin/vexmora");
  EXPECT_EQ(host::ResolveProgramDirectory("/opt/vx", exe), "/opt/vx/");
  EXPECT_EQ(host::ResolveProgramDirectory("/opt/vx/", exe), "/opt/vx/");
  EXPECT_EQ(host::ResolveProgramDirectory("/opt/表", exe), text::Utf8ToCp932("/opt/表/"));
  // Empty counts as not set.
  EXPECT_EQ(host::ResolveProgramDirectory("", exe), tree.Path("bin/"));
  EXPECT_EQ(host::ResolveProgramDirectory(nullptr, exe), tree.Path("bin/"));
}

TEST(LaunchOptions, ProgramDirectoryFallsBackToTheInstalledTree) {
  test::TempFolder tree;
  std::filesystem::create_directories(tree.Path("表/bin"));
  std::filesystem::create_directories(tree.Path("表/share/vexmora"));
  const std::string exe = tree.Path("表/bin/vexmora");

  // Neither place has default.vx: the executable's own directory, where
  // start-up reports the missing script.
  EXPECT_EQ(host::ResolveProgramDirectory(nullptr, exe), text::Utf8ToCp932(tree.Path("表/bin/")));

  // Only the installed tree has it: share/vexmora, written without "..".
  tree.Write("表/share/vexmora/default.vx", "");
  EXPECT_EQ(host::ResolveProgramDirectory(nullptr, exe),
            text::Utf8ToCp932(tree.Path("表/share/vexmora/")));
  EXPECT_EQ(host::ResolveProgramDirectory("/opt/vx", exe), "/opt/vx/");

  // One beside the executable (a build tree) comes first.
  tree.Write("表/bin/default.vx", "");
  EXPECT_EQ(host::ResolveProgramDirectory(nullptr, exe), text::Utf8ToCp932(tree.Path("表/bin/")));

  // A bare name without a folder gives no directory at all.
  EXPECT_EQ(host::ResolveProgramDirectory(nullptr, "vexmora"), "");
}

TEST(LaunchOptions, HeadlessMessagesAreOneUtf8Line) {
  EXPECT_EQ(host::HeadlessMessageLine("Error", text::Utf8ToCp932("一\r\n二\n三\r四")),
            "[Error] 一\\n二\\n三\\n四");
  EXPECT_EQ(host::HeadlessMessageLine("Message", ""), "[Message] ");
}

class MainWindow : public test::ScriptTest {};

TEST(LaunchOptions, ExitStatus) {
  // The script's own code always wins.
  EXPECT_EQ(host::ExitStatus(9, true, true), 9);
  EXPECT_EQ(host::ExitStatus(-1, false, true), -1);
  // Headless, an error with no code of the script's own is not a success.
  EXPECT_EQ(host::ExitStatus(0, true, true), host::SCRIPT_ERROR_STATUS);
  EXPECT_EQ(host::ExitStatus(0, false, true), 0);
  // With a window the person saw the error and closed the window.
  EXPECT_EQ(host::ExitStatus(0, true, false), 0);
}

TEST_F(MainWindow, TickRunsOneQueuedLabel) {
  ASSERT_EQ(Load("Data long X 0\n:Initial\nENDP\n:Inc\ninc X\nENDP\n"), 1);
  host::MainWindowProcedure procedure(rt);
  EXPECT_FALSE(procedure.CanRunLabels());
  const std::int32_t entry = rt.program.LabelAt(rt.program.FindLabelAtRunTime("inc")).entry;
  rt.session.pending_labels.Push(entry);
  rt.session.pending_labels.Push(entry);
  EXPECT_TRUE(procedure.CanRunLabels());
  procedure.Handle({host::MessageKind::kTick, {}});
  EXPECT_EQ(Long("X"), 1);
  procedure.Handle({host::MessageKind::kTick, {}});
  EXPECT_EQ(Long("X"), 2);
  EXPECT_FALSE(procedure.CanRunLabels());
  procedure.Handle({host::MessageKind::kTick, {}});
  EXPECT_EQ(Long("X"), 2);
  EXPECT_EQ(procedure.Handle({host::MessageKind::kClose, {}}), 1);
}

TEST_F(MainWindow, ReloadFollowsChainsAndQuits) {
  test::WriteBytes(dir.Path() / "b.vx", ":Initial\nExit \"c.vx\"\n");
  test::WriteBytes(dir.Path() / "c.vx", ":Initial\nG_EXIT_CODE = 5\nExit\n");
  host::MainWindowProcedure procedure(rt);
  EXPECT_FALSE(procedure.QuitRequested());
  procedure.Handle({host::MessageKind::kReload, dir.Sjis() + "/b.vx"});
  EXPECT_TRUE(procedure.QuitRequested());
  EXPECT_EQ(rt.session.exit_code, 5);
}

TEST_F(MainWindow, NothingRunsAfterAnError) {
  ASSERT_EQ(Load(":Initial\ngoto Nowhere\n:Other\nENDP\n"), 1);
  rt.session.pending_labels.Push(2);
  host::MainWindowProcedure procedure(rt);
  EXPECT_FALSE(procedure.CanRunLabels());
}

}  // namespace
}  // namespace vx
