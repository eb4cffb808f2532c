// Dialogs: OpenDialog, InputDialog, SetDialogPrm, InputDialogHoli,
// Prm1Dialog, EditDialog, DigitDialog, MsgBx, ColorDialog, SpeedMenu,
// ListSelect, ListSelectStr, CatListSelect and ListSelectSArray.
// docs/api/dialogs.md gives
// each one's contract. Without a dialog host (headless) every question is
// cancelled at once and MsgBx is one line on standard error answered with
// its first button.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "arrays/stores.hpp"
#include "engine/dialogs.hpp"
#include "engine/runtime.hpp"
#include "platform/files.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

constexpr std::size_t kListFileLineMax = 4095;
constexpr int kListItemsMax = 10000;

// Items are separated by '|' or by line ends; empty pieces are dropped.
std::vector<std::string> SplitItems(std::string_view text) {
  std::vector<std::string> items;
  std::string item;
  for (char c : text) {
    if (c == '|' || c == '\n' || c == '\r') {
      if (!item.empty()) items.push_back(std::move(item));
      item.clear();
    } else {
      item.push_back(c);
    }
  }
  if (!item.empty()) items.push_back(std::move(item));
  if (items.size() > static_cast<std::size_t>(kListItemsMax)) items.resize(kListItemsMax);
  return items;
}

std::string CurrentText(Runtime& rt, std::int32_t index) {
  std::string buffer;
  return std::string(values::ReadAsText(rt, index, buffer));
}

// The optional prompt and caption of a question, from the given argument
// positions (kNone: the function has none); absent ones are empty. They are
// kept in the call's first two small buffers.
constexpr int kNone = -1;
struct Question {
  const std::string& prompt;
  const std::string& caption;
};

// Prompt and caption live in work buffers 2 and 3, so a handler's own
// texts in buffers 0 and 1 survive the fetch.
Question FetchQuestion(Call& call, int prompt_at, int caption_at) {
  std::string& prompt = call.Small(2);
  std::string& caption = call.Small(3);
  if (prompt_at != kNone) call.OptString(prompt_at, prompt);
  if (caption_at != kNone) call.OptString(caption_at, caption);
  return {prompt, caption};
}

// Writes a chosen text, or reports the cancel (no answer also when there is
// no dialog host).
void FinishText(Call& call, std::int32_t out, const std::optional<std::string>& answer) {
  if (!answer) {
    call.SetError(1);
    return;
  }
  call.WriteText(out, *answer);
  call.SetError(0);
}

// OpenDialog out PATH[, FILTER[, CAPTION[, SAVE]]]
void OpenDialog(Call& call) {
  const std::int32_t out = call.Resource(0);
  std::string& filter = call.Small(0);
  std::string& caption = call.Small(1);
  call.OptString(1, filter);
  call.OptString(2, caption);
  const std::int32_t save = call.OptInt(3, 0);
  if (out < 0) return;
  host::DialogHost* dialogs = call.rt().dialogs;
  FinishText(call, out, dialogs ? dialogs->OpenFile(caption, filter, save != 0) : std::nullopt);
}

void InputTextWith(Call& call, host::TextInput kind) {
  const std::int32_t out = call.Resource(0);
  const bool lines = kind == host::TextInput::kMultiLine;
  const auto [prompt, caption] = FetchQuestion(call, lines ? kNone : 1, lines ? 1 : 2);
  if (out < 0) return;
  host::DialogHost* dialogs = call.rt().dialogs;
  const std::string initial = CurrentText(call.rt(), out);
  FinishText(call, out, dialogs ? dialogs->InputText(caption, prompt, initial, kind) : std::nullopt);
}

// InputDialog out TEXT[, PROMPT[, CAPTION]]
void InputDialog(Call& call) { InputTextWith(call, host::TextInput::kLine); }
// InputDialogHoli out TEXT[, PROMPT[, CAPTION]]: half-width characters only
void InputDialogHoli(Call& call) { InputTextWith(call, host::TextInput::kHalfWidth); }
// EditDialog out TEXT[, CAPTION]: several lines, CR LF between them
void EditDialog(Call& call) { InputTextWith(call, host::TextInput::kMultiLine); }

// SetDialogPrm CAPTION[, FONT_CODE]
void SetDialogPrm(Call& call) {
  std::string& caption = call.Small(0);
  call.String(0, caption);
  const std::int32_t font = call.OptInt(1, 0);
  if (call.rt().dialogs) call.rt().dialogs->SetDefaults(caption, font);
  call.SetError(0);
}

void FinishNumber(Call& call, std::int32_t out, const std::optional<double>& answer, bool whole) {
  if (!answer) {
    call.SetError(1);
    return;
  }
  if (whole) {
    call.WriteInt(out, static_cast<std::int32_t>(*answer));
  } else {
    call.WriteDouble(out, *answer);
  }
  call.SetError(0);
}

