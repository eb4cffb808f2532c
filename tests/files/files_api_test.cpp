// The file family through the dispatcher, on a scratch folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "platform/files.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

// "ソ" (0x83 0x5C): its second byte is a backslash.
constexpr std::string_view kSo = "\x83\x5c";
constexpr std::string_view kSoUtf8 = "\xe3\x82\xbd";

class FilesApiTest : public ApiTest {
 protected:
  void SetUp() override {
    n = DeclareLong("N");
    d = DeclareDouble("D");
    s = DeclareString("S", 4096);
    p = DeclareString("P", 1024);
    q = DeclareString("Q", 1024);
    bin = DeclareString("BIN", 16);
    f = DeclareFile("F", "");
    Ready();
  }
  std::int32_t Status() { return Long(sysvar::G_ERROR); }
  // A script path into the scratch folder, written with backslashes.
  std::string ScriptPath(std::string_view name) {
    std::string path = folder.path() + "\\" + std::string(name);
    return path;
  }
  void SetPath(std::int32_t var, std::string_view name) {
    values::WriteText(rt, var, ScriptPath(name));
  }
  std::string ErrText() { return Text(sysvar::G_ERR_TXT); }

  TempFolder folder;
  std::int32_t n, d, s, p, q, bin, f;
};

TEST_F(FilesApiTest, FoldersAndFilesWithShiftJisNames) {
  SetPath(p, std::string(kSo) + "dir");
  Call("MkDir", "P");
  EXPECT_EQ(Status(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path(std::string(kSoUtf8) + "dir")));
  Call("MkDir", "P");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(ErrText(), files::ErrorText(EEXIST));
  folder.Write(std::string(kSoUtf8) + "dir/a.txt", "x");
  Call("RmvDir", "P");
  EXPECT_EQ(Status(), 1);  // not empty
  SetPath(q, std::string(kSo) + "dir\\a.txt");
  Call("DeleteF", "Q");
  EXPECT_EQ(Status(), 0);
  EXPECT_FALSE(folder.Exists(std::string(kSoUtf8) + "dir/a.txt"));
  Call("DeleteF", "Q");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(ErrText(), files::ErrorText(ENOENT));
  Call("RmvDir", "P");
  EXPECT_EQ(Status(), 0);
  EXPECT_FALSE(folder.Exists(std::string(kSoUtf8) + "dir"));
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(FilesApiTest, CopyReplacesOrAppends) {
  folder.Write("src.txt", std::string(250, 'a'));
  folder.Write("dst.txt", "old contents");
  SetPath(p, "src.txt");
  SetPath(q, "dst.txt");
  Call("CopyF", "P, Q, 0");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("dst.txt"), std::string(250, 'a'));
  folder.Write("dst.txt", "head:");
  Call("CopyF", "P, Q, 1");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("dst.txt"), "head:" + std::string(250, 'a'));
  // Appending a file to itself would never end.
  Call("CopyF", "P, P, 1");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(folder.Read("src.txt"), std::string(250, 'a'));
  SetPath(p, "missing.txt");
  values::WriteText(rt, sysvar::G_ERR_TXT, "");
  Call("CopyF", "P, Q, 0");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(ErrText(), files::ErrorText(ENOENT));
  EXPECT_EQ(folder.Read("dst.txt"), "head:" + std::string(250, 'a'));
}

TEST_F(FilesApiTest, SizeExistenceAndTruncation) {
  folder.Write("f.bin", "0123456789");
  SetPath(p, "f.bin");
  Call("SizeF", "P, N");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(n), 10);
  Call("SizeF", "P, S");
  EXPECT_EQ(Text(s), "10");
  Call("TruncateFile", "P, 4");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("f.bin"), "0123");
  Call("TruncateFile", "P, -1");
  EXPECT_EQ(Status(), 1);
  Call("ChkExist", "P, N");
  EXPECT_EQ(Long(n), 1);
  values::WriteText(rt, p, folder.path());
  Call("ChkExist", "P, N");
  EXPECT_EQ(Long(n), 2);
  Call("SizeF", "P, N");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(n), -1);
  SetPath(p, "none");
  Call("ChkExist", "P, N");
  EXPECT_EQ(Long(n), 0);
  EXPECT_EQ(Status(), 1);
}

