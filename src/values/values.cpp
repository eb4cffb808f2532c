#include "values/values.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine/runtime.hpp"
#include "values/expression_rules.hpp"

namespace vx::values {
namespace {

constexpr std::size_t kControlNumberBytes = 31;  // text controls read as numbers

ResourceEntry* Entry(Runtime& rt, std::int32_t index) {
  return rt.program.ValidResource(index) ? &rt.program.Resource(index) : nullptr;
}

// Whether strtod reads anything from the text: a sign may come first, then
// a digit, a point and a digit, or "inf" or "nan" in any letter case.
bool StartsNumber(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (text.empty()) return false;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (digit(text[0])) return true;
  if (text[0] == '.') return text.size() > 1 && digit(text[1]);
  const auto starts = [&text](std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
      if (std::tolower(static_cast<unsigned char>(text[k])) != word[k]) return false;
    }
    return true;
  };
  return starts("inf") || starts("nan");
}

double ScanDoubleOrZero(std::string_view text) {
  double d = 0.0;
  return ScanDouble(text, &d) ? d : 0.0;
}

// The value a string variable holding `text` contributes to expressions.
double StringNumericValue(const ResourceEntry& e, std::string_view text) {
  if (e.flags & FLAG_VALUE_SIZE) return static_cast<double>(text.size());
  return ScanDoubleOrZero(text);
}

double StringNumericValue(const ResourceEntry& e) { return StringNumericValue(e, e.Text()); }

// Copies `text` into the entry's buffer, cut to capacity - 1 bytes and at
// its first NUL; the text the entry now holds.
std::string_view StoreText(ResourceEntry& e, std::string_view text) {
  if (!e.text || e.text_capacity <= 0) return {};
  std::size_t n = std::min<std::size_t>(text.size(), e.text_capacity - 1);
  if (n > 0) std::memmove(e.text.get(), text.data(), n);
  e.text[n] = '\0';
  if (const void* nul = std::memchr(e.text.get(), '\0', n)) n = static_cast<const char*>(nul) - e.text.get();
  return {e.text.get(), n};
}

// printf-style format check: exactly one conversion among `allowed`, with
// optional flags, width, precision and length letters; "%%" anywhere.
bool SingleConversion(std::string_view format, std::string_view allowed) {
  int conversions = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (++i >= format.size()) return false;
    if (format[i] == '%') continue;
    while (i < format.size() && std::strchr("-+ #0", format[i]) && format[i] != '\0') ++i;
    while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) ++i;
    if (i < format.size() && format[i] == '.') {
      ++i;
      while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i]))) ++i;
    }
    while (i < format.size() && (format[i] == 'l' || format[i] == 'h')) ++i;
    if (i >= format.size() || allowed.find(format[i]) == std::string_view::npos) return false;
    ++conversions;
  }
  return conversions == 1;
}

// Drops C length letters so that one int or double argument matches.
std::string WithoutLengthLetters(std::string_view format) {
  std::string out;
  bool in_conversion = false;
  for (char c : format) {
    if (c == '%') in_conversion = !in_conversion;
    else if (in_conversion && (c == 'l' || c == 'h')) continue;
    else if (in_conversion && std::isalpha(static_cast<unsigned char>(c))) in_conversion = false;
    out.push_back(c);
  }
  return out;
}

// The conversion letter of a format that SingleConversion accepted.
char ConversionLetter(std::string_view format) {
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (format[i + 1] == '%') {
      ++i;
      continue;
    }
    for (std::size_t j = i + 1; j < format.size(); ++j) {
      if (std::isalpha(static_cast<unsigned char>(format[j])) && format[j] != 'l' && format[j] != 'h')
        return format[j];
    }
  }
  return 'd';
}

