// Choosing the script source, the script directory, the title scan, the
// start-up sequence and chaining.
#include "engine/startup.hpp"

#include <gtest/gtest.h>

#include "engine/lifecycle.hpp"
#include "graphics/vram.hpp"
#include "platform/files.hpp"
#include "support/script_fixture.hpp"

namespace vx {
namespace {

using test::ReadBytes;
using test::WriteBytes;
using Strings = std::vector<std::string>;

class Startup : public test::ScriptTest {
 protected:
  std::string Cwd() { return files::CurrentDirectory(); }
};

TEST_F(Startup, SelectScriptSourceTakesVxPathsAsTheyAre) {
  EXPECT_EQ(engine::SelectScriptSource(rt, "dir/Missing.VX"), 1);
  EXPECT_TRUE(rt.startup.source.selected);
  EXPECT_EQ(rt.startup.source.path, "dir/Missing.VX");
}

TEST_F(Startup, SelectScriptSourceReplacesTheExtension) {
  WriteBytes(dir.Path() / "next.vx", ":Initial\n");
  EXPECT_EQ(engine::SelectScriptSource(rt, "next.txt"), 1);
  EXPECT_EQ(rt.startup.source.path, "next.vx");
  EXPECT_TRUE(rt.startup.source.selected);
  // The first ".vx" is not at the end: everything from the last "." goes.
  EXPECT_EQ(engine::SelectScriptSource(rt, "a.vx.txt"), 0);
  EXPECT_EQ(rt.startup.source.path, "a.vx.vx");
  EXPECT_TRUE(rt.startup.source.selected);
}

TEST_F(Startup, SelectScriptSourceRefusesUnusablePaths) {
  EXPECT_EQ(engine::SelectScriptSource(rt, "noextension"), 0);
  EXPECT_FALSE(rt.startup.source.selected);
  EXPECT_EQ(engine::SelectScriptSource(rt, std::string(4096, 'a') + ".txt"), 0);
  EXPECT_FALSE(rt.startup.source.selected);
  EXPECT_EQ(engine::SelectScriptSource(rt, std::string(4093, 'a') + ".t"), 0);
  EXPECT_FALSE(rt.startup.source.selected);
  EXPECT_EQ(engine::SelectScriptSource(rt, std::string(4092, 'a') + ".t"), 0);
  EXPECT_TRUE(rt.startup.source.selected);  // usable, just missing
}

TEST_F(Startup, AFolderIsNeverTheScript) {
  std::filesystem::create_directories(dir.Path() / "named.vx");
  EXPECT_EQ(engine::SelectScriptSource(rt, "named.vx"), 0);
  EXPECT_EQ(engine::SelectScriptSource(rt, "named.txt"), 0);
  WriteBytes(dir.Path() / "real.vx", ":Initial\n");
  EXPECT_EQ(engine::SelectScriptSource(rt, "real.txt"), 1);
}

TEST_F(Startup, ChainToAFolderLoadsNothing) {
  std::filesystem::create_directories(dir.Path() / "adir.vx");
  ASSERT_EQ(Load(":Initial\nExit \"adir.vx\"\n"), 1);
  EXPECT_TRUE(engine::FollowChain(rt));
  EXPECT_EQ(rt.run.exit_request, EXIT_NONE);
  EXPECT_EQ(rt.program.ProcCount(), 1);  // nothing compiled
  EXPECT_EQ(rt.program.LblCount(), 0);
}

TEST_F(Startup, SetScriptDirectoryMovesToTheScriptsFolder) {
  std::filesystem::create_directories(dir.Path() / "sub" / "deeper");
  std::string path = "sub/x.vx";
  engine::SetScriptDirectory(rt, path);
  EXPECT_EQ(path, dir.Sjis() + "/sub/x.vx");
  EXPECT_EQ(rt.startup.current_dir, dir.Sjis() + "/sub");
  path = "deeper\\y.vx";
  engine::SetScriptDirectory(rt, path);
  EXPECT_EQ(path, dir.Sjis() + "/sub/deeper/y.vx");
  EXPECT_EQ(Cwd(), dir.Sjis() + "/sub/deeper");
}

TEST_F(Startup, SetScriptDirectoryNeverSplitsATwoByteCharacter) {
  // 表 is 0x95 0x5C in Shift-JIS: its second byte is not a separator.
  std::filesystem::create_directories(dir.Path() / "表");
  std::string path = text::Utf8ToCp932("表\\x.vx");
  engine::SetScriptDirectory(rt, path);
  EXPECT_EQ(text::Cp932ToUtf8(rt.startup.current_dir), dir.Path().string() + "/表");
  EXPECT_EQ(text::Cp932ToUtf8(path), dir.Path().string() + "/表/x.vx");
  std::string bare = text::Utf8ToCp932("表.vx");
  engine::SetScriptDirectory(rt, bare);
  EXPECT_EQ(bare, text::Utf8ToCp932("表.vx"));
}

TEST_F(Startup, SetScriptDirectoryKeepsThePathWhenTheFolderIsMissing) {
  std::string path = "missing/x.vx";
  engine::SetScriptDirectory(rt, path);
  EXPECT_EQ(path, "missing/x.vx");
  EXPECT_EQ(rt.startup.current_dir, dir.Sjis());
}

TEST_F(Startup, SetScriptDirectoryAtTheRoot) {
  std::string path = "/x.vx";
  engine::SetScriptDirectory(rt, path);
  EXPECT_EQ(path, "/x.vx");
  EXPECT_EQ(rt.startup.current_dir, "/");
}

TEST_F(Startup, ProgramDirectoryOfTheExecutable) {
  EXPECT_EQ(engine::ProgramDirectoryOf("/opt/vexmora/bin/vexmora"), "/opt/vexmora/bin/");
  EXPECT_EQ(engine::ProgramDirectoryOf(text::Utf8ToCp932("C:\\表\\vexmora.exe")),
            text::Utf8ToCp932("C:\\表\\"));
  EXPECT_EQ(engine::ProgramDirectoryOf("vexmora"), "");
}

TEST_F(Startup, TitleScanTakesTheLastSettingOutsideComments) {
  WriteBytes(dir.Path() / "t.vx",
             "$CONFIG_TITTLE:0\n// $CONFIG_TITTLE:5\nX $CONFIG_TITTLE: 7 // $CONFIG_TITTLE:8\n");
  engine::SelectScriptSource(rt, "t.vx");
  engine::ScanConfigTitle(rt);
  EXPECT_EQ(rt.session.title_setting, 7);
  WriteBytes(dir.Path() / "u.vx", "$CONFIG_TITTLE:0\n");
  engine::SelectScriptSource(rt, "u.vx");
  engine::ScanConfigTitle(rt);
  EXPECT_EQ(rt.session.title_setting, 0);
  engine::SelectScriptSource(rt, "gone.vx");
  engine::ScanConfigTitle(rt);
  EXPECT_EQ(rt.session.title_setting, 0);
}

TEST_F(Startup, MissingDefaultScript) {
  std::filesystem::create_directories(dir.Path() / "prog");
  EXPECT_EQ(engine::PrepareStartUp(rt, dir.Sjis() + "/prog/", "x.vx"), 0);
  EXPECT_EQ(Messages(), (Strings{"[Message] 必要なファイル(default.vx)が見つかりません。"}));
  EXPECT_EQ(engine::PrepareStartUp(rt, dir.Sjis() + "/prog/", ""), 0);
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(Startup, CommandLineMakesTheProgramDirectoryCurrent) {
  std::filesystem::create_directories(dir.Path() / "prog");
  std::filesystem::create_directories(dir.Path() / "elsewhere");
  WriteBytes(dir.Path() / "prog" / "default.vx", "$CONFIG_TITTLE:0\n:Initial\n");
  std::filesystem::current_path(dir.Path() / "elsewhere");
  ASSERT_EQ(engine::PrepareStartUp(rt, dir.Sjis() + "/prog/", "a b"), 1);
  EXPECT_EQ(Cwd(), dir.Sjis() + "/prog");
  EXPECT_EQ(rt.startup.command_line, "a b");
  EXPECT_EQ(rt.startup.script_path, dir.Sjis() + "/prog/default.vx");
  EXPECT_EQ(rt.session.title_setting, 0);
  ASSERT_EQ(engine::LoadStartScript(rt), 1);
  EXPECT_EQ(Text("G_CMD_LINE"), "a b");
  EXPECT_EQ(Text("G_MODULE_DIR"), dir.Path().string() + "/prog/");
  EXPECT_EQ(Text("G_CURRENT_DIR"), dir.Path().string() + "/prog");
}

TEST_F(Startup, OverlongCommandLineIsLikeNone) {
  std::filesystem::create_directories(dir.Path() / "prog");
  WriteBytes(dir.Path() / "prog" / "default.vx", ":Initial\n");
  ASSERT_EQ(engine::PrepareStartUp(rt, dir.Sjis() + "/prog/", std::string(5000, 'c')), 1);
  EXPECT_EQ(Cwd(), dir.Sjis());
  EXPECT_EQ(rt.startup.command_line, "");
  ASSERT_EQ(engine::LoadStartScript(rt), 1);
  EXPECT_EQ(Text("G_CMD_LINE"), "");
}

TEST_F(Startup, ChainingLoadsTheNextScriptWithItsExtensionReplaced) {
  std::filesystem::create_directories(dir.Path() / "more");
  WriteBytes(dir.Path() / "more" / "next.vx",
             ":Initial\nG_EXIT_CODE = 7\nExit\n");
  ASSERT_EQ(Load(":Initial\nG_EXIT_CODE = 2\nExit \"more/next.txt\"\n"), 1);
  EXPECT_EQ(rt.run.exit_request, EXIT_CHAIN);
  EXPECT_EQ(rt.session.exit_code, 2);
  EXPECT_TRUE(engine::FollowChain(rt));
  EXPECT_EQ(rt.run.exit_request, EXIT_QUIT);
  EXPECT_EQ(rt.session.exit_code, 7);
  EXPECT_EQ(rt.startup.script_path, dir.Sjis() + "/more/next.txt");
  EXPECT_EQ(Cwd(), dir.Sjis() + "/more");
  EXPECT_FALSE(engine::FollowChain(rt));
}

TEST_F(Startup, ChainToAMissingScriptLoadsNothingSilently) {
  ASSERT_EQ(Load(":Initial\nExit \"gone.vx\"\n"), 1);
  EXPECT_TRUE(engine::FollowChain(rt));
  EXPECT_EQ(rt.run.exit_request, EXIT_NONE);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(rt.program.ProcCount(), 1);  // nothing compiled
  EXPECT_EQ(rt.program.LblCount(), 0);
}

TEST_F(Startup, UnloadRecordsTheExitCodeAndForgetsQueuedLabels) {
  ASSERT_EQ(Load(":Initial\nG_EXIT_CODE = 11\nENDP\n:Later\nENDP\n"), 1);
  rt.session.pending_labels.Push(2);
  EXPECT_EQ(engine::UnloadScript(rt), 1);
  EXPECT_EQ(rt.session.exit_code, 11);
  EXPECT_EQ(rt.session.pending_labels.Count(), 0);
  EXPECT_FALSE(rt.session.events_enabled);
  EXPECT_EQ(rt.program.ProcCount(), 1);
  EXPECT_EQ(rt.program.LblCount(), 0);
  EXPECT_EQ(engine::UnloadScript(rt), 1);  // nothing loaded: the code stays
  EXPECT_EQ(rt.session.exit_code, 11);
}

TEST_F(Startup, EachProgramStartsOnAWhitePageWithTheWholeClipAndTheFirstRandomNumbers) {
  ASSERT_EQ(Load("Data long R 0\n:Initial\nCALL SetUdArea 0, 0, 9, 9\nCALL SetPx 3, 3, 0\n"
                 "CALL rand 1000, R\n"),
            1);
  const std::int32_t first_draw = Long("R");
  EXPECT_EQ(rt.vram.Clip().right, 8);
  EXPECT_EQ(graphics::ReadPixel(rt.vram.Current(), 3, 3), graphics::Color{});
  EXPECT_EQ(graphics::ReadPixel(rt.vram.Current(), 2599, 1999), graphics::kWhite);

  ASSERT_EQ(Load("Data long R 0\n:Initial\nCALL rand 1000, R\n"), 1);
  EXPECT_EQ(rt.vram.Clip().right, graphics::VRAM_WIDTH - 1);
  EXPECT_EQ(graphics::ReadPixel(rt.vram.Current(), 3, 3), graphics::kWhite);
  EXPECT_EQ(Long("R"), first_draw);
}

TEST_F(Startup, InitialIsQueuedWhenTheEngineIsBusy) {
  ASSERT_TRUE(rt.run.lock.TryTake());
  ASSERT_EQ(Load("Data long X 0\n:Initial\nX = 1\n"), 1);
  EXPECT_EQ(Long("X"), 0);
  EXPECT_EQ(rt.session.pending_labels.Count(), 1);
  EXPECT_TRUE(rt.session.started);
  rt.run.lock.Release();
}

TEST(PendingLabels, HoldsAHundredInOrder) {
  engine::PendingLabelQueue queue;
  for (int i = 1; i <= PENDING_LABEL_MAX; ++i) EXPECT_TRUE(queue.Push(i));
  EXPECT_FALSE(queue.Push(101));
  EXPECT_EQ(queue.Pop(), 1);
  EXPECT_TRUE(queue.Push(101));
  for (int i = 2; i <= 101; ++i) EXPECT_EQ(queue.Pop(), i);
  EXPECT_EQ(queue.Pop(), 0);
}

}  // namespace
}  // namespace vx