TEST_F(FilesApiTest, ChangeAndReadTheCurrentFolder) {
  const std::string before = files::CurrentDirectory();
  values::WriteText(rt, p, folder.path());
  Call("ChgCurDir", "P");
  EXPECT_EQ(Status(), 0);
  Call("GetCurDir", "S");
  const std::string now = std::filesystem::canonical(folder.path()).string();
  EXPECT_EQ(Text(s), now);
  EXPECT_EQ(Text(sysvar::G_CURRENT_DIR), now);
  SetPath(p, "nowhere");
  Call("ChgCurDir", "P");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Text(sysvar::G_CURRENT_DIR), now);
  ASSERT_EQ(chdir(before.c_str()), 0);
}

TEST_F(FilesApiTest, NewFileNamesAreNumberedWhenTaken) {
  values::WriteText(rt, p, ScriptPath("log"));
  Call("NewFName", "P, \".txt\", S, 0");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Text(s), ScriptPath("log.txt"));
  folder.Write("log.txt", "");
  folder.Write("log0.txt", "");
  Call("NewFName", "P, \".txt\", S, 0");
  EXPECT_EQ(Text(s), ScriptPath("log1.txt"));
  Call("NewFName", "P, \".txt\", S, 1");
  const std::string dated = Text(s);
  ASSERT_EQ(dated.size(), ScriptPath("log").size() + 10 + 4);
  folder.Write(dated.substr(folder.path().size() + 1), "");
  Call("NewFName", "P, \".txt\", S, 1");
  EXPECT_EQ(Text(s), dated.substr(0, dated.size() - 4) + "_0.txt");
}

TEST_F(FilesApiTest, FileListsByPattern) {
  folder.Write("b.TXT", "");
  folder.Write("a.txt", "");
  folder.Write("c.dat", "");
  std::filesystem::create_directory(folder.Path("sub"));
  folder.Write("sub/d.txt", "");
  folder.Write(std::string(kSoUtf8) + ".txt", "");
  values::WriteText(rt, p, ScriptPath("*.txt"));
  SetPath(q, "list.lst");
  Call("MkFileLst", "P, Q");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(sysvar::G_WORK1), 3);
  EXPECT_EQ(folder.Read("list.lst"), "a.txt\r\nb.TXT\r\n" + std::string(kSo) + ".txt\r\n");
  Call("MkFileLst", "P, Q, 3");
  const std::string prefix = folder.path() + "\\";
  EXPECT_EQ(folder.Read("list.lst"), prefix + "a.txt\r\n" + prefix + "b.TXT\r\n" + prefix +
                                         "sub\\d.txt\r\n" + prefix + std::string(kSo) + ".txt\r\n");
  values::WriteText(rt, p, folder.path() + "/sub");
  Call("MkFileLst", "P, Q, 4");
  EXPECT_EQ(folder.Read("list.lst"), "d.txt\r\n");
  SetPath(p, "none\\*.txt");
  Call("MkFileLst", "P, Q");
  EXPECT_EQ(Status(), 1);
}

