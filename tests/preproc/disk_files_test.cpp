#include "preproc/disk_files.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files.hpp"

namespace vx::preproc {
namespace {

class DiskFilesTest : public ::testing::Test {
 protected:
  DiskFilesTest() {
    char pattern[] = "/tmp/vx_preproc_XXXXXX";
    dir_ = mkdtemp(pattern);
    hooks_.console = [this](std::string_view text) { console_.append(text); };
    hooks_.evaluate = [](std::string_view) { return 1.0; };
  }
  ~DiskFilesTest() override { std::filesystem::remove_all(dir_); }

  std::string Path(std::string_view name) const { return dir_ + "/" + std::string(name); }
  void Put(std::string_view name, std::string_view bytes) { files::WriteAll(Path(name), bytes); }
  std::string Get(std::string_view name) { return files::ReadAll(Path(name), 1 << 20).value_or("<none>"); }
  CallResult Run(std::string_view source, std::string_view destination, int mode = MODE_MARKERS) {
    return PreprocessFiles(source, destination, mode, hooks_);
  }

  std::string dir_;
  std::string console_;
  DiskCallHooks hooks_;
};

TEST_F(DiskFilesTest, WritesTheDestinationAndTracesIncludes) {
  Put("inc.vx", "I = 1\r\n");
  Put("main.vx", "#include \"" + Path("inc.vx") + "\"\nA = 2\n#if 1\nB = 3\n#endif\n");
  const CallResult r = Run(Path("main.vx"), Path("out.vx"));
  EXPECT_EQ(r.status, CallStatus::kDone);
  EXPECT_EQ(Get("out.vx"), "[$SRC:1]I = 1\r\n[$SRC:2]A = 2\r\n[$SRC:4]B = 3\r\n");
  EXPECT_EQ(console_, "include file = " + Path("inc.vx") + "\r\n");
}

TEST_F(DiskFilesTest, DestinationInsideTheSourceNameDoesNothing) {
  Put("main.vx.txt", "A\n");
  Put("main.vx", "keep\n");
  EXPECT_EQ(Run(Path("main.vx.txt"), Path("MAIN.VX")).status, CallStatus::kNothingDone);
  EXPECT_EQ(Run(Path("main.vx.txt"), Path("main.vx")).status, CallStatus::kNothingDone);
  EXPECT_EQ(Get("main.vx"), "keep\n");
  EXPECT_EQ(console_, "");
}

TEST_F(DiskFilesTest, AnotherSpellingOfTheSourceIsNotOverwritten) {
  Put("main.vx", "A = 1\n");
  EXPECT_EQ(Run(Path("main.vx"), dir_ + "/./main.vx").status, CallStatus::kNothingDone);
  EXPECT_EQ(Get("main.vx"), "A = 1\n");
}

TEST_F(DiskFilesTest, StartUpFailuresPrintTheirMessageAndWriteNothing) {
  EXPECT_EQ(Run(Path("missing.vx"), Path("out.vx")).status, CallStatus::kNoSource);
  EXPECT_EQ(Get("out.vx"), "<none>");
  Put("main.vx", "A\n");
  EXPECT_EQ(Run(Path("main.vx"), Path("no/such/dir/out.vx")).status, CallStatus::kNoDestination);
  EXPECT_EQ(console_, "cannot open source file\ncannot open destination file\n");
}

TEST_F(DiskFilesTest, FatalErrorKeepsWhatWasWritten) {
  Put("main.vx", "one\ntwo\n#include \"" + Path("gone.vx") + "\"\nfour\n");
  const CallResult r = Run(Path("main.vx"), Path("out.vx"), 0);
  EXPECT_EQ(r.status, CallStatus::kFatal);
  EXPECT_EQ(FatalText(r.outcome), "[    3]:Error : File not found. [" + Path("gone.vx") + "]\n");
  EXPECT_EQ(Get("out.vx"), "one\r\ntwo\r\n");
}

TEST_F(DiskFilesTest, IncludingTheDestinationIsRefused) {
  Put("main.vx", "a\n#include \"" + dir_ + "/./out.vx\"\n");
  const CallResult r = Run(Path("main.vx"), Path("out.vx"), 0);
  EXPECT_EQ(r.status, CallStatus::kFatal);
  EXPECT_EQ(r.outcome.message,
            "Error : cannot include the destination file. [" + dir_ + "/./out.vx]\n");
  EXPECT_EQ(Get("out.vx"), "a\r\n");
}

TEST_F(DiskFilesTest, ShiftJisFileNamesReachTheSystemAsUtf8) {
  // 表 is 0x95 0x5C: its second byte must not become a path separator.
  std::FILE* f = std::fopen((dir_ + "/\xe8\xa1\xa8.vx").c_str(), "wb");  // UTF-8 name on disk
  ASSERT_NE(f, nullptr);
  std::fputs("X\n", f);
  std::fclose(f);
  Put("main.vx", "#include \"" + Path("\x95\x5c.vx") + "\"\n");
  EXPECT_EQ(Run(Path("main.vx"), Path("out.vx"), 0).status, CallStatus::kDone);
  EXPECT_EQ(Get("out.vx"), "X\r\n");
}

TEST_F(DiskFilesTest, Utf8FilesAreConvertedAsTheLoaderReadsThem) {
  // The source has the byte-order mark; the include has none and is read
  // as Shift-JIS until UTF-8 is chosen.
  Put("inc.vx", "B = \"\xE8\xA1\xA8\"\n");  // 表 in UTF-8
  Put("main.vx", "\xEF\xBB\xBF" "A = \"\xE6\x97\xA5\"\n#include \"" + Path("inc.vx") + "\"\n");
  EXPECT_EQ(Run(Path("main.vx"), Path("out.vx"), 0).status, CallStatus::kDone);
  EXPECT_EQ(Get("out.vx"), "A = \"\x93\xFA\"\r\nB = \"\xE8\xA1\xA8\"\r\n");
  hooks_.encoding = text::ScriptEncoding::kUtf8;
  EXPECT_EQ(Run(Path("main.vx"), Path("out.vx"), 0).status, CallStatus::kDone);
  EXPECT_EQ(Get("out.vx"), "A = \"\x93\xFA\"\r\nB = \"\x95\x5C\"\r\n");
}

TEST_F(DiskFilesTest, ACharacterWithoutAShiftJisFormIsWrittenAsAQuestionMarkAndReported) {
  Put("inc.vx", "\xEF\xBB\xBF" "x\nB = \"\xF0\x9F\x98\x80\"\n");  // an emoji on line 2
  Put("main.vx", "A = 1\n#include \"" + Path("inc.vx") + "\"\n");
  console_.clear();
  const CallResult r = Run(Path("main.vx"), Path("out.vx"), 0);
  EXPECT_EQ(r.status, CallStatus::kUnconvertible);
  EXPECT_EQ(Get("out.vx"), "A = 1\r\nx\r\nB = \"?\"\r\n");
  EXPECT_NE(console_.find("no Shift-JIS form for the character U+1F600 on line 2 of " + Path("inc.vx")),
            std::string::npos);
}

}  // namespace
}  // namespace vx::preproc
