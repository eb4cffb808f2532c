#include <cstring>
#include <string>

#include "engine/pending_error.hpp"
#include "engine/program.hpp"
#include "engine/system_variables.hpp"

namespace vx {
namespace {

struct SystemVariable {
  const char* name;
  std::uint16_t kind;
  std::int32_t capacity;  // string variables only
};

constexpr std::int32_t k4K = 4096;
constexpr std::int32_t k16000 = 16000;
constexpr std::int32_t k16K = 16384;

constexpr SystemVariable kSystemVariables[] = {
    {"U_V1", R_KD_VAL_LONG, 0},       {"U_V2", R_KD_VAL_LONG, 0},
    {"U_V3", R_KD_VAL_LONG, 0},       {"U_V4", R_KD_VAL_LONG, 0},
    {"U_V5", R_KD_VAL_LONG, 0},       {"U_V6", R_KD_VAL_LONG, 0},
    {"U_V7", R_KD_VAL_LONG, 0},       {"U_V8", R_KD_VAL_LONG, 0},
    {"U_LOOP1", R_KD_VAL_LONG, 0},    {"U_LOOP2", R_KD_VAL_LONG, 0},
    {"U_LOOP3", R_KD_VAL_LONG, 0},    {"U_LOOP4", R_KD_VAL_LONG, 0},
    {"U_STR1", R_KD_VAL_TXT, k4K},    {"U_STR2", R_KD_VAL_TXT, k4K},
    {"U_STR3", R_KD_VAL_TXT, k4K},    {"U_STR4", R_KD_VAL_TXT, k4K},
    {"U_STR5", R_KD_VAL_TXT, k4K},    {"U_STR6", R_KD_VAL_TXT, k4K},
    {"U_STR7", R_KD_VAL_TXT, k4K},    {"U_STR8", R_KD_VAL_TXT, k4K},
    {"G_ERROR", R_KD_VAL_LONG, 0},    {"G_EXIT_CODE", R_KD_VAL_LONG, 0},
    {"G_INFO", R_KD_VAL_LONG, 0},     {"G_RETV", R_KD_VAL_LONG, 0},
    {"G_WORK1", R_KD_VAL_LONG, 0},    {"G_WORK2", R_KD_VAL_LONG, 0},
    {"G_WORK3", R_KD_VAL_LONG, 0},    {"G_WORK4", R_KD_VAL_LONG, 0},
    {"G_DBLWK1", R_KD_VAL_DOUBLE, 0}, {"G_DBLWK2", R_KD_VAL_DOUBLE, 0},
    {"G_DBLWK3", R_KD_VAL_DOUBLE, 0}, {"G_DBLWK4", R_KD_VAL_DOUBLE, 0},
    {"G_DBLWK5", R_KD_VAL_DOUBLE, 0}, {"G_DBLWK6", R_KD_VAL_DOUBLE, 0},
    {"G_IMG_WD", R_KD_VAL_LONG, 0},   {"G_IMG_HT", R_KD_VAL_LONG, 0},
    {"G_TXT", R_KD_VAL_TXT, k16000},  {"G_EV_1", R_KD_VAL_LONG, 0},
    {"G_EV_2", R_KD_VAL_LONG, 0},     {"G_ERR_TXT", R_KD_VAL_TXT, k4K},
    {"G_CMD_LINE", R_KD_VAL_TXT, k4K}, {"G_DEBUG_LOG", R_KD_VAL_TXT, k16000},
    {"G_SYSTEM_LOG", R_KD_VAL_TXT, k16000}, {"G_MOUSEX", R_KD_VAL_LONG, 0},
    {"G_MOUSEY", R_KD_VAL_LONG, 0},   {"G_TRNS_CNT", R_KD_VAL_LONG, 0},
    {"G_INCHAR", R_KD_VAL_LONG, 0},   {"G_VKEY", R_KD_VAL_LONG, 0},
    {"G_MODULE_DIR", R_KD_VAL_TXT, k4K}, {"G_CURRENT_DIR", R_KD_VAL_TXT, k4K},
    {"G_HTTP_ADDR", R_KD_VAL_TXT, 32}, {"G_HTTP_S1", R_KD_VAL_TXT, k16K},
    {"G_HTTP_S2", R_KD_VAL_TXT, k16K}, {"G_HTTP_DBG", R_KD_VAL_TXT, k16K},
    {"G_UDP_S", R_KD_VAL_TXT, k16K},  {"G_UDP_ADDR", R_KD_VAL_TXT, 32},
    {"G_TCP_S", R_KD_VAL_TXT, k16K},  {"G_TCP_ADDR", R_KD_VAL_TXT, 32},
    {"G_TCP_RPORT", R_KD_VAL_LONG, 0}, {"G_PIPE_S", R_KD_VAL_TXT, k4K},
    {"G_WAVE_RATE", R_KD_VAL_LONG, 0}, {"G_PLYGN_CNT", R_KD_VAL_LONG, 0},
    {"G_PLYGN_CNT_SUB", R_KD_VAL_LONG, 0}, {"G_CLCPT_GBMP", R_KD_VAL_LONG, 0},
    {"G_CLC_IDX", R_KD_VAL_LONG, 0},  {"G_CLC_EX", R_KD_VAL_LONG, 0},
    {"G_CLC_STR", R_KD_VAL_TXT, 1024}, {"G_BLK_CNT", R_KD_VAL_LONG, 0},
    {"G_BLK_SELCNT", R_KD_VAL_LONG, 0}, {"G_CLIPBOARD", R_KD_VAL_CLIPBD, 0},
};
static_assert(std::size(kSystemVariables) == sysvar::COUNT);

void Preset(ResourceEntry& entry, std::string_view value) {
  if (!entry.text) return;
  const std::size_t n = std::min<std::size_t>(value.size(), entry.text_capacity - 1);
  if (n > 0) std::memcpy(entry.text.get(), value.data(), n);
  entry.text[n] = '\0';
}

// Each buffer starts on a 16-byte boundary of the shared block.
constexpr std::size_t kTextAlignment = 16;

constexpr std::size_t AlignedTextBytes(std::int32_t capacity) {
  return (static_cast<std::size_t>(capacity) + kTextAlignment - 1) / kTextAlignment * kTextAlignment;
}

constexpr std::size_t SystemTextBytes() {
  std::size_t total = 0;
  for (const SystemVariable& sv : kSystemVariables) {
    if (sv.kind == R_KD_VAL_TXT) total += AlignedTextBytes(sv.capacity);
  }
  return total;
}

}  // namespace

// The text buffers (about 190 KB, made again for every script a chain loads)
// share one block of fresh zero pages: nothing is cleared by hand and only
// the pages a script writes become resident.
void Program::CreateSystemVariables(std::string_view command_line, std::string_view module_dir,
                                    std::string_view current_dir) {
  // A block still lent to earlier entries stays theirs: these then get
  // buffers of their own, as when the block cannot be mapped.
  char* next_text = nullptr;
  if (system_texts_.Data() == nullptr) {
    system_texts_ = platform::ZeroPages(SystemTextBytes());
    next_text = system_texts_.Data();
  }
  PendingError ignored;  // the names are distinct
  for (const SystemVariable& sv : kSystemVariables) {
    ResourceEntry* entry = NewResource();
    entry->SetName(sv.name);
    entry->kind = sv.kind;
    if (sv.kind == R_KD_VAL_TXT) {
      if (next_text != nullptr) {
        entry->LendText(next_text, sv.capacity);
        next_text += AlignedTextBytes(sv.capacity);
      } else {
        // A buffer that cannot be allocated stays absent; its capacity is kept.
        entry->AllocateText(sv.capacity);
      }
      entry->capacity = sv.capacity;
    }
    CommitResource(0, ignored);
  }
  Preset(Resource(sysvar::G_CMD_LINE), command_line);
  Preset(Resource(sysvar::G_MODULE_DIR), module_dir);
  Preset(Resource(sysvar::G_CURRENT_DIR), current_dir);
}

}  // namespace vx
