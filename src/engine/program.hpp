#pragma once
// The compiled program: the resource table (every named thing a script
// declares), the procedure table (one record per executable statement) and
// the label table. The loader fills them; the run loop and the event
// delivery read them; nothing changes their shape while a script runs.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/argument_cache.hpp"
#include "platform/files.hpp"
#include "platform/zero_pages.hpp"
#include "values/compiled_expression.hpp"
#include "values/compiled_string.hpp"

namespace vx {

inline constexpr int RESOURCE_MAX = 2000;
inline constexpr int PROCEDURE_MAX = 5000;
inline constexpr int LABEL_MAX = 500;
inline constexpr int NAME_FIELD_BYTES = 32;  // names are at most 31 bytes
inline constexpr int NAME_MAX_BYTES = NAME_FIELD_BYTES - 1;
inline constexpr int SYSTEM_VARIABLE_COUNT = 70;

enum ResourceKind : std::uint16_t {
  R_KD_BUTTON = 0,
  R_KD_PW_BOX = 1,
  R_KD_TEXTBOX = 2,
  R_KD_EDITBOX = 3,
  R_KD_LISTBOX = 4,
  R_KD_CK_BOX = 5,
  R_KD_RDO_BTN1 = 6,
  R_KD_RDO_BTN = 7,
  R_KD_CMB_BOX = 8,
  R_KD_PGS_BAR = 9,
  R_KD_TRACK_BAR = 10,
  R_KD_SCR_BAR = 11,
  R_KD_G_AREA = 12,
  R_KD_VAL_TXT = 13,
  R_KD_VAL_LONG = 14,
  R_KD_VAL_DOUBLE = 15,
  R_KD_VAL_CLIPBD = 16,
  R_KD_FILE = 17,
  R_KD_TCP_PORT = 18,
  R_KD_SCI_PORT = 19,
  R_KD_TIMER = 20,
  R_KD_STEPTIMER = 21,
  R_KD_COM = 22,
  R_KD_DUMMY = 23,
};

// "R_KD_BUTTON" for 0 and so on; "" for codes outside the table.
std::string_view ResourceKindName(std::uint16_t kind);
inline bool IsControlKind(std::uint16_t kind) { return kind <= R_KD_SCR_BAR; }

inline constexpr std::uint32_t FLAG_VALUE_SIZE = 1u;  // string variables: value = length
inline constexpr std::uint32_t NO_NAME_INDEX = 0xFFFFFFFFu;

// Memory from calloc: a large text buffer comes as fresh zero pages, and
// only the pages written become resident. A lent buffer (the system
// variables' texts, all in one block the program owns) is not freed here.
struct FreeText {
  bool owned = true;
  void operator()(char* text) const {
    if (owned) std::free(text);
  }
};

struct ResourceEntry {
  std::uint16_t created = 0;
  std::array<char, NAME_FIELD_BYTES> name{};
  std::uint16_t kind = R_KD_DUMMY;
  std::uint32_t flags = 0;
  std::int32_t step_count = 0;
  std::int32_t long_value = 0;
  double double_value = 0.0;
  std::int32_t capacity = 0;  // track and scroll bars: range maximum
  std::uint32_t name_index = NO_NAME_INDEX;
  // String buffer (kind 13), path (17), print format (14, 15), caption
  // (controls) or settings text (22); `capacity` bytes, NUL-terminated.
  std::unique_ptr<char[], FreeText> text;
  std::int32_t text_capacity = 0;
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  std::uint32_t option = 0;
  std::int32_t size = 0;
  std::int32_t event_entry = 0;  // procedure index set by On; 0 = none
  files::FilePtr file;           // FILE: handle opened by OPEN
  std::int32_t window = 0;       // controls: the host's handle; 0 = none
  std::int32_t item_id = 0;
  std::int32_t timer_id = 0;
  std::int32_t port_handle = -1;
  std::int32_t line = 0;

