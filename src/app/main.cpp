// vexmora: the front end. Works out the options, the program directory and
// the command line, runs the start-up sequence and then the event loop,
// with a window or headless (where Qt comes up only when a script needs it).
#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include <unistd.h>

#include "api/api_table.hpp"
#include "engine/explain.hpp"
#include "engine/loader.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "engine/startup.hpp"
#include "host/instances.hpp"
#include "host/launch.hpp"
#include "host/headless_window.hpp"
#include "host/main_window.hpp"
#include "host/standin_window.hpp"
#include "host/top_windows.hpp"
#include "host/vram_png.hpp"
#include "host/window_layer.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/process.hpp"
#include "platform/shared_library.hpp"
#include "platform/timing.hpp"
#include "preproc/disk_files.hpp"
#include "preproc/preprocessor.hpp"
#include "printing/printing.hpp"
#include "text/encoding.hpp"
#include "values/expression.hpp"

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
  if (const int error = files::ReplaceSystemFile(out, scrambled); error != 0) {
    std::fprintf(stderr, "vexmora: cannot write %s: %s\n", out.c_str(), std::strerror(error));
    return 1;
  }
  return 0;
}

bool OffscreenPlatformChosen() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform != nullptr &&
         (std::strncmp(platform, "offscreen", 9) == 0 || std::strncmp(platform, "minimal", 7) == 0);
}

// The window layer's library image, placed in the executable at build time.
extern "C" const unsigned char vexmora_window_layer_image[];
extern "C" const unsigned char vexmora_window_layer_image_end[];

// The window layer, opened on first need and kept for the process. Without
// it (Qt missing on this machine) nothing with a window can run: the run
// ends with a message.
host::WindowLayer& WindowLayer() {
  static host::WindowLayer* const layer = [] {
    const std::span<const unsigned char> image(vexmora_window_layer_image, vexmora_window_layer_image_end);
    // Never closed: Qt cannot be unloaded while the program runs down.
    platform::SharedLibrary* library = platform::SharedLibrary::FromImage(image, "vexmora-window").release();
    host::WindowLayerEntry entry = nullptr;
    if (!library->Loaded() || !library->Bind(host::WINDOW_LAYER_ENTRY, &entry)) {
      std::fprintf(stderr, "vexmora: cannot load the window layer: %s\n", library->Error().c_str());
      std::fflush(nullptr);
      std::_Exit(1);
    }
    return entry();
  }();
  return *layer;
}

// Printers of a headless run, from the window layer on the first print.
class LayerPrinters : public printing::Printers {
 public:
  std::unique_ptr<printing::PrintJob> Open(const printing::PrintRequest& request, std::string* error) override {
    return WindowLayer().HeadlessPrinters().Open(request, error);
  }
};

// A headless run: the engine with in-process window services; Qt comes up
// (on the offscreen platform) only when a script first needs a widget, a
// timer or a window service, or when its start leaves labels to run from
// the event loop. 1 when start-up gives up (no default.vx, or the start-up
// script cannot be read). With --vram-png the drawing bank is written out
// at the end.
int RunHeadless(const host::LaunchOptions& options) {
  files::SetWriteFailureNotice(&host::TellFailedWrite);
  host::InProcessWindowSystem window_system;
  host::HeadlessDebugDialog debug_dialog;
  Runtime rt(window_system);
  rt.debugger = &debug_dialog;
  std::unique_ptr<host::HeadlessLayer> layer;
  host::DeferredControls controls([&] { WindowLayer().BringUpHeadless(rt, window_system, controls).swap(layer); });
  rt.controls = &controls;
  // The layer goes before the controls it is attached to.
  struct LayerEnd {
    std::unique_ptr<host::HeadlessLayer>& layer;
    ~LayerEnd() { layer.reset(); }
  } layer_end{layer};
  // Dialogs answer at once without a dialog host. Printing brings the
  // layer up (it needs Qt's application object, never a window).
  LayerPrinters printers;
  rt.printers = &printers;

  if (host::PrepareRun(rt, options) == 0) return 1;

  auto bring_up = [&]() -> host::RealWindow {
    if (!layer) WindowLayer().BringUpHeadless(rt, window_system, controls).swap(layer);
    return layer->Window();
  };
  host::StandInWindow stand_in(host::DEFAULT_CLIENT_WIDTH, host::DEFAULT_CLIENT_HEIGHT, bring_up);
  // Other instances reach this one's EVENT label through its socket.
  auto instances = std::make_unique<host::InstanceListener>(rt.main_window.inbox);
  rt.main_window.port = &stand_in;
  rt.display = &stand_in;
  host::MainWindowProcedure procedure(rt);
  procedure.Start();
  const bool ending = procedure.QuitRequested() || !procedure.CanRunLabels();
  if (layer || !ending) {
    bring_up();
    layer->Continue();
  }
  const int status = host::FinishRun(rt, options, true);
  // The process ends with _Exit, which stops the listener's thread; waiting
  // for it here would cost a wake-up on another core.
  instances.release()->Retire();
  if (rt.display == &stand_in) rt.display = nullptr;
  if (rt.main_window.port == &stand_in) rt.main_window.port = nullptr;
  return status;
}

