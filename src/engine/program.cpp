#include "engine/program.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/pending_error.hpp"
#include "text/messages.hpp"

namespace vx {
namespace {

constexpr std::array<std::string_view, 24> kKindNames = {
    "R_KD_BUTTON",    "R_KD_PW_BOX",     "R_KD_TEXTBOX",    "R_KD_EDITBOX",  "R_KD_LISTBOX",
    "R_KD_CK_BOX",    "R_KD_RDO_BTN1",   "R_KD_RDO_BTN",    "R_KD_CMB_BOX",  "R_KD_PGS_BAR",
    "R_KD_TRACK_BAR", "R_KD_SCR_BAR",    "R_KD_G_AREA",     "R_KD_VAL_TXT",  "R_KD_VAL_LONG",
    "R_KD_VAL_DOUBLE", "R_KD_VAL_CLIPBD", "R_KD_FILE",      "R_KD_TCP_PORT", "R_KD_SCI_PORT",
    "R_KD_TIMER",     "R_KD_STEPTIMER",  "R_KD_COM",        "R_KD_DUMMY",
};

constexpr std::array<std::string_view, 25> kDirectiveNames = {
    "P_DTV_OVR_WRT", "P_DTV_TRN_ADD", "P_DTV_LIST_ADD", "P_DTV_EXECUTE", "P_DTV_ENDP",
    "P_DTV_RETSYS",  "P_DTV_EXIT",    "P_DTV_MOVE",     "P_DTV_IF",      "P_DTV_ELSE_IF",
    "P_DTV_WHILE",   "P_DTV_ENDWHILE", "P_DTV_BREAK",   "P_DTV_CONTINUE", "P_DTV_CALL",
    "P_DTV_CALLS",   "P_DTV_CALLSUB", "P_DTV_CALLSUBS", "P_DTV_GOTO",    "P_DTV_GOTOSL",
    "P_DTV_OPEN",    "P_DTV_CLOSE",   "P_DTV_RD_LINE",  "P_DTV_INC",     "P_DTV_DEBUG",
};

std::string_view FieldName(const std::array<char, NAME_FIELD_BYTES>& field) {
  return std::string_view(field.data(), strnlen(field.data(), field.size()));
}

void StoreName(std::array<char, NAME_FIELD_BYTES>& field, std::string_view name) {
  field.fill('\0');
  if (!name.empty()) {
    std::memcpy(field.data(), name.data(), std::min<std::size_t>(name.size(), NAME_MAX_BYTES));
  }
}

unsigned char LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

}  // namespace

std::string_view ResourceKindName(std::uint16_t kind) {
  return kind < kKindNames.size() ? kKindNames[kind] : std::string_view();
}

std::string_view DirectiveName(std::uint16_t code) {
  return code < kDirectiveNames.size() ? kDirectiveNames[code] : std::string_view();
}

std::string_view ResourceEntry::Name() const { return FieldName(name); }
void ResourceEntry::SetName(std::string_view n) { StoreName(name, n); }

std::string_view ResourceEntry::Text() const {
  if (!text || text_capacity <= 0) return {};
  return std::string_view(text.get(), strnlen(text.get(), static_cast<std::size_t>(text_capacity)));
}

bool ResourceEntry::AllocateText(std::int32_t bytes) {
  text = std::unique_ptr<char[], FreeText>(static_cast<char*>(std::calloc(static_cast<std::size_t>(bytes), 1)));
  text_capacity = text ? bytes : 0;
  return text != nullptr;
}

void ResourceEntry::LendText(char* buffer, std::int32_t bytes) {
  text = std::unique_ptr<char[], FreeText>(buffer, FreeText{.owned = false});
  text_capacity = buffer != nullptr ? bytes : 0;
}

bool ResourceEntry::AssignText(std::string_view t) {
  if (!AllocateText(static_cast<std::int32_t>(t.size() + 1))) return false;
  if (!t.empty()) std::memcpy(text.get(), t.data(), t.size());
  return true;
}

std::string_view Label::Name() const { return FieldName(name); }

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(static_cast<unsigned char>(a[i])) != LowerAscii(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

Program::Program() {
  resources_.reserve(RESOURCE_MAX);
  procedures_.reserve(PROCEDURE_MAX);
  labels_.reserve(LABEL_MAX);
  procedures_.emplace_back();  // record 0 is never used
}

std::int32_t Program::FindResource(std::string_view name) const {
  auto it = first_by_name_.find(name);
  return it == first_by_name_.end() ? -1 : it->second;
}

ResourceEntry* Program::NewResource() {
  if (pending_commit_) return &resources_.back();
  if (RscCount() >= RESOURCE_MAX) return nullptr;
  resources_.emplace_back();
  ++resource_count_;
  pending_commit_ = true;
  return &resources_.back();
}

void Program::CommitResource(std::int32_t line, PendingError& error) {
  if (!pending_commit_) return;
  pending_commit_ = false;
  ResourceEntry& entry = resources_.back();
  entry.created = 1;
  entry.line = line;
  auto [it, inserted] = first_by_name_.emplace(std::string(entry.Name()), RscCount() - 1);
  if (!inserted) error.Set(msg::Text(msg::Id::kDuplicateResource));
}

Procedure* Program::NewProcedure() {
  if (ProcCount() >= PROCEDURE_MAX) return nullptr;
  procedures_.emplace_back();
  ++revision_;
  return &procedures_.back();
}

std::int32_t Program::FindOrAddLabel(std::string_view name, PendingError& error) {
  for (std::int32_t i = 0; i < LblCount(); ++i) {
    if (labels_[i].Name() == name) return i;
  }
  if (name.empty()) error.Set(msg::Text(msg::Id::kLabelBlank));
  if (LblCount() >= LABEL_MAX) return -1;
  labels_.emplace_back();
  StoreName(labels_.back().name, name);
  return LblCount() - 1;
}

std::int32_t Program::FindLabelAtRunTime(std::string_view name) const {
  for (std::int32_t i = 0; i < LblCount(); ++i) {
    if (labels_[i].entry >= 1 && EqualsIgnoreAsciiCase(labels_[i].Name(), name)) return i;
  }
  return -1;
}

void Program::AddInitialLabelIfMissing() {
  for (const Label& label : labels_) {
    if (EqualsIgnoreAsciiCase(label.Name(), "Initial")) return;
  }
  if (LblCount() >= LABEL_MAX) return;
  labels_.emplace_back();
  labels_.back().entry = 1;
  StoreName(labels_.back().name, "Initial");
}

void Program::Clear() {
  // Last to first, as the buffers were allocated.
  while (!resources_.empty()) resources_.pop_back();
  system_texts_ = platform::ZeroPages();
  resource_count_ = 0;
  while (procedures_.size() > 1) procedures_.pop_back();
  procedures_.front() = Procedure();
  labels_.clear();
  first_by_name_.clear();
  pending_commit_ = false;
  ++revision_;
}

}  // namespace vx
