// The system family through the dispatcher.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "platform/files.hpp"
#include "support/temp_folder.hpp"
#include "system/registry_store.hpp"

namespace vx::test {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class SystemApiTest : public ApiTest {
 protected:
  void SetUp() override {
    n = DeclareLong("N", -7);
    s = DeclareString("S", 4096);
    p = DeclareString("P", 1024);
    Ready();
  }
  std::int32_t Status() { return Long(sysvar::G_ERROR); }
  std::string ErrText() { return Text(sysvar::G_ERR_TXT); }

  TempFolder folder;
  std::int32_t n, s, p;
};

TEST_F(SystemApiTest, VersionCheckAgainst1052) {
  Call("ChkVersion", "\"10.52\", 0");
  EXPECT_EQ(Status(), 0);
  Call("ChkVersion", "\"10.5\", 0");
  EXPECT_EQ(Status(), 0);
  Call("ChkVersion", "\"9.99\", 0");
  EXPECT_EQ(Status(), 0);
  EXPECT_FALSE(rt.error.Raised());
  Call("ChkVersion", "\"10.6\", 0");  // the minor part is a decimal fraction
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(ErrorText(), "Version 10.6 is required.");
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(rt.run.exit_request, EXIT_NONE);
  rt.error.Clear();
  Call("ChkVersion", "\"11\", 1");
  EXPECT_EQ(ErrorText(), "Version 11 is required.");
  EXPECT_EQ(window.messages, std::vector<std::string>{"[Error] Version 11 is required."});
  EXPECT_EQ(rt.run.exit_request, EXIT_QUIT);
  rt.error.Clear();
  Call("ChkVersion", "\"ten\", 0");
  EXPECT_EQ(Status(), 1);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(SystemApiTest, HostSettingsReportTheirOldValue) {
  Call("SetSysPrm", "1, 3");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(rt.run.trace_flags, TRACE_CALLS | TRACE_ASSIGNMENTS);
  Call("SetSysPrm", "1, 0");
  EXPECT_EQ(Long(sysvar::G_WORK1), 3);
  rt.run.timing_lines = 17;
  Call("SetSysPrm", "2, 1");
  EXPECT_TRUE(rt.run.timing_trace);
  EXPECT_EQ(rt.run.timing_lines, 0);
  Call("SetSysPrm", "3, 0");
  EXPECT_FALSE(rt.run.debug_dialog);
  EXPECT_EQ(Long(sysvar::G_WORK1), 1);
  Call("SetSysPrm", "4, 1");
  EXPECT_TRUE(rt.run.single_step);
  Call("SetSysPrm", "9, 1");
  EXPECT_EQ(Status(), 1);
  rt.run = engine::RunState();
}

TEST_F(SystemApiTest, SourceNameAndItsParts) {
  rt.startup.script_path = "/home/u/\x83\x5c\\run.vx";
  Call("GetSourceName", "S");
  EXPECT_EQ(Text(s), "/home/u/\x83\x5c\\run.vx");
  Call("GetSourceName", "S, 1");
  EXPECT_EQ(Text(s), "run.vx");
  Call("GetSourceName", "S, 2");
  EXPECT_EQ(Text(s), "/home/u/\x83\x5c");
  EXPECT_EQ(Status(), 0);
}

class RegistryApiTest : public SystemApiTest {
 protected:
  ScopedEnv config_{"XDG_CONFIG_HOME", nullptr};
  void SetUp() override {
    SystemApiTest::SetUp();
    setenv("XDG_CONFIG_HOME", folder.path().c_str(), 1);
  }
  std::string StoreText() { return folder.Read("vexmora/registry.reg"); }
};

TEST_F(RegistryApiTest, WriteReadListAndDelete) {
  Call("Registry", "1, \"HKCU\\\\Software\\\\Vx\", \"Name\", \"\x83\x5c value\"");
  EXPECT_EQ(Status(), 0);
  Call("Registry", "2, \"HKEY_CURRENT_USER\\\\Software\\\\Vx\\\\Sub\", \"Count\", 42");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(StoreText(),
            "; Vexmora registry\n\n[HKEY_CURRENT_USER]\n\n[HKEY_CURRENT_USER\\Software]\n"
            "\n[HKEY_CURRENT_USER\\Software\\Vx]\n\"Name\"=\"\xe3\x82\xbd value\"\n"
            "\n[HKEY_CURRENT_USER\\Software\\Vx\\Sub]\n\"Count\"=dword:0000002a\n");
  Call("Registry", "0, \"hkcu\\\\software\\\\vx\", \"NAME\", S");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Text(s), "\x83\x5c value");
  EXPECT_EQ(Long(sysvar::G_WORK1), 1);
  Call("Registry", "0, \"HKCU\\\\Software\\\\Vx\\\\Sub\", \"Count\", N");
  EXPECT_EQ(Long(n), 42);
  EXPECT_EQ(Long(sysvar::G_WORK1), 4);
  Call("Registry", "5, \"HKCU\\\\Software\\\\Vx\"");
  EXPECT_EQ(Text(sysvar::G_TXT), "Sub\\\r\nName\r\n");
  EXPECT_EQ(Long(sysvar::G_WORK1), 1);
  EXPECT_EQ(Long(sysvar::G_WORK2), 1);
  Call("Registry", "3, \"HKCU\\\\Software\\\\Vx\", \"Name\"");
  EXPECT_EQ(Status(), 0);
  Call("Registry", "0, \"HKCU\\\\Software\\\\Vx\", \"Name\", S");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Text(s), "\x83\x5c value");
  Call("Registry", "4, \"HKCU\\\\Software\\\\Vx\"");
  EXPECT_EQ(Status(), 0);
  Call("Registry", "5, \"HKCU\\\\Software\\\\Vx\\\\Sub\"");
  EXPECT_EQ(Status(), 1);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(RegistryApiTest, BadKeysAndDamagedFilesChangeNothing) {
  Call("Registry", "1, \"HKXX\\\\Software\", \"a\", \"b\"");
  EXPECT_EQ(Status(), 1);
  EXPECT_FALSE(folder.Exists("vexmora/registry.reg"));
  Call("Registry", "9, \"HKCU\\\\Software\"");
  EXPECT_EQ(Status(), 1);
  std::filesystem::create_directories(folder.Path("vexmora"));
  folder.Write("vexmora/registry.reg", "[HKCU\\A]\n\"v\"=\"ok\"\ngarbage\n");
  Call("Registry", "1, \"HKCU\\\\A\", \"w\", \"new\"");
  EXPECT_EQ(Status(), 1);
  EXPECT_NE(ErrText().find("line 3"), std::string::npos);
  EXPECT_EQ(StoreText(), "[HKCU\\A]\n\"v\"=\"ok\"\ngarbage\n");
}

TEST_F(SystemApiTest, MachineInformation) {
  Call("GetSysInfo", "0, N");
  EXPECT_EQ(Status(), 0);
  EXPECT_GE(Long(n), 1);
  Call("GetSysInfo", "5, N");
  EXPECT_EQ(Long(n), getpid());
  ScopedEnv env("VX_TEST_VALUE", "\xe3\x82\xbd");
  Call("GetSysInfo", "11, S, \"VX_TEST_VALUE\"");
  EXPECT_EQ(Text(s), "\x83\x5c");
  Call("GetSysInfo", "11, S, \"VX_TEST_UNSET_VALUE\"");
  EXPECT_EQ(Status(), 1);
  Call("GetSysInfo", "99, N");
  EXPECT_EQ(Status(), 1);
  Call("GetWinVer", "N");
  EXPECT_EQ(Status(), 0);
  EXPECT_GE(Long(n), 2);
  EXPECT_NE(Text(sysvar::G_TXT).find("Linux"), std::string::npos);
}

TEST_F(SystemApiTest, StartedProgramsCanBeCheckedAndEnded) {
  Call("WinExec", "\"sh -c \\\"exit 3\\\"\"");
  EXPECT_EQ(Status(), 0);
  const std::int32_t pid = Long(sysvar::G_WORK1);
  ASSERT_GT(pid, 0);
  Call("ProcCtrl", "3, " + std::to_string(pid) + ", -1");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(sysvar::G_WORK1), 0);
  EXPECT_EQ(Long(sysvar::G_WORK2), 3);
  Call("WinExec", "\"sleep 30\"");
  const std::int32_t sleeper = Long(sysvar::G_WORK1);
  Call("ProcCtrl", "0, " + std::to_string(sleeper));
  EXPECT_EQ(Long(sysvar::G_WORK1), 1);
  Call("ProcCtrl", "1, " + std::to_string(sleeper) + ", 5000");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(sysvar::G_WORK1), 0);
  Call("ProcCtrl", "1, " + std::to_string(getpid()));
  EXPECT_EQ(Status(), 1);  // only programs the script started
  Call("WinExec", "\"/no/such/program arg\"");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(ErrText(), files::ErrorText(ENOENT));
}

