// The system family: the host's own settings, the version check, the
// per-user registry, information about the machine, programs started and
// ended by the script, the session's power and screen, and debugging aids.
// Where Linux has no honest counterpart of a Windows feature the API fails
// through G_ERROR and G_ERR_TXT rather than pretending.
#include <pwd.h>
#include <signal.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "files/file_tools.hpp"
#include "platform/files.hpp"
#include "system/registry_store.hpp"
#include "text/encoding.hpp"
#include "text/sjis.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

constexpr std::string_view kOwnVersion = VEXMORA_VERSION_TEXT;
constexpr int SYSTEM_COMMAND_WAIT_MS = 30000;
constexpr std::size_t DUMP_LOG_VALUE_MAX = 80;

// ---- the version check ----

struct Version {
  std::int64_t major = 0;
  std::string minor;  // decimal digits after the point, trailing zeros dropped
};

// "major" or "major.minor" in decimal digits. The minor part is a decimal
// fraction, so 10.6 is above 10.52 and 10.5 equals 10.50.
std::optional<Version> ParseVersion(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  const std::size_t point = text.find('.');
  const std::string_view major = text.substr(0, point);
  std::string_view minor =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  auto digits = [](std::string_view s) {
    return !s.empty() && s.size() <= 9 &&
           s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(major) || (point != std::string_view::npos && !digits(minor))) return std::nullopt;
  while (!minor.empty() && minor.back() == '0') minor.remove_suffix(1);
  return Version{std::stoll(std::string(major)), std::string(minor)};
}

bool VersionBelow(const Version& a, const Version& b) {
  if (a.major != b.major) return a.major < b.major;
  return a.minor < b.minor;  // equal-length-free decimal fractions compare as texts
}

// ChkVersion required version, mode: fails, through the pending error, when
// this program is older than the script needs; mode 1 also shows the text
// in a message box and asks the host to quit.
void ChkVersion(Call& call) {
  std::string& required = call.Small(0);
  call.String(0, required);
  const std::int32_t mode = call.Int(1);
  const auto wanted = ParseVersion(required);
  if (!wanted) return ReportFailure(call, "bad version text");
  if (!VersionBelow(*ParseVersion(kOwnVersion), *wanted)) return call.SetError(0);
  const std::string text = "Version " + required + " is required.";
  call.Fail(text);
  call.SetError(1);
  if (mode != 1) return;
  call.rt().window->ShowMessage("Error", text);
  call.rt().run.exit_request = EXIT_QUIT;
}

// ---- the host's settings ----

// SetSysPrm parameter, value: the run-time switches otherwise set from the
// debugging dialog. G_WORK1 receives the setting's value before the call.
void SetSysPrm(Call& call) {
  const std::int32_t parameter = call.Int(0);
  const std::int32_t value = call.Int(1);
  engine::RunState& run = call.rt().run;
  std::int32_t before = 0;
  switch (parameter) {
    case 1:  // run-trace flags: bit 0 calls, bit 1 assignments, into G_SYSTEM_LOG
      before = static_cast<std::int32_t>(run.trace_flags);
      run.trace_flags = static_cast<std::uint32_t>(value) & (TRACE_CALLS | TRACE_ASSIGNMENTS);
      break;
    case 2:  // timing trace into .\debug00.trace.txt; switching it on starts a new count
      before = run.timing_trace ? 1 : 0;
      run.timing_trace = value != 0;
      if (run.timing_trace) run.timing_lines = 0;
      break;
    case 3:  // whether Debug statements open the debugging dialog
      before = run.debug_dialog ? 1 : 0;
      run.debug_dialog = value != 0;
      break;
    case 4:  // single step: the debugging dialog before every statement
      before = run.single_step ? 1 : 0;
      run.single_step = value != 0;
      break;
    default: return ReportFailure(call, "unknown system parameter");
  }
  call.SetWork(1, before);
  call.SetError(0);
}

