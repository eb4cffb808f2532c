#pragma once
// The platform-neutral part of the main window: the window layer (Qt, or a
// test) turns what happens to the window into messages of this small
// vocabulary and hands them to the procedure, which decides what the engine
// does. After every message the procedure follows a chain request.
#include <cstdint>
#include <string>

namespace vx {

struct Runtime;

namespace host {

inline constexpr int TICK_INTERVAL_MS = 30;

enum class MessageKind : std::uint16_t {
  kTick,    // the 30 ms tick timer
  kClose,   // the user asks to close the window
  kReload,  // open command or dropped script: load `path`
};

struct Message {
  MessageKind kind = MessageKind::kTick;
  std::string path;
};

class MainWindowProcedure {
 public:
  explicit MainWindowProcedure(Runtime& rt) : rt_(rt) {}

  // Loads the start-up script once the main window exists, and follows the
  // chains it asks for.
  void Start();

  // Handles one message. For kClose the result is 1 when the window may
  // close; other messages give 0.
  int Handle(const Message& message);

  // The program asked to end (Exit without a path, quit in the debugging
  // dialog); the window layer ends its event loop.
  bool QuitRequested() const;

  // Whether anything is left that could still run a label: a queued label
  // of a program that can run. A headless process ends when nothing is.
  bool CanRunLabels() const;

 private:
  void Tick();
  void RunOnePendingLabel();
  void AfterMessage();

  Runtime& rt_;
};

}  // namespace host
}  // namespace vx