TEST_F(FilesApiTest, FileTimesInLocalTime) {
  folder.Write("t.txt", "");
  struct tm when {};
  when.tm_year = 2021 - 1900;
  when.tm_mon = 5;
  when.tm_mday = 7;
  when.tm_hour = 8;
  when.tm_min = 9;
  when.tm_sec = 10;
  when.tm_isdst = -1;
  const time_t t = mktime(&when);
  utimbuf times{t, t};
  ASSERT_EQ(utime(folder.Path("t.txt").c_str(), &times), 0);
  const std::int32_t y = DeclareLong("Y"), mo = DeclareLong("MO"), h = DeclareLong("H"),
                     sec = DeclareLong("SEC");
  SetPath(p, "t.txt");
  Call("GetFileTime", "P, Y, MO, , H, , SEC");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(y), 2021);
  EXPECT_EQ(Long(mo), 6);
  EXPECT_EQ(Long(h), 8);
  EXPECT_EQ(Long(sec), 10);
  EXPECT_EQ(Text(sysvar::G_TXT), "2021/06/07 08:09:10");
  EXPECT_EQ(Double(sysvar::G_DBLWK1), static_cast<double>(t));
  Call("GetFileTime", "P, Y, , , , , , 9");
  EXPECT_EQ(Status(), 1);
  SetPath(p, "none.txt");
  Call("GetFileTime", "P, Y");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(ErrText(), files::ErrorText(ENOENT));
}

TEST_F(FilesApiTest, LinesByIndexTextAndPattern) {
  folder.Write("l.txt", "alpha\r\nbeta line\r\nGamma\nbeta again");
  SetPath(p, "l.txt");
  Call("FileGetLine", "P, 1, S");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Text(s), "beta line");
  Call("FileGetLine", "P, 3, S");
  EXPECT_EQ(Text(s), "beta again");
  Call("FileGetLine", "P, 4, S");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Text(s), "beta again");
  Call("InFileIdx", "P, \"beta\", N");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(n), 1);
  EXPECT_EQ(Long(sysvar::G_WORK1), 7);  // byte offset of that line
  EXPECT_EQ(Long(sysvar::G_WORK2), 2);
  Call("InFileIdx", "P, \"beta\", N, 0, 2");
  EXPECT_EQ(Long(n), 3);
  Call("InFileIdx", "P, \"beta\", N, 1");
  EXPECT_EQ(Long(n), -1);
  Call("InFileWC", "P, \"g*\", N");
  EXPECT_EQ(Long(n), 2);
  Call("InFileWC", "P, \"*again\", N");
  EXPECT_EQ(Long(n), 3);
  SetPath(p, "none.txt");
  Call("InFileIdx", "P, \"x\", N");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(n), -1);
}

TEST_F(FilesApiTest, OpenFileResourcesSeekSkipAndReadBinary) {
  folder.Write("b.bin", std::string("L1\r\nL2\r\nAB\0CD", 13));
  ResourceEntry& file = rt.program.Resource(f);
  Call("FSeek", "F, 0");
  EXPECT_EQ(Status(), 1);  // not open
  file.file = files::Open(folder.Path("b.bin"), "rb");
  ASSERT_TRUE(file.file);
  Call("FSkipPg", "F, 2");
  EXPECT_EQ(Status(), 0);
  Call("ReadBin", "F, BIN, 5");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(sysvar::G_WORK1), 5);
  EXPECT_EQ(std::string(rt.program.Resource(bin).text.get(), 5), std::string("AB\0CD", 5));
  Call("ReadBin", "F, BIN, 5");
  EXPECT_EQ(Status(), 1);  // at the end
  Call("ReadBin", "F, BIN, 16");
  EXPECT_EQ(Status(), 1);  // more than the variable holds
  Call("FSeek", "F, -2, 2");
  EXPECT_EQ(Long(sysvar::G_WORK1), 11);
  Call("FSeek", "F, 0, 7");
  EXPECT_EQ(Status(), 1);
  Call("FSeek", "F, 0");
  Call("FSkipPg", "F, 5");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(sysvar::G_WORK1), 3);
}