// The preprocessor for a check: includes from the disk, output in memory,
// #if expressions evaluated against the (empty) program.
class CheckEnvironment : public preproc::Environment {
 public:
  CheckEnvironment(Runtime& rt) : rt_(rt) {}
  std::string output;

  std::unique_ptr<preproc::SourceReader> OpenInclude(std::string_view path, preproc::OpenResult& result) override {
    files::FilePtr file = files::Open(path, "rb");
    if (!file) {
      result = preproc::OpenResult::kNotFound;
      return nullptr;
    }
    result = preproc::OpenResult::kOpened;
    return std::make_unique<preproc::DecodedFileReader>(std::move(file), rt_.startup.encoding);
  }
  void Write(std::string_view bytes) override { output.append(bytes); }
  void Console(std::string_view) override {}
  double Evaluate(std::string_view expression) override {
    const double v = expr::EvaluateExpression(rt_, expression);
    rt_.error.Clear();
    return v;
  }

 private:
  Runtime& rt_;
};

// Whether a script is written for the preprocessor: a line starting with
// one of its directives.
bool NeedsPreprocessor(std::string_view source) {
  static constexpr std::string_view kDirectives[] = {"#include", "#define", "#if", "#ifdef", "#ifndef", ".macro"};
  std::size_t start = 0;
  while (start < source.size()) {
    std::size_t end = source.find('\n', start);
    if (end == std::string_view::npos) end = source.size();
    std::string_view line = source.substr(start, end - start);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    for (std::string_view d : kDirectives) {
      if (line.starts_with(d) && (line.size() == d.size() || line[d.size()] == ' ' || line[d.size()] == '\t' ||
                                  line[d.size()] == '"' || line[d.size()] == '<' || line[d.size()] == '\r')) {
        return true;
      }
    }
    start = end + 1;
  }
  return false;
}

