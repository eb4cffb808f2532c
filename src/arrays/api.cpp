// The array family: the numeric array (10000 rows of six doubles), the
// string array (500 texts), the FIFO (100 texts), the line sorter SortList,
// statistics over the numeric array (SpRays) and the by-name access to
// variables (GetValue, SetValue, SaveValues, LoadValues).
#include <cerrno>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "arrays/stores.hpp"
#include "engine/runtime.hpp"
#include "files/saved_files.hpp"
#include "files/sort_list.hpp"
#include "platform/files.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

Stores& StoresOf(Call& call) { return call.rt().stores; }

// ---- numeric array ----

void GetArray(Call& call) {
  const std::int32_t row = call.Int(0);
  std::array<std::int32_t, ARRAY_COLUMNS> outs{};
  outs[0] = call.Resource(1);
  for (int k = 1; k < ARRAY_COLUMNS; ++k) outs[k] = call.OptResource(k + 1);
  const ArrayRow* values = StoresOf(call).numbers.Row(row);
  if (!values || outs[0] < 0) {
    call.SetError(1);
    if (outs[0] >= 0) call.WriteDouble(outs[0], 0.0);
    return;
  }
  for (int k = 0; k < ARRAY_COLUMNS; ++k)
    if (outs[k] >= 0) call.WriteDouble(outs[k], (*values)[k]);
  call.SetError(0);
}

void SetArray(Call& call) {
  const std::int32_t row = call.Int(0);
  ArrayRow values{};
  values[0] = call.Double(1);
  for (int k = 1; k < ARRAY_COLUMNS; ++k) values[k] = call.OptDouble(k + 1, 0.0);
  call.SetError(StoresOf(call).numbers.SetRow(row, values) ? 0 : 1);
}

void SetAryElem(Call& call) {
  const std::int32_t row = call.Int(0);
  const std::int32_t column = call.Int(1);
  const double value = call.Double(2);
  call.SetError(StoresOf(call).numbers.SetElement(row, column, value) ? 0 : 1);
}

void SortArray(Call& call) { call.SetError(StoresOf(call).numbers.SortRows(call.Int(0)) ? 0 : 1); }

void ClearArray(Call& call) { StoresOf(call).numbers.Clear(); }

// SpRays column, first row, count: sum, mean, minimum, maximum and standard
// deviation of a column over a run of rows.
void SpRays(Call& call) {
  const std::int32_t column = call.Int(0);
  const std::int32_t first = call.Int(1);
  const std::int32_t count = call.Int(2);
  const NumericArray& numbers = StoresOf(call).numbers;
  if (!NumericArray::ValidColumn(column) || count < 1 || !NumericArray::ValidRow(first) ||
      count > ARRAY_ROWS - first) {
    call.SetError(1);
    return;
  }
  double sum = 0.0;
  double minimum = std::numeric_limits<double>::infinity();
  double maximum = -minimum;
  std::int32_t min_row = first, max_row = first;
  for (std::int32_t row = first; row < first + count; ++row) {
    const double v = numbers.Element(row, column);
    sum += v;
    if (v < minimum) minimum = v, min_row = row;
    if (v > maximum) maximum = v, max_row = row;
  }
  const double mean = sum / count;
  double squares = 0.0;
  for (std::int32_t row = first; row < first + count; ++row) {
    const double d = numbers.Element(row, column) - mean;
    squares += d * d;
  }
  call.SetDblWork(1, sum);
  call.SetDblWork(2, mean);
  call.SetDblWork(3, minimum);
  call.SetDblWork(4, maximum);
  call.SetDblWork(5, std::sqrt(squares / count));
  call.SetWork(1, min_row);
  call.SetWork(2, max_row);
  call.SetError(0);
}

// ---- string array ----

void ClearStrArray(Call& call) { StoresOf(call).strings.Clear(); }

void GetStrArray(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0 || !StringArray::ValidIndex(index)) {
    call.SetError(1);
    return;
  }
  call.WriteText(out, StoresOf(call).strings.Get(index));
  call.SetError(0);
}

void SetStrArray(Call& call) {
  const std::int32_t index = call.Int(0);
  std::string& text = call.Large(0);
  call.String(1, text);
  call.SetError(StoresOf(call).strings.Set(index, text) ? 0 : 1);
}

void SortStrArray(Call& call) { call.SetError(StoresOf(call).strings.Sort(call.Int(0)) ? 0 : 1); }

void SearchStrArray(Call& call) {
  const std::int32_t count = call.Int(0);
  std::string& text = call.Large(0);
  call.String(1, text);
  const bool exact = call.Int(2) != 0;
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  call.WriteInt(out, StoresOf(call).strings.Search(count, text, exact));
}