// GetSourceName R, [part]: the running script's path (0), its file name (1)
// or its folder (2).
void GetSourceName(Call& call) {
  const std::int32_t out = call.Resource(0);
  const std::int32_t part = call.OptInt(1, 0);
  if (out < 0) return;
  const std::string_view path = call.rt().startup.script_path;
  const std::optional<std::string_view> text = filetools::PartOfPath(path, part);
  if (!text) return ReportFailure(call, "unknown part");
  call.WriteText(out, *text);
  call.SetError(path.empty() ? 1 : 0);
}

// ---- the registry ----

std::string RegistryListing(const registry::Store& store, const std::string& key,
                            std::int32_t* keys, std::int32_t* names) {
  std::string listing;
  const auto sub_keys = store.SubKeys(key);
  const auto value_names = store.ValueNames(key);
  for (const std::string& sub : sub_keys) listing.append(sub).append("\\\r\n");
  for (const std::string& name : value_names) listing.append(name).append("\r\n");
  *keys = static_cast<std::int32_t>(sub_keys.size());
  *names = static_cast<std::int32_t>(value_names.size());
  return listing;
}

void ReportDamagedStore(Call& call, int bad_line) {
  ReportFailure(call, "registry file is damaged at line " + std::to_string(bad_line) + ": " +
                          files::FromSystemName(registry::StoreFile()));
}

// Registry command, key, [value name], [value or output].
void RegistryApi(Call& call) {
  const std::int32_t command = call.Int(0);
  std::string& key_text = call.Small(0);
  std::string& name = call.Small(1);
  call.String(1, key_text);
  call.OptString(2, name);
  std::int32_t out = -1;
  registry::Value value;
  value.name = name;
  switch (command) {
    case 0:
      out = call.Resource(3);
      if (out < 0) return;
      break;
    case 1:
      value.type = registry::REG_SZ;
      call.String(3, value.text);
      break;
    case 2:
      value.type = registry::REG_DWORD;
      value.dword = static_cast<std::uint32_t>(call.Int(3));
      break;
    case 3:
    case 4:
    case 5: break;
    default: return ReportFailure(call, "unknown registry command");
  }
  const auto key = registry::NormalizeKey(key_text);
  if (!key) return ReportFailure(call, "bad registry key");
  if (!text::Cp932ToUtf8Strict(name)) return ReportFailure(call, "bad registry value name");
  registry::StoreLock lock;
  if (lock.error() != 0) return ReportSystemResult(call, lock.error());
  registry::Store store;
  int bad_line = 0;
  if (const int rc = registry::ReadStore(store, &bad_line); rc != 0) {
    if (rc == registry::STORE_DAMAGED) return ReportDamagedStore(call, bad_line);
    return ReportSystemResult(call, rc);
  }
  switch (command) {
    case 0: {
      const registry::Value* found = store.Find(*key, name);
      if (!found) return call.SetError(1);
      if (found->type == registry::REG_DWORD)
        WriteCount(call, out, found->dword);
      else
        call.WriteText(out, found->text);
      call.SetWork(1, found->type);
      return call.SetError(0);
    }
    case 1:
    case 2: store.Set(*key, std::move(value)); break;
    case 3:
      if (!store.DeleteValue(*key, name)) return call.SetError(1);
      break;
    case 4:
      if (store.DeleteKey(*key) == 0) return call.SetError(1);
      break;
    case 5: {
      if (!store.KeyExists(*key)) return call.SetError(1);
      std::int32_t keys = 0, names = 0;
      call.SetTxt(RegistryListing(store, *key, &keys, &names));
      call.SetWork(1, keys);
      call.SetWork(2, names);
      return call.SetError(0);
    }
  }
  ReportSystemResult(call, registry::WriteStore(store));
}

// ---- the machine ----

std::optional<std::int64_t> MemAvailableKiB() {
  files::FilePtr f(std::fopen("/proc/meminfo", "rb"));
  if (!f) return std::nullopt;
  char line[256];
  long long kib = 0;
  while (std::fgets(line, sizeof line, f.get()))
    if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) return kib;
  return std::nullopt;
}

std::string UserName() {
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_name;
  const char* user = std::getenv("USER");
  return user ? user : "";
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  const passwd* pw = getpwuid(getuid());
  return pw ? pw->pw_dir : "";
}

