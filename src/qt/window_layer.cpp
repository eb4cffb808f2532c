// The window layer: Qt's application object, the main window and its
// controls, for runs with a display and for headless runs that need them.
// Built as a library of its own and carried inside the executable, which
// opens it on first need (host/window_layer.hpp); it uses the engine that
// the executable exports.
#include <QApplication>
#include <QIcon>
#include <QString>
#include <QtGlobal>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "engine/runtime.hpp"
#include "engine/startup.hpp"
#include "host/instances.hpp"
#include "host/launch.hpp"
#include "host/main_window.hpp"
#include "host/top_windows.hpp"
#include "host/window_layer.hpp"
#include "platform/process.hpp"
#include "platform/timing.hpp"
#include "qt/controls.hpp"
#include "qt/debugger.hpp"
#include "qt/dialogs.hpp"
#include "qt/host.hpp"
#include "qt/printers.hpp"
#include "qt/window_system.hpp"
#include "text/encoding.hpp"

namespace vx::qt {
namespace {

// Headless, standard error carries the script's messages only; Qt's own
// notes appear when VEXMORA_QT_MESSAGES is set.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg || std::getenv("VEXMORA_QT_MESSAGES") != nullptr) {
    std::fprintf(stderr, "qt: %s\n", text.toLocal8Bit().constData());
  }
}

// The application object. With a window it lives as long as the run and
// goes before the process's static objects; a headless run ends with _Exit
// and never tears it down (that would load the whole font configuration
// only to free it again).
class Application {
 public:
  explicit Application(char* program_name) : argv_{program_name, nullptr}, app_(argc_, argv_) {
    // X11 gives every window the application's name as its WM_CLASS class
    // part; other instances and programs find our main windows by it.
    QCoreApplication::setApplicationName(QString::fromLatin1(host::MAIN_WINDOW_CLASS));
    // Qt adopts the user's locale; numbers in scripts are always read and
    // printed with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
  }

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

 private:
  // Qt sees only the program name: every other argument belongs to the script.
  int argc_ = 1;
  char* argv_[2];
  QApplication app_;
};

char kProgramName[] = "vexmora";

class QtHeadlessLayer : public host::HeadlessLayer {
 public:
  QtHeadlessLayer(Runtime& rt, host::InProcessWindowSystem& window_system, host::DeferredControls& deferred)
      : window_system_(window_system), deferred_(deferred), controls_(rt), host_(rt, true) {
    window_system_.SetWidgets(&controls_);
    deferred_.Attach(&controls_);
    controls_.SetMainWindow(&host_.Window());
    if (!window_system_.Title().empty()) {
      host_.Window().setWindowTitle(QString::fromStdString(text::Cp932ToUtf8(window_system_.Title())));
    }
    host_.Window().show();  // offscreen: sizes, paints and input still work
  }
  ~QtHeadlessLayer() override {
    deferred_.Attach(nullptr);
    window_system_.SetWidgets(nullptr);
  }

  host::RealWindow Window() override { return host::RealWindow{&host_.Window(), &host_.Window()}; }
  void Continue() override { host_.Continue(); }

 private:
  host::InProcessWindowSystem& window_system_;
  host::DeferredControls& deferred_;
  QtControls controls_;
  QtHost host_;
};

class QtWindowLayer : public host::WindowLayer {
 public:
  int RunWithWindow(const host::LaunchOptions& options) override {
    const Application application(kProgramName);
    host::ReleaseDisplayCheck();
    platform::TimingLine("application");
    // Desktops tie the windows to vexmora.desktop and show the installed icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vexmora"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vexmora")));

    QtWindowSystem window_system(false);
    QtDebugDialog debug_dialog(false);
    Runtime rt(window_system);
    rt.debugger = &debug_dialog;
    QtControls controls(rt);
    window_system.SetControls(&controls);
    rt.controls = &controls;
    QtDialogs dialogs;
    rt.dialogs = &dialogs;
    // Print dialogs belong to the main window.
    QtPrinters printers([] {}, [&controls]() -> QWidget* { return controls.MainWindow(); });
    rt.printers = &printers;

    if (host::PrepareRun(rt, options) == 0) return 1;
    platform::TimingLine("scripts-loaded");

    QtHost host(rt, false);
    window_system.SetMainWindow(&host.Window());
    debug_dialog.SetMainWindow(&host.Window());
    dialogs.SetMainWindow(controls.MainWindow());
    // The quick-watch window is made when the debugging dialog first opens.
    std::optional<QuickWatchWindow> quick_watch;
    debug_dialog.SetQuickWatchMaker([&quick_watch, &rt] { return &quick_watch.emplace(rt); });
    controls.SetAfterLabel([&quick_watch] {
      if (quick_watch) quick_watch->Refresh();
    });
    // Other instances reach this one's EVENT label through its socket.
    host::InstanceListener instances(rt.main_window.inbox);
    host.Run();
    return host::FinishRun(rt, options, false);
  }

  std::unique_ptr<host::HeadlessLayer> BringUpHeadless(Runtime& rt, host::InProcessWindowSystem& window_system,
                                                       host::DeferredControls& controls) override {
    StartHeadlessApplication();
    return std::make_unique<QtHeadlessLayer>(rt, window_system, controls);
  }

  printing::Printers& HeadlessPrinters() override {
    static QtPrinters printers([] { StartHeadlessApplication(); }, []() -> QWidget* { return nullptr; });
    return printers;
  }

 private:
  static void StartHeadlessApplication() {
    static const bool started = [] {
      qInstallMessageHandler(QuietQtMessages);
      new Application(kProgramName);  // lives until the run's _Exit
      return true;
    }();
    (void)started;
  }
};

}  // namespace
}  // namespace vx::qt

extern "C" __attribute__((visibility("default"))) vx::host::WindowLayer* vexmora_window_layer() {
  static vx::qt::QtWindowLayer layer;
  return &layer;
}