// vexmora --check SCRIPT...: every load error of every script, with its
// line; a script written for the preprocessor is preprocessed first (its
// includes with it). 0 without errors, 3 with, 1 when a script cannot be read.
int CheckScripts(const host::LaunchOptions& options) {
  int status = 0;
  for (const std::string& word : options.words) {
    host::InProcessWindowSystem window_system;
    Runtime rt(window_system);
    rt.diagnostics.language = options.language;
    rt.diagnostics.start_dir = text::Utf8ToCp932(options.start_dir);
    rt.diagnostics.stdin_script = text::Utf8ToCp932(options.stdin_script);
    rt.diagnostics.check_only = true;
    rt.startup.encoding = options.encoding;
    const std::string path = text::Utf8ToCp932(word);
    rt.startup.script_path = path;
    files::FilePtr file = files::Open(path, "rb");
    std::string bytes;
    if (file) {
      char block[65536];
      std::size_t n = 0;
      while ((n = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.append(block, n);
    }
    if (!file || files::Status(path).value_or(files::FileStatus{}).type == files::FileType::kFolder) {
      std::fprintf(stderr, "vexmora: cannot read %s\n", word.c_str());
      status = std::max(status, 1);
      continue;
    }
    std::optional<std::string> unscrambled = UnscrambleScript(bytes);
    const std::string& plain = unscrambled ? *unscrambled : bytes;
    std::string source = plain;
    if (NeedsPreprocessor(plain)) {
      CheckEnvironment environment(rt);
      preproc::DecodedFileReader main_file(files::Open(path, "rb"), rt.startup.encoding);
      std::unique_ptr<char[]> work = preproc::NewWorkArea();
      const preproc::Outcome outcome =
          preproc::Run(environment, main_file, preproc::MODE_MARKERS, std::span<char>(work.get(), preproc::WORK_AREA_BYTES));
      if (outcome.fatal) {
        std::string line = engine::ScriptDisplayName(rt, path) + ":" + std::to_string(outcome.line) + ": " +
                           engine::Say(rt, "the preprocessor stopped: ", "プリプロセッサが止まりました: ") +
                           outcome.message;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        window_system.ShowNote(line);
        status = std::max(status, host::SCRIPT_ERROR_STATUS);
        continue;
      }
      // The preprocessed text is Shift-JIS already.
      rt.startup.encoding = text::ScriptEncoding::kShiftJis;
      source = std::move(environment.output);
    }
    if (CheckScript(rt, path, std::move(source)) > 0) status = std::max(status, host::SCRIPT_ERROR_STATUS);
  }
  return status;
}

// The private copy of a script read from standard input, removed at the end.
struct StandardInputScript {
  std::string path;
  ~StandardInputScript() { Remove(); }
  void Remove() {
    if (!path.empty()) ::unlink(path.c_str());
    path.clear();
  }
};

}  // namespace

int main(int argc, char** argv) {
  // A write past the file-size limit (ulimit -f) fails with EFBIG, to be
  // reported like any other failed write, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  platform::TimingLine("main");
  host::LaunchOptions options = host::ParseLaunchOptions(argc, argv);
  if (options.error.empty()) {
    host::CompleteLaunchOptions(options, [](const char* name) { return std::getenv(name); },
                                text::Cp932ToUtf8(files::CurrentDirectory()));
  }
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

  // Paths the user typed mean what they meant where the program started,
  // whatever folder start-up moves to.
  host::AnchorEnvironmentPaths(options.start_dir);
  StandardInputScript stdin_script;
  if (!options.words.empty() && host::NamesStandardInput(options.words.front())) {
    std::string error;
    stdin_script.path = host::SaveStandardInput(&error);
    if (stdin_script.path.empty()) {
      std::fprintf(stderr, "vexmora: %s\n", error.c_str());
      return 1;
    }
    options.words.front() = stdin_script.path;
    options.stdin_script = stdin_script.path;
  }
  if (options.check) return CheckScripts(options);

  bool headless = options.headless || !process::DisplayAvailable() || OffscreenPlatformChosen();
  if (!headless) {
    std::string reason;
    if (host::DisplayOpens(&reason)) {
      platform::TimingLine("display-checked");
      host::WindowLayer& layer = WindowLayer();
      platform::TimingLine("layer-opened");
      return layer.RunWithWindow(options);
    }
    std::fprintf(stderr, "vexmora: %s; running without a window\n", reason.c_str());
    headless = true;
  }

  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The parts of the locale Qt would adopt that this program's own code
  // depends on (character classes and the system's error texts), whether
  // or not Qt comes up; loading every category would cost a dozen files.
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_MESSAGES, "");
  const int exit_code = RunHeadless(options);
  stdin_script.Remove();
  // The window layer, if it came up, is never torn down (see the layer);
  // everything of ours is gone by now and the process ends here.
  std::fflush(nullptr);
  std::_Exit(exit_code);
}
