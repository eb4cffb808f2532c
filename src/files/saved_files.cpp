#include "files/saved_files.hpp"

#include "text/sjis.hpp"

namespace vx::api::saved {
namespace {

bool NeedsEscape(std::string_view value) {
  return value.find_first_of("\r\n") != std::string_view::npos;
}

std::string Unescape(std::string_view escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\' || i + 1 == escaped.size()) {
      out.push_back(escaped[i]);
      continue;
    }
    switch (escaped[i + 1]) {
      case 'r':
        out.push_back('\r');
        ++i;
        break;
      case 'n':
        out.push_back('\n');
        ++i;
        break;
      case '\\':
        out.push_back('\\');
        ++i;
        break;
      default: out.push_back('\\'); break;  // not an escape: kept as written
    }
  }
  return out;
}

}  // namespace

void AppendSavedValue(std::string& out, std::string_view name, std::string_view value) {
  out.append(name);
  if (!NeedsEscape(value)) {
    out.push_back('=');
    out.append(value);
  } else {
    out.push_back(ESCAPED_MARK);
    out.push_back('=');
    for (char c : value) {
      switch (c) {
        case '\\': out.append("\\\\"); break;
        case '\r': out.append("\\r"); break;
        case '\n': out.append("\\n"); break;
        default: out.push_back(c);
      }
    }
  }
  out.append("\r\n");
}

void ForEachRawLine(std::string_view bytes, const std::function<bool(std::string_view)>& line) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t lf = bytes.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf + 1;
    if (!line(bytes.substr(start, end - start))) return;
    start = end;
  }
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

bool ParseSavedLine(std::string_view line, std::string& name, std::string& value) {
  line = WithoutLineEnd(line);
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view raw_name = line.substr(0, equals);
  const std::string_view raw_value = line.substr(equals + 1);
  if (!raw_name.empty() && raw_name.back() == ESCAPED_MARK) {
    name.assign(raw_name.substr(0, raw_name.size() - 1));
    value = Unescape(raw_value);
  } else {
    name.assign(raw_name);
    value.assign(raw_value);
  }
  return true;
}

LoadReport ParseSavedValues(std::string_view bytes,
                            const std::function<void(std::string_view, std::string_view)>& assign) {
  LoadReport report;
  std::string name, value;
  ForEachRawLine(bytes, [&](std::string_view raw) {
    if (raw.size() > SAVED_LINE_MAX) {
      ++report.too_long;
    } else if (ParseSavedLine(raw, name, value)) {
      ++report.assignments;
      assign(name, value);
    } else {
      ++report.skipped;
    }
    return true;
  });
  return report;
}

std::string FormatStrArrayLines(const std::vector<std::string_view>& entries) {
  std::string out;
  for (std::string_view entry : entries) {
    out.append(entry);
    out.append("\r\n");
  }
  return out;
}

std::string_view StrArrayEntry(std::string_view line, std::size_t max_bytes, bool* cut) {
  line = WithoutLineEnd(line);
  line = line.substr(0, line.find('\0'));
  *cut = line.size() > max_bytes;
  if (!*cut) return line;
  std::size_t keep = 0;
  while (keep < line.size()) {
    const std::size_t next = keep + sjis::CharLengthStrict(line, keep);
    if (next > max_bytes) break;
    keep = next;
  }
  return line.substr(0, keep);
}

StrArrayLines ParseStrArrayLines(std::string_view bytes, std::int32_t max_lines,
                                 std::size_t max_bytes) {
  StrArrayLines result;
  if (max_lines <= 0) return result;
  ForEachRawLine(bytes, [&](std::string_view raw) {
    bool cut = false;
    result.lines.emplace_back(StrArrayEntry(raw, max_bytes, &cut));
    if (cut) ++result.cut;
    return static_cast<std::int32_t>(result.lines.size()) < max_lines;
  });
  return result;
}

}  // namespace vx::api::saved
