#pragma once
// What the run loop keeps between procedures and between runs: the call
// stack, the exit request, the trace settings, the engine lock and the work
// buffers that let a run go without allocating.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/fused_code.hpp"
#include "engine/keep_alive.hpp"

namespace vx {

struct Runtime;

inline constexpr int CALL_STACK_MAX = 100;
inline constexpr std::size_t CHAIN_PATH_BYTES = 4096;
inline constexpr std::size_t WORK_TEXT_BYTES = 131072;
inline constexpr std::size_t API_NAME_BYTES = 1024;
inline constexpr int TIMING_TRACE_LINES_MAX = 10000;
inline constexpr std::size_t DEBUG_TEXT_MAX = 1023;

// Bits of the run-trace flags.
inline constexpr std::uint32_t TRACE_CALLS = 1u;
inline constexpr std::uint32_t TRACE_ASSIGNMENTS = 2u;

enum ExitRequest : std::int32_t {
  EXIT_NONE = 0,
  EXIT_CHAIN = 1,  // chain path holds the next script
  EXIT_QUIT = 2,
};

// The debugging dialog the host shows for Debug statements, break marks and
// single steps. Returns 0 to quit the program, anything else to go on.
class DebugDialog {
 public:
  virtual ~DebugDialog() = default;
  virtual int Open(Runtime& rt, std::int32_t procedure, std::string_view text) = 0;
};

// The engine lock: held while script code runs. Everything runs on the one
// window thread, so a flag taken with a zero time-out is all it needs.
class EngineLock {
 public:
  bool TryTake() {
    if (held_) return false;
    held_ = true;
    return true;
  }
  void Release() { held_ = false; }
  bool Held() const { return held_; }

 private:
  bool held_ = false;
};

// Takes the lock for a scope when it is free; Taken() says whether it was.
class EngineLockGuard {
 public:
  explicit EngineLockGuard(EngineLock& lock) : lock_(lock), taken_(lock.TryTake()) {}
  ~EngineLockGuard() {
    if (taken_) lock_.Release();
  }
  EngineLockGuard(const EngineLockGuard&) = delete;
  EngineLockGuard& operator=(const EngineLockGuard&) = delete;
  bool Taken() const { return taken_; }

 private:
  EngineLock& lock_;
  bool taken_;
};

namespace engine {

struct CallFrame {
  std::int32_t return_index = 0;
  std::int32_t label = -1;  // label index called, for the call trace
};

struct RunState {
  RunState() {
    text.reserve(WORK_TEXT_BYTES);
    control_text.reserve(WORK_TEXT_BYTES);
    api_name.reserve(API_NAME_BYTES);
    chain_path.reserve(CHAIN_PATH_BYTES);
    line.reserve(256);
  }

  std::array<CallFrame, CALL_STACK_MAX> stack{};
  std::int32_t depth = 0;

  std::int32_t exit_request = EXIT_NONE;
  std::string chain_path;  // at most CHAIN_PATH_BYTES - 1 bytes
  // The script `Exit "path", 1` left: loaded again when the chained script
  // ends (Exit alone, or its window is closed) instead of the program ending.
  std::string return_path;

  bool timing_trace = false;
  int timing_lines = 0;
  bool single_step = false;
  bool debug_dialog = true;  // whether Debug statements open the dialog
  std::uint32_t trace_flags = 0;

  EngineLock lock;
  FusedCode fused;
  KeepAlivePacing keep_alive;  // a long label's window painting

  // Work buffers, reserved once.
  std::string text;          // string expressions and source texts
  std::string control_text;  // text already in a control
  std::string api_name;      // CALLS
  std::string line;          // trace lines and messages
};

}  // namespace engine
}  // namespace vx
