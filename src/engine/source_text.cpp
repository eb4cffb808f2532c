#include "engine/source_text.hpp"

#include <algorithm>
#include <climits>

#include "text/sjis.hpp"

namespace vx::source {
namespace {

unsigned char Lower(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') ? b + 32 : b;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The marker's number as "%ld" reads it; out-of-range values saturate to
// the 32-bit line number.
bool ScanLineNumber(std::string_view text, std::int32_t* out) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t digits = i;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT32_MAX) + 1);
  }
  if (i == digits) return false;
  if (negative) value = -value;
  *out = static_cast<std::int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
  return true;
}

// A backslash keeps a following quote (or backslash) from counting.
bool EscapesNext(std::string_view line, std::size_t i, bool slash_too) {
  if (line[i] != '\\' || i + 1 >= line.size()) return false;
  const char next = line[i + 1];
  return next == '"' || next == '\\' || (slash_too && next == '/');
}

void ReplaceTabsOutsideQuotes(std::string& line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (sjis::IsLeadNarrow(c) || EscapesNext(line, i, false)) {
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == '\t' && !quoted) {
      line[i] = ' ';
    }
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string CleanPhysicalLine(std::string_view raw, std::int32_t* line_number) {
  std::string_view text = raw;
  if (text.starts_with(LINE_MARKER)) {
    ScanLineNumber(text.substr(LINE_MARKER.size()), line_number);
    const std::size_t close = text.find(']');
    if (close != NPOS) text.remove_prefix(close + 1);
  }
  std::string line(text.substr(0, LINE_BUFFER_MAX));
  ReplaceTabsOutsideQuotes(line);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  return line;
}

std::string_view CutComment(std::string_view line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (sjis::IsLeadNarrow(c) || EscapesNext(line, i, true)) {
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
      return line.substr(0, i);
    }
  }
  return line;
}

std::size_t ContinuationBackslash(std::string_view line) {
  std::size_t end = line.size();
  while (end > 0 && IsBlank(line[end - 1])) --end;
  if (end < 2 || line[end - 1] != '\\') return NPOS;
  const std::size_t backslash = end - 1;
  if (static_cast<unsigned char>(line[backslash - 1]) >= 0x80) return NPOS;
  return backslash;
}

LineJoiner::Result LineJoiner::Add(std::string_view line, std::string& logical) {
  const std::size_t backslash = ContinuationBackslash(line);
  if (backslash != NPOS) {
    if (buffer_.size() + backslash >= LOGICAL_LINE_LIMIT) {
      buffer_.clear();
      return Result::kTooLong;
    }
    buffer_.append(line.substr(0, backslash));
    return Result::kContinues;
  }
  if (!buffer_.empty()) {
    if (buffer_.size() + line.size() >= LOGICAL_LINE_LIMIT) {
      buffer_.clear();
      return Result::kTooLong;
    }
    logical.assign(buffer_);
    logical.append(line);
    buffer_.clear();
    return Result::kComplete;
  }
  logical.assign(line);
  return Result::kComplete;
}

void LineJoiner::TakePending(std::string& logical) {
  logical.swap(buffer_);
  buffer_.clear();
}

Word FirstWord(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  const std::size_t begin = i;
  while (i < line.size() && !IsBlank(line[i])) {
    if (line[i] == '=' && i > begin) break;
    ++i;
  }
  return {begin, i, line.substr(begin, i - begin)};
}

Word NthWord(std::string_view line, std::size_t from, int n) {
  std::size_t i = std::min(from, line.size());
  for (int k = 0;; ++k) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) return {line.size(), line.size(), line.substr(line.size())};
    const std::size_t begin = i;
    while (i < line.size() && !IsBlank(line[i])) i += (line[i] == '\x7F' && i + 1 < line.size()) ? 2 : 1;
    if (k == n) return {begin, i, line.substr(begin, i - begin)};
  }
}

std::string_view RestFrom(std::string_view line, std::size_t from) {
  std::size_t i = std::min(from, line.size());
  while (i < line.size() && IsBlank(line[i])) ++i;
  return line.substr(i);
}

QuotedText ReadQuotedText(std::string_view text) {
  QuotedText out;
  const std::size_t open = text.find('"');
  if (open == NPOS) return out;
  out.found = true;
  std::size_t i = open + 1;
  auto put = [&out](char c) {
    if (out.text.size() < QUOTED_TEXT_MAX) out.text += c;
  };
  while (i < text.size() && text[i] != '"') {
    const char c = text[i];
    if (sjis::IsLeadNarrow(c)) {
      put(c);
      if (i + 1 < text.size()) put(text[i + 1]);
      i += 2;
      continue;
    }
    if (c != '\\' || i + 1 >= text.size()) {
      put(c);
      ++i;
      continue;
    }
    const char e = text[i + 1];
    switch (e) {
      case 'r': case 'R': put('\r'); i += 2; continue;
      case 'n': case 'N': put('\n'); i += 2; continue;
      case '"': case '\\': put(e); i += 2; continue;
      case 'x': case 'X':
        if (i + 3 < text.size() && HexValue(text[i + 2]) >= 0 && HexValue(text[i + 3]) >= 0) {
          put(static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3])));
          i += 4;
          continue;
        }
        break;
      default:
        break;
    }
    put(c);  // an escape with no meaning stays as written
    ++i;
  }
  out.scanned = std::min(i, text.size()) - (open + 1);
  return out;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

std::size_t FindIgnoreCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (needle.size() > text.size()) return NPOS;
  for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
    if (StartsWithIgnoreCase(text.substr(i), needle)) return i;
  }
  return NPOS;
}

}  // namespace vx::source
