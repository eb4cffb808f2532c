// Writing files: a failed write is reported with its errno, never destroys
// the file it was to replace, and is told once per file.
#include "platform/output_file.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.hpp"
#include "support/temp_folder.hpp"

namespace vx::files {
namespace {

// Writes past `bytes` fail with EFBIG while it lives (as under ulimit -f).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*old_handler_)(int) = nullptr;
};

std::vector<std::string> Names(const test::TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::pair<std::string, int>>& Told() {
  static std::vector<std::pair<std::string, int>> told;
  return told;
}

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Told().clear();
    SetWriteFailureNotice([](std::string_view name, int errnum) { Told().emplace_back(name, errnum); });
  }
  void TearDown() override { SetWriteFailureNotice(nullptr); }

  test::TempFolder folder_;
};

TEST_F(OutputFileTest, ReplacesWholeAndLeavesNothingBeside) {
  folder_.Write("a.txt", "old contents");
  OutputFile out = OutputFile::OpenSystem(folder_.Path("a.txt"), WriteMode::kReplace);
  out.Write("new ");
  std::fputs("contents", out.Stream());
  // Until the file is finished the old one is what others read.
  EXPECT_EQ(folder_.Read("a.txt"), "old contents");
  EXPECT_EQ(out.Finish(), 0);
  EXPECT_EQ(folder_.Read("a.txt"), "new contents");
  EXPECT_EQ(out.BytesInTarget(), 12u);
  EXPECT_EQ(Names(folder_), std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(Told().empty());
}

TEST_F(OutputFileTest, AWriteCutShortKeepsTheOldFile) {
  folder_.Write("a.txt", "old contents");
  const std::string big(200000, 'x');
  int error = 0;
  {
    FileSizeLimit limit(4096);
    OutputFile out = OutputFile::OpenSystem(folder_.Path("a.txt"), WriteMode::kReplace);
    out.Write(big);
    error = out.Finish();
    EXPECT_EQ(out.BytesInTarget(), 0u);
  }
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(folder_.Read("a.txt"), "old contents");
  EXPECT_EQ(Names(folder_), std::vector<std::string>{"a.txt"});
  ASSERT_EQ(Told().size(), 1u);
  EXPECT_EQ(Told()[0], std::make_pair(folder_.Path("a.txt"), EFBIG));
}

TEST_F(OutputFileTest, AnAppendCutShortCountsWhatLanded) {
  folder_.Write("log.txt", "0123456789");
  int error = 0;
  std::uint64_t landed = 0;
  {
    FileSizeLimit limit(4096);
    OutputFile out = OutputFile::OpenSystem(folder_.Path("log.txt"), WriteMode::kAppend);
    out.Write(std::string(10000, 'y'));
    error = out.Finish();
    landed = out.BytesInTarget();
  }
  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(landed, 4086u);
  EXPECT_EQ(std::filesystem::file_size(folder_.Path("log.txt")), 4096u);
}

TEST_F(OutputFileTest, FoldersAndMissingFoldersAreRefused) {
  std::filesystem::create_directory(folder_.Path("sub"));
  for (WriteMode mode : {WriteMode::kReplace, WriteMode::kAppend}) {
    OutputFile onto_folder = OutputFile::OpenSystem(folder_.Path("sub"), mode);
    EXPECT_FALSE(onto_folder.Write("x"));
    EXPECT_EQ(onto_folder.Finish(), EISDIR);
    EXPECT_EQ(onto_folder.Stream(), nullptr);
    OutputFile in_missing = OutputFile::OpenSystem(folder_.Path("none/a.txt"), mode);
    EXPECT_EQ(in_missing.error(), ENOENT);
    EXPECT_EQ(in_missing.Finish(), ENOENT);
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder_.Path("sub")));
  EXPECT_TRUE(std::filesystem::is_empty(folder_.Path("sub")));
  EXPECT_EQ(OutputFile::Open("", WriteMode::kReplace).error(), ENOENT);
}