// A long variable reads a text back with the format it prints with, so a
// "%x" variable takes "1f" as 31; without a usable format, "%ld". Nothing
// read gives 0.
std::int32_t ScanWithOwnFormat(std::string_view own_format, std::string_view text) {
  std::int32_t v = 0;
  if (own_format.empty() || !SingleConversion(own_format, "diouxXc")) return ScanLong(text, &v) ? v : 0;
  const std::string format = WithoutLengthLetters(own_format);
  const std::string terminated(text);
  switch (ConversionLetter(format)) {
    case 'd':
    case 'i': {
      int parsed = 0;
      return std::sscanf(terminated.c_str(), format.c_str(), &parsed) == 1 ? parsed : 0;
    }
    case 'c': {
      // A width reads that many bytes; the text cannot supply more.
      std::string parsed(terminated.size() + 1, '\0');
      if (std::sscanf(terminated.c_str(), format.c_str(), parsed.data()) != 1) return 0;
      return static_cast<unsigned char>(parsed[0]);
    }
    default: {
      unsigned int parsed = 0;
      if (std::sscanf(terminated.c_str(), format.c_str(), &parsed) != 1) return 0;
      return static_cast<std::int32_t>(parsed);
    }
  }
}

template <typename T>
std::string Print(const std::string& format, T value) {
  char small[256];
  const int n = std::snprintf(small, sizeof small, format.c_str(), value);
  if (n < 0) return {};
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, n);
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), format.c_str(), value);
  big.resize(n);
  return big;
}

void Refresh(Runtime& rt, ResourceEntry& e) {
  if (e.name_index >= static_cast<std::uint32_t>(RESOURCE_MAX) || e.name_index >= rt.names.Size())
    return;
  double v = 0.0;
  switch (e.kind) {
    case R_KD_VAL_LONG: v = e.long_value; break;
    case R_KD_VAL_DOUBLE: v = e.double_value; break;
    case R_KD_VAL_TXT: v = StringNumericValue(e); break;
    default: return;
  }
  rt.names.SetValue(e.name_index, v);
}

std::string_view Cut(std::string_view text, std::size_t limit) {
  return text.substr(0, std::min(text.size(), limit));
}

}  // namespace

bool ScanDouble(std::string_view text, double* out) {
  // strtod needs a terminated text; numbers are short, so a prefix will do
  // once leading blanks are skipped.
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  // Most texts are no number at all: strtod is spared them (and the copy).
  if (!StartsNumber(text.substr(i))) return false;
  // strtod reads only signs, points, letters and digits (hexadecimal,
  // exponents, "infinity", "nan(...)" with underscores): the copy stops at
  // the first other byte, which no number can contain.
  char buffer[512];
  const auto numeric = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '+' ||
           c == '-' || c == '.' || c == '_' || c == '(' || c == ')';
  };
  std::size_t n = 0;
  while (n < sizeof buffer - 1 && i + n < text.size() && numeric(text[i + n])) ++n;
  if (n > 0) std::memcpy(buffer, text.data() + i, n);
  buffer[n] = '\0';
  char* end = nullptr;
  const double d = std::strtod(buffer, &end);
  if (end == buffer) return false;
  *out = d;
  return true;
}

bool ScanLong(std::string_view text, std::int32_t* out) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  char buffer[64];
  const std::size_t n = std::min(text.size() - i, sizeof buffer - 1);
  if (n > 0) std::memcpy(buffer, text.data() + i, n);
  buffer[n] = '\0';
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(buffer, &end, 10);
  if (end == buffer) return false;
  // A 32-bit long saturates, as the C library of a 32-bit long does.
  if (v > std::numeric_limits<std::int32_t>::max()) v = std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) v = std::numeric_limits<std::int32_t>::min();
  *out = static_cast<std::int32_t>(v);
  return true;
}

std::string FormatLong(std::string_view format, std::int32_t value) {
  if (format.empty()) return std::to_string(value);  // what "%d" prints, without printf
  if (!SingleConversion(format, "diouxXc")) return Print(std::string("%d"), value);
  return Print(WithoutLengthLetters(format), value);
}

std::string FormatDouble(std::string_view format, double value) {
  if (format.empty() || !SingleConversion(format, "fFeEgGaA"))
    return Print(std::string("%f"), value);
  return Print(WithoutLengthLetters(format), value);
}

