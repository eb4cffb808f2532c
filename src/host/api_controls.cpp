// List boxes and controls: EditGetSel, ListBSelChg, ListBSelDel,
// ListBInsert, ListBClr, GetListCurSel, LoadListBox, ExpListBox, RscCtrl,
// SetFontSize and CtrlStepTimer.
#include <cstdio>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "host/controls.hpp"
#include "host/timers.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

constexpr std::int32_t kSelectionMax = 0x20000;     // bytes EditGetSel hands out
constexpr std::size_t kListLineMax = 0x1FFFF - 1;   // bytes of one line LoadListBox reads
constexpr std::int32_t kModeAppend = 1;

enum RscOperation : std::int32_t {
  RSC_MOVE = -1,
  RSC_RESIZE = -2,
  RSC_SHOW = -3,
  RSC_COLOURS = -4,
  RSC_NO_EDGE = -5,
  RSC_LIMIT_TEXT = -6,
};

bool IsList(const ResourceEntry& e) { return e.kind == R_KD_LISTBOX || e.kind == R_KD_CMB_BOX; }
bool IsTextOrEdit(const ResourceEntry& e) { return e.kind == R_KD_TEXTBOX || e.kind == R_KD_EDITBOX; }

// The resource of argument n, or null after taking the error path.
ResourceEntry* ControlArg(Call& call, int n) {
  const std::int32_t index = call.Resource(n);
  if (index < 0) {
    call.SetError(1);
    return nullptr;
  }
  return &call.rt().program.Resource(index);
}

// The list or combo box of argument 0, or null after the error path.
ResourceEntry* ListArg(Call& call) {
  ResourceEntry* list = ControlArg(call, 0);
  if (list != nullptr && !IsList(*list)) {
    call.SetError(1);
    return nullptr;
  }
  return list;
}

// EditGetSel EDIT, out TEXT, START, END
void EditGetSel(Call& call) {
  ResourceEntry* edit = ControlArg(call, 0);
  if (edit == nullptr) return;
  const std::int32_t out = call.Resource(1);
  const std::int32_t start = call.Int(2);
  const std::int32_t end = call.Int(3);
  if (out < 0) return;
  Runtime& rt = call.rt();
  if (edit->kind != R_KD_EDITBOX || rt.controls == nullptr) {
    call.SetError(1);
    return;
  }
  if (start != end) rt.controls->SetEditSelection(*edit, start, end);
  std::int32_t from = 0;
  std::int32_t to = 0;
  rt.controls->EditSelection(*edit, &from, &to);
  call.SetWork(1, from);
  call.SetWork(2, to);
  const std::string text = rt.window->ControlText(*edit);
  const auto length = static_cast<std::int32_t>(text.size());
  if (from == to || from < 0 || length <= from || length < to || to - from >= kSelectionMax) {
    call.SetError(1);
    return;
  }
  call.SetError(0);
  call.WriteText(out, std::string_view(text).substr(from, to - from));
}

// ListBSelChg LIST, INDEX
void ListBSelChg(Call& call) {
  ResourceEntry* list = ListArg(call);
  if (list == nullptr) return;
  const std::int32_t index = call.Int(1);
  call.rt().window->SetListSelection(*list, index);
  call.SetError(0);
}

// ListBSelDel LIST[, INDEX]: the selected item when the index is left out
// or negative.
void ListBSelDel(Call& call) {
  ResourceEntry* list = ListArg(call);
  if (list == nullptr) return;
  std::int32_t index = call.OptInt(1, -1);
  if (index < 0) index = call.rt().window->ListSelection(*list);
  if (index < 0 || call.rt().controls == nullptr || index >= call.rt().controls->ListCount(*list)) {
    call.SetError(1);
    return;
  }
  call.rt().window->ListDelete(*list, index);
  call.SetError(0);
}

// ListBInsert LIST, TEXT: before the selected item, or at the end.
void ListBInsert(Call& call) {
  ResourceEntry* list = ListArg(call);
  if (list == nullptr) return;
  std::string& text = call.Large(0);
  call.String(1, text);
  const int selected = call.rt().window->ListSelection(*list);
  call.rt().window->ListInsert(*list, selected, text);
  call.SetError(0);
}

// ListBClr LIST
void ListBClr(Call& call) {
  ResourceEntry* list = ListArg(call);
  if (list == nullptr) return;
  if (call.rt().controls) call.rt().controls->ListClear(*list);
  call.SetError(0);
}

// GetListCurSel LIST, out INDEX: the output stays as it was without a
// selection.
void GetListCurSel(Call& call) {
  ResourceEntry* list = ListArg(call);
  if (list == nullptr) return;
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const int selected = call.rt().window->ListSelection(*list);
  if (selected >= 0) call.WriteInt(out, selected);
  call.SetError(selected >= 0 ? 0 : 1);
}

