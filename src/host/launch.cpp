#include "host/launch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/runtime.hpp"
#include "engine/startup.hpp"
#include "host/instances.hpp"
#include "platform/process.hpp"
#include "text/encoding.hpp"
#include "text/sjis.hpp"

extern char** environ;

namespace vx::host {
namespace {

bool IsOption(std::string_view arg) { return arg.size() > 2 && arg.substr(0, 2) == "--"; }

// The word, or its absolute path when it names something that exists.
std::string ResolveWord(const std::string& word) {
  std::error_code ec;
  const std::filesystem::path path(word);
  if (word.empty() || !std::filesystem::exists(path, ec) || ec) return word;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? word : absolute.lexically_normal().string();
}

// `dir` (UTF-8, with a trailing separator) holds a default.vx.
bool HasStartUpScript(const std::string& dir) {
  std::error_code ec;
  return std::filesystem::exists(dir + "default.vx", ec) && !ec;
}

}  // namespace

LaunchOptions ParseLaunchOptions(int argc, const char* const* argv) {
  LaunchOptions options;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (!IsOption(arg)) break;
    if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--list-apis") {
      options.list_apis = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--scramble") {
      if (i + 2 >= argc) {
        options.error = "--scramble needs an input and an output file";
        return options;
      }
      options.scramble = true;
      options.scramble_in = argv[++i];
      options.scramble_out = argv[++i];
    } else if (arg == "--vram-png") {
      if (i + 1 >= argc) {
        options.error = "--vram-png needs a file name";
        return options;
      }
      options.vram_png = argv[++i];
    } else if (arg == "--check") {
      options.check = true;
    } else if (arg == "--encoding") {
      const std::optional<text::ScriptEncoding> encoding =
          i + 1 < argc ? text::ParseScriptEncoding(argv[i + 1]) : std::nullopt;
      if (!encoding) {
        options.error = "--encoding needs utf-8 or shift-jis";
        return options;
      }
      options.encoding = *encoding;
      options.encoding_given = true;
      ++i;
    } else {
      options.error = "unknown option: " + std::string(arg);
      return options;
    }
  }
  for (; i < argc; ++i) options.words.emplace_back(argv[i]);
  if (options.check && options.words.empty()) options.error = "--check needs a script";
  return options;
}

namespace {

bool StartsWithLetters(const char* value, std::string_view letters) {
  if (value == nullptr) return false;
  for (std::size_t i = 0; i < letters.size(); ++i) {
    if (value[i] == '\0' || (value[i] | 0x20) != letters[i]) return false;
  }
  return true;
}

}  // namespace

ExplainLanguage ExplanationLanguage(const EnvironmentReader& get) {
  const char* chosen = get("VEXMORA_LANG");
  if (chosen != nullptr && *chosen != '\0') {
    return StartsWithLetters(chosen, "ja") ? ExplainLanguage::kJapanese : ExplainLanguage::kEnglish;
  }
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = get(variable);
    if (value == nullptr || *value == '\0') continue;
    return StartsWithLetters(value, "ja") ? ExplainLanguage::kJapanese : ExplainLanguage::kEnglish;
  }
  return ExplainLanguage::kEnglish;
}

void CompleteLaunchOptions(LaunchOptions& options, const EnvironmentReader& get, std::string_view start_dir) {
  options.start_dir.assign(start_dir);
  options.language = ExplanationLanguage(get);
  if (!options.vram_png.empty()) options.vram_png = AnchorPath(options.vram_png, start_dir);
  if (options.encoding_given) return;
  const char* chosen = get("VEXMORA_SCRIPT_ENCODING");
  if (chosen == nullptr || *chosen == '\0') return;
  const std::optional<text::ScriptEncoding> encoding = text::ParseScriptEncoding(chosen);
  if (!encoding) {
    options.error = "VEXMORA_SCRIPT_ENCODING must be utf-8 or shift-jis, not " + std::string(chosen);
    return;
  }
  options.encoding = *encoding;
}

std::string AnchorPath(std::string_view path, std::string_view start_dir) {
  if (path.empty() || path.front() == '/' || start_dir.empty()) return std::string(path);
  std::string out(start_dir);
  if (out.back() != '/') out += '/';
  out += path;
  return std::filesystem::path(out).lexically_normal().string();
}