// GetSysInfo item, R, [T name]
void GetSysInfo(Call& call) {
  const std::int32_t item = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  struct sysinfo si {};
  sysinfo(&si);
  const std::int64_t unit = si.mem_unit ? si.mem_unit : 1;
  utsname un{};
  uname(&un);
  char host[256] = {0};
  switch (item) {
    case 0: call.WriteInt(out, static_cast<std::int32_t>(sysconf(_SC_NPROCESSORS_ONLN))); break;
    case 1: call.WriteInt(out, static_cast<std::int32_t>(sysconf(_SC_PAGESIZE))); break;
    case 2: WriteCount(call, out, static_cast<std::int64_t>(si.totalram) * unit >> 20); break;
    case 3:
      WriteCount(
          call, out,
          MemAvailableKiB().value_or(static_cast<std::int64_t>(si.freeram) * unit >> 10) >> 10);
      break;
    case 4: WriteCount(call, out, si.uptime); break;
    case 5: call.WriteInt(out, static_cast<std::int32_t>(getpid())); break;
    case 6:
      gethostname(host, sizeof host - 1);
      call.WriteText(out, files::FromSystemName(host));
      break;
    case 7: call.WriteText(out, files::FromSystemName(UserName())); break;
    case 8:
      call.WriteText(out, files::FromSystemName(std::string(un.sysname) + " " + un.release + " " +
                                                un.machine));
      break;
    case 9: call.WriteText(out, files::FromSystemName(HomeFolder())); break;
    case 10: {
      const char* tmp = std::getenv("TMPDIR");
      call.WriteText(out, files::FromSystemName(tmp && *tmp ? tmp : "/tmp"));
      break;
    }
    case 11: {
      std::string& name = call.Small(0);
      call.String(2, name);
      const char* value = std::getenv(text::Cp932ToUtf8(name).c_str());
      if (!value) return call.SetError(1);
      call.WriteText(out, files::FromSystemName(value));
      break;
    }
    default: return ReportFailure(call, "unknown information item");
  }
  call.SetError(0);
}

// GetWinVer R? major, R? minor, R? build: the kernel's release numbers;
// G_TXT the system's name.
void GetWinVer(Call& call) {
  const std::int32_t outs[3] = {call.OptResource(0), call.OptResource(1), call.OptResource(2)};
  utsname un{};
  uname(&un);
  std::int32_t numbers[3] = {0, 0, 0};
  std::sscanf(un.release, "%d.%d.%d", &numbers[0], &numbers[1], &numbers[2]);
  for (int k = 0; k < 3; ++k)
    if (outs[k] >= 0) call.WriteInt(outs[k], numbers[k]);
  std::string name = un.sysname;
  if (files::FilePtr f{std::fopen("/etc/os-release", "rb")}) {
    char line[512];
    while (std::fgets(line, sizeof line, f.get())) {
      std::string_view l = line;
      if (!l.starts_with("PRETTY_NAME=")) continue;
      l.remove_prefix(12);
      while (!l.empty() && (l.back() == '\n' || l.back() == '\r' || l.back() == '"'))
        l.remove_suffix(1);
      if (!l.empty() && l.front() == '"') l.remove_prefix(1);
      name = l;
    }
  }
  call.SetTxt(files::FromSystemName(name + " (" + un.sysname + " " + un.release + ")"));
  call.SetError(0);
}

// ChkExist T path, R? kind: 0 nothing, 1 file, 2 folder, 3 anything else.
void ChkExist(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t out = call.OptResource(1);
  const auto status = files::Status(path);
  std::int32_t kind = 0;
  if (status) {
    switch (status->type) {
      case files::FileType::kFile: kind = 1; break;
      case files::FileType::kFolder: kind = 2; break;
      default: kind = 3;
    }
  }
  if (out >= 0) call.WriteInt(out, kind);
  call.SetError(kind == 0 ? 1 : 0);
}

// ---- programs ----

