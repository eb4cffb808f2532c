// Start-up, script selection and chaining.
#include "engine/startup.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "engine/explain.hpp"
#include "engine/family_hooks.hpp"
#include "engine/loader.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "platform/files.hpp"
#include "text/messages.hpp"
#include "text/sjis.hpp"

namespace vx::engine {
namespace {

constexpr std::string_view kMessageCaption = "Message";
constexpr std::string_view kScriptExtension = ".vx";
constexpr std::string_view kTitleKey = "$CONFIG_TITTLE:";
constexpr std::size_t kTitleScanLineMax = 2039;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::size_t FindIgnoringCase(std::string_view text, std::string_view what) {
  if (what.size() > text.size()) return std::string_view::npos;
  for (std::size_t i = 0; i + what.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < what.size() && LowerAscii(text[i + k]) == LowerAscii(what[k])) ++k;
    if (k == what.size()) return i;
  }
  return std::string_view::npos;
}

// Last separator that is not the second byte of a two-byte character.
std::size_t LastSeparator(std::string_view path) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); i += sjis::CharLengthWide(path, i)) {
    if (IsSeparator(path[i])) found = i;
  }
  return found;
}

// The title-bar value of one line, when it carries the key.
bool TitleSetting(std::string_view line, std::int32_t* value) {
  line = line.substr(0, kTitleScanLineMax);
  const std::size_t comment = line.find("//");
  if (comment != std::string_view::npos) line = line.substr(0, comment);
  const std::size_t key = line.find(kTitleKey);
  if (key == std::string_view::npos) return false;
  std::string number(line.substr(key + kTitleKey.size()));
  char* end = nullptr;
  const long v = std::strtol(number.c_str(), &end, 10);
  if (end == number.c_str()) return false;
  *value = static_cast<std::int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
  return true;
}

// A folder is never a script, whatever its name.
bool NamesFolder(std::string_view path) {
  const std::optional<files::FileStatus> status = files::Status(path);
  return status && status->type == files::FileType::kFolder;
}

}  // namespace

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && LastSeparator(path) == path.size() - 1;
}

std::string ProgramDirectoryOf(std::string_view executable_path) {
  const std::size_t sep = LastSeparator(executable_path);
  return sep == std::string_view::npos ? std::string() : std::string(executable_path.substr(0, sep + 1));
}

int SelectScriptSource(Runtime& rt, std::string_view path) {
  SelectedSource& source = rt.startup.source;
  source.selected = false;
  const std::size_t first = FindIgnoringCase(path, kScriptExtension);
  if (first != std::string_view::npos && first + kScriptExtension.size() == path.size()) {
    source.path.assign(path);
    source.selected = true;
    return NamesFolder(source.path) ? 0 : 1;
  }
  if (path.size() > STARTUP_PATH_MAX) return 0;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot >= STARTUP_PATH_MAX - 2) return 0;
  source.path.assign(path.substr(0, dot));
  source.path += kScriptExtension;
  source.selected = true;
  return files::Exists(source.path) && !NamesFolder(source.path) ? 1 : 0;
}

void SetScriptDirectory(Runtime& rt, std::string& path) {
  const std::size_t sep = LastSeparator(path);
  bool changed = false;
  if (sep != std::string::npos) {
    // A separator at the very start names the root directory.
    changed = files::ChangeDirectory(sep == 0 ? path.substr(0, 1) : path.substr(0, sep));
  }
  rt.startup.current_dir = files::CurrentDirectory();
  if (!changed) return;  // the path still names the file as it was given
  std::string name = path.substr(sep + 1);
  path = rt.startup.current_dir;
  if (!EndsWithSeparator(path)) path += '/';
  path += name;
}

void ScanConfigTitle(Runtime& rt) {
  std::int32_t value = 0;
  bool found = false;
  std::optional<ScriptInput> input = OpenScriptInput(rt);
  if (!input) return;
  std::string line;
  while (input->ReadLine(line)) {
    if (TitleSetting(line, &value)) found = true;
  }
  if (found) rt.session.title_setting = value;
}

int PrepareStartUp(Runtime& rt, std::string_view program_dir, std::string_view command_line) {
  StartupState& s = rt.startup;
  s.program_dir.assign(program_dir);
  s.script_path.clear();
  std::string script = s.program_dir + std::string(START_SCRIPT_NAME);
  if (!files::Exists(script)) {
    rt.window->ShowMessage(kMessageCaption, msg::Text(msg::Id::kDefaultScriptMissing));
    return 0;
  }
  if (!command_line.empty() && command_line.size() <= STARTUP_PATH_MAX) {
    s.command_line.assign(command_line);
    SetScriptDirectory(rt, script);
    s.script_path = script;
    if (SelectScriptSource(rt, script) == 0) {
      rt.window->ShowMessage(kMessageCaption, script + " not found.");
      return 0;
    }
  } else {
    s.command_line.clear();
    s.script_path = script;
    s.current_dir = files::CurrentDirectory();
    SelectScriptSource(rt, script);
  }
  ScanConfigTitle(rt);
  return 1;
}

int LoadStartScript(Runtime& rt) { return LoadScript(rt, rt.startup.script_path); }

int ReloadScript(Runtime& rt, std::string_view path) {
  std::string script(path.substr(0, std::min(path.size(), STARTUP_PATH_MAX)));
  const Diagnostics& d = rt.diagnostics;
  if (!d.stdin_script.empty() && script == d.stdin_script && !d.start_dir.empty()) {
    // A script read from standard input works where the program started.
    files::ChangeDirectory(d.start_dir);
    rt.startup.current_dir = files::CurrentDirectory();
  } else {
    SetScriptDirectory(rt, script);
  }
  rt.startup.script_path = script;
  RunFamilyHooks(rt, &FamilyHooks::reload);  // e.g. the camera goes with the old script
  SelectScriptSource(rt, script);
  return LoadScript(rt, script);
}

std::string RunningScriptPath(const Runtime& rt) {
  const std::string& path = rt.startup.script_path;
  const std::string& dir = rt.startup.current_dir;
  // A script read from standard input is known by its own name.
  if (path.empty() || dir.empty() || LastSeparator(path) != std::string::npos ||
      path == rt.diagnostics.stdin_script)
    return path;
  return EndsWithSeparator(dir) ? dir + path : dir + "/" + path;
}

namespace {

// A chain whose script cannot be read ends without a message box; a person
// at a terminal still learns which path it was.
void NoteUnreadableChain(Runtime& rt) {
  Diagnostics& d = rt.diagnostics;
  if (!d.source_unreadable || d.chain_from.empty()) return;
  const std::string target = ScriptDisplayName(rt, rt.startup.source.selected ? rt.startup.source.path
                                                                               : rt.startup.script_path);
  std::string line = ScriptDisplayName(rt, d.chain_from) + ":" + std::to_string(static_cast<long>(d.chain_from_line)) +
                     ": " +
                     Say(rt, "`Exit` chains to {}, which cannot be read, so no script runs",
                         "`Exit` の行き先 {} を読めないため、スクリプトは実行されません。", {target});
  rt.window->ShowNote(line);
  d.chain_from.clear();
}

}  // namespace

bool FollowChain(Runtime& rt) {
  bool reloaded = false;
  while (rt.run.exit_request == EXIT_CHAIN) {
    rt.run.exit_request = EXIT_NONE;
    const std::string next = rt.run.chain_path;
    ReloadScript(rt, next);
    NoteUnreadableChain(rt);
    reloaded = true;
  }
  return reloaded;
}

}  // namespace vx::engine
