#include "host/launch.hpp"

#include <filesystem>
#include <system_error>

#include "engine/startup.hpp"
#include "text/encoding.hpp"

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
    } else {
      options.error = "unknown option: " + std::string(arg);
      return options;
    }
  }
  for (; i < argc; ++i) options.words.emplace_back(argv[i]);
  return options;
}

std::string_view UsageText() {
  return "usage: vexmora [--headless] [--list-apis] [--version] [--help]\n"
         "               [--scramble IN OUT] [--vram-png FILE] [--] [command line...]\n"
         "\n"
         "Runs default.vx from the program's directory; the command line is\n"
         "handed to it in G_CMD_LINE (the shipped default.vx runs the script\n"
         "named first).\n"
         "\n"
         "  --headless         no window: message boxes go to standard error\n"
         "  --list-apis        print the API table, one \"ID NAME\" line each\n"
         "  --version          print the version\n"
         "  --scramble IN OUT  write the scrambled form of script IN to OUT\n"
         "  --vram-png FILE    at the end, write the current drawing bank, cut to\n"
         "                     the window's client size, to FILE as PNG\n"
         "\n"
         "The program's directory is the executable's, or ../share/vexmora/ from it\n"
         "when default.vx is not beside the executable; VEXMORA_PROGRAM_DIR\n"
         "overrides both. VEXMORA_DRIVE_C (and so on for each letter) names the\n"
         "folder a script's C:\\ stands for.\n"
         "\n"
         "Exit status: the script's G_EXIT_CODE when it sets one; else, headless,\n"
         "1 when the script named on the command line is not found or cannot be\n"
         "read, 3 when the script failed to load or stopped with an error, and 0\n"
         "otherwise. 2 means the options could not be used.\n";
}

int ExitStatus(int exit_code, bool ended_with_error, bool headless) {
  if (exit_code != 0 || !headless) return exit_code;
  return ended_with_error ? SCRIPT_ERROR_STATUS : 0;
}

std::string BuildCommandLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line += ' ';
    line += ResolveWord(word);
  }
  return text::Utf8ToCp932(line);
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

std::string HeadlessMessageLine(std::string_view caption, std::string_view text) {
  // Appended piece by piece: prepending to a temporary string makes GCC 12's
  // optimiser warn of an impossible overlap (-Wrestrict).
  std::string out(1, '[');
  out += text::Cp932ToUtf8(caption);
  out += "] ";
  const std::string body = text::Cp932ToUtf8(text);
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
  return out;
}

}  // namespace vx::host