// Prm1Dialog out VALUE[, PROMPT[, CAPTION]]: one number with decimals
void Prm1Dialog(Call& call) {
  const std::int32_t out = call.Resource(0);
  const auto [prompt, caption] = FetchQuestion(call, 1, 2);
  if (out < 0) return;
  host::NumberInput number;
  number.initial = values::ReadAsDouble(call.rt(), out);
  number.decimals = 6;
  number.minimum = -1e15;
  number.maximum = 1e15;
  host::DialogHost* dialogs = call.rt().dialogs;
  const auto answer = dialogs ? dialogs->InputNumber(caption, prompt, number) : std::nullopt;
  FinishNumber(call, out, answer, false);
}

// DigitDialog out VALUE[, MINIMUM[, MAXIMUM[, CAPTION]]]: a whole number
void DigitDialog(Call& call) {
  const std::int32_t out = call.Resource(0);
  host::NumberInput number;
  number.minimum = call.OptInt(1, static_cast<std::int32_t>(number.minimum));
  number.maximum = call.OptInt(2, static_cast<std::int32_t>(number.maximum));
  const std::string& caption = FetchQuestion(call, kNone, 3).caption;
  if (out < 0) return;
  host::DialogHost* dialogs = call.rt().dialogs;
  if (dialogs == nullptr || number.minimum > number.maximum) {
    call.SetError(1);
    return;
  }
  number.initial = values::ReadAsInteger(call.rt(), out);
  FinishNumber(call, out, dialogs->InputNumber(caption, {}, number), true);
}

// MsgBx TEXT[, CAPTION[, BUTTONS]]: G_WORK1 = the answer (1 OK, 2 Cancel,
// 6 Yes, 7 No); G_ERROR = 0 for OK and Yes, else 1.
void MsgBx(Call& call) {
  std::string& text = call.Large(0);
  std::string& caption = call.Small(0);
  call.String(0, text);
  call.OptString(1, caption, "Message");
  std::int32_t buttons = call.OptInt(2, host::BUTTONS_OK);
  if (buttons < host::BUTTONS_OK || buttons > host::BUTTONS_YES_NO_CANCEL) buttons = host::BUTTONS_OK;
  Runtime& rt = call.rt();
  int answer = 0;
  if (rt.dialogs) {
    answer = rt.dialogs->Message(caption, text, buttons);
  } else {
    rt.window->ShowMessage(caption, text);
    answer = host::DefaultAnswer(buttons);
  }
  call.SetWork(1, answer);
  call.SetError(answer == host::ANSWER_OK || answer == host::ANSWER_YES ? 0 : 1);
}

// ColorDialog out COLOUR: 0xRRGGBB, starting from the variable's value
void ColorDialog(Call& call) {
  const std::int32_t out = call.Resource(0);
  if (out < 0) return;
  host::DialogHost* dialogs = call.rt().dialogs;
  const auto initial = static_cast<std::uint32_t>(values::ReadAsInteger(call.rt(), out)) & 0xFFFFFFu;
  const std::optional<std::uint32_t> colour = dialogs ? dialogs->ChooseColour(initial) : std::nullopt;
  if (!colour) {
    call.SetError(1);
    return;
  }
  call.WriteInt(out, static_cast<std::int32_t>(*colour));
  call.SetError(0);
}

// Common end of the choosers: G_WORK1 = the index or -1.
int Choose(Call& call, std::string_view caption, const std::vector<std::string>& items, int initial) {
  host::DialogHost* dialogs = call.rt().dialogs;
  const int chosen = dialogs && !items.empty() ? dialogs->ChooseFromList(caption, items, initial) : -1;
  call.SetWork(1, chosen);
  call.SetError(chosen >= 0 ? 0 : 1);
  return chosen;
}

// SpeedMenu ITEMS[, out INDEX]: a pop-up menu at the mouse pointer
void SpeedMenu(Call& call) {
  std::string& text = call.Large(0);
  call.String(0, text);
  const std::int32_t out = call.OptResource(1);
  const std::vector<std::string> items = SplitItems(text);
  host::DialogHost* dialogs = call.rt().dialogs;
  const int chosen = dialogs && !items.empty() ? dialogs->PopupMenu(items) : -1;
  call.SetWork(1, chosen);
  if (chosen >= 0 && out >= 0) call.WriteInt(out, chosen);
  call.SetError(chosen >= 0 ? 0 : 1);
}

// ListSelect out INDEX, ITEMS[, CAPTION]
void ListSelect(Call& call) {
  const std::int32_t out = call.Resource(0);
  std::string& text = call.Large(0);
  call.String(1, text);
  const std::string& caption = FetchQuestion(call, kNone, 2).caption;
  if (out < 0) return;
  const int chosen = Choose(call, caption, SplitItems(text), values::ReadAsInteger(call.rt(), out));
  if (chosen >= 0) call.WriteInt(out, chosen);
}

