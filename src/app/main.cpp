// vexmora: the front end. Works out the options, the program directory and
// the command line, runs the start-up sequence and then Qt's event loop,
// with a window or headless (where Qt comes up only when a script needs it).
#include <QApplication>
#include <QIcon>
#include <QtGlobal>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "api/api_table.hpp"
#include "engine/process_exit.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "engine/startup.hpp"
#include "host/instances.hpp"
#include "host/launch.hpp"
#include "host/main_window.hpp"
#include "host/standin_window.hpp"
#include "host/top_windows.hpp"
#include "host/vram_png.hpp"
#include "platform/files.hpp"
#include "platform/process.hpp"
#include "platform/qt/qt_controls.hpp"
#include "platform/qt/qt_debugger.hpp"
#include "platform/qt/qt_dialogs.hpp"
#include "platform/qt/qt_host.hpp"
#include "platform/qt/qt_printers.hpp"
#include "platform/qt/qt_window_system.hpp"

namespace {

using namespace vx;

int ListApis() {
  std::vector<ApiEntry> entries(api::Table().begin(), api::Table().end());
  std::sort(entries.begin(), entries.end(),
            [](const ApiEntry& a, const ApiEntry& b) { return a.id < b.id; });
  for (const ApiEntry& e : entries) {
    std::printf("%d %.*s\n", e.id, static_cast<int>(e.name.size()), e.name.data());
  }
  return 0;
}

// Paths here are the system's own (UTF-8), taken as they are.
int Scramble(const std::string& in, const std::string& out) {
  files::FilePtr input(std::fopen(in.c_str(), "rb"));
  if (!input) {
    std::fprintf(stderr, "vexmora: cannot read %s\n", in.c_str());
    return 1;
  }
  std::string plain;
  char block[65536];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, input.get())) > 0) plain.append(block, n);
  const std::string scrambled = ScrambleScript(plain);
  files::FilePtr output(std::fopen(out.c_str(), "wb"));
  const bool written = output && std::fwrite(scrambled.data(), 1, scrambled.size(), output.get()) ==
                                     scrambled.size();
  if (!written || std::fclose(output.release()) != 0) {
    std::fprintf(stderr, "vexmora: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

bool OffscreenPlatformChosen() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform != nullptr &&
         (std::strncmp(platform, "offscreen", 9) == 0 || std::strncmp(platform, "minimal", 7) == 0);
}

// Headless, standard error carries the script's messages only; Qt's own
// notes appear when VEXMORA_QT_MESSAGES is set.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg || std::getenv("VEXMORA_QT_MESSAGES") != nullptr) {
    std::fprintf(stderr, "qt: %s\n", text.toLocal8Bit().constData());
  }
}

// The application object: made before anything else with a window, on
// first need headless (a run that never needs Qt never loads its plugins).
// It lives in main, so that it goes before the process's static objects.
class QtApplicationSlot {
 public:
  explicit QtApplicationSlot(char* program_name) : argv_{program_name, nullptr} {}

  void Start() {
    if (app_) return;
    // Qt sees only the program name: every other argument belongs to the script.
    app_.emplace(argc_, argv_);
    // X11 gives every window the application's name as its WM_CLASS class
    // part; other instances and programs find our main windows by it.
    QCoreApplication::setApplicationName(QString::fromLatin1(host::MAIN_WINDOW_CLASS));
    // Qt adopts the user's locale; numbers in scripts are always read and
    // printed with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
  }

 private:
  int argc_ = 1;
  char* argv_[2];
  std::optional<QApplication> app_;
};

