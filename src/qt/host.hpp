#pragma once
// The glue between Qt's event loop and the main window procedure: the main
// window widget, the 30 ms tick, the inbox that other threads post to, and
// the end of the loop when the program quits (or, headless, when nothing is
// left that could run a label).
#include <QTimer>
#include <memory>

#include "host/main_window.hpp"
#include "qt/main_window.hpp"

namespace vx::qt {

class QtHost {
 public:
  // The runtime must outlive the host; start-up has run (PrepareStartUp).
  QtHost(Runtime& rt, bool headless);
  ~QtHost();

  // Shows the window (unless headless), loads the start script from the
  // event loop and runs the loop until the program ends.
  void Run();
  // Runs the loop for a program whose start-up already ran (a headless run
  // that brought Qt up on the way, or that still has labels to run).
  void Continue();

  host::MainWindowProcedure& Procedure() { return procedure_; }
  MainWindow& Window() { return window_; }
  // Hands one message to the procedure, then ends the loop if it is time.
  int Deliver(const host::Message& message);
  // Every message ends here: quit when the program asked to, or, headless,
  // when nothing is left that could run a label.
  void AfterMessage();

 private:
  bool Ending() const;
  void WakeForInbox();

  Runtime& rt_;
  bool headless_;
  host::MainWindowProcedure procedure_;
  MainWindow window_;
  QTimer tick_;
};

}  // namespace vx::qt
