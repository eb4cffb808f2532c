#include "files/file_tools.hpp"

#include <cstdio>

#include "text/sjis.hpp"

namespace vx::api::filetools {
namespace {

constexpr std::size_t kNameMax = 31;

std::string DatedName(std::string_view head, const calendar::Date& d, const int* number,
                      std::string_view tail) {
  char middle[64];
  if (number)
    std::snprintf(middle, sizeof middle, "%d-%02d-%02d_%d", d.year, d.month, d.day, *number);
  else
    std::snprintf(middle, sizeof middle, "%d-%02d-%02d", d.year, d.month, d.day);
  std::string name(head);
  name.append(middle);
  name.append(tail);
  return name;
}

std::string NumberedName(std::string_view head, int number, std::string_view tail) {
  std::string name(head);
  name.append(std::to_string(number));
  name.append(tail);
  return name;
}

bool SameIgnoringBit5(char a, char b) {
  return (static_cast<unsigned char>(a) | 0x20) == (static_cast<unsigned char>(b) | 0x20);
}

bool IsNameByte(char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '%'; }

}  // namespace

std::optional<std::string_view> PartOfPath(std::string_view path, std::int32_t part) {
  std::size_t cut = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); i += sjis::CharLengthStrict(path, i))
    if (path[i] == '\\' || path[i] == '/') cut = i;
  switch (part) {
    case PATH_WHOLE: return path;
    case PATH_NAME: return cut == std::string_view::npos ? path : path.substr(cut + 1);
    case PATH_FOLDER: return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
    default: return std::nullopt;
  }
}

std::optional<std::string> NewFileName(std::string_view head, std::string_view tail,
                                       const calendar::Date* date,
                                       const std::function<bool(const std::string&)>& taken) {
  if (head.size() + tail.size() > NEW_FNAME_PARTS_MAX) return std::nullopt;
  std::string name = date ? DatedName(head, *date, nullptr, tail) : std::string(head) += tail;
  if (!taken(name)) return name;
  for (int number = 0; number < NEW_FNAME_TRIES; ++number) {
    name = date ? DatedName(head, *date, &number, tail) : NumberedName(head, number, tail);
    if (!taken(name)) return name;
  }
  return std::nullopt;
}

bool WildcardMatch(std::string_view text, std::string_view pattern) {
  // Iterative matching with one remembered star: linear in practice and
  // never recursive, whatever the pattern.
  std::size_t t = 0, p = 0;
  std::size_t star = std::string_view::npos, star_text = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_text = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || SameIgnoringBit5(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++star_text;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    bool quoted = false;
    while (i < line.size()) {
      const char c = line[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        std::size_t run = 0;
        while (i < line.size() && line[i] == '\\') ++run, ++i;
        if (i < line.size() && line[i] == '"') {
          word.append(run / 2, '\\');
          if (run % 2 == 1) {
            word.push_back('"');
            ++i;
          }
        } else {
          word.append(run, '\\');
        }
        continue;
      }
      if (c == '"') {
        quoted = !quoted;
        ++i;
        continue;
      }
      const std::size_t n = sjis::CharLengthStrict(line, i);
      word.append(line.substr(i, n));
      i += n;
    }
    words.push_back(std::move(word));
  }
  return words;
}

FillReport FillForm(std::string_view form,
                    const std::function<bool(std::string_view, std::string&)>& lookup,
                    std::string& out, std::size_t limit) {
  FillReport report;
  out.clear();
  std::string value;
  auto emit = [&](std::string_view piece) {
    const std::size_t room = limit - out.size();
    if (piece.size() > room) report.cut = true;
    out.append(piece.substr(0, room));
  };
  std::size_t i = 0;
  while (i < form.size() && !report.cut) {
    const std::size_t percent = form.find('%', i);
    if (percent == std::string_view::npos) {
      emit(form.substr(i));
      break;
    }
    emit(form.substr(i, percent - i));
    i = percent;
    if (i + 1 < form.size() && form[i + 1] == '%') {
      emit("%");
      i += 2;
      continue;
    }
    std::size_t end = i + 1;
    while (end < form.size() && end - i - 1 <= kNameMax && IsNameByte(form[end])) ++end;
    const std::size_t length = end - i - 1;
    if (end < form.size() && form[end] == '%' && length >= 1 && length <= kNameMax) {
      const std::string_view name = form.substr(i + 1, length);
      if (lookup(name, value)) {
        emit(value);
        ++report.replaced;
      } else {
        emit(form.substr(i, length + 2));
        ++report.unknown;
      }
      i = end + 1;
      continue;
    }
    emit("%");
    ++i;
  }
  return report;
}

std::string ActivityLogLine(const calendar::DateTime& when, std::string_view text) {
  std::string line = calendar::FormatDateTime(when, true);
  line.push_back(' ');
  for (char c : text) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
  line.append("\r\n");
  return line;
}

std::string_view LastLines(std::string_view bytes, std::int32_t count) {
  if (count <= 0) return {};
  std::size_t end = bytes.size();
  // A last line without LF counts as a line too.
  std::size_t pos = (end > 0 && bytes[end - 1] == '\n') ? end - 1 : end;
  while (count > 0) {
    const std::size_t lf = pos == 0 ? std::string_view::npos : bytes.rfind('\n', pos - 1);
    if (lf == std::string_view::npos) return bytes;
    if (--count == 0) return bytes.substr(lf + 1);
    pos = lf;
  }
  return bytes;
}

}  // namespace vx::api::filetools