TEST_F(SystemApiTest, UnavailableSystemOperationsFailHonestly) {
  Call("OprtSys", "77");
  EXPECT_EQ(Status(), 1);
  ScopedEnv no_display("DISPLAY", nullptr);
  Call("CtrlMonitor", "2");
  EXPECT_EQ(Status(), 1);
  EXPECT_NE(ErrText(), "");
  Call("CtrlMonitor", "5");
  EXPECT_EQ(Status(), 1);
}

TEST_F(SystemApiTest, DumpListsTheScriptsResources) {
  values::WriteText(rt, s, "two\r\nlines");
  Call("Dump", "");
  EXPECT_EQ(Status(), 0);
  const std::string log = Text(sysvar::G_DEBUG_LOG);
  EXPECT_NE(log.find("  70 N                               R_KD_VAL_LONG    -7\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("two\\r\\nlines\r\n"), std::string::npos);
  EXPECT_EQ(log.find("G_ERROR"), std::string::npos);
  values::WriteText(rt, p, folder.Path("dump.txt"));
  Call("Dump", "P, 1");
  EXPECT_NE(folder.Read("dump.txt").find("G_ERROR"), std::string::npos);
}

TEST_F(SystemApiTest, DebugFunctions) {
  Call("DebugFunc", "1, \"first\"");
  Call("DebugFunc", "1, \"second\"");
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG), "first\r\nsecond\r\n");
  testing::internal::CaptureStderr();
  Call("DebugFunc", "3");
  Call("DebugFunc", "0, \"\x83\x5c\"");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "first\r\nsecond\r\n[Debug] \xe3\x82\xbd\n");
  EXPECT_EQ(Text(sysvar::G_DEBUG_LOG), "");
  Call("DebugFunc", "9");
  EXPECT_EQ(Status(), 1);
}

}  // namespace
}  // namespace vx::test

namespace vx::test {
namespace {

TEST(SysFilesFamiliesTest, EveryIdOfTheFourFamiliesIsProvided) {
  const int ids[] = {1,   2,   4,   5,   6,   7,   49,  50,  57,  58,  69,  70,  71,  72,
                     73,  74,  75,  76,  77,  78,  79,  80,  81,  82,  83,  84,  85,  86,
                     87,  88,  89,  90,  91,  92,  93,  94,  95,  272, 273, 286, 287, 288,
                     289, 290, 348, 349, 350, 351, 387, 388, 389, 390, 391, 392, 393, 394,
                     395, 399, 400, 401, 402, 403, 404, 405, 535, 536, 596, 597};
  for (int id : ids) EXPECT_TRUE(api::IsProvided(id)) << id << " " << api::NameOf(id);
}

}  // namespace
}  // namespace vx::test