void SaveStrArray(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t count = std::clamp(call.Int(1), 0, STR_ARRAY_ENTRIES);
  const bool append = call.OptInt(2, 0) != 0;
  std::vector<std::string_view> entries;
  for (std::int32_t i = 0; i < count; ++i) entries.push_back(StoresOf(call).strings.Get(i));
  const std::string bytes = saved::FormatStrArrayLines(entries);
  ReportSystemResult(call,
                     append ? files::Write(path, bytes, true) : files::ReplaceFile(path, bytes));
}

void LoadStrArray(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t count = std::clamp(call.Int(1), 0, STR_ARRAY_ENTRIES);
  const std::int32_t out = call.OptResource(2);
  errno = 0;
  files::FilePtr f = files::Open(path, "rb");
  if (!f) {
    if (out >= 0) call.WriteInt(out, 0);
    ReportSystemResult(call, errno != 0 ? errno : ENOENT);
    return;
  }
  std::string& line = call.Large(0);
  std::int32_t lines = 0;
  std::int32_t cut_lines = 0;
  // Two bytes more than an entry holds leave room for CR LF, one more tells
  // an over-long line.
  while (lines < count) {
    const files::LineRead read = files::ReadLine(f.get(), line, STR_ARRAY_TEXT_MAX + 3);
    if (read == files::LineRead::kEnd && std::ferror(f.get())) {
      if (out >= 0) call.WriteInt(out, lines);
      return ReportSystemResult(call, EIO);
    }
    if (read == files::LineRead::kEnd) break;
    bool cut = false;
    StoresOf(call).strings.Set(lines++, saved::StrArrayEntry(line, STR_ARRAY_TEXT_MAX, &cut));
    if (cut || read == files::LineRead::kCut) ++cut_lines;
  }
  if (out >= 0) call.WriteInt(out, lines);
  call.SetWork(1, cut_lines);
  call.SetError(0);
}

// ---- FIFO ----

void PutFifo(Call& call) {
  std::string& text = call.Large(0);
  call.String(0, text);
  const bool overwrite = call.OptInt(1, 0) != 0;
  call.SetError(StoresOf(call).fifo.Put(text, overwrite) == Fifo::PutResult::kStored ? 0 : 1);
}

void GetFifo(Call& call) {
  const std::int32_t out = call.Resource(0);
  const bool remove = call.OptInt(1, 0) != 0;
  if (out < 0) {
    call.SetError(1);
    return;
  }
  std::string& text = call.Large(0);
  if (!StoresOf(call).fifo.Get(text, remove)) {
    call.SetError(1);
    return;
  }
  call.WriteText(out, text);
  call.SetError(0);
}

void ClearFifo(Call& call) { StoresOf(call).fifo.Clear(); }

void RewindFifo(Call& call) { StoresOf(call).fifo.Rewind(); }

void FifoCmd(Call& call) {
  const std::int32_t command = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteInt(out, command == 0 ? StoresOf(call).fifo.Count() : 0);
}

// ---- SortList ----

void SortList(Call& call) {
  std::string& source = call.Small(0);
  std::string& destination = call.Small(1);
  std::string& key_start = call.Small(2);
  std::string& key_end = call.Small(3);
  call.String(0, source);
  call.String(1, destination);
  call.String(2, key_start);
  call.String(3, key_end);
  const bool ascending = call.Int(4) >= 1;
  errno = 0;
  files::FilePtr f = files::Open(source, "rb");
  if (!f) return ReportSystemResult(call, errno != 0 ? errno : ENOENT);
  std::vector<std::string> lines;
  std::string& line = call.Large(0);
  for (;;) {
    const files::LineRead read = files::ReadLine(f.get(), line, SORT_LIST_LINE_MAX);
    if (read == files::LineRead::kEnd && std::ferror(f.get())) return ReportSystemResult(call, EIO);
    if (read == files::LineRead::kEnd) break;
    // The destination is left alone rather than written with broken lines
    // or without the lines beyond the limit.
    if (read == files::LineRead::kCut) return ReportFailure(call, "line longer than 2047 bytes");
    if (static_cast<std::int32_t>(lines.size()) == SORT_LIST_LINES_MAX)
      return ReportFailure(call, "more than 10000 lines");
    lines.push_back(line);
  }
  f.reset();
  SortLines(lines, key_start, key_end, ascending);
  ReportSystemResult(call, files::ReplaceFile(destination, JoinLines(lines)));
}

// ---- variables by name ----

