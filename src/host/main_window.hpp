#pragma once
// The platform-neutral part of the main window: the window layer (Qt, or a
// test) turns what happens to the window into messages of a small
// vocabulary (engine/messages.hpp) and hands them to the procedure, which
// decides which label runs, with which system variables, and when the
// window is repainted. After every message the procedure follows a reload
// or chain request once the engine is free.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/messages.hpp"

namespace vx {

struct Runtime;

namespace host {

// Where the bank is copied for one paint: `width` x `height` pixels from
// bank column `left`, row `top` (script rows, top-down) to the same client
// position. Nothing is copied when `copy` is false.
struct PaintCopy {
  bool copy = false;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
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

  // Every message waiting in the inbox, in order.
  void HandleInbox();
  // Takes one message from the deferred queue, if any, and handles it as if
  // it had just arrived (the tick, and after each timer resource's event).
  void HandleOneDeferred();

  // A paint of the client rectangle (inclusive): empties the dirty
  // rectangle and says which part of the bank to copy. Before the script
  // has started the window shows only its background.
  PaintCopy Paint(int left, int top, int right, int bottom);

  // The program asked to end (Exit without a path, quit in the debugging
  // dialog, a fatal queue overflow); the window layer ends its event loop.
  bool QuitRequested() const;

  // Whether anything is left that could still run a label: a queued label
  // or message, or a chain to follow. A headless process ends when nothing is.
  bool CanRunLabels() const;
  bool AnyTimerRunning() const;
  bool AnyListeningPort() const;  // an open port with a label

 private:
  void Tick();
  void CountDownTopmost();
  void UpdateHover();
  void AfterMessage();

  int Close();
  void MouseMove(const Message& m);
  void LeftButtonDown(const Message& m);
  void MouseButton(const Message& m);
  void Wheel(const Message& m);
  void KeyDown(const Message& m);
  void KeyUp(const Message& m);
  void Char(const Message& m);
  void SysKeyDown(const Message& m);
  void Size(const Message& m);
  void ExitSizeMove(const Message& m);
  void DropFile(const Message& m);
  void SysCommand(const Message& m);
  void UserEvent(const Message& m);
  void PortNotify(const Message& m);
  void PipeText(const Message& m);
  // Runs a label while this procedure holds the engine lock.
  void RunHeldLabel(std::int32_t entry);

  void Offer(std::string_view label);  // offer by name, redraw when found
  void SetMouseIfIdle(const Message& m);
  void SetMouse(const Message& m);
  int HitClickArea(std::int32_t x, std::int32_t y);
  void OpenScriptAndReload();
  void RequestReload(std::string_view path);
  void Defer(const Message& m);

  Runtime& rt_;
};

// The folder of the reference pages: the first of doc/ and ../doc/ in the
// program directory that holds language.md, else doc/ (Shift-JIS).
std::string HelpFolder(std::string_view program_dir);

}  // namespace host
}  // namespace vx
