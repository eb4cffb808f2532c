#include "platform/drives.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vx::files {
namespace {

DriveTable TableOf(std::string_view text) {
  DriveTable table;
  table.AddFileText(text);
  return table;
}

TEST(DriveTable, FileLinesMapLettersInEitherCase) {
  const DriveTable table = TableOf(
      "# drives of the old machine\r\n"
      "C=/srv/data\r\n"
      "  d = /mnt/backup/  \n"
      "\n"
      "E=relative/folder\n"   // not absolute: passed over
      "FG=/two/letters\n"     // not one letter: passed over
      "no equals sign\n"
      "Z=/");
  EXPECT_EQ(table.Folder('C'), "/srv/data");
  EXPECT_EQ(table.Folder('c'), "/srv/data");
  EXPECT_EQ(table.Folder('D'), "/mnt/backup");
  EXPECT_EQ(table.Folder('E'), "");
  EXPECT_EQ(table.Folder('F'), "");
  EXPECT_EQ(table.Folder('Z'), "/");
  EXPECT_EQ(table.Folder('1'), "");
}

TEST(DriveTable, LaterSettingsWin) {
  DriveTable table = TableOf("C=/first\nC=/second\n");
  EXPECT_EQ(table.Folder('C'), "/second");
  table.Set('c', "/from/environment");
  EXPECT_EQ(table.Folder('C'), "/from/environment");
}

TEST(ResolveDrive, MappedLetterBecomesItsFolder) {
  const DriveTable table = TableOf("C=/srv/data\nZ=/\n");
  EXPECT_EQ(ResolveDrive("C:/data/log.txt", table), "/srv/data/data/log.txt");
  EXPECT_EQ(ResolveDrive("c:/data/log.txt", table), "/srv/data/data/log.txt");
  EXPECT_EQ(ResolveDrive("C:log.txt", table), "/srv/data/log.txt");
  EXPECT_EQ(ResolveDrive("C:/", table), "/srv/data");
  EXPECT_EQ(ResolveDrive("C:", table), "/srv/data");
  EXPECT_EQ(ResolveDrive("C:/out/", table), "/srv/data/out/");
  EXPECT_EQ(ResolveDrive("Z:/etc/x", table), "/etc/x");
}

TEST(ResolveDrive, DotDotStaysOnTheDrive) {
  const DriveTable table = TableOf("C=/srv/data\n");
  EXPECT_EQ(ResolveDrive("C:/../../etc/passwd", table), "/srv/data/etc/passwd");
  EXPECT_EQ(ResolveDrive("C:/a/../b", table), "/srv/data/b");
}

TEST(ResolveDrive, UnmappedLettersAndSharesNameNothing) {
  const DriveTable table = TableOf("C=/srv/data\n");
  EXPECT_EQ(ResolveDrive("D:/data/log.txt", table), std::nullopt);
  EXPECT_EQ(ResolveDrive("//server/share/x.txt", table), std::nullopt);
  EXPECT_EQ(ResolveDrive("//", table), std::nullopt);
}

TEST(ResolveDrive, OtherPathsAreUnchanged) {
  const DriveTable table;
  EXPECT_EQ(ResolveDrive("data/log.txt", table), "data/log.txt");
  EXPECT_EQ(ResolveDrive("/home/user/x", table), "/home/user/x");
  EXPECT_EQ(ResolveDrive("1:/x", table), "1:/x");
  EXPECT_EQ(ResolveDrive("a", table), "a");
  EXPECT_EQ(ResolveDrive("", table), "");
  EXPECT_EQ(ResolveDrive("ab:c", table), "ab:c");
}

}  // namespace
}  // namespace vx::files