std::int32_t ReadAsInteger(Runtime& rt, std::int32_t index) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return 0;
  switch (e->kind) {
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN: return rt.window->Checked(*e) ? 1 : 0;
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR: return rt.window->Position(*e);
    case R_KD_VAL_TXT: {
      std::int32_t v = 0;
      return ScanLong(e->Text(), &v) ? v : 0;
    }
    case R_KD_VAL_LONG: return e->long_value;
    case R_KD_VAL_DOUBLE: return expr::rules::ToInt32(e->double_value);
    default: return 0;
  }
}

double ReadAsDouble(Runtime& rt, std::int32_t index) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return 0.0;
  switch (e->kind) {
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX:
    case R_KD_CMB_BOX:
      return ScanDoubleOrZero(Cut(rt.window->ControlText(*e), kControlNumberBytes));
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN: return rt.window->Checked(*e) ? 1.0 : 0.0;
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR: return rt.window->Position(*e);
    case R_KD_VAL_TXT: return ScanDoubleOrZero(e->Text());
    case R_KD_VAL_LONG: return e->long_value;
    case R_KD_VAL_DOUBLE: return e->double_value;
    case R_KD_FILE: return ScanDoubleOrZero(e->Text());
    case R_KD_STEPTIMER: return e->step_count;
    default: return 0.0;
  }
}

std::string_view ReadAsText(Runtime& rt, std::int32_t index, std::string& buffer) {
  buffer.clear();
  ResourceEntry* e = Entry(rt, index);
  if (!e) return buffer;
  switch (e->kind) {
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX:
    case R_KD_CMB_BOX: buffer.assign(Cut(rt.window->ControlText(*e), TEXT_VALUE_MAX)); break;
    case R_KD_LISTBOX: {
      const int selected = rt.window->ListSelection(*e);
      if (selected >= 0) buffer.assign(Cut(rt.window->ListItem(*e, selected), TEXT_VALUE_MAX));
      break;
    }
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN: buffer.push_back(rt.window->Checked(*e) ? '1' : '0'); break;
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR: buffer.assign(std::to_string(rt.window->Position(*e))); break;
    case R_KD_VAL_TXT: buffer.assign(Cut(e->Text(), TEXT_VALUE_MAX)); break;
    case R_KD_VAL_LONG: buffer.assign(FormatLong(e->Text(), e->long_value)); break;
    case R_KD_VAL_DOUBLE: buffer.assign(FormatDouble(e->Text(), e->double_value)); break;
    case R_KD_VAL_CLIPBD: buffer.assign(Cut(rt.window->ClipboardText(), TEXT_VALUE_MAX)); break;
    case R_KD_FILE: {
      rt.file_buffer = files::ReadAll(e->Text(), TEXT_VALUE_MAX).value_or(std::string());
      return rt.file_buffer;
    }
    case R_KD_STEPTIMER: buffer.assign(std::to_string(e->step_count)); break;
    case R_KD_COM:
      if (rt.ports) buffer.assign(Cut(rt.ports->PendingInput(*e), TEXT_VALUE_MAX));
      break;
    default: break;
  }
  return buffer;
}

void WriteInteger(Runtime& rt, std::int32_t index, std::int32_t value) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return;
  switch (e->kind) {
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN: rt.window->SetChecked(*e, value != 0); break;
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR: rt.window->SetPosition(*e, value); break;
    case R_KD_VAL_TXT: StoreText(*e, std::to_string(value)); break;
    case R_KD_VAL_LONG: e->long_value = value; break;
    case R_KD_VAL_DOUBLE: e->double_value = value; break;
    case R_KD_STEPTIMER: e->step_count = value; break;
    default: break;
  }
  Refresh(rt, *e);
}

void WriteDouble(Runtime& rt, std::int32_t index, double value) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return;
  switch (e->kind) {
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX:
    case R_KD_CMB_BOX: rt.window->SetControlText(*e, FormatDouble({}, value)); break;
    case R_KD_VAL_TXT: StoreText(*e, FormatDouble({}, value)); break;
    case R_KD_VAL_LONG: e->long_value = expr::rules::ToInt32(value); break;
    case R_KD_VAL_DOUBLE: e->double_value = value; break;
    default: break;
  }
  Refresh(rt, *e);
}

