// The front end's preparations and the platform-neutral main window.
#include "host/launch.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

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

TEST(LaunchOptions, CheckAndEncoding) {
  auto o = Parse({"--check", "a.vx", "b.vx"});
  EXPECT_TRUE(o.check);
  EXPECT_EQ(o.words, (Strings{"a.vx", "b.vx"}));
  EXPECT_FALSE(Parse({"--check"}).error.empty());  // nothing to check

  o = Parse({"--encoding", "UTF-8", "s.vx"});
  EXPECT_EQ(o.encoding, text::ScriptEncoding::kUtf8);
  EXPECT_TRUE(o.encoding_given);
  EXPECT_EQ(Parse({"--encoding", "sjis", "s.vx"}).encoding, text::ScriptEncoding::kShiftJis);
  EXPECT_FALSE(Parse({"--encoding", "latin1", "s.vx"}).error.empty());
  EXPECT_FALSE(Parse({"--encoding"}).error.empty());
}

// An environment of the given variables only.
host::EnvironmentReader Environment(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](const char* name) -> const char* {
    const auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  };
}

TEST(LaunchOptions, TheEnvironmentChoosesEncodingLanguageAndAnchorsThePicture) {
  auto o = Parse({"--vram-png", "out/p.png", "s.vx"});
  host::CompleteLaunchOptions(o, Environment({{"VEXMORA_SCRIPT_ENCODING", "utf8"}}), "/home/u/work");
  EXPECT_TRUE(o.error.empty());
  EXPECT_EQ(o.vram_png, "/home/u/work/out/p.png");
  EXPECT_EQ(o.start_dir, "/home/u/work");
  EXPECT_EQ(o.encoding, text::ScriptEncoding::kUtf8);

  // The option wins over the variable; an absolute picture stays.
  o = Parse({"--encoding", "cp932", "--vram-png", "/tmp/p.png", "s.vx"});
  host::CompleteLaunchOptions(o, Environment({{"VEXMORA_SCRIPT_ENCODING", "utf-8"}}), "/w");
  EXPECT_EQ(o.encoding, text::ScriptEncoding::kShiftJis);
  EXPECT_EQ(o.vram_png, "/tmp/p.png");

  o = Parse({"s.vx"});
  host::CompleteLaunchOptions(o, Environment({{"VEXMORA_SCRIPT_ENCODING", "ebcdic"}}), "/w");
  EXPECT_NE(o.error.find("ebcdic"), std::string::npos);
  o = Parse({"s.vx"});
  host::CompleteLaunchOptions(o, Environment({{"VEXMORA_SCRIPT_ENCODING", ""}}), "/w");
  EXPECT_TRUE(o.error.empty());
  EXPECT_EQ(o.encoding, text::ScriptEncoding::kShiftJis);
}

