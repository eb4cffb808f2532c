#pragma once
// The encodings a script file may come in. Scripts are Shift-JIS (CP932)
// inside the program; a file that starts with the UTF-8 byte-order mark is
// UTF-8, and so may be every file without one when a person chose UTF-8
// (--encoding utf-8, VEXMORA_SCRIPT_ENCODING). Lines are converted one at a
// time as the loader (or the preprocessor) reads them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vx::text {

enum class ScriptEncoding : unsigned char { kShiftJis, kUtf8 };

inline constexpr std::string_view UTF8_BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// "utf-8", "utf8", "shift_jis", "shift-jis", "sjis", "cp932" (any case).
std::optional<ScriptEncoding> ParseScriptEncoding(std::string_view name);

// Whole characters: every lead byte (0x81-0x9F, 0xE0-0xFC) has a trail byte
// (0x40-0x7E, 0x80-0xFC) and no byte stands where no character starts.
bool IsWellFormedShiftJis(std::string_view bytes);
// Well-formed UTF-8: no stray continuation bytes, overlong forms,
// surrogates or code points beyond U+10FFFF.
bool IsWellFormedUtf8(std::string_view bytes);
bool IsAscii(std::string_view bytes);

// Decodes the physical lines of one script file, in order.
class ScriptLineDecoder {
 public:
  explicit ScriptLineDecoder(ScriptEncoding chosen) : utf8_(chosen == ScriptEncoding::kUtf8) {}

  // Converts `line` (without its LF) in place into Shift-JIS. The first
  // line may begin with the byte-order mark, which makes the file UTF-8
  // and is removed. A file read as UTF-8 without a mark takes a line that
  // is not UTF-8 as Shift-JIS as it stands (a preprocessed script written
  // by the program itself, say).
  void Decode(std::string& line);

  // The last line had a character without a Shift-JIS form: `line` holds
  // it with '?' in its place, and this names the first one ("U+1F600").
  const std::string& Unconvertible() const { return unconvertible_; }
  // The last line, read as Shift-JIS, is not Shift-JIS but is UTF-8 with
  // characters beyond ASCII: most likely a file saved as UTF-8 by mistake.
  bool LooksLikeUtf8() const { return looks_like_utf8_; }
  bool ReadsUtf8() const { return utf8_; }

 private:
  bool utf8_;
  bool marked_ = false;  // the file began with the byte-order mark
  bool first_ = true;
  bool looks_like_utf8_ = false;
  std::string unconvertible_;
};

}  // namespace vx::text
