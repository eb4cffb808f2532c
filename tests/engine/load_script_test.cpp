// LoadScript end to end: the selected source file, the unload before the
// load, the Initial row and the start of the program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/loader.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "engine/system_variables.hpp"
#include "support/fake_window_system.hpp"
#include "values/values.hpp"

namespace vx {
namespace {

class LoadScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("vx_load_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    rt.startup.current_dir = dir_.string();
    rt.startup.program_dir = "/prog/";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes the script and selects it, as start-up does.
  std::string Select(std::string_view name, std::string_view bytes) {
    const std::string path = (dir_ / name).string();
    EXPECT_TRUE(files::WriteAll(path, bytes));
    rt.startup.source = {path, true};
    return path;
  }
  std::int32_t Long(std::string_view name) { return values::GetLongByName(rt, name); }

  std::filesystem::path dir_;
  test::FakeWindowSystem window;
  Runtime rt{window};
};

TEST_F(LoadScriptTest, LoadsTheSelectedFileAndRunsInitial) {
  const std::string path = Select("a.vx", "Data long A 0\r\n:Initial\r\nA = 6 * 7\r\nENDP\r\n");
  EXPECT_EQ(LoadScript(rt, "the script path"), 1);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(rt.startup.script_path, "the script path");
  EXPECT_EQ(Long("A"), 42);
  EXPECT_TRUE(rt.names.Built());  // the control-creation step ran
  EXPECT_EQ(rt.program.Resource(sysvar::G_CURRENT_DIR).Text(), dir_.string());
}

TEST_F(LoadScriptTest, WithoutInitialTheFirstProcedureRuns) {
  Select("b.vx", "Data long A 0\nA = 5\n:Later\nA = 9\nENDP\n");
  EXPECT_EQ(LoadScript(rt, "b.vx"), 1);
  ASSERT_EQ(rt.program.LblCount(), 2);
  EXPECT_EQ(rt.program.LabelAt(1).Name(), "Initial");
  EXPECT_EQ(rt.program.LabelAt(1).entry, 1);
  EXPECT_EQ(Long("A"), 9);  // code runs on into the next label
}

TEST_F(LoadScriptTest, ReferencedButUndefinedInitialStartsNothing) {
  Select("c.vx", "Data long A 0\nA = 5\nIf 0 goto INITIAL\n");
  EXPECT_EQ(LoadScript(rt, "c.vx"), 1);
  EXPECT_EQ(rt.program.LblCount(), 1);
  EXPECT_EQ(Long("A"), 0);
}

TEST_F(LoadScriptTest, ScrambledFileLoads) {
  Select("s.vx", ScrambleScript("Data long A 0\r\n:Initial\r\nA = 3\r\nENDP\r\n"));
  EXPECT_EQ(LoadScript(rt, "s.vx"), 1);
  EXPECT_EQ(Long("A"), 3);
}

TEST_F(LoadScriptTest, MissingSourceFailsSilently) {
  rt.startup.source = {(dir_ / "none.vx").string(), true};
  EXPECT_EQ(LoadScript(rt, "none.vx"), 0);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(LoadScriptTest, UnknownDirectiveUnloads) {
  Select("d.vx", "Data long A 0\nA = 1\nfoo bar\n");
  EXPECT_EQ(LoadScript(rt, "d.vx"), 0);
  EXPECT_EQ(window.messages, std::vector<std::string>{"[msg] Line (3) : unknown directive [foo]"});
  EXPECT_EQ(rt.program.RscCount(), 0);
  EXPECT_EQ(rt.program.ProcCount(), 1);
}

TEST_F(LoadScriptTest, FailedLoadKeepsTablesAndStartsNothing) {
  Select("e.vx", "Data long A 0\n:Initial\nA = 1\nB = 2\n");
  EXPECT_EQ(LoadScript(rt, "e.vx"), 0);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(rt.program.ProcCount(), 3);
  EXPECT_EQ(Long("A"), 0);
  EXPECT_FALSE(rt.names.Built());
}

TEST_F(LoadScriptTest, EveryLoadStartsFromAnEmptyProgram) {
  Select("f.vx", "Data long A 0\nData long G_X 0\n:Initial\nG_EXIT_CODE = 4\nENDP\n");
  EXPECT_EQ(LoadScript(rt, "f.vx"), 1);
  Select("g.vx", "Data long A 0\n:Initial\nENDP\n");
  EXPECT_EQ(LoadScript(rt, "g.vx"), 1);
  EXPECT_TRUE(window.messages.empty());  // A is not declared twice
  EXPECT_EQ(rt.program.FindResource("G_X"), -1);
  EXPECT_EQ(rt.session.exit_code, 4);  // recorded by the unload
  EXPECT_EQ(rt.program.FindResource("A"), SYSTEM_VARIABLE_COUNT);
}

TEST_F(LoadScriptTest, UnselectedLoadReadsTheFixedName) {
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  ASSERT_TRUE(files::WriteAll("tmp00.exec.txt", "Data long A 0\n:Initial\nA = 8\nENDP\n"));
  rt.startup.source = {"ignored.vx", false};
  EXPECT_EQ(LoadScript(rt, "x.vx"), 1);
  EXPECT_EQ(Long("A"), 8);
  std::filesystem::current_path(old);
}

}  // namespace
}  // namespace vx
