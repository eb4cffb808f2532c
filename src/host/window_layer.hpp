#pragma once
// The window layer (Qt) is a library of its own, carried inside the
// executable and opened only when a run needs it: always with a display,
// and headless only when a script makes a control or a timer, or leaves
// labels for the event loop. Runs that never need it never map Qt.
#include <memory>

#include "host/headless_window.hpp"
#include "host/launch.hpp"
#include "host/standin_window.hpp"

namespace vx {
struct Runtime;
}
namespace vx::printing {
class Printers;
}

namespace vx::host {

// The layer brought up in a headless run, on the offscreen platform.
class HeadlessLayer {
 public:
  virtual ~HeadlessLayer() = default;
  virtual RealWindow Window() = 0;
  // Runs the event loop until the program ends (or nothing is left that
  // could run a label).
  virtual void Continue() = 0;
};

class WindowLayer {
 public:
  virtual ~WindowLayer() = default;
  // A run with a window: start-up, the event loop and the exit status.
  virtual int RunWithWindow(const LaunchOptions& options) = 0;
  // Brings Qt up for a headless run whose start-up has run: its controls
  // serve `controls` and `window_system` from now on.
  virtual std::unique_ptr<HeadlessLayer> BringUpHeadless(Runtime& rt, InProcessWindowSystem& window_system,
                                                         DeferredControls& controls) = 0;
  // Printers and PDF files for a headless run: Qt's application object
  // comes up (text needs its fonts), never a window or a print dialog.
  virtual printing::Printers& HeadlessPrinters() = 0;
};

// The layer library's one exported function, returning its layer.
inline constexpr const char* WINDOW_LAYER_ENTRY = "vexmora_window_layer";
using WindowLayerEntry = WindowLayer* (*)();

// What every run does once its event loop is over: the bank as PNG when
// --vram-png asked for it, then the process's exit status.
int FinishRun(Runtime& rt, const LaunchOptions& options, bool headless);

}  // namespace vx::host
