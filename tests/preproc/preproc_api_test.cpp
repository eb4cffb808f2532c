// PreProc through the dispatcher and, end to end, a script that calls it:
// the fatal path ends the program, and the loader reads the result with the
// line numbers of the original source.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "api/api_test_support.hpp"
#include "engine/lifecycle.hpp"
#include "engine/loader.hpp"
#include "engine/run_loop.hpp"
#include "engine/system_variables.hpp"
#include "platform/files.hpp"

namespace vx::test {
namespace {

class PreProcApiTest : public ApiTest {
 protected:
  PreProcApiTest() {
    char pattern[] = "/tmp/vx_preproc_api_XXXXXX";
    dir_ = mkdtemp(pattern);
  }
  ~PreProcApiTest() override { std::filesystem::remove_all(dir_); }

  std::string Path(std::string_view name) const { return dir_ + "/" + std::string(name); }
  void Put(std::string_view name, std::string_view bytes) { files::WriteAll(Path(name), bytes); }
  std::string Get(std::string_view name) {
    return files::ReadAll(Path(name), 1 << 20).value_or("<none>");
  }
  // PreProc "dir/source", "dir/destination"[, mode]
  int PreProc(std::string_view source, std::string_view destination, std::string_view mode = {}) {
    std::string args = "\"" + Path(source) + "\", \"" + Path(destination) + "\"";
    if (!mode.empty()) args += ", " + std::string(mode);
    return Call("PreProc", args);
  }
  std::int32_t GError() { return Long(sysvar::G_ERROR); }

  std::string dir_;
};

TEST_F(PreProcApiTest, IfExpressionsSeeTheScriptsVariables) {
  DeclareLong("LEVEL", 2);
  Ready();
  Put("main.src", "#if LEVEL > 1\nhigh\n#else\nlow\n#endif\n");
  EXPECT_EQ(PreProc("main.src", "out.vx"), 1);
  EXPECT_FALSE(rt.error.Raised());
  EXPECT_EQ(GError(), 0);
  EXPECT_EQ(Get("out.vx"), "[$SRC:2]high\r\n");
}

TEST_F(PreProcApiTest, ModeArgumentTurnsMarkersOff) {
  Ready();
  Put("main.src", "a\n");
  PreProc("main.src", "out.vx", "0");
  EXPECT_EQ(Get("out.vx"), "a\r\n");
}

TEST_F(PreProcApiTest, NothingDoneSetsGError) {
  Ready();
  Put("main.vx.src", "a\n");
  values::SetLong(rt, sysvar::G_ERROR, 0);
  PreProc("main.vx.src", "main.vx");
  EXPECT_EQ(GError(), 1);
  EXPECT_EQ(Get("main.vx"), "<none>");
  values::SetLong(rt, sysvar::G_ERROR, 0);
  PreProc("missing.src", "out.vx");
  EXPECT_EQ(GError(), 1);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(PreProcApiTest, FailingIfExpressionIsReportedAndProcessingGoesOn) {
  Ready();
  Put("main.src", "#if 1)\nin\n#endif\nafter\n");
  PreProc("main.src", "out.vx", "0");
  EXPECT_EQ(ErrorText(), Message(msg::Id::kExpressionError));
  EXPECT_EQ(Get("out.vx"), "after\r\n");
  EXPECT_EQ(GError(), 0);
}

TEST_F(PreProcApiTest, FatalErrorShowsTheBoxAndAsksTheProcessToEndWithCode1) {
  Ready();
  Put("main.src", "#if 1)\n#endif\nkept\n#else\nlost\n");
  PreProc("main.src", "out.vx", "0");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[Message] [    4]:Error : Unexpected  #else encountered.\n");
  EXPECT_EQ(Get("out.vx"), "kept\r\n");
  EXPECT_EQ(rt.run.exit_request, EXIT_QUIT);
  EXPECT_EQ(rt.session.exit_code, 1);
  EXPECT_EQ(Long(sysvar::G_EXIT_CODE), 1);
  // The #if error is moot once the program ends: nothing else is shown.
  EXPECT_FALSE(rt.error.Raised());
}

// A whole script: load it from a file as the front end does, and run it.
class PreProcScriptTest : public PreProcApiTest {
 protected:
  int Load(std::string_view name) {
    rt.startup.source.path = Path(name);
    rt.startup.source.selected = true;
    return LoadScript(rt, Path(name));
  }
};

TEST_F(PreProcScriptTest, FatalErrorEndsTheRunAtOnce) {
  Put("bad.src", "#endif\n");
  Put("run.vx", ":Initial\nCALL PreProc \"" + Path("bad.src") + "\", \"" + Path("out.vx") +
                    "\"\nG_WORK1 = 5\nExit \"" + Path("next.vx") + "\"\n");
  EXPECT_EQ(Load("run.vx"), 1);
  EXPECT_EQ(window.messages,
            std::vector<std::string>{"[Message] [    1]:Error : Unexpected  #endif encountered.\n"});
  EXPECT_NE(values::GetLongByName(rt, "G_WORK1"), 5);
  EXPECT_EQ(rt.run.exit_request, EXIT_QUIT);
  EXPECT_EQ(rt.session.exit_code, 1);
}

TEST_F(PreProcScriptTest, FatalErrorThroughCallsShowsOnlyItsOwnBox) {
  // The failing #if leaves an error pending that CALLS would show; the
  // fatal error ends the program before anyone does.
  Put("bad.src", "#if 1)\n#endif\n#endif\n");
  Put("run.vx", "Data string SRC \"" + Path("bad.src") + "\"\nData string DST \"" +
                    Path("out.vx") + "\"\n:Initial\nCALLS \"PreProc SRC, DST\"\nG_WORK1 = 5\n");
  EXPECT_EQ(Load("run.vx"), 1);
  EXPECT_EQ(window.messages,
            std::vector<std::string>{"[Message] [    3]:Error : Unexpected  #endif encountered.\n"});
  EXPECT_NE(values::GetLongByName(rt, "G_WORK1"), 5);
  EXPECT_EQ(rt.session.exit_code, 1);
}

TEST_F(PreProcScriptTest, LoaderReportsTheOriginalLineOfAnExpandedStatement) {
  Put("lib.inc",
      ".macro LEN %t, %out\n"
      "CALL strlen %t, %out\n"
      ".endm\n");
  Put("main.src",
      "// line 1\n"
      "#include \"" + Path("lib.inc") + "\"\n"
      "Data long N 0\n"
      ":Initial\n"
      "LEN \"abc\", N\n"
      "LEN \"abcd\", MISSING\n"
      "N = 99\n");
  Ready();
  PreProc("main.src", "out.vx");
  ASSERT_EQ(GError(), 0);
  ASSERT_EQ(Load("out.vx"), 1);
  EXPECT_EQ(values::GetLongByName(rt, "N"), 3);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].rfind("[Error] Line (6) : ", 0), 0u) << window.messages[0];
}

}  // namespace
}  // namespace vx::test