// Runs a system tool to its end (at most 30 seconds); 0 when it succeeded,
// otherwise G_ERROR 1 with the reason.
void RunSystemTool(Call& call, const std::vector<std::string>& argv) {
  platform::ProcessTable& processes = call.rt().stores.processes;
  const int pid = processes.Start(argv);
  if (pid < 0) return ReportFailure(call, argv[0] + ": " + files::ErrorText(-pid));
  int status = -1;
  const platform::ProcessState state = processes.Wait(pid, SYSTEM_COMMAND_WAIT_MS, &status);
  processes.Forget(pid);
  std::string command;
  for (const std::string& word : argv) command.append(command.empty() ? "" : " ").append(word);
  if (state != platform::ProcessState::kEnded) return ReportFailure(call, command + ": no answer");
  if (status != 0)
    return ReportFailure(
        call, files::FromSystemName(command) + ": exit status " + std::to_string(status));
  call.SetError(0);
}

// WinExec command line, [show]: starts a program; G_WORK1 its process id.
void WinExec(Call& call) {
  std::string& line = call.Large(0);
  call.String(0, line);
  call.OptInt(1, 0);  // how to show the program's window: up to the program
  std::vector<std::string> words = filetools::SplitCommandLine(line);
  if (words.empty()) return ReportSystemResult(call, ENOENT);
  std::vector<std::string> argv;
  argv.push_back(files::ToSystemPath(words[0]));
  for (std::size_t i = 1; i < words.size(); ++i) argv.push_back(text::Cp932ToUtf8(words[i]));
  const int pid = call.rt().stores.processes.Start(argv);
  if (pid < 0) return ReportSystemResult(call, -pid);
  call.SetWork(1, pid);
  call.SetError(0);
}

// ProcCtrl command, process id, [time-out]: 0 state, 1 end, 2 kill, 3 wait,
// 4 forget. G_WORK1 1 while running, 0 once ended; G_WORK2 the exit status.
void ProcCtrl(Call& call) {
  const std::int32_t command = call.Int(0);
  const std::int32_t pid = call.Int(1);
  const std::int32_t timeout = call.OptInt(2, 0);
  platform::ProcessTable& processes = call.rt().stores.processes;
  int status = -1;
  platform::ProcessState state = platform::ProcessState::kUnknown;
  switch (command) {
    case 0: state = processes.Query(pid, &status); break;
    case 1:
    case 2: {
      const int error = processes.Signal(pid, command == 1 ? SIGTERM : SIGKILL);
      if (error != 0) return ReportSystemResult(call, error);
      state = processes.Wait(pid, timeout, &status);
      break;
    }
    case 3: state = processes.Wait(pid, timeout, &status); break;
    case 4:
      if (!processes.Forget(pid)) return ReportSystemResult(call, ESRCH);
      return call.SetError(0);
    default: return ReportFailure(call, "unknown process command");
  }
  if (state == platform::ProcessState::kUnknown) return ReportSystemResult(call, ESRCH);
  call.SetWork(1, state == platform::ProcessState::kRunning ? 1 : 0);
  call.SetWork(2, status);
  call.SetError(0);
}

// OprtSys operation: 0 log off, 1 shut down, 2 restart, 3 suspend,
// 4 hibernate, 5 lock the screen, through systemd's tools.
void OprtSys(Call& call) {
  const std::int32_t operation = call.Int(0);
  std::vector<std::string> argv;
  switch (operation) {
    case 0: {
      const char* session = std::getenv("XDG_SESSION_ID");
      if (!session || !*session) return ReportFailure(call, "no login session to end");
      argv = {"loginctl", "terminate-session", session};
      break;
    }
    case 1: argv = {"systemctl", "poweroff"}; break;
    case 2: argv = {"systemctl", "reboot"}; break;
    case 3: argv = {"systemctl", "suspend"}; break;
    case 4: argv = {"systemctl", "hibernate"}; break;
    case 5: argv = {"loginctl", "lock-session"}; break;
    default: return ReportFailure(call, "unknown operation");
  }
  RunSystemTool(call, argv);
}