// Start-up, the event loop and the exit status. 1 when start-up gives up
// (no default.vx, or the start-up script cannot be read).
// With --vram-png the drawing bank is written out at the end.
int RunProgram(const host::LaunchOptions& options, bool headless, QtApplicationSlot& qt_app) {
  qt::QtWindowSystem window_system(headless);
  qt::QtDebugDialog debug_dialog(headless);
  Runtime rt(window_system);
  rt.debugger = &debug_dialog;
  qt::QtControls controls(rt);
  window_system.SetControls(&controls);
  rt.controls = &controls;
  // Headless, dialogs answer at once without a dialog host.
  qt::QtDialogs dialogs;
  if (!headless) rt.dialogs = &dialogs;
  // Printing needs the application object (fonts), never a window of its
  // own; print dialogs only where a window is shown.
  qt::QtPrinters printers([&qt_app] { qt_app.Start(); },
                          [&controls, headless]() -> QWidget* { return headless ? nullptr : controls.MainWindow(); });
  rt.printers = &printers;

  const std::string program_dir = host::ResolveProgramDirectory(
      std::getenv("VEXMORA_PROGRAM_DIR"), process::ExecutablePath());
  if (engine::PrepareStartUp(rt, program_dir, host::BuildCommandLine(options.words)) == 0) return 1;

  // The Qt side of the main window: at once with a window; headless when a
  // script first needs a widget, a timer or a window service, or when its
  // start leaves labels to run from the event loop.
  std::optional<qt::QtHost> qt_host;
  std::optional<qt::QuickWatchWindow> quick_watch;
  auto bring_up = [&]() -> host::RealWindow {
    if (!qt_host) {
      qt_app.Start();
      qt_host.emplace(rt, window_system, debug_dialog, headless);
      dialogs.SetMainWindow(controls.MainWindow());
      if (!headless) {
        // The quick-watch window is made when the debugging dialog first opens.
        debug_dialog.SetQuickWatchMaker([&quick_watch, &rt] { return &quick_watch.emplace(rt); });
        controls.SetAfterLabel([&quick_watch] {
          if (quick_watch) quick_watch->Refresh();
        });
      } else {
        qt_host->Window().show();  // offscreen: sizes, paints and input still work
      }
    }
    return host::RealWindow{&qt_host->Window(), &qt_host->Window()};
  };
  host::StandInWindow stand_in(host::DEFAULT_CLIENT_WIDTH, host::DEFAULT_CLIENT_HEIGHT, bring_up);
  // Other instances reach this one's EVENT label through its socket.
  host::InstanceListener instances(rt.main_window.inbox);
  if (!headless) {
    bring_up();
    qt_host->Run();
  } else {
    rt.main_window.port = &stand_in;
    rt.display = &stand_in;
    controls.SetBeforeFirstUse([&bring_up] { bring_up(); });
    host::MainWindowProcedure procedure(rt);
    procedure.Start();
    const bool ending = procedure.QuitRequested() || !procedure.CanRunLabels();
    if (qt_host || !ending) {
      bring_up();
      qt_host->Continue();
    }
  }
  if (!options.vram_png.empty() && !host::WriteVramPng(rt, options.vram_png)) {
    std::fprintf(stderr, "vexmora: cannot write %s\n", options.vram_png.c_str());
  }
  if (rt.display == &stand_in) rt.display = nullptr;
  if (rt.main_window.port == &stand_in) rt.main_window.port = nullptr;
  return host::ExitStatus(engine::FinalExitCode(rt), rt.session.ended_with_error, headless);
}

}  // namespace

int main(int argc, char** argv) {
  const host::LaunchOptions options = host::ParseLaunchOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "vexmora: %s\n\n", options.error.c_str());
    std::fwrite(host::UsageText().data(), 1, host::UsageText().size(), stderr);
    return 2;
  }
  if (options.help) {
    std::fwrite(host::UsageText().data(), 1, host::UsageText().size(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vexmora %s\n", VEXMORA_VERSION_TEXT);
    return 0;
  }
  if (options.list_apis) return ListApis();
  if (options.scramble) return Scramble(options.scramble_in, options.scramble_out);

  const bool headless =
      options.headless || !process::DisplayAvailable() || OffscreenPlatformChosen();
  if (headless) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietQtMessages);
    // The locale Qt would adopt, whether or not Qt comes up.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
  }
  QtApplicationSlot qt_app(argv[0]);
  if (!headless) {
    qt_app.Start();
    // Desktops tie the windows to vexmora.desktop and show the installed icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vexmora"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vexmora")));
  }
  const int exit_code = RunProgram(options, headless, qt_app);
  if (headless) {
    // Tearing the application object down would load the whole font
    // configuration only to free it again, which costs a headless run more
    // than everything else at start and end. Everything of ours is gone by
    // now; the process ends here.
    std::fflush(nullptr);
    std::_Exit(exit_code);
  }
  return exit_code;
}