// Reads one line of at most kListLineMax bytes without its CR and LF.
bool ReadListLine(std::FILE* file, std::string& line) {
  line.clear();
  int c = 0;
  bool any = false;
  while (line.size() < kListLineMax && (c = std::fgetc(file)) != EOF) {
    any = true;
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return any;
}

// LoadListBox LIST, FILE, MODE: mode bit 0 appends to the items there.
void LoadListBox(Call& call) {
  ResourceEntry* list = ListArg(call);
  if (list == nullptr) return;
  std::string& path = call.Small(0);
  call.String(1, path);
  const std::int32_t mode = call.Int(2);
  Runtime& rt = call.rt();
  values::SetLong(rt, sysvar::G_TRNS_CNT, 0);
  files::FilePtr file = files::Open(path, "rb");
  if (!file) {
    call.SetError(1);
    return;
  }
  if ((mode & kModeAppend) == 0 && rt.controls) rt.controls->ListClear(*list);
  std::string& line = call.Large(0);
  std::int32_t added = 0;
  while (ReadListLine(file.get(), line)) {
    rt.window->ListAdd(*list, line);
    ++added;
  }
  values::SetLong(rt, sysvar::G_TRNS_CNT, added);
  call.SetError(0);
}

// ExpListBox FILE, LIST: every item followed by CR LF.
void ExpListBox(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t index = call.Resource(1);
  Runtime& rt = call.rt();
  values::SetLong(rt, sysvar::G_TRNS_CNT, 0);
  if (index < 0 || !IsList(rt.program.Resource(index)) || rt.controls == nullptr) {
    call.SetError(1);
    return;
  }
  const ResourceEntry& list = rt.program.Resource(index);
  // The file is replaced whole or not at all: G_TRNS_CNT counts the lines
  // that are in it.
  files::OutputFile file = files::OutputFile::Open(path, files::WriteMode::kReplace);
  const int count = rt.controls->ListCount(list);
  for (int i = 0; i < count && file.ok(); ++i) {
    std::string item = rt.window->ListItem(list, i);
    item += "\r\n";
    file.Write(item);
  }
  const int error = file.Finish();
  values::SetLong(rt, sysvar::G_TRNS_CNT, error == 0 ? count : 0);
  ReportSystemResult(call, error);
}

void ApplyRscOperation(host::ControlHost& host, ResourceEntry& e, std::int32_t operation,
                       std::int32_t a, std::int32_t b) {
  if (operation >= 0) {
    if (e.kind == R_KD_SCR_BAR) host.SetPageSize(e, operation);
    return;
  }
  switch (operation) {
    case RSC_MOVE: host.Move(e, a, b); break;
    case RSC_RESIZE: host.Resize(e, a, b); break;
    case RSC_SHOW: host.Show(e, a != 0); break;
    case RSC_COLOURS:
      if (!IsTextOrEdit(e)) break;
      e.option |= host::STYLE_CUSTOM_COLOURS;
      host.SetColours(e, static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b));
      break;
    case RSC_NO_EDGE:
      if (IsList(e)) host.RemoveClientEdge(e);
      break;
    case RSC_LIMIT_TEXT:
      if (IsTextOrEdit(e)) host.LimitText(e, a);
      break;
    default: break;
  }
}

// RscCtrl CONTROL, OPERATION, A, B
void RscCtrl(Call& call) {
  ResourceEntry* e = ControlArg(call, 0);
  if (e == nullptr) return;
  const std::int32_t operation = call.Int(1);
  const std::int32_t a = call.Int(2);
  const std::int32_t b = call.Int(3);
  if (IsControlKind(e->kind) && call.rt().controls) ApplyRscOperation(*call.rt().controls, *e, operation, a, b);
  call.SetError(0);
}

// SetFontSize CONTROL, FONT_CODE
void SetFontSize(Call& call) {
  const std::int32_t index = call.Resource(0);
  const std::int32_t code = call.Int(1);
  if (index < 0) {
    call.SetError(1);
    return;
  }
  call.SetError(host::SetResourceFont(call.rt(), index, code) == 1 ? 0 : 1);
}

// CtrlStepTimer STEP_TIMER, OPERATION, VALUE, out COUNTER
void CtrlStepTimer(Call& call) {
  ResourceEntry* timer = ControlArg(call, 0);
  if (timer == nullptr) return;
  const std::int32_t operation = call.Int(1);
  const std::int32_t value = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  if (timer->kind != R_KD_STEPTIMER) {
    call.SetError(1);
    return;
  }
  timer->step_count = host::ApplyStepOperation(timer->step_count, operation, value);
  call.WriteInt(out, timer->step_count);
  call.SetError(0);
}

constexpr Registration kControlApis[] = {
    {Id("EditGetSel"), EditGetSel},   {Id("ListBSelChg"), ListBSelChg},
    {Id("ListBSelDel"), ListBSelDel}, {Id("ListBInsert"), ListBInsert},
    {Id("ListBClr"), ListBClr},       {Id("GetListCurSel"), GetListCurSel},
    {Id("LoadListBox"), LoadListBox}, {Id("ExpListBox"), ExpListBox},
    {Id("RscCtrl"), RscCtrl},         {Id("SetFontSize"), SetFontSize},
    {Id("CtrlStepTimer"), CtrlStepTimer},
};

}  // namespace

void RegisterControlApis(Registry& registry) { registry.AddAll(kControlApis); }

}  // namespace vx::api
