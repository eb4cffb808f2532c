#include "host/editor_command.hpp"

#include <array>

namespace vx::host {
namespace {

// Editors that open a window of their own; any other is taken to need a
// terminal (vi, nano, emacs -nw and the like).
constexpr std::array<std::string_view, 18> kGraphicalEditors = {
    "gedit", "gnome-text-editor", "kate", "kwrite", "mousepad", "pluma", "xed", "leafpad",
    "featherpad", "geany", "code", "codium", "subl", "gvim", "emacsclient", "xedit", "nedit",
    "scite"};

constexpr std::string_view kTerminal = "x-terminal-emulator";

std::string_view BaseName(std::string_view program) {
  const std::size_t slash = program.rfind('/');
  return slash == std::string_view::npos ? program : program.substr(slash + 1);
}

bool IsGraphical(const std::vector<std::string>& words) {
  const std::string_view name = BaseName(words.front());
  for (const std::string_view known : kGraphicalEditors) {
    if (name == known) return true;
  }
  // emacs opens a window unless told to stay in the terminal.
  if (name == "emacs") {
    for (const std::string& word : words) {
      if (word == "-nw" || word == "--no-window-system" || word == "-t") return false;
    }
    return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> SplitCommandWords(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quote != 0) {
      if (c == quote) {
        quote = 0;
      } else if (c == '\\' && quote == '"' && i + 1 < line.size()) {
        word += line[++i];
      } else {
        word += c;
      }
    } else if (c == '\'' || c == '"') {
      quote = c;
      in_word = true;
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
      in_word = true;
    } else if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

EditorCommand ChooseEditorCommand(std::string_view visual, std::string_view editor,
                                  std::string_view path, bool have_terminal) {
  for (const std::string_view variable : {visual, editor}) {
    std::vector<std::string> words = SplitCommandWords(variable);
    if (words.empty()) continue;
    words.emplace_back(path);
    if (IsGraphical(words)) {
      EditorCommand command{words.front(), {}};
      command.args.assign(words.begin() + 1, words.end());
      return command;
    }
    if (!have_terminal) continue;  // $EDITOR may still name a graphical one
    EditorCommand command{std::string(kTerminal), {"-e"}};
    command.args.insert(command.args.end(), words.begin(), words.end());
    return command;
  }
  return {{}, {std::string(path)}};
}

}  // namespace vx::host
