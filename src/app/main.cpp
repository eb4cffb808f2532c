// vexmora: the front end. Works out the options, the program directory and
// the command line, runs the start-up sequence and then Qt's event loop,
// with a window or headless.
#include <QApplication>
#include <QtGlobal>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api/api_table.hpp"
#include "engine/process_exit.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "engine/startup.hpp"
#include "host/instances.hpp"
#include "host/launch.hpp"
#include "host/top_windows.hpp"
#include "host/vram_png.hpp"
#include "platform/files.hpp"
#include "platform/process.hpp"
#include "platform/qt/qt_controls.hpp"
#include "platform/qt/qt_debugger.hpp"
#include "platform/qt/qt_dialogs.hpp"
#include "platform/qt/qt_host.hpp"
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

// Start-up, the event loop and the exit status. 1 when start-up gives up
// (no default.vx, or the start-up script cannot be read).
// With --vram-png the drawing bank is written out at the end.
int RunProgram(const host::LaunchOptions& options, bool headless) {
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

  const std::string program_dir = host::ResolveProgramDirectory(
      std::getenv("VEXMORA_PROGRAM_DIR"), process::ExecutablePath());
  if (engine::PrepareStartUp(rt, program_dir, host::BuildCommandLine(options.words)) == 0) return 1;

  qt::QtHost qt_host(rt, window_system, debug_dialog, headless);
  dialogs.SetMainWindow(controls.MainWindow());
  qt::QuickWatchWindow quick_watch(rt);
  debug_dialog.SetQuickWatch(&quick_watch);
  controls.SetAfterLabel([&quick_watch] { quick_watch.Refresh(); });
  // Other instances reach this one's EVENT label through its socket.
  host::InstanceListener instances(rt.main_window.inbox);
  qt_host.Run();
  if (!options.vram_png.empty() && !host::WriteVramPng(rt, options.vram_png)) {
    std::fprintf(stderr, "vexmora: cannot write %s\n", options.vram_png.c_str());
  }
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
  }
  // Qt sees only the program name: every other argument belongs to the script.
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QApplication app(qt_argc, qt_argv);
  // X11 gives every window the application's name as its WM_CLASS class
  // part; other instances and programs find our main windows by it.
  QCoreApplication::setApplicationName(QString::fromLatin1(host::MAIN_WINDOW_CLASS));
  // Qt adopts the user's locale; numbers in scripts are always read and
  // printed with a decimal point.
  std::setlocale(LC_NUMERIC, "C");
  const int exit_code = RunProgram(options, headless);
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
