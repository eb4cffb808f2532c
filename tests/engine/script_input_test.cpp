#include "engine/script_input.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "engine/runtime.hpp"
#include "support/fake_window_system.hpp"

namespace vx {
namespace {

std::vector<std::string> Lines(ScriptInput input) {
  std::vector<std::string> lines;
  std::string line;
  while (input.ReadLine(line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> Lines(std::string bytes, bool unscramble) {
  return Lines(ScriptInput::FromBytes(std::move(bytes), unscramble));
}

using Strings = std::vector<std::string>;

TEST(ScriptInput, SplitsAtLfAndKeepsCr) {
  EXPECT_EQ(Lines("a\r\nb\n\nc", false), (Strings{"a\r", "b", "", "c"}));
  EXPECT_EQ(Lines("a\n", false), (Strings{"a"}));
  EXPECT_EQ(Lines("", false), Strings{});
  EXPECT_EQ(Lines("\n", false), (Strings{""}));
}

TEST(ScriptInput, LongLinesAreCutAndTheRestSkipped) {
  const std::string bytes = std::string(5000, 'x') + "\nnext\n";
  const Strings lines = Lines(bytes, false);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), PHYSICAL_LINE_MAX);
  EXPECT_EQ(lines[1], "next");
}

TEST(ScriptInput, NulEndsTheLineText) {
  EXPECT_EQ(Lines(std::string("ab\0cd\nef", 8), false), (Strings{"ab", "ef"}));
}

TEST(ScriptInput, FileReadAcrossBlocks) {
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += "line " + std::to_string(i) + "\r\n";
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  const Strings lines = Lines(ScriptInput::FromFile(files::FilePtr(f), false));
  ASSERT_EQ(lines.size(), 20000u);
  EXPECT_EQ(lines[0], "line 0\r");
  EXPECT_EQ(lines[12345], "line 12345\r");
}

TEST(Scrambling, RoundTripIsExact) {
  const std::vector<std::string> plains = {
      "",
      "\n",
      "A = 1\r\nB = 2\r\n",
      "no final newline",
      "\n\n\nx\n",
      std::string("bin\0ary\xFF\x80\r", 10),
      "\x83\x5C\x82\xA0 // Shift-JIS\n",
  };
  for (const std::string& plain : plains) {
    const std::string scrambled = ScrambleScript(plain);
    EXPECT_TRUE(IsScrambledScript(scrambled));
    ASSERT_EQ(UnscrambleScript(scrambled), plain);
  }
  std::mt19937 random(4);
  for (int round = 0; round < 200; ++round) {
    std::string plain(random() % 300, '\0');
    for (char& c : plain) c = static_cast<char>(random() % 8 == 0 ? '\n' : random());
    ASSERT_EQ(UnscrambleScript(ScrambleScript(plain)), plain);
  }
}

TEST(Scrambling, ScrambledTextHidesThePlainText) {
  const std::string scrambled = ScrambleScript("Data string Secret \"password\"\nA = A\nA = A\n");
  EXPECT_EQ(scrambled.find("Secret"), std::string::npos);
  EXPECT_EQ(scrambled.find("password"), std::string::npos);
  const auto lines = Lines(scrambled, false);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[2], lines[3]);  // equal lines scramble differently
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find('\r'), std::string::npos);
  }
  EXPECT_FALSE(UnscrambleScript("A = 1\n").has_value());
}

TEST(Scrambling, SelectedInputIsUnscrambledLineByLine) {
  const std::string plain = "A = 1\r\n\r\nB = 2\n" + std::string(3000, 'c');
  EXPECT_EQ(Lines(ScrambleScript(plain), true),
            (Strings{"A = 1\r", "\r", "B = 2", std::string(3000, 'c')}));
  // Scrambled with CR LF line ends (copied through a Windows tool).
  std::string crlf;
  for (char c : ScrambleScript(plain)) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  EXPECT_EQ(Lines(crlf, true), (Strings{"A = 1\r", "\r", "B = 2", std::string(3000, 'c')}));
  // A plain selected script reads exactly as written.
  EXPECT_EQ(Lines(plain, true), (Strings{"A = 1\r", "\r", "B = 2", std::string(3000, 'c')}));
  // The header is only recognised on the first line.
  EXPECT_EQ(Lines("x\n" + std::string(SCRAMBLED_HEADER) + "\n", true),
            (Strings{"x", std::string(SCRAMBLED_HEADER)}));
  // Unselected input is never unscrambled.
  EXPECT_EQ(Lines(ScrambleScript("A\n"), false).front(), SCRAMBLED_HEADER);
}

TEST(Scrambling, OverlongScrambledLineKeepsItsFirstBytes) {
  const std::string plain(5000, 'q');
  const auto lines = Lines(ScrambleScript(plain), true);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], std::string(SCRAMBLED_LINE_PLAIN_MAX, 'q'));
  // Garbage after the header decodes to something and never fails.
  const auto junk = Lines(std::string(SCRAMBLED_HEADER) + "\n!!@@##\n====\n\xFF\xFE", true);
  EXPECT_EQ(junk.size(), 3u);
}

class OpenInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vx_input_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_, old_;
  test::FakeWindowSystem window;
  Runtime rt{window};
};

TEST_F(OpenInputTest, FixedNameIsRedirectedToTheSelectedFile) {
  files::WriteAll("tmp00.exec.txt", "from fixed name\n");
  files::WriteAll("script.vx", ScrambleScript("from selected\n"));
  auto input = OpenScriptInput(rt);
  ASSERT_TRUE(input);
  EXPECT_EQ(Lines(std::move(*input)), Strings{"from fixed name"});

  rt.startup.source = {"script.vx", true};
  input = OpenScriptInput(rt);
  ASSERT_TRUE(input);
  EXPECT_EQ(Lines(std::move(*input)), Strings{"from selected"});
  // Other names are not redirected.
  input = OpenScriptInput(rt, "script.vx");
  ASSERT_TRUE(input);
  EXPECT_EQ(Lines(std::move(*input)).front(), SCRAMBLED_HEADER);

  rt.startup.source = {"missing.vx", true};
  EXPECT_FALSE(OpenScriptInput(rt));
}

}  // namespace
}  // namespace vx