// ListSelectStr out TEXT, ITEMS[, CAPTION]
void ListSelectStr(Call& call) {
  const std::int32_t out = call.Resource(0);
  std::string& text = call.Large(0);
  call.String(1, text);
  const std::string& caption = FetchQuestion(call, kNone, 2).caption;
  if (out < 0) return;
  const std::vector<std::string> items = SplitItems(text);
  const int chosen = Choose(call, caption, items, -1);
  if (chosen >= 0) call.WriteText(out, items[chosen]);
}

// CatListSelect out TEXT, FILE[, CAPTION]: the file's lines are the items;
// a line "[name]" starts a category, shown before each of its items.
void CatListSelect(Call& call) {
  const std::int32_t out = call.Resource(0);
  std::string& path = call.Small(0);
  call.String(1, path);
  const std::string& caption = FetchQuestion(call, kNone, 2).caption;
  if (out < 0) return;
  files::FilePtr file = files::Open(path, "rb");
  if (!file) {
    call.SetWork(1, -1);
    call.SetError(1);
    return;
  }
  std::vector<std::string> shown;
  std::vector<std::string> values_of;
  std::string category;
  char line[kListFileLineMax + 1];
  while (std::fgets(line, sizeof line, file.get()) != nullptr && shown.size() < kListItemsMax) {
    std::string item(line);
    while (!item.empty() && (item.back() == '\n' || item.back() == '\r')) item.pop_back();
    if (item.empty()) continue;
    if (item.size() >= 2 && item.front() == '[' && item.back() == ']') {
      category = item.substr(1, item.size() - 2);
      continue;
    }
    shown.push_back(category.empty() ? item : category + " / " + item);
    values_of.push_back(item);
  }
  const int chosen = Choose(call, caption, shown, -1);
  if (chosen >= 0) call.WriteText(out, values_of[chosen]);
}

// ListSelectSArray out INDEX, FIRST, COUNT[, CAPTION[, out TEXT]]: the
// non-empty string-array entries FIRST to FIRST+COUNT-1 are the items (COUNT
// is capped at the array's end). INDEX and G_WORK1 get the chosen entry's
// index in the string array, so GetStrArray reads it again; the entry INDEX
// names is selected at the start.
void ListSelectSArray(Call& call) {
  const std::int32_t out = call.Resource(0);
  const std::int32_t first = call.Int(1);
  const std::int32_t count = call.Int(2);
  const std::string& caption = FetchQuestion(call, kNone, 3).caption;
  const std::int32_t text_out = call.OptResource(4);
  if (out < 0) return;
  if (!StringArray::ValidIndex(first) || count < 1) {
    call.SetWork(1, -1);
    call.SetError(1);
    return;
  }
  const StringArray& strings = call.rt().stores.strings;
  const std::int32_t end = first + std::min(count, STR_ARRAY_ENTRIES - first);
  const std::int32_t current = values::ReadAsInteger(call.rt(), out);
  std::vector<std::string> items;
  std::vector<std::int32_t> entry_of;
  int initial = -1;
  for (std::int32_t index = first; index < end; ++index) {
    if (strings.Get(index).empty()) continue;
    if (index == current) initial = static_cast<int>(items.size());
    items.emplace_back(strings.Get(index));
    entry_of.push_back(index);
  }
  const int chosen = Choose(call, caption, items, initial);
  if (chosen < 0) return;
  const std::int32_t entry = entry_of[static_cast<std::size_t>(chosen)];
  call.SetWork(1, entry);
  call.WriteInt(out, entry);
  if (text_out >= 0) call.WriteText(text_out, items[static_cast<std::size_t>(chosen)]);
}

constexpr Registration kDialogApis[] = {
    {Id("OpenDialog"), OpenDialog},       {Id("InputDialog"), InputDialog},
    {Id("SetDialogPrm"), SetDialogPrm},   {Id("InputDialogHoli"), InputDialogHoli},
    {Id("Prm1Dialog"), Prm1Dialog},       {Id("EditDialog"), EditDialog},
    {Id("DigitDialog"), DigitDialog},     {Id("MsgBx"), MsgBx},
    {Id("ColorDialog"), ColorDialog},     {Id("SpeedMenu"), SpeedMenu},
    {Id("ListSelect"), ListSelect},       {Id("ListSelectStr"), ListSelectStr},
    {Id("CatListSelect"), CatListSelect}, {Id("ListSelectSArray"), ListSelectSArray},
};

}  // namespace

void RegisterDialogApis(Registry& registry) { registry.AddAll(kDialogApis); }

}  // namespace vx::api

namespace vx::host {

int DefaultAnswer(int buttons) {
  return buttons == BUTTONS_YES_NO || buttons == BUTTONS_YES_NO_CANCEL ? ANSWER_YES : ANSWER_OK;
}

}  // namespace vx::host