namespace {

// Variables whose whole value is a path.
constexpr std::array<std::string_view, 5> kPathVariables = {
    "VEXMORA_AUDIO_OUT", "VEXMORA_AUDIO_IN", "VEXMORA_SOUNDFONT", "VEXMORA_IIO_ROOT", "VEXMORA_PROGRAM_DIR"};

struct PrefixedPath {
  std::string_view variable;
  std::string_view prefix;  // the path follows it
};
constexpr std::array<PrefixedPath, 5> kPrefixedPaths = {{
    {"VEXMORA_PRINTER", "pdf:"},
    {"VEXMORA_MIDI", "fluidsynth:file:"},
    {"VEXMORA_MIDI", "record:"},
    {"VEXMORA_CAMERA", "file:"},
    {"VEXMORA_CAMERA", "v4l2:"},
}};

bool AllDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// VEXMORA_COM1 and the like, VEXMORA_DRIVE_C and the like.
bool NumberedPathVariable(std::string_view variable) {
  if (variable.starts_with("VEXMORA_COM")) return AllDigits(variable.substr(11));
  if (variable.starts_with("VEXMORA_DRIVE_")) {
    const std::string_view letter = variable.substr(14);
    return letter.size() == 1 && ((letter[0] >= 'A' && letter[0] <= 'Z') || (letter[0] >= 'a' && letter[0] <= 'z'));
  }
  return false;
}

}  // namespace

std::string AnchoredVariable(std::string_view variable, std::string_view value, std::string_view start_dir) {
  for (const std::string_view v : kPathVariables) {
    if (v == variable) return AnchorPath(value, start_dir);
  }
  if (NumberedPathVariable(variable)) return AnchorPath(value, start_dir);
  bool has_forms = false;
  for (const PrefixedPath& p : kPrefixedPaths) {
    if (p.variable != variable) continue;
    has_forms = true;
    if (value.starts_with(p.prefix) && value.size() > p.prefix.size()) {
      return std::string(p.prefix) + AnchorPath(value.substr(p.prefix.size()), start_dir);
    }
  }
  // A camera may also be a device path as it stands (a number is a device
  // number, and "name:..." another form).
  if (has_forms && variable == "VEXMORA_CAMERA" && !AllDigits(value) && value.find(':') == std::string_view::npos) {
    return AnchorPath(value, start_dir);
  }
  return std::string(value);
}

void AnchorEnvironmentPaths(std::string_view start_dir) {
  std::vector<std::pair<std::string, std::string>> changes;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view setting(*entry);
    const std::size_t eq = setting.find('=');
    if (eq == std::string_view::npos || !setting.starts_with("VEXMORA_")) continue;
    const std::string_view variable = setting.substr(0, eq);
    const std::string_view value = setting.substr(eq + 1);
    std::string anchored = AnchoredVariable(variable, value, start_dir);
    if (anchored != value) changes.emplace_back(std::string(variable), std::move(anchored));
  }
  for (const auto& [variable, value] : changes) setenv(variable.c_str(), value.c_str(), 1);
}

bool NamesStandardInput(std::string_view word) { return word == "-" || word == "/dev/stdin"; }