TEST(LaunchOptions, ExplanationsAreJapaneseOnlyForAJapaneseLocale) {
  using L = ExplainLanguage;
  EXPECT_EQ(host::ExplanationLanguage(Environment({})), L::kEnglish);
  EXPECT_EQ(host::ExplanationLanguage(Environment({{"LANG", "ja_JP.UTF-8"}})), L::kJapanese);
  EXPECT_EQ(host::ExplanationLanguage(Environment({{"LANG", "de_DE.UTF-8"}})), L::kEnglish);
  // LC_ALL before LC_MESSAGES before LANG; empty ones do not count.
  EXPECT_EQ(host::ExplanationLanguage(Environment({{"LC_ALL", "C"}, {"LANG", "ja_JP"}})), L::kEnglish);
  EXPECT_EQ(host::ExplanationLanguage(Environment({{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP"}, {"LANG", "C"}})),
            L::kJapanese);
  // VEXMORA_LANG overrides the locale either way.
  EXPECT_EQ(host::ExplanationLanguage(Environment({{"VEXMORA_LANG", "en"}, {"LANG", "ja_JP"}})), L::kEnglish);
  EXPECT_EQ(host::ExplanationLanguage(Environment({{"VEXMORA_LANG", "ja"}, {"LANG", "C"}})), L::kJapanese);
  EXPECT_EQ(host::ExplanationLanguage(Environment({{"VEXMORA_LANG", "JA"}})), L::kJapanese);
}

TEST(LaunchOptions, RelativePathsInVariablesAreAnchoredWhereTheProgramStarted) {
  const std::string_view start = "/home/u/work";
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_AUDIO_OUT", "out.wav", start), "/home/u/work/out.wav");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_AUDIO_IN", "../in.wav", start), "/home/u/in.wav");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_AUDIO_OUT", "/abs/out.wav", start), "/abs/out.wav");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_AUDIO_OUT", "", start), "");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_SOUNDFONT", "sf/gm.sf2", start), "/home/u/work/sf/gm.sf2");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_IIO_ROOT", "iio", start), "/home/u/work/iio");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_PROGRAM_DIR", "build", start), "/home/u/work/build");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_COM1", "pty", start), "/home/u/work/pty");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_COM12", "/dev/ttyUSB0", start), "/dev/ttyUSB0");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_COMX", "pty", start), "pty");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_DRIVE_C", "data", start), "/home/u/work/data");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_DRIVE_CD", "data", start), "data");
  // The path part of a value with a form.
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_PRINTER", "pdf:out.pdf", start), "pdf:/home/u/work/out.pdf");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_PRINTER", "pdf:/tmp/o.pdf", start), "pdf:/tmp/o.pdf");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_PRINTER", "cups:office", start), "cups:office");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_MIDI", "record:midi.log", start), "record:/home/u/work/midi.log");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_MIDI", "fluidsynth:file:m.wav", start),
            "fluidsynth:file:/home/u/work/m.wav");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_MIDI", "alsa:128:0", start), "alsa:128:0");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_MIDI", "fluidsynth", start), "fluidsynth");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_CAMERA", "file:clip.mp4", start), "file:/home/u/work/clip.mp4");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_CAMERA", "v4l2:dev/v0", start), "v4l2:/home/u/work/dev/v0");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_CAMERA", "2", start), "2");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_CAMERA", "/dev/video1", start), "/dev/video1");
  // Variables that name no file.
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_AUDIO", "file", start), "file");
  EXPECT_EQ(host::AnchoredVariable("VEXMORA_LANG", "ja", start), "ja");
}

TEST(LaunchOptions, WordsAreQuotedAsOnAWindowsCommandLine) {
  EXPECT_EQ(host::QuoteArgument("plain"), "plain");
  EXPECT_EQ(host::QuoteArgument("C:\\dir\\file"), "C:\\dir\\file");  // backslashes alone stay
  EXPECT_EQ(host::QuoteArgument("two words"), "\"two words\"");
  EXPECT_EQ(host::QuoteArgument("tab\there"), "\"tab\there\"");
  EXPECT_EQ(host::QuoteArgument(""), "\"\"");
  EXPECT_EQ(host::QuoteArgument("say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(host::QuoteArgument("a\"b"), "\"a\\\"b\"");
  // Backslashes before a quote, or before the closing one, are doubled.
  EXPECT_EQ(host::QuoteArgument("x\\\"y"), "\"x\\\\\\\"y\"");
  EXPECT_EQ(host::QuoteArgument("dir with space\\"), "\"dir with space\\\\\"");
  // The second byte 0x5C of 表 is no backslash: not doubled before the
  // closing quote.
  const std::string table = text::Utf8ToCp932("表 x表");
  EXPECT_EQ(host::QuoteArgument(table), "\"" + table + "\"");
}

TEST(LaunchOptions, CommandLineKeepsTheWordsApart) {
  test::TempDirectory dir;
  std::filesystem::create_directories(dir.Path() / "dir with space");
  test::WriteBytes(dir.Path() / "dir with space" / "my script.vx", "");
  EXPECT_EQ(host::BuildCommandLine({"dir with space/my script.vx", "input.csv", "two words"}),
            "\"" + dir.Sjis() + "/dir with space/my script.vx\" input.csv \"two words\"");
}

TEST(LaunchOptions, StandardInputIsNamedByADashOrDevStdin) {
  EXPECT_TRUE(host::NamesStandardInput("-"));
  EXPECT_TRUE(host::NamesStandardInput("/dev/stdin"));
  EXPECT_FALSE(host::NamesStandardInput("--"));
  EXPECT_FALSE(host::NamesStandardInput("-x"));
  EXPECT_FALSE(host::NamesStandardInput("stdin"));
}

TEST(LaunchOptions, NotesAreOneUtf8Line) {
  EXPECT_EQ(host::HeadlessNoteLine(text::Utf8ToCp932("a.vx:3: 一\n二")), "a.vx:3: 一\\n二");
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
