#pragma once
// A fresh runtime with the system variables and helpers to declare more.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/runtime.hpp"
#include "support/fake_window_system.hpp"
#include "values/values.hpp"

namespace vx::test {

class RuntimeTest : public ::testing::Test {
 protected:
  RuntimeTest() { rt.program.CreateSystemVariables("", "/prog/", "/cur"); }

  std::int32_t DeclareLong(std::string_view name, std::int32_t value = 0,
                           std::string_view format = {}) {
    ResourceEntry* e = Begin(name, R_KD_VAL_LONG);
    e->long_value = value;
    if (!format.empty()) e->AssignText(format);
    return Commit();
  }
  std::int32_t DeclareDouble(std::string_view name, double value = 0.0,
                             std::string_view format = {}) {
    ResourceEntry* e = Begin(name, R_KD_VAL_DOUBLE);
    e->double_value = value;
    if (!format.empty()) e->AssignText(format);
    return Commit();
  }
  std::int32_t DeclareString(std::string_view name, std::int32_t capacity,
                             std::string_view value = {}, bool value_size = false) {
    ResourceEntry* e = Begin(name, R_KD_VAL_TXT);
    e->AllocateText(capacity);
    e->capacity = capacity;
    if (value_size) e->flags |= FLAG_VALUE_SIZE;
    std::copy(value.begin(), value.end(), e->text.get());
    return Commit();
  }
  std::int32_t DeclareControl(std::string_view name, std::uint16_t kind) {
    ResourceEntry* e = Begin(name, kind);
    e->window = ++next_window_;
    return Commit();
  }
  std::int32_t DeclareFile(std::string_view name, std::string_view path) {
    ResourceEntry* e = Begin(name, R_KD_FILE);
    e->AllocateText(std::max<std::int32_t>(path.size(), 2048) + 1);
    e->capacity = e->text_capacity;
    std::copy(path.begin(), path.end(), e->text.get());
    return Commit();
  }

  std::string Text(std::int32_t index) {
    std::string buffer;
    return std::string(values::ReadAsText(rt, index, buffer));
  }

  FakeWindowSystem window;
  Runtime rt{window};

 private:
  ResourceEntry* Begin(std::string_view name, std::uint16_t kind) {
    ResourceEntry* e = rt.program.NewResource();
    e->SetName(name);
    e->kind = kind;
    return e;
  }
  std::int32_t Commit() {
    rt.program.CommitResource(0, rt.error);
    return rt.program.RscCount() - 1;
  }
  int next_window_ = 0;
};

}  // namespace vx::test