std::string SaveStandardInput(std::string* error) {
  constexpr std::size_t kScriptBytesMax = std::size_t{64} << 20;
  const std::string dir = InstanceDirectory();
  if (dir.empty()) {
    *error = "no private folder for the script read from standard input";
    return {};
  }
  const std::string path = dir + "/stdin-" + std::to_string(static_cast<long>(getpid())) + ".vx";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return {};
  }
  std::array<char, 65536> block;
  std::size_t total = 0;
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) *error = std::string("cannot read standard input: ") + std::strerror(errno);
      ok = got == 0;
      break;
    }
    total += static_cast<std::size_t>(got);
    if (total > kScriptBytesMax) {
      *error = "the script on standard input is larger than 64 MiB";
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(fd, block.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  if (::close(fd) != 0 && ok) {
    *error = "cannot write " + path;
    ok = false;
  }
  if (!ok) {
    ::unlink(path.c_str());
    return {};
  }
  return path;
}

int PrepareRun(Runtime& rt, const LaunchOptions& options) {
  rt.diagnostics.language = options.language;
  rt.diagnostics.start_dir = text::Utf8ToCp932(options.start_dir);
  rt.diagnostics.stdin_script = text::Utf8ToCp932(options.stdin_script);
  rt.startup.encoding = options.encoding;
  const std::string program_dir =
      ResolveProgramDirectory(std::getenv("VEXMORA_PROGRAM_DIR"), process::ExecutablePath());
  return engine::PrepareStartUp(rt, program_dir, BuildCommandLine(options.words));
}

std::string_view UsageText() {
  return "usage: vexmora [--headless] [--encoding utf-8|shift-jis] [--vram-png FILE]\n"
         "               [--] [SCRIPT.vx | -] [arguments...]\n"
         "       vexmora --check [--encoding utf-8|shift-jis] SCRIPT.vx...\n"
         "       vexmora --list-apis | --version | --help | --scramble IN OUT\n"
         "\n"
         "Runs default.vx from the program's directory; the command line is\n"
         "handed to it in G_CMD_LINE, written as on Windows (a word with blanks\n"
         "or quotes in double quotes), and the shipped default.vx runs the script\n"
         "named first. \"-\" (or /dev/stdin) reads the script from standard input.\n"
         "\n"
         "  --headless         no window: message boxes go to standard error (also\n"
         "                     chosen when no display can be opened)\n"
         "  --check            load each script (and, for one written for the\n"
         "                     preprocessor, its includes) and report every load\n"
         "                     error and warning with its line; nothing runs\n"
         "  --encoding NAME    how scripts without the UTF-8 byte-order mark are\n"
         "                     read: shift-jis (the default) or utf-8\n"
         "  --list-apis        print the API table, one \"ID NAME\" line each\n"
         "  --version          print the version\n"
         "  --scramble IN OUT  write the scrambled form of script IN to OUT\n"
         "  --vram-png FILE    at the end, write the current drawing bank, cut to\n"
         "                     the window's client size, to FILE as PNG\n"
         "\n"
         "Every error message is followed on standard error by a line\n"
         "FILE:LINE: explanation, with a hint where one helps.\n"
         "\n"
         "Environment: VEXMORA_SCRIPT_ENCODING (as --encoding), VEXMORA_LANG=en|ja\n"
         "(the language of explanations; else the locale), VEXMORA_PROGRAM_DIR\n"
         "(the program's directory: the executable's, or ../share/vexmora/ from\n"
         "it), VEXMORA_DRIVE_C and so on (the folder a script's C:\\ stands for).\n"
         "Relative paths in --vram-png and in the variables that name files\n"
         "(VEXMORA_PRINTER=pdf:FILE, VEXMORA_AUDIO_OUT, ...) start from the\n"
         "directory the program was started in.\n"
         "\n"
         "Exit status: the script's G_EXIT_CODE when it sets one; else, headless,\n"
         "1 when the script named on the command line is not found or cannot be\n"
         "read, 3 when the script failed to load or stopped with an error (for\n"
         "--check: when a script has an error), 4 when the --vram-png picture\n"
         "cannot be written, and 0 otherwise. 2 means the options could not be used.\n";
}

int ExitStatus(int exit_code, bool ended_with_error, bool headless) {
  if (exit_code != 0 || !headless) return exit_code;
  return ended_with_error ? SCRIPT_ERROR_STATUS : 0;
}

std::string QuoteArgument(std::string_view word) {
  if (!word.empty() && word.find_first_of(" \t\"") == std::string_view::npos) return std::string(word);
  std::string out(1, '"');
  std::size_t backslashes = 0;
  for (std::size_t i = 0; i < word.size();) {
    const std::size_t length = sjis::CharLengthWide(word, i);
    const char c = word[i];
    if (length == 1 && c == '\\') {
      ++backslashes;
    } else if (length == 1 && c == '"') {
      out.append(backslashes * 2 + 1, '\\');
      backslashes = 0;
    } else {
      out.append(backslashes, '\\');
      backslashes = 0;
    }
    if (!(length == 1 && c == '\\')) out.append(word.substr(i, length));
    i += length;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

std::string BuildCommandLine(const std::vector<std::string>& words) {
  std::string line;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) line += ' ';
    line += QuoteArgument(text::Utf8ToCp932(ResolveWord(words[i])));
  }
  return line;
}

std::string ResolveProgramDirectory(const char* override_dir, std::string_view executable_path) {
  if (override_dir != nullptr && *override_dir != '\0') {
    std::string dir = text::Utf8ToCp932(override_dir);
    if (!engine::EndsWithSeparator(dir)) dir += '/';
    return dir;
  }
  // UTF-8 never holds a '/' inside a character: the last one ends the folder.
  const std::size_t slash = executable_path.rfind('/');
  const std::string beside(slash == std::string_view::npos ? std::string_view()
                                                           : executable_path.substr(0, slash + 1));
  if (!beside.empty() && !HasStartUpScript(beside)) {
    // The executable's directory comes from /proc/self/exe with every link
    // resolved, so ".." can be taken away lexically.
    const std::string installed =
        std::filesystem::path(beside + std::string(INSTALLED_DATA_DIR)).lexically_normal().string();
    if (HasStartUpScript(installed)) return text::Utf8ToCp932(installed);
  }
  return text::Utf8ToCp932(beside);
}

namespace {

void AppendOneLine(std::string& out, std::string_view cp932) {
  const std::string body = text::Cp932ToUtf8(cp932);
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\r') {
      out += "\\n";
      if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
    } else if (body[i] == '\n') {
      out += "\\n";
    } else {
      out += body[i];
    }
  }
}

}  // namespace

std::string HeadlessMessageLine(std::string_view caption, std::string_view text) {
  // Appended piece by piece: prepending to a temporary string makes GCC 12's
  // optimiser warn of an impossible overlap (-Wrestrict).
  std::string out(1, '[');
  out += text::Cp932ToUtf8(caption);
  out += "] ";
  AppendOneLine(out, text);
  return out;
}

std::string HeadlessNoteLine(std::string_view text) {
  std::string out;
  AppendOneLine(out, text);
  return out;
}

}  // namespace vx::host
