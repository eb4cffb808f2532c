#pragma once
// The Qt side of the main window: a plain widget for now (the host's paint,
// input and control layers fill it in), the 30 ms tick, and the glue that
// hands window happenings to the platform-neutral main window procedure and
// ends the event loop when the program quits.
#include <QTimer>
#include <QWidget>

#include "host/main_window.hpp"
#include "platform/qt/qt_window_system.hpp"

namespace vx::qt {

class QtHost;

class MainWidget : public QWidget {
 public:
  explicit MainWidget(QtHost& host);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QtHost& host_;
};

class QtHost {
 public:
  // The runtime must outlive the host; start-up has run (PrepareStartUp).
  QtHost(Runtime& rt, QtWindowSystem& window_system, QtDebugDialog& debug_dialog, bool headless);

  // Shows the window (unless headless), loads the start script from the
  // event loop and runs the loop until the program ends.
  void Run();

  host::MainWindowProcedure& Procedure() { return procedure_; }
  // Every message ends here: quit when the program asked to, or, headless,
  // when nothing is left that could run a label.
  void AfterMessage();

 private:
  bool Ending() const;

  Runtime& rt_;
  bool headless_;
  host::MainWindowProcedure procedure_;
  MainWidget window_;
  QTimer tick_;
};

}  // namespace vx::qt