TEST_F(OutputFileTest, EachFileIsToldOnce) {
  std::filesystem::create_directory(folder_.Path("sub"));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Write(folder_.Path("sub"), "x", false), EISDIR);
    EXPECT_EQ(Write(folder_.Path("sub"), "x", true), EISDIR);
  }
  EXPECT_EQ(Write(folder_.Path("gone/x.txt"), "x", false), ENOENT);
  ASSERT_EQ(Told().size(), 2u);
  EXPECT_EQ(Told()[0], std::make_pair(folder_.Path("sub"), EISDIR));
  EXPECT_EQ(Told()[1], std::make_pair(folder_.Path("gone/x.txt"), ENOENT));
}

TEST_F(OutputFileTest, AScriptPathIsToldAsTheScriptWroteIt) {
  // 表 is 0x95 0x5C in Shift-JIS: told in UTF-8, its backslash kept.
  const std::string name = "missing-folder-\x95\x5c\\x.txt";
  EXPECT_EQ(Write(name, "x", false), ENOENT);
  ASSERT_EQ(Told().size(), 1u);
  EXPECT_EQ(Told()[0].first, "missing-folder-\xe8\xa1\xa8\\x.txt");
}

TEST_F(OutputFileTest, DevicesAreWrittenNotReplaced) {
  OutputFile full = OutputFile::OpenSystem("/dev/full", WriteMode::kReplace);
  full.Write("x");
  EXPECT_EQ(full.Finish(), ENOSPC);
  EXPECT_EQ(ReplaceSystemFile("/dev/null", "x"), 0);
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(OutputFileTest, TheReplacementKeepsPermissionsAndLinks) {
  folder_.Write("target.txt", "old");
  ASSERT_EQ(chmod(folder_.Path("target.txt").c_str(), 0640), 0);
  std::filesystem::create_symlink("target.txt", folder_.Path("link.txt"));
  EXPECT_EQ(ReplaceFile(folder_.Path("link.txt"), "new"), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(folder_.Path("link.txt")));
  EXPECT_EQ(folder_.Read("target.txt"), "new");
  struct stat st {};
  ASSERT_EQ(stat(folder_.Path("target.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(OutputFileTest, AnUnfinishedReplacementIsDropped) {
  folder_.Write("a.txt", "old");
  {
    OutputFile out = OutputFile::OpenSystem(folder_.Path("a.txt"), WriteMode::kReplace);
    out.Write(std::string(100000, 'z'));
  }
  EXPECT_EQ(folder_.Read("a.txt"), "old");
  EXPECT_EQ(Names(folder_), std::vector<std::string>{"a.txt"});
  EXPECT_TRUE(Told().empty());
}

TEST_F(OutputFileTest, CopyingKeepsTheDestinationWhenItCannotBeWritten) {
  folder_.Write("source.txt", std::string(100000, 's'));
  folder_.Write("copy.txt", "old copy");
  {
    FileSizeLimit limit(50000);
    EXPECT_EQ(CopyFile(folder_.Path("source.txt"), folder_.Path("copy.txt")), EFBIG);
  }
  EXPECT_EQ(folder_.Read("copy.txt"), "old copy");
  EXPECT_EQ(CopyFile(folder_.Path("source.txt"), folder_.Path("copy.txt")), 0);
  EXPECT_EQ(folder_.Read("copy.txt").size(), 100000u);
}

TEST_F(OutputFileTest, AFileInAFolderClosedToNewNamesIsRewrittenInPlace) {
  if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind root";
  std::filesystem::create_directory(folder_.Path("ro"));
  folder_.Write("ro/open.txt", "old");
  folder_.Write("ro/locked.txt", "old");
  ASSERT_EQ(chmod(folder_.Path("ro/locked.txt").c_str(), 0444), 0);
  ASSERT_EQ(chmod(folder_.Path("ro").c_str(), 0555), 0);
  EXPECT_EQ(ReplaceFile(folder_.Path("ro/open.txt"), "new"), 0);
  EXPECT_EQ(ReplaceFile(folder_.Path("ro/locked.txt"), "new"), EACCES);
  EXPECT_EQ(ReplaceFile(folder_.Path("ro/fresh.txt"), "new"), EACCES);
  chmod(folder_.Path("ro").c_str(), 0755);
  EXPECT_EQ(folder_.Read("ro/open.txt"), "new");
  EXPECT_EQ(folder_.Read("ro/locked.txt"), "old");
  EXPECT_FALSE(folder_.Exists("ro/fresh.txt"));
}

}  // namespace
}  // namespace vx::files