void GetValue(Call& call) {
  std::string& name = call.Small(0);
  call.String(0, name);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  Runtime& rt = call.rt();
  const std::int32_t index = rt.program.FindResource(name);
  if (index < 0) return call.SetError(1);
  const ResourceEntry& e = rt.program.Resource(index);
  switch (e.kind) {
    case R_KD_VAL_LONG: call.WriteInt(out, e.long_value); break;
    case R_KD_VAL_DOUBLE: call.WriteDouble(out, e.double_value); break;
    case R_KD_VAL_TXT: {
      std::string& text = call.Large(0);
      text.assign(e.Text());
      call.WriteText(out, text);
      break;
    }
    default: return call.SetError(1);
  }
  call.SetError(0);
}

void SetValue(Call& call) {
  std::string& name = call.Small(0);
  std::string& value = call.Large(0);
  call.String(0, name);
  call.String(1, value);
  const std::int32_t index = call.rt().program.FindResource(name);
  if (index < 0) return call.SetError(1);
  // A FILE resource's value is the file: a write that fails is reported.
  const ResourceEntry& e = call.rt().program.Resource(index);
  if (e.kind == R_KD_FILE) return ReportSystemResult(call, files::ReplaceFile(e.Text(), value));
  values::WriteText(call.rt(), index, value);
  call.SetError(0);
}

void SaveValues(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t first = call.Resource(1);
  const std::int32_t last = call.Resource(2);
  const bool replace = call.Int(3) != 0;
  if (first < 0 || last < 0) return call.SetError(1);
  Runtime& rt = call.rt();
  std::string bytes;
  std::string& value = call.Large(0);
  for (std::int32_t i = first; i <= last; ++i)
    saved::AppendSavedValue(bytes, rt.program.Resource(i).Name(), values::ReadAsText(rt, i, value));
  // A file being replaced keeps its old contents when the new ones cannot
  // be written completely.
  ReportSystemResult(call,
                     replace ? files::ReplaceFile(path, bytes) : files::Write(path, bytes, true));
}

// Writes a saved text back by the resource's kind. Check boxes and radio
// buttons save as "1" or "0" but take no text, so they take the number.
void RestoreValue(Runtime& rt, std::int32_t index, std::string_view text) {
  switch (rt.program.Resource(index).kind) {
    case R_KD_CK_BOX:
    case R_KD_RDO_BTN1:
    case R_KD_RDO_BTN: {
      std::int32_t v = 0;
      if (values::ScanLong(text, &v)) values::WriteInteger(rt, index, v);
      break;
    }
    default: values::WriteText(rt, index, text);
  }
}

void LoadValues(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  errno = 0;
  files::FilePtr f = files::Open(path, "rb");
  if (!f) return ReportSystemResult(call, errno != 0 ? errno : ENOENT);
  Runtime& rt = call.rt();
  std::string& line = call.Large(0);
  std::string name, value;
  std::int32_t restored = 0, unknown = 0, too_long = 0;
  for (;;) {
    const files::LineRead read = files::ReadLine(f.get(), line, saved::SAVED_LINE_MAX);
    if (read == files::LineRead::kEnd && std::ferror(f.get())) return ReportSystemResult(call, EIO);
    if (read == files::LineRead::kEnd) break;
    if (read == files::LineRead::kCut) {
      ++too_long;
      continue;
    }
    if (!saved::ParseSavedLine(line, name, value)) continue;
    const std::int32_t index = rt.program.FindResource(name);
    if (index < 0) {
      ++unknown;
      continue;
    }
    RestoreValue(rt, index, value);
    ++restored;
  }
  call.SetWork(1, restored);
  call.SetWork(2, unknown);
  if (too_long > 0) return ReportFailure(call, "line too long in saved values");
  call.SetError(0);
}

constexpr Registration kArrayApis[] = {
    {Id("GetArray"), GetArray},
    {Id("SetArray"), SetArray},
    {Id("SetAryElem"), SetAryElem},
    {Id("SortArray"), SortArray},
    {Id("ClearArray"), ClearArray},
    {Id("ClearStrArray"), ClearStrArray},
    {Id("GetStrArray"), GetStrArray},
    {Id("SetStrArray"), SetStrArray},
    {Id("SaveStrArray"), SaveStrArray},
    {Id("LoadStrArray"), LoadStrArray},
    {Id("SortStrArray"), SortStrArray},
    {Id("SearchStrArray"), SearchStrArray},
    {Id("PutFifo"), PutFifo},
    {Id("GetFifo"), GetFifo},
    {Id("ClearFifo"), ClearFifo},
    {Id("RewindFifo"), RewindFifo},
    {Id("FifoCmd"), FifoCmd},
    {Id("SortList"), SortList},
    {Id("GetValue"), GetValue},
    {Id("SetValue"), SetValue},
    {Id("SaveValues"), SaveValues},
    {Id("LoadValues"), LoadValues},
    {Id("SpRays"), SpRays},
};

}  // namespace

void RegisterArrayApis(Registry& registry) { registry.AddAll(kArrayApis); }

}  // namespace vx::api