// CtrlMonitor mode: -1 on, 1 low power, 2 off (display power management of
// an X display).
void CtrlMonitor(Call& call) {
  const std::int32_t mode = call.Int(0);
  const char* state = mode == -1 ? "on" : mode == 1 ? "standby" : mode == 2 ? "off" : nullptr;
  if (!state) return ReportFailure(call, "unknown monitor mode");
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    return ReportFailure(call, "no X display whose monitor could be switched");
  RunSystemTool(call, {"xset", "dpms", "force", state});
}

// ---- debugging aids ----

std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out.append("\\r");
    else if (c == '\n')
      out.append("\\n");
    else
      out.push_back(c);
  }
  return out;
}

// Dump [path], [all]: one line per resource (index, name, kind, value), into
// the file or appended to G_DEBUG_LOG; system variables only with `all`.
void Dump(Call& call) {
  std::string& path = call.Small(0);
  call.OptString(0, path);
  const bool all = call.OptInt(1, 0) != 0;
  Runtime& rt = call.rt();
  std::string listing;
  std::string& value = call.Large(0);
  for (std::int32_t i = all ? 0 : SYSTEM_VARIABLE_COUNT; i < rt.program.RscCount(); ++i) {
    const ResourceEntry& e = rt.program.Resource(i);
    std::string shown =
        e.kind == R_KD_FILE ? std::string(e.Text()) : OneLine(values::ReadAsText(rt, i, value));
    if (path.empty() && shown.size() > DUMP_LOG_VALUE_MAX) shown.resize(DUMP_LOG_VALUE_MAX);
    char head[96];
    std::snprintf(head, sizeof head, "%4d %-31.*s %-16.*s ", i, static_cast<int>(e.Name().size()),
                  e.Name().data(), static_cast<int>(ResourceKindName(e.kind).size()),
                  ResourceKindName(e.kind).data());
    listing.append(head).append(shown).append("\r\n");
  }
  if (path.empty()) {
    call.AppendDebugLog(listing);
    return call.SetError(0);
  }
  ReportSystemResult(call, files::ReplaceFile(path, listing));
}

// DebugFunc command, [text]: 0 print the text on standard error, 1 append it
// as a line to G_DEBUG_LOG, 2 empty G_DEBUG_LOG, 3 print G_DEBUG_LOG on
// standard error and empty it.
void DebugFunc(Call& call) {
  const std::int32_t command = call.Int(0);
  std::string& text = call.Large(0);
  call.OptString(1, text);
  std::string log;
  switch (command) {
    case 0: std::fprintf(stderr, "[Debug] %s\n", text::Cp932ToUtf8(text).c_str()); break;
    case 1: call.AppendDebugLog(text + "\r\n"); break;
    case 2: values::SetTextByName(call.rt(), "G_DEBUG_LOG", "", true); break;
    case 3: {
      std::string& buffer = call.Large(1);
      log = values::ReadAsText(call.rt(), call.rt().program.FindResource("G_DEBUG_LOG"), buffer);
      std::fputs(text::Cp932ToUtf8(log).c_str(), stderr);
      if (!log.empty() && log.back() != '\n') std::fputc('\n', stderr);
      values::SetTextByName(call.rt(), "G_DEBUG_LOG", "", true);
      break;
    }
    default: return ReportFailure(call, "unknown debug command");
  }
  std::fflush(stderr);
  call.SetError(0);
}

constexpr Registration kSystemApis[] = {
    {Id("SetSysPrm"), SetSysPrm},     {Id("GetSourceName"), GetSourceName},
    {Id("ChkVersion"), ChkVersion},   {Id("OprtSys"), OprtSys},
    {Id("Registry"), RegistryApi},    {Id("GetSysInfo"), GetSysInfo},
    {Id("CtrlMonitor"), CtrlMonitor}, {Id("Dump"), Dump},
    {Id("WinExec"), WinExec},         {Id("ProcCtrl"), ProcCtrl},
    {Id("GetWinVer"), GetWinVer},     {Id("ChkExist"), ChkExist},
    {Id("DebugFunc"), DebugFunc},
};

}  // namespace

void RegisterSystemApis(Registry& registry) { registry.AddAll(kSystemApis); }

}  // namespace vx::api
