#pragma once
// The loader's input: physical lines of a script, from a file or from
// memory. The loader always asks for the fixed name "tmp00.exec.txt"; once
// start-up has selected a script file, that request reads the selected file
// instead, and its lines pass through the unscrambling step.
//
// Scrambled scripts: the first line is exactly SCRAMBLED_HEADER (a trailing
// CR is allowed). Every further line is the base64 form of one plain line
// XORed with a key stream drawn from the program's four-character key and
// the line's position. The header, read as a plain script, is an unknown
// directive, so no plain script that loads can be taken for a scrambled one;
// a plain script is read exactly as written.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.hpp"
#include "text/script_text.hpp"

namespace vx {

struct Runtime;

inline constexpr std::string_view LOADER_INPUT_NAME = "tmp00.exec.txt";
// Bytes kept of one physical line; the rest of a longer line is skipped.
inline constexpr std::size_t PHYSICAL_LINE_MAX = 4095;
inline constexpr std::string_view SCRAMBLED_HEADER = "#VEXMORA-SCRAMBLED-1";
// Plain bytes that one scrambled line of PHYSICAL_LINE_MAX bytes can carry.
inline constexpr std::size_t SCRAMBLED_LINE_PLAIN_MAX = PHYSICAL_LINE_MAX / 4 * 3 + 2;

class ScriptInput {
 public:
  // `unscramble`: the input is a selected script file, which may be in the
  // scrambled form (detected by its first line). `encoding`: how a file
  // without the UTF-8 byte-order mark is read (text/script_text.hpp).
  static ScriptInput FromBytes(std::string bytes, bool unscramble,
                               text::ScriptEncoding encoding = text::ScriptEncoding::kShiftJis);
  static ScriptInput FromFile(files::FilePtr file, bool unscramble,
                              text::ScriptEncoding encoding = text::ScriptEncoding::kShiftJis);

  ScriptInput(ScriptInput&&) = default;
  ScriptInput& operator=(ScriptInput&&) = default;

  // The next physical line without its LF, at most PHYSICAL_LINE_MAX bytes
  // as read, plain, in Shift-JIS, and cut at a NUL byte. False at the end of
  // the input.
  bool ReadLine(std::string& line);

  bool Scrambled() const { return scrambled_; }
  // Of the line just read: the first character that has no Shift-JIS form
  // ("U+1F600"; empty when none), and whether a line read as Shift-JIS
  // looks like UTF-8 instead.
  const std::string& Unconvertible() const { return decoder_.Unconvertible(); }
  bool LooksLikeUtf8() const { return decoder_.LooksLikeUtf8(); }

 private:
  ScriptInput(std::string bytes, files::FilePtr file, bool unscramble, text::ScriptEncoding encoding);
  bool ReadRawLine(std::string& line);
  bool Refill();

  files::FilePtr file_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool unscramble_ = false;
  bool first_line_ = true;
  bool scrambled_ = false;
  std::uint32_t scrambled_index_ = 0;
  std::string raw_;
  text::ScriptLineDecoder decoder_;
};

// Opens the input named `name`: the selected source (through the
// unscrambling step) when one is selected and `name` is the loader's fixed
// name, else the file itself, read as it stands. Nullopt when it cannot be
// opened.
std::optional<ScriptInput> OpenScriptInput(const Runtime& rt,
                                           std::string_view name = LOADER_INPUT_NAME);

// The unscrambling step for one line after the header: the raw line, the
// four-character key and the line's position (0 for the first line after
// the header). Bytes that are not base64 are skipped.
std::string UnscrambleLine(std::string_view raw, std::string_view key, std::uint32_t index);

// Whole texts, for the front end's scrambling option and for tests.
// UnscrambleScript(ScrambleScript(p)) == p for every p.
std::string ScrambleScript(std::string_view plain);
// Nullopt when the text does not begin with the scrambled header.
std::optional<std::string> UnscrambleScript(std::string_view scrambled);
bool IsScrambledScript(std::string_view bytes);

}  // namespace vx