void WriteText(Runtime& rt, std::int32_t index, std::string_view text) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return;
  switch (e->kind) {
    case R_KD_BUTTON:
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX:
    case R_KD_CMB_BOX: rt.window->SetControlText(*e, text); break;
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR: {
      std::int32_t v = 0;
      if (ScanLong(text, &v)) rt.window->SetPosition(*e, v);
      break;
    }
    case R_KD_VAL_TXT: {
      // The numeric value comes from the text just stored, not a new scan.
      const std::string_view stored = StoreText(*e, text);
      if (e->name_index < rt.names.Size()) rt.names.SetValue(e->name_index, StringNumericValue(*e, stored));
      return;
    }
    case R_KD_VAL_LONG: e->long_value = ScanWithOwnFormat(e->Text(), text); break;
    case R_KD_VAL_DOUBLE: e->double_value = ScanDoubleOrZero(text); break;
    case R_KD_FILE: files::WriteAll(e->Text(), text); break;
    default: break;
  }
  Refresh(rt, *e);
}

void AppendText(Runtime& rt, std::int32_t index, std::string_view text) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return;
  if (e->kind == R_KD_VAL_TXT && e->text && e->text_capacity > 0) {
    const std::size_t used = e->Text().size();
    const std::size_t room = static_cast<std::size_t>(e->text_capacity) - 1 - used;
    const std::size_t n = std::min(room, text.size());
    if (n > 0) std::memmove(e->text.get() + used, text.data(), n);
    e->text[used + n] = '\0';
  }
  Refresh(rt, *e);
}

void SetLong(Runtime& rt, std::int32_t index, std::int32_t value) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return;
  if (e->kind == R_KD_VAL_LONG) e->long_value = value;
  else if (e->kind == R_KD_VAL_DOUBLE) e->double_value = value;
  else return;
  Refresh(rt, *e);
}

void SetDouble(Runtime& rt, std::int32_t index, double value) {
  ResourceEntry* e = Entry(rt, index);
  if (!e) return;
  if (e->kind == R_KD_VAL_DOUBLE) e->double_value = value;
  else if (e->kind == R_KD_VAL_LONG) e->long_value = expr::rules::ToInt32(value);
  else return;
  Refresh(rt, *e);
}

void SetText(Runtime& rt, std::int32_t index, std::string_view text, bool replace) {
  if (!replace) return AppendText(rt, index, text);
  ResourceEntry* e = Entry(rt, index);
  if (!e) return;
  if (e->kind == R_KD_VAL_TXT && text.size() < static_cast<std::size_t>(std::max(e->capacity, 0)))
    StoreText(*e, text);
  Refresh(rt, *e);
}

std::int32_t GetLongByName(Runtime& rt, std::string_view name) {
  const std::int32_t index = rt.program.FindResource(name);
  if (index < 0 || rt.program.Resource(index).kind != R_KD_VAL_LONG) return 0;
  return rt.program.Resource(index).long_value;
}

void SetLongByName(Runtime& rt, std::string_view name, std::int32_t value) {
  SetLong(rt, rt.program.FindResource(name), value);
}

void SetDoubleByName(Runtime& rt, std::string_view name, double value) {
  SetDouble(rt, rt.program.FindResource(name), value);
}

void SetTextByName(Runtime& rt, std::string_view name, std::string_view text, bool replace) {
  SetText(rt, rt.program.FindResource(name), text, replace);
}

void BuildNameTable(Runtime& rt) {
  rt.names.Clear();
  for (std::int32_t i = 0; i < rt.program.RscCount() && rt.names.Size() < RESOURCE_MAX; ++i) {
    ResourceEntry& e = rt.program.Resource(i);
    if (e.kind != R_KD_VAL_LONG && e.kind != R_KD_VAL_DOUBLE && e.kind != R_KD_VAL_TXT) continue;
    e.name_index = static_cast<std::uint32_t>(rt.names.Size());
    rt.names.Add(e.Name(), 0.0, i);
    Refresh(rt, e);
  }
  rt.names.MarkBuilt();
}

void RefreshNameTable(Runtime& rt, std::int32_t index) {
  if (ResourceEntry* e = Entry(rt, index)) Refresh(rt, *e);
}

}  // namespace vx::values