  std::string_view Name() const;
  void SetName(std::string_view n);  // cut to 31 bytes
  // The NUL-terminated text in `text`, or empty when there is none.
  std::string_view Text() const;
  // Allocates a zero-filled text buffer; false when it cannot be allocated.
  bool AllocateText(std::int32_t bytes);
  // Allocates a buffer of exactly `t.size() + 1` bytes holding `t`.
  bool AssignText(std::string_view t);
  // Uses `bytes` zero bytes at `buffer`, owned elsewhere and outliving the
  // entry, as the text buffer.
  void LendText(char* buffer, std::int32_t bytes);
};

// Directive codes of a procedure record.
enum DirectiveCode : std::uint16_t {
  P_DTV_OVR_WRT = 0,
  P_DTV_TRN_ADD = 1,
  P_DTV_LIST_ADD = 2,
  P_DTV_EXECUTE = 3,
  P_DTV_ENDP = 4,
  P_DTV_RETSYS = 5,
  P_DTV_EXIT = 6,
  P_DTV_MOVE = 7,
  P_DTV_IF = 8,
  P_DTV_ELSE_IF = 9,
  P_DTV_WHILE = 10,
  P_DTV_ENDWHILE = 11,
  P_DTV_BREAK = 12,
  P_DTV_CONTINUE = 13,
  P_DTV_CALL = 14,
  P_DTV_CALLS = 15,
  P_DTV_CALLSUB = 16,
  P_DTV_CALLSUBS = 17,
  P_DTV_GOTO = 18,
  P_DTV_GOTOSL = 19,
  P_DTV_OPEN = 20,
  P_DTV_CLOSE = 21,
  P_DTV_RD_LINE = 22,
  P_DTV_INC = 23,
  P_DTV_DEBUG = 24,
};
std::string_view DirectiveName(std::uint16_t code);

// Tail modes of P_DTV_IF (operand B).
enum IfTail : std::int32_t {
  IF_TAIL_GOTO = 0,
  IF_TAIL_CALLSUB = 1,
  IF_TAIL_BLOCK = 2,
  IF_TAIL_ENDP = 3,
  IF_TAIL_BREAK = 4,
  IF_TAIL_CONTINUE = 5,
};


struct Procedure {
  std::uint16_t break_mark = 0;  // set through Program::SetBreakMark
  std::uint16_t code = P_DTV_EXECUTE;
  std::int32_t a = 0;
  std::int32_t b = 0;
  std::int32_t target = 0;
  std::int32_t line = 0;
  bool has_text = false;
  std::string text;  // expression, argument text or statement text

  // Caches filled at load or on first use; they never change results.
  CompiledExpressionPtr expression;
  ArgumentCachePtr arguments;
  mutable CompiledStringPtr text_expression;  // `text` as a string expression
};

struct Label {
  std::int32_t entry = 0;  // procedure index; 0 = referenced, not defined
  std::array<char, NAME_FIELD_BYTES> name{};
  std::string_view Name() const;
};

class PendingError;

// Hashing for maps keyed by std::string that are searched with string_view.
struct TransparentStringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};


class Program {
 public:
  Program();

  std::int32_t RscCount() const { return resource_count_; }
  std::int32_t ProcCount() const { return static_cast<std::int32_t>(procedures_.size()); }
  std::int32_t LblCount() const { return static_cast<std::int32_t>(labels_.size()); }

  bool ValidResource(std::int32_t index) const { return index >= 0 && index < RscCount(); }
  ResourceEntry& Resource(std::int32_t index) { return resources_[index]; }
  const ResourceEntry& Resource(std::int32_t index) const { return resources_[index]; }
  Procedure& Proc(std::int32_t index) { return procedures_[index]; }
  const Procedure& Proc(std::int32_t index) const { return procedures_[index]; }
  Label& LabelAt(std::int32_t index) { return labels_[index]; }
  const Label& LabelAt(std::int32_t index) const { return labels_[index]; }

  // A procedure's break mark, where the debugging dialog stops before it.
  void SetBreakMark(std::int32_t index, bool on) {
    procedures_[index].break_mark = on ? 1 : 0;
    ++revision_;
  }

  // Changes with every change of the procedures or their break marks, so
  // that code derived from them can tell it is stale.
  std::uint32_t Revision() const { return revision_; }

  // The first entry named `name` byte for byte, or -1.
  std::int32_t FindResource(std::string_view name) const;

  // A new, uncommitted entry at index RscCount() (the caller fills it and
  // calls CommitResource). Null when the table is full.
  ResourceEntry* NewResource();
  // Commits the entry from NewResource: checks its name against all earlier
  // entries (a match reports 同名リソースが定義されました。 but the entry is
  // still added), stores the line number and counts it.
  void CommitResource(std::int32_t line, PendingError& error);

  // The next procedure record (index ProcCount()), or null when full. The
  // record counts once it is returned.
  Procedure* NewProcedure();

  // The first label named `name` byte for byte; a new row with entry 0 when
  // there is none. An empty name reports ラベルがブランクです。 and is still
  // added. -1 when the table is full.
  std::int32_t FindOrAddLabel(std::string_view name, PendingError& error);

  // Run-time search: the first row whose name equals `name` without regard
  // to ASCII case and whose entry is 1 or more; -1 when none.
  std::int32_t FindLabelAtRunTime(std::string_view name) const;

  // Creates the 70 system variables (indices 0 to 69).
  void CreateSystemVariables(std::string_view command_line, std::string_view module_dir,
                             std::string_view current_dir);

  // After the last line: appends {1, "Initial"} when no row is named Initial
  // (any case) and the table has room.
  void AddInitialLabelIfMissing();

  // Frees every buffer and record and empties the three tables.
  void Clear();

 private:
  // The system variables' text buffers, lent to their entries: declared
  // before the entries so that it outlives them.
  platform::ZeroPages system_texts_;
  std::vector<ResourceEntry> resources_;
  std::int32_t resource_count_ = 0;  // resources_.size(), read in every expression
  std::vector<Procedure> procedures_;
  std::vector<Label> labels_;
  std::unordered_map<std::string, std::int32_t, TransparentStringHash, std::equal_to<>>
      first_by_name_;
  bool pending_commit_ = false;
  std::uint32_t revision_ = 0;
};

// Case-insensitive comparison of ASCII letters; other bytes must be equal.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace vx
