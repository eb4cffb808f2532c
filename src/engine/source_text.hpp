#pragma once
// The loader's text rules: turning a physical line into a clean line,
// cutting comments, joining continuation lines, and picking words and
// quoted texts out of a logical line. No table is touched here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vx::source {

inline constexpr std::size_t LINE_BUFFER_MAX = 2039;  // bytes kept of a physical line
inline constexpr std::size_t LOGICAL_LINE_LIMIT = 4095;  // logical lines stay below this
inline constexpr std::size_t QUOTED_TEXT_MAX = 131070;
inline constexpr std::string_view LINE_MARKER = "[$SRC:";
inline constexpr std::size_t NPOS = std::string_view::npos;

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A physical line as the loader keeps it: a leading "[$SRC:n]" marker sets
// *line_number and is removed, the text is cut to 2039 bytes, tabs outside
// double quotes become spaces and trailing CR and LF bytes go.
std::string CleanPhysicalLine(std::string_view raw, std::int32_t* line_number);

// The line up to its comment: the first "//" outside double quotes that is
// not escaped by a backslash.
std::string_view CutComment(std::string_view line);

// Offset of the backslash that continues the line onto the next one, or
// NPOS. Blanks after it are allowed; the second byte of a two-byte
// character (a byte of 0x80 or above before it) never continues a line.
std::size_t ContinuationBackslash(std::string_view line);

// Gathers continuation lines into one logical line.
class LineJoiner {
 public:
  enum class Result { kContinues, kComplete, kTooLong };
  // Adds a comment-free line. kComplete: `logical` holds the logical line.
  Result Add(std::string_view line, std::string& logical);
  bool Pending() const { return !buffer_.empty(); }
  // The text gathered so far, ending the logical line (end of input).
  void TakePending(std::string& logical);
  void Reset() { buffer_.clear(); }

 private:
  std::string buffer_;
};

struct Word {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string_view text;
  bool Found() const { return !text.empty(); }
};

// The first word: blanks skipped, bytes up to the next blank, or up to a
// "=" once at least one byte was taken. Not found when the line is blank.
Word FirstWord(std::string_view line);

// The n-th blank-separated word after offset `from` (n = 0 is the first);
// a byte 0x7F takes the byte after it into the word.
Word NthWord(std::string_view line, std::size_t from, int n);

// The text from offset `from` on with leading blanks removed.
std::string_view RestFrom(std::string_view line, std::size_t from);

// The first quoted text of `text` with its escapes resolved: \r \n \" \\ (backslash)
// and \xHH; other escapes stay as written. `scanned` counts the bytes
// between the quotes as written.
struct QuotedText {
  bool found = false;
  std::string text;
  std::size_t scanned = 0;
};
QuotedText ReadQuotedText(std::string_view text);

// ASCII letters compared without case.
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
std::size_t FindIgnoreCase(std::string_view text, std::string_view needle, std::size_t from = 0);

}  // namespace vx::source
