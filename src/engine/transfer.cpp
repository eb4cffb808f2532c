// Moving values into resources: assignment, copy (TypeTo, WriteTo, MoveTo),
// append (AddTo), list lines, and the file directives OPEN, CLOSE, ReadLine
// and inc.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "engine/run_internal.hpp"
#include "engine/system_variables.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "values/values.hpp"

namespace vx::engine::detail {
namespace {

constexpr std::size_t FILE_BLOCK_BYTES = 100;

ResourceEntry* Entry(Runtime& rt, std::int32_t index) {
  return rt.program.ValidResource(index) ? &rt.program.Resource(index) : nullptr;
}

bool PortOpen(const Runtime& rt, const ResourceEntry& e) {
  return rt.ports != nullptr && e.port_handle >= 0;
}

void SetTransferCount(Runtime& rt, std::size_t n) {
  values::SetLong(rt, sysvar::G_TRNS_CNT, static_cast<std::int32_t>(n));
}

void SetStatus(Runtime& rt, std::int32_t status) { values::SetLong(rt, sysvar::G_ERROR, status); }

// Replaces the selected item of a list box; no selection changes nothing.
void ReplaceSelectedItem(Runtime& rt, const ResourceEntry& list, std::string_view text) {
  const int selected = rt.window->ListSelection(list);
  if (selected < 0) return;
  rt.window->ListDelete(list, selected);
  rt.window->ListInsert(list, selected, text);
  rt.window->SetListSelection(list, selected);
}

// A file resource's path buffer takes `path`, cut to its capacity.
void StorePath(ResourceEntry& e, std::string_view path) {
  if (!e.text || e.text_capacity <= 0) return;
  const std::size_t n = std::min<std::size_t>(path.size(), e.text_capacity - 1);
  std::memmove(e.text.get(), path.data(), n);
  e.text[n] = '\0';
}

// --- file to file and file to port ---------------------------------------

// Streams up to `limit` bytes of `from` in blocks of 100 bytes into `sink`.
template <typename Sink>
std::size_t StreamBlocks(std::FILE* from, std::size_t limit, Sink&& sink) {
  char block[FILE_BLOCK_BYTES];
  std::size_t total = 0;
  while (total < limit) {
    const std::size_t want = std::min(sizeof block, limit - total);
    const std::size_t got = std::fread(block, 1, want, from);
    if (got == 0) break;
    if (!sink(std::string_view(block, got))) break;
    total += got;
  }
  return total;
}

std::size_t FileSize(std::FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(f);
  std::rewind(f);
  return size > 0 ? static_cast<std::size_t>(size) : 0;
}

// The outcome of a write into a FILE resource: G_TRNS_CNT the bytes that
// are in the file now (none when a replacement failed: the old contents
// stay), G_ERROR 0, or 1 with the system's reason in G_ERR_TXT.
void ReportFileWrite(Runtime& rt, files::OutputFile& out) {
  const int error = out.Finish();
  SetTransferCount(rt, static_cast<std::size_t>(out.BytesInTarget()));
  SetStatus(rt, error == 0 ? 0 : 1);
  if (error != 0) values::WriteText(rt, sysvar::G_ERR_TXT, files::ErrorText(error));
}

void WriteTextFile(Runtime& rt, const ResourceEntry& dest, std::string_view text, bool append) {
  files::OutputFile out =
      files::OutputFile::Open(dest.Text(), append ? files::WriteMode::kAppend : files::WriteMode::kReplace);
  out.Write(text);
  ReportFileWrite(rt, out);
}

// A source file that cannot be read counts as a failed transfer; `landed`
// bytes reached the destination before.
void ReportUnreadableSource(Runtime& rt, std::size_t landed = 0) {
  const int error = errno != 0 ? errno : ENOENT;
  SetTransferCount(rt, landed);
  SetStatus(rt, 1);
  values::WriteText(rt, sysvar::G_ERR_TXT, files::ErrorText(error));
}

// Copies or appends the source file to the destination file. The source's
// size is taken first, so a file appended to itself doubles once instead of
// growing without end, and a file copied onto itself is left as it is.
void TransferFile(Runtime& rt, const ResourceEntry& source, const ResourceEntry& dest,
                  bool append) {
  errno = 0;
  files::FilePtr from = files::Open(source.Text(), "rb");
  if (!from) return ReportUnreadableSource(rt);
  const std::size_t size = FileSize(from.get());
  if (files::SameFile(source.Text(), dest.Text())) {
    if (append) {
      std::string copy;
      StreamBlocks(from.get(), size, [&](std::string_view b) { copy.append(b); return true; });
      from.reset();
      WriteTextFile(rt, dest, copy, true);
    } else {
      SetTransferCount(rt, size);
      SetStatus(rt, 0);
    }
    return;
  }
  files::OutputFile to =
      files::OutputFile::Open(dest.Text(), append ? files::WriteMode::kAppend : files::WriteMode::kReplace);
  StreamBlocks(from.get(), size, [&](std::string_view b) { return to.Write(b); });
  if (std::ferror(from.get())) {
    // A replacement is dropped, so the destination keeps what it had; what
    // an append wrote before stays.
    std::size_t landed = 0;
    if (append) {
      to.Finish();
      landed = static_cast<std::size_t>(to.BytesInTarget());
    }
    errno = EIO;
    return ReportUnreadableSource(rt, landed);
  }
  ReportFileWrite(rt, to);
}

void SendFileToPort(Runtime& rt, const ResourceEntry& source, const ResourceEntry& port) {
  if (!PortOpen(rt, port)) return;
  files::FilePtr from = files::Open(source.Text(), "rb");
  if (!from) {
    SetTransferCount(rt, 0);
    SetStatus(rt, 1);
    return;
  }
  const std::size_t n =
      StreamBlocks(from.get(), std::numeric_limits<std::size_t>::max(), [&](std::string_view b) {
        rt.ports->Send(port, b);
        return true;
      });
  SetTransferCount(rt, n);
  SetStatus(rt, 0);
}

// --- text into a destination ---------------------------------------------

// Copy's effect on the destination; returns the count of bytes taken, or
// nothing when the destination has set G_TRNS_CNT itself.
std::optional<std::size_t> CopyTextInto(Runtime& rt, std::int32_t dest_index,
                                        ResourceEntry& dest, std::string_view text) {
  std::int32_t number = 0;
  switch (dest.kind) {
    case R_KD_BUTTON:
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX:
    case R_KD_CMB_BOX: rt.window->SetControlText(dest, text); break;
    case R_KD_LISTBOX: ReplaceSelectedItem(rt, dest, text); break;
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN:
      if (values::ScanLong(text, &number)) rt.window->SetChecked(dest, number != 0);
      break;
    case R_KD_PGS_BAR:
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR:
      if (values::ScanLong(text, &number)) rt.window->SetPosition(dest, number);
      break;
    case R_KD_VAL_TXT:
      values::WriteText(rt, dest_index, text);
      return dest.Text().size();
    case R_KD_VAL_LONG:
    case R_KD_VAL_DOUBLE: values::WriteText(rt, dest_index, text); break;
    case R_KD_FILE:
      WriteTextFile(rt, dest, text, false);
      return std::nullopt;
    case R_KD_VAL_CLIPBD: rt.window->SetClipboardText(text); break;
    case R_KD_COM:
      if (PortOpen(rt, dest)) rt.ports->Send(dest, text);
      break;
    default: break;
  }
  return text.size();
}

// Append's effect on the destination.
void AppendTextTo(Runtime& rt, std::int32_t dest_index, ResourceEntry& dest,
                  std::string_view text) {
  std::string& joined = rt.run.control_text;
  switch (dest.kind) {
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX: {
      const std::string current = rt.window->ControlText(dest);
      joined.assign(current, 0, std::min(current.size(), TEXT_VALUE_MAX));
      joined.append(text.substr(0, TEXT_VALUE_MAX - joined.size()));
      rt.window->SetControlText(dest, joined);
      rt.window->ScrollToEnd(dest);
      break;
    }
    case R_KD_LISTBOX:
    case R_KD_CMB_BOX: rt.window->ListAdd(dest, text); break;
    case R_KD_VAL_TXT: values::AppendText(rt, dest_index, text); break;
    case R_KD_VAL_CLIPBD: {
      const std::string current = rt.window->ClipboardText();
      joined.assign(current, 0, std::min(current.size(), TEXT_VALUE_MAX));
      joined.append(text.substr(0, TEXT_VALUE_MAX - joined.size()));
      rt.window->SetClipboardText(joined);
      break;
    }
    case R_KD_FILE: WriteTextFile(rt, dest, text, true); break;
    default: break;
  }
}

void TraceAssignment(Runtime& rt, const ResourceEntry& dest) {
  std::string& line = rt.run.line;
  line.assign(dest.Name());
  line += " = [new value]\r\n";
  values::AppendText(rt, sysvar::G_SYSTEM_LOG, line);
}

}  // namespace

void Assign(Runtime& rt, Procedure& proc) {
  ResourceEntry* dest = Entry(rt, proc.b);
  if (!dest) {
    rt.error.Set(msg::Format(msg::Id::kCannotAssign, std::string_view()));
    return;
  }
  if (rt.run.trace_flags & TRACE_ASSIGNMENTS) TraceAssignment(rt, *dest);
  switch (dest->kind) {
    case R_KD_VAL_LONG: {
      const double v = EvaluateNumber(rt, proc);
      StoreLong(rt, *dest, expr::rules::ToInt32(v));
      break;
    }
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN:
    case R_KD_STEPTIMER: {
      const double v = EvaluateNumber(rt, proc);
      values::WriteInteger(rt, proc.b, expr::rules::ToInt32(v));
      break;
    }
    case R_KD_VAL_DOUBLE: {
      const double v = EvaluateNumber(rt, proc);
      values::WriteDouble(rt, proc.b, v);
      break;
    }
    case R_KD_VAL_TXT: values::WriteText(rt, proc.b, EvaluateString(rt, proc)); break;
    case R_KD_BUTTON:
    case R_KD_PW_BOX:
    case R_KD_TEXTBOX:
    case R_KD_EDITBOX:
    case R_KD_CMB_BOX: rt.window->SetControlText(*dest, EvaluateString(rt, proc)); break;
    case R_KD_LISTBOX:
      if (rt.window->ListSelection(*dest) >= 0) ReplaceSelectedItem(rt, *dest, EvaluateString(rt, proc));
      break;
    case R_KD_PGS_BAR:
    case R_KD_TRACK_BAR:
    case R_KD_SCR_BAR: {
      const double v = EvaluateNumber(rt, proc);
      rt.window->SetPosition(*dest, expr::rules::ToInt32(v));
      break;
    }
    case R_KD_VAL_CLIPBD: rt.window->SetClipboardText(EvaluateString(rt, proc)); break;
    case R_KD_FILE: StorePath(*dest, EvaluateString(rt, proc)); break;
    case R_KD_COM:
      if (PortOpen(rt, *dest)) rt.ports->Send(*dest, EvaluateString(rt, proc));
      break;
    default: rt.error.Set(msg::Format(msg::Id::kCannotAssign, dest->Name())); break;
  }
}

void Copy(Runtime& rt, const Procedure& proc) {
  ResourceEntry* source = Entry(rt, proc.a);
  ResourceEntry* dest = Entry(rt, proc.b);
  if (!source || !dest) return;
  if (source->kind == R_KD_FILE && dest->kind == R_KD_COM) return SendFileToPort(rt, *source, *dest);
  if (source->kind == R_KD_FILE && dest->kind == R_KD_FILE)
    return TransferFile(rt, *source, *dest, false);
  const std::string_view text = values::ReadAsText(rt, proc.a, rt.run.text);
  if (const auto taken = CopyTextInto(rt, proc.b, *dest, text)) SetTransferCount(rt, *taken);
}

void Append(Runtime& rt, const Procedure& proc) {
  ResourceEntry* source = Entry(rt, proc.a);
  ResourceEntry* dest = Entry(rt, proc.b);
  if (!source || !dest) return;
  if (source->kind == R_KD_FILE && dest->kind == R_KD_FILE)
    return TransferFile(rt, *source, *dest, true);
  const std::string_view text = values::ReadAsText(rt, proc.a, rt.run.text);
  AppendTextTo(rt, proc.b, *dest, text);
}

void AddListLines(Runtime& rt, Procedure& proc) {
  const std::string_view text = EvaluateString(rt, proc);
  ResourceEntry* dest = Entry(rt, proc.b);
  if (!dest || (dest->kind != R_KD_LISTBOX && dest->kind != R_KD_CMB_BOX)) return;
  std::size_t start = 0;
  for (;;) {
    const std::size_t crlf = text.find("\r\n", start);
    if (crlf == std::string_view::npos) break;
    rt.window->ListAdd(*dest, text.substr(start, crlf - start));
    start = crlf + 2;
  }
  if (start < text.size()) rt.window->ListAdd(*dest, text.substr(start));
}

void OpenFile(Runtime& rt, const Procedure& proc) {
  ResourceEntry* file = Entry(rt, proc.a);
  if (!file || file->kind != R_KD_FILE) return SetStatus(rt, 1);
  // Opening again replaces (and closes) the earlier handle.
  file->file = files::Open(file->Text(), "rb");
  SetStatus(rt, file->file ? 0 : 1);
}

void CloseFile(Runtime& rt, const Procedure& proc) {
  ResourceEntry* file = Entry(rt, proc.a);
  if (file && file->kind == R_KD_FILE) file->file.reset();
}

void ReadLine(Runtime& rt, const Procedure& proc) {
  ResourceEntry* file = Entry(rt, proc.a);
  if (!file || file->kind != R_KD_FILE || !file->file) return SetStatus(rt, 1);
  ResourceEntry* dest = Entry(rt, proc.b);
  if (!dest || dest->kind != R_KD_VAL_TXT) return;
  // As fgets: up to capacity - 1 bytes, through the first LF.
  std::FILE* f = file->file.get();
  const std::size_t room =
      dest->text && dest->text_capacity > 0 ? static_cast<std::size_t>(dest->text_capacity) - 1 : 0;
  std::size_t n = 0;
  bool got_any = false;
  int c = 0;
  while (n < room && (c = std::getc(f)) != EOF) {
    got_any = true;
    dest->text[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  if (room == 0) {
    // A variable with no room would never get past the line; skip it.
    while ((c = std::getc(f)) != EOF) {
      got_any = true;
      if (c == '\n') break;
    }
  }
  if (dest->text) dest->text[n] = '\0';
  if (!got_any) {
    SetStatus(rt, 1);
  } else {
    while (n > 0 && (dest->text[n - 1] == '\r' || dest->text[n - 1] == '\n')) dest->text[--n] = '\0';
    SetStatus(rt, 0);
  }
  values::RefreshNameTable(rt, proc.b);
}

void Increment(Runtime& rt, const Procedure& proc) {
  ResourceEntry* e = Entry(rt, proc.a);
  if (!e) return;
  if (e->kind == R_KD_VAL_LONG) {
    // Wraps at the 32-bit limit like the machine addition it stands for.
    e->long_value = static_cast<std::int32_t>(static_cast<std::uint32_t>(e->long_value) + 1u);
  } else if (e->kind == R_KD_VAL_DOUBLE) {
    e->double_value += 1.0;
  } else {
    return;
  }
  values::RefreshNameTable(rt, proc.a);
}

}  // namespace vx::engine::detail