TEST_F(FilesApiTest, WriteBinaryKeepsNulBytes) {
  std::memcpy(rt.program.Resource(bin).text.get(), "x\0y", 3);
  SetPath(p, "w.bin");
  Call("WriteBinary", "P, BIN, 3");
  EXPECT_EQ(Status(), 0);
  Call("WriteBinary", "P, BIN, 1, 1");
  EXPECT_EQ(folder.Read("w.bin"), std::string("x\0yx", 4));
  Call("WriteBinary", "P, BIN, 16");
  EXPECT_EQ(Status(), 1);
  Call("WriteBinary", "P, N, 1");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(folder.Read("w.bin"), std::string("x\0yx", 4));
}

TEST_F(FilesApiTest, FormsAreFilledFromVariables) {
  values::WriteText(rt, s, "Taro");
  values::WriteInteger(rt, n, 3);
  Call("StrFillFrm", "\"Dear %S%, %N% items, 50%% off, %NOPE%\", Q");
  EXPECT_EQ(Text(q), "Dear Taro, 3 items, 50% off, %NOPE%");
  EXPECT_EQ(Long(sysvar::G_WORK1), 2);
  EXPECT_EQ(Long(sysvar::G_WORK2), 1);
  EXPECT_EQ(Status(), 0);
  folder.Write("form.txt", "Name: %S%\r\nFile: %F%\r\n");
  std::strcpy(rt.program.Resource(f).text.get(), "c:\\data.txt");
  SetPath(p, "form.txt");
  SetPath(q, "out.txt");
  Call("FillFrm", "P, Q");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("out.txt"), "Name: Taro\r\nFile: c:\\data.txt\r\n");
  SetPath(p, "none.txt");
  Call("FillFrm", "P, Q");
  EXPECT_EQ(Status(), 1);
}

TEST_F(FilesApiTest, ActivityLogKeepsTheLastLines) {
  SetPath(p, "act.log");
  Call("UpdateActLog", "P, \"one\"");
  Call("UpdateActLog", "P, \"two\"");
  Call("UpdateActLog", "P, \"three\", 2");
  EXPECT_EQ(Status(), 0);
  const std::string log = folder.Read("act.log");
  ASSERT_EQ(log.size(), 2 * 22 + 3 + 5);
  EXPECT_EQ(log.substr(19, 6), " two\r\n");
  EXPECT_EQ(log.substr(log.size() - 8), " three\r\n");
  SetPath(p, "none\\act.log");
  Call("UpdateActLog", "P, \"x\"");
  EXPECT_EQ(Status(), 1);
}

TEST_F(FilesApiTest, ReplacedFilesKeepLinksPermissionsAndDevices) {
  folder.Write("real.txt", "old");
  chmod(folder.Path("real.txt").c_str(), 0640);
  std::filesystem::create_symlink(folder.Path("real.txt"), folder.Path("via.txt"));
  Call("SetStrArray", "0, \"new\"");
  SetPath(p, "via.txt");
  Call("SaveStrArray", "P, 1");
  EXPECT_EQ(Status(), 0);
  EXPECT_TRUE(std::filesystem::is_symlink(folder.Path("via.txt")));
  EXPECT_EQ(folder.Read("real.txt"), "new\r\n");
  struct stat st {};
  ASSERT_EQ(stat(folder.Path("real.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  values::WriteText(rt, p, "/dev/null");
  Call("SaveStrArray", "P, 1");
  EXPECT_EQ(Status(), 0);
}

TEST_F(FilesApiTest, LinksPointToTheirTarget) {
  folder.Write("target.txt", "content");
  SetPath(p, "target.txt");
  SetPath(q, "link.txt");
  Call("CrtLnk", "P, Q");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("link.txt"), "content");
  Call("CrtLnk", "P, Q");
  EXPECT_EQ(Status(), 1);  // already there
  folder.Write("other.txt", "other");
  SetPath(p, "other.txt");
  Call("CrtLnk", "P, Q, 1");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(folder.Read("link.txt"), "other");
  // Replacing never removes a real file.
  SetPath(q, "target.txt");
  Call("CrtLnk", "P, Q, 1");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(folder.Read("target.txt"), "content");
}

}  // namespace
}  // namespace vx::test
