#pragma once
// Loads scripts written in the test (UTF-8 in the source, Shift-JIS on disk)
// through the real loader, in a private current directory, and runs their
// labels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/loader.hpp"
#include "engine/run_loop.hpp"
#include "engine/runtime.hpp"
#include "engine/startup.hpp"
#include "support/fake_window_system.hpp"
#include "text/encoding.hpp"
#include "values/values.hpp"

namespace vx::test {

// A fresh directory that is the current one for the test's lifetime.
class TempDirectory {
 public:
  TempDirectory() {
    char pattern[] = "/tmp/vexmora-test-XXXXXX";
    path_ = mkdtemp(pattern);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string Sjis() const { return text::Utf8ToCp932(path_.string()); }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScriptTest : public ::testing::Test {
 protected:
  // Writes `utf8_source` as NAME.vx (Shift-JIS) and loads it the way a
  // chain does, which runs its Initial label. LoadScript's result.
  int Load(std::string_view utf8_source, std::string_view name = "script") {
    const std::string file = std::string(name) + ".vx";
    WriteBytes(dir.Path() / file, text::Utf8ToCp932(utf8_source));
    return engine::ReloadScript(rt, dir.Sjis() + "/" + file);
  }

  // Runs the label as an event would: RunFrom its entry under the lock.
  int Run(std::string_view label) {
    const std::int32_t index = rt.program.FindLabelAtRunTime(label);
    EXPECT_GE(index, 0) << label;
    if (index < 0) return -1;
    EngineLockGuard guard(rt.run.lock);
    return engine::RunFrom(rt, rt.program.LabelAt(index).entry);
  }

  std::int32_t Index(std::string_view name) {
    const std::int32_t index = rt.program.FindResource(name);
    EXPECT_GE(index, 0) << name;
    return index;
  }
  std::int32_t Long(std::string_view name) { return values::ReadAsInteger(rt, Index(name)); }
  double Double(std::string_view name) { return values::ReadAsDouble(rt, Index(name)); }
  // The value as text, in UTF-8.
  std::string Text(std::string_view name) {
    std::string buffer;
    return text::Cp932ToUtf8(values::ReadAsText(rt, Index(name), buffer));
  }
  std::string Bytes(std::string_view name) {
    std::string buffer;
    return std::string(values::ReadAsText(rt, Index(name), buffer));
  }

  // Gives a declared control a window of its own in the fake window system.
  FakeWindowSystem::Control& Attach(std::string_view name) {
    ResourceEntry& e = rt.program.Resource(Index(name));
    e.window = ++next_window_;
    return window.controls[e.window];
  }

  // The messages shown so far, in UTF-8.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const std::string& m : window.messages) out.push_back(text::Cp932ToUtf8(m));
    return out;
  }

  // The explanations and warnings written so far, in UTF-8.
  std::vector<std::string> Notes() const {
    std::vector<std::string> out;
    for (const std::string& m : window.notes) out.push_back(text::Cp932ToUtf8(m));
    return out;
  }

  TempDirectory dir;
  FakeWindowSystem window;
  Runtime rt{window};

 private:
  int next_window_ = 0;
};

}  // namespace vx::test
