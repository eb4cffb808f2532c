// The file gate: folders are never opened as files, so they are never read
// as empty ones.
#include "platform/files.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/temp_folder.hpp"

namespace vx::files {
namespace {

TEST(FileGateTest, AFolderIsNeverOpened) {
  test::TempFolder folder;
  std::filesystem::create_directory(folder.Path("sub"));
  for (const char* mode : {"rb", "r", "r+b", "ab", "wb", "a+b"}) {
    errno = 0;
    EXPECT_EQ(Open(folder.Path("sub"), mode), nullptr) << mode;
    EXPECT_EQ(errno, EISDIR) << mode;
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path("sub")));
}

TEST(FileGateTest, FilesOpenAsBefore) {
  test::TempFolder folder;
  folder.Write("a.txt", "one\ntwo");
  EXPECT_NE(Open(folder.Path("a.txt"), "rb"), nullptr);
  EXPECT_EQ(ReadAll(folder.Path("a.txt"), 100), "one\ntwo");
  EXPECT_EQ(ReadAll(folder.Path("a.txt"), 3), "one");
  errno = 0;
  EXPECT_EQ(Open("", "rb"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(ReadAll(folder.Path("missing"), 100), std::nullopt);
}

TEST(FileGateTest, ReadingAFolderFailsInsteadOfBeingEmpty) {
  test::TempFolder folder;
  std::filesystem::create_directory(folder.Path("sub"));
  EXPECT_EQ(ReadAll(folder.Path("sub"), 100), std::nullopt);
  EXPECT_FALSE(WriteAll(folder.Path("sub"), "x"));
  EXPECT_NE(Write(folder.Path("sub"), "x", true), 0);
}

}  // namespace
}  // namespace vx::files
