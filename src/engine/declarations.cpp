// Declarations: controls, timers and the Data kinds. Their parameters are
// read with the argument getters, so they are expressions evaluated now,
// against the resources declared above them.
#include <algorithm>
#include <cstring>

#include "api/arguments.hpp"
#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "engine/script_compiler.hpp"
#include "platform/posix/serial_line.hpp"
#include "values/values.hpp"

namespace vx::loader {
namespace {

constexpr std::int32_t CONTROL_SIZE_MAX = 6;
constexpr std::int32_t PATH_CAPACITY_MIN = 2048;

bool ContainsIgnoreCase(std::string_view text, std::string_view word) {
  return source::FindIgnoreCase(text, word) != source::NPOS;
}

std::int32_t PathCapacity(std::size_t length) {
  return static_cast<std::int32_t>(std::max<std::size_t>(length, PATH_CAPACITY_MIN) + 1);
}

}  // namespace

bool ScriptCompiler::NameFits(std::string_view name) {
  if (name.size() <= static_cast<std::size_t>(NAME_MAX_BYTES)) return true;
  rt_.error.Set(msg::Text(msg::Id::kResourceNameTooLong));
  return false;
}

ResourceEntry* ScriptCompiler::BeginResource(std::string_view name, std::uint16_t kind) {
  ResourceEntry* entry = program_.NewResource();
  if (!entry) return nullptr;
  entry->SetName(name);
  entry->kind = kind;
  return entry;
}

void ScriptCompiler::CommitResource() { program_.CommitResource(line_number_, rt_.error); }

// A zero-filled buffer of `capacity` bytes holding `text`.
bool ScriptCompiler::AllocateText(ResourceEntry& entry, std::int32_t capacity, std::string_view text) {
  entry.capacity = capacity;
  if (!entry.AllocateText(capacity)) {
    rt_.error.Set(msg::Text(msg::Id::kOutOfMemory));
    return false;
  }
  if (!text.empty()) {
    std::memcpy(entry.text.get(), text.data(), std::min<std::size_t>(text.size(), capacity - 1));
  }
  return true;
}

std::int32_t ScriptCompiler::Int(std::string_view list, int n) {
  rt_.arg_status = ARG_PRESENT;
  return args::GetIntArg(rt_, list, n);
}

std::optional<std::int32_t> ScriptCompiler::OptionalInt(std::string_view list, int n) {
  rt_.arg_status = ARG_OPTIONAL;
  const std::int32_t value = args::GetIntArg(rt_, list, n);
  if (rt_.arg_status == ARG_MISSING) return std::nullopt;
  return value;
}

bool ScriptCompiler::OptionalString(std::string_view list, int n, std::string& out) {
  rt_.arg_status = ARG_OPTIONAL;
  return args::GetStringArg(rt_, list, n, out) == 1;
}

// Make... NAME x, y, width, height[, ...]
void ScriptCompiler::DeclareControl(const Statement& s, std::uint16_t kind) {
  const source::Word name = s.Word(0);
  if (!name.Found()) {
    rt_.error.Set(msg::Text(msg::Id::kTooFewWords));
    return;
  }
  if (!NameFits(name.text)) return;
  const std::string_view list = s.From(1);
  ResourceEntry* entry = BeginResource(name.text, kind);
  if (!entry) return;
  entry->x = Int(list, 0);
  entry->y = Int(list, 1);
  entry->width = Int(list, 2);
  entry->height = Int(list, 3);
  switch (kind) {
    case R_KD_BUTTON:
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN:
    case R_KD_RDO_BTN1: {
      std::string caption;
      OptionalString(list, 4, caption);
      AllocateText(*entry, static_cast<std::int32_t>(caption.size() + 1), caption);
      break;
    }
    case R_KD_PGS_BAR:
    case R_KD_PW_BOX:
      entry->option = static_cast<std::uint32_t>(OptionalInt(list, 4).value_or(0));
      break;
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR:
      entry->capacity = std::max(Int(list, 4), 1);
      entry->option = static_cast<std::uint32_t>(Int(list, 5));
      break;
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX:
      entry->option = static_cast<std::uint32_t>(OptionalInt(list, 4).value_or(0));
      entry->size = OptionalInt(list, 5).value_or(0);
      break;
    case R_KD_LISTBOX:
    case R_KD_CMB_BOX:
      entry->size = OptionalInt(list, 4).value_or(0);
      break;
    default:
      break;
  }
  entry->size = std::clamp(entry->size, 0, CONTROL_SIZE_MAX);
  CommitResource();
}

// MakeTimer NAME INTERVAL, MakeStepTimer NAME INTERVAL
void ScriptCompiler::DeclareTimer(const Statement& s, std::uint16_t kind) {
  const source::Word name = s.Word(0);
  const source::Word interval = s.Word(1);
  if (!interval.Found()) {
    rt_.error.Set(msg::Text(msg::Id::kTooFewWords));
    return;
  }
  if (!NameFits(name.text)) return;
  ResourceEntry* entry = BeginResource(name.text, kind);
  if (!entry) return;
  entry->long_value = Int(interval.text, 0);
  entry->step_count = 0;
  CommitResource();
}

// Data TYPE NAME [parameters]
void ScriptCompiler::DeclareData(const Statement& s) {
  const source::Word type = s.Word(0);
  const source::Word name = s.Word(1);
  if (!name.Found()) {
    rt_.error.Set(msg::Text(msg::Id::kTooFewWords));
    return;
  }
  if (!NameFits(name.text)) return;
  const std::string_view list = s.From(2);
  if (EqualsIgnoreAsciiCase(type.text, "string")) {
    DeclareString(name.text, list);
  } else if (EqualsIgnoreAsciiCase(type.text, "FILE")) {
    DeclareFile(name.text, s.line);
  } else if (EqualsIgnoreAsciiCase(type.text, "COM")) {
    DeclareCom(name.text, list);
  } else if (EqualsIgnoreAsciiCase(type.text, "ClipBoard")) {
    if (BeginResource(name.text, R_KD_VAL_CLIPBD)) CommitResource();
  } else if (EqualsIgnoreAsciiCase(type.text, "long")) {
    DeclareLong(name.text, list);
  } else if (EqualsIgnoreAsciiCase(type.text, "double")) {
    DeclareDouble(name.text, list);
  } else {
    IgnoreDeclaration(type.text, name.text);
  }
}

// A quoted initial text (capacity = bytes between the quotes + 1) or a
// capacity, then optionally Value_Size.
void ScriptCompiler::DeclareString(std::string_view name, std::string_view list) {
  ResourceEntry* entry = BeginResource(name, R_KD_VAL_TXT);
  if (!entry) return;
  const std::string_view first = source::RestFrom(args::ArgText(list, 0), 0);
  if (!first.empty() && first.front() == '"') {
    const source::QuotedText quoted = source::ReadQuotedText(list);
    AllocateText(*entry, static_cast<std::int32_t>(quoted.scanned + 1), quoted.text);
  } else {
    const std::int32_t asked = Int(list, 0);
    AllocateText(*entry, asked < 1 ? STRING_CAPACITY_DEFAULT : std::min(asked, STRING_CAPACITY_MAX), {});
  }
  if (args::ArgCount(list) >= 2 && ContainsIgnoreCase(args::ArgText(list, 1), "Value_Size")) {
    entry->flags |= FLAG_VALUE_SIZE;
  }
  CommitResource();
}

// The first quoted text of the line is the path.
void ScriptCompiler::DeclareFile(std::string_view name, std::string_view line) {
  const source::QuotedText quoted = source::ReadQuotedText(line);
  if (quoted.text.empty()) rt_.error.Set(msg::Text(msg::Id::kInvalidFileName));
  ResourceEntry* entry = BeginResource(name, R_KD_FILE);
  if (!entry) return;
  AllocateText(*entry, PathCapacity(quoted.text.size()), quoted.text);
  CommitResource();
}

// Data COM NAME port, settings[, options]: the port starts closed.
void ScriptCompiler::DeclareCom(std::string_view name, std::string_view list) {
  ResourceEntry* entry = BeginResource(name, R_KD_COM);
  if (!entry) return;
  std::int32_t port = 0;
  const source::Word port_word = source::NthWord(list, 0, 0);
  if (port_word.Found()) values::ScanLong(port_word.text, &port);
  std::string settings;
  rt_.arg_status = ARG_PRESENT;
  args::GetStringArg(rt_, list, 1, settings);
  std::string options;
  OptionalString(list, 2, options);
  entry->port_handle = -1;
  entry->long_value = port;
  entry->flags |= posix::ParsePortOptions(options);
  AllocateText(*entry, PathCapacity(settings.size()), settings);
  CommitResource();
}

void ScriptCompiler::DeclareLong(std::string_view name, std::string_view list) {
  ResourceEntry* entry = BeginResource(name, R_KD_VAL_LONG);
  if (!entry) return;
  entry->long_value = Int(list, 0);
  std::string format;
  if (OptionalString(list, 1, format)) {
    AllocateText(*entry, static_cast<std::int32_t>(format.size() + 1), format);
  }
  CommitResource();
}

void ScriptCompiler::DeclareDouble(std::string_view name, std::string_view list) {
  ResourceEntry* entry = BeginResource(name, R_KD_VAL_DOUBLE);
  if (!entry) return;
  rt_.arg_status = ARG_PRESENT;
  entry->double_value = args::GetDoubleArg(rt_, list, 0);
  std::string format;
  if (OptionalString(list, 1, format)) {
    AllocateText(*entry, static_cast<std::int32_t>(format.size() + 1), format);
  }
  CommitResource();
}

}  // namespace vx::loader
