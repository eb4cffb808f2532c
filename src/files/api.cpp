// The file family: files and folders by path (delete, copy, size, folders,
// links, free names, listings, times), text files line by line, binary
// reads and writes, open FILE resources (seek, skip, read), form filling and
// the activity log. Every path goes through platform/files, so backslashes
// and Shift-JIS names work.
#include "platform/files.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "files/file_tools.hpp"
#include "files/saved_files.hpp"
#include "platform/calendar.hpp"
#include "platform/output_file.hpp"
#include "text/sjis.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

constexpr std::size_t COPY_BLOCK_BYTES = 100;
constexpr std::int32_t FILE_LIST_MAX = 100000;
constexpr int FILE_LIST_DEPTH_MAX = 64;
constexpr std::size_t FORM_FILE_MAX = 16u << 20;
constexpr std::size_t ACTIVITY_LOG_MAX = 64u << 20;

int LastErrorOr(int fallback) { return errno != 0 ? errno : fallback; }

// ---- files and folders ----

void DeleteF(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  ReportSystemResult(call, files::RemoveFile(path));
}

void RmvDir(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  ReportSystemResult(call, files::RemoveFolder(path));
}

void MkDir(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  ReportSystemResult(call, files::MakeFolder(path));
}

int AppendFileTo(std::string_view source, std::string_view destination) {
  // Appending a file to itself would read what it has just written, forever.
  if (files::SameFile(source, destination)) return EINVAL;
  errno = 0;
  files::FilePtr in = files::Open(source, "rb");
  if (!in) return LastErrorOr(ENOENT);
  files::OutputFile out = files::OutputFile::Open(destination, files::WriteMode::kAppend);
  char block[COPY_BLOCK_BYTES];
  std::size_t got;
  while (out.ok() && (got = std::fread(block, 1, sizeof block, in.get())) > 0)
    out.Write(std::string_view(block, got));
  const int error = out.Finish();
  if (error == 0 && std::ferror(in.get())) return EIO;
  return error;
}

void CopyF(Call& call) {
  std::string& source = call.Small(0);
  std::string& destination = call.Small(1);
  call.String(0, source);
  call.String(1, destination);
  const std::int32_t mode = call.Int(2);
  ReportSystemResult(
      call, mode == 0 ? files::CopyFile(source, destination) : AppendFileTo(source, destination));
}

void SizeF(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t out = call.OptResource(1);
  int error = 0;
  const auto status = files::Status(path, &error);
  if (status && status->type == files::FileType::kFolder) error = EISDIR;
  if (!status || error != 0) {
    if (out >= 0) call.WriteInt(out, -1);
    return ReportSystemResult(call, error != 0 ? error : ENOENT);
  }
  if (out >= 0) WriteCount(call, out, status->size);
  call.SetError(0);
}

void GetCurDir(Call& call) {
  const std::int32_t out = call.Resource(0);
  if (out < 0) return;
  errno = 0;
  const std::string dir = files::CurrentDirectory();
  if (dir.empty()) return ReportSystemResult(call, LastErrorOr(ENOENT));
  call.WriteText(out, dir);
  call.SetError(0);
}

// RefDrgFn R, [part]: the last file dropped on the main window since the
// program started (whatever script was loaded since): its path (0), file
// name (1) or folder (2). None yet: R <- "" and G_ERROR = 1.
void RefDrgFn(Call& call) {
  const std::int32_t out = call.Resource(0);
  const std::int32_t part = call.OptInt(1, filetools::PATH_WHOLE);
  if (out < 0) return;
  const std::string_view path = call.rt().main_window.dropped_path;
  const std::optional<std::string_view> text = filetools::PartOfPath(path, part);
  if (!text) return ReportFailure(call, "unknown part");
  call.WriteText(out, *text);
  call.SetError(path.empty() ? 1 : 0);
}

void ChgCurDir(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  errno = 0;
  if (!files::ChangeDirectory(path)) return ReportSystemResult(call, LastErrorOr(ENOENT));
  values::SetTextByName(call.rt(), "G_CURRENT_DIR", files::CurrentDirectory(), true);
  call.SetError(0);
}

void CrtLnk(Call& call) {
  std::string& target = call.Small(0);
  std::string& link = call.Small(1);
  call.String(0, target);
  call.String(1, link);
  const bool replace = call.OptInt(2, 0) != 0;
  ReportSystemResult(call, files::MakeSymbolicLink(target, link, replace));
}

void NewFName(Call& call) {
  std::string& head = call.Small(0);
  std::string& tail = call.Small(1);
  call.String(0, head);
  call.String(1, tail);
  const std::int32_t out = call.Resource(2);
  const std::int32_t flags = call.Int(3);
  if (out < 0) return;
  const calendar::Date today = calendar::LocalNow().date;
  const auto name =
      filetools::NewFileName(head, tail, (flags & 1) ? &today : nullptr,
                             [](const std::string& n) { return files::NameTaken(n); });
  if (!name) return ReportFailure(call, "no free file name");
  call.WriteText(out, *name);
  call.SetError(0);
}

// The folder part (with its separator) and the name part of a pattern.
std::pair<std::string, std::string> SplitPattern(std::string_view pattern, char* separator) {
  std::size_t cut = std::string_view::npos;
  for (std::size_t i = 0; i < pattern.size(); i += sjis::CharLengthStrict(pattern, i))
    if (pattern[i] == '\\' || pattern[i] == '/') cut = i;
  if (cut == std::string_view::npos) return {std::string(), std::string(pattern)};
  *separator = pattern[cut];
  return {std::string(pattern.substr(0, cut + 1)), std::string(pattern.substr(cut + 1))};
}

constexpr std::string_view ALL_NAMES = "*";

struct ListRequest {
  std::string name_pattern;
  bool recursive = false;
  bool with_folder = false;
  bool folders_too = false;
  char separator = '\\';
  std::string folder;  // as given, with its separator; empty for the current folder
};

// Collects matching names below `relative` (a path under the request's
// folder). False when the listing grows beyond FILE_LIST_MAX.
int CollectNames(const ListRequest& request, const std::string& relative, int depth,
                 std::vector<std::string>& names) {
  std::vector<files::FolderEntry> entries;
  const std::string here = request.folder + relative;
  if (const int error = files::ListFolder(here.empty() ? "." : here, entries); error != 0)
    return depth == 0 ? error : 0;  // unreadable subfolders are passed over
  for (const files::FolderEntry& entry : entries) {
    const bool folder = entry.type == files::FileType::kFolder;
    if ((!folder || request.folders_too) &&
        filetools::WildcardMatch(entry.name, request.name_pattern)) {
      if (static_cast<std::int32_t>(names.size()) >= FILE_LIST_MAX) return E2BIG;
      names.push_back((request.with_folder ? request.folder : std::string()) + relative +
                      entry.name);
    }
    if (folder && !entry.link && request.recursive && depth < FILE_LIST_DEPTH_MAX) {
      const std::string below = relative + entry.name + request.separator;
      if (const int error = CollectNames(request, below, depth + 1, names); error != 0)
        return error;
    }
  }
  return 0;
}

// The listing a pattern asks for: its folder part and name pattern, or
// everything in it when the pattern names a folder by itself. The texts are
// built whole and moved in, never assigned over one another.
ListRequest MakeListRequest(std::string_view pattern, std::int32_t flags) {
  ListRequest request;
  auto [folder, name] = SplitPattern(pattern, &request.separator);
  const auto status = files::Status(pattern);
  if (status && status->type == files::FileType::kFolder) {
    folder = std::string(pattern);
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
      folder.push_back(request.separator);
    name.clear();
  }
  request.folder = std::move(folder);
  request.name_pattern = name.empty() ? std::string(ALL_NAMES) : std::move(name);
  request.recursive = flags & 1;
  request.with_folder = flags & 2;
  request.folders_too = flags & 4;
  return request;
}

void MkFileLst(Call& call) {
  std::string& pattern = call.Small(0);
  std::string& list_path = call.Small(1);
  call.String(0, pattern);
  call.String(1, list_path);
  const ListRequest request = MakeListRequest(pattern, call.OptInt(2, 0));
  std::vector<std::string> names;
  if (const int error = CollectNames(request, std::string(), 0, names); error != 0) {
    if (error == E2BIG) return ReportFailure(call, "more than 100000 names");
    return ReportSystemResult(call, error);
  }
  std::vector<std::string_view> lines(names.begin(), names.end());
  const int error = files::ReplaceFile(list_path, saved::FormatStrArrayLines(lines));
  call.SetWork(1, static_cast<std::int32_t>(names.size()));
  ReportSystemResult(call, error);
}

void GetFileTime(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  std::array<std::int32_t, 6> outs{};
  for (int k = 0; k < 6; ++k) outs[k] = call.OptResource(k + 1);
  const std::int32_t which = call.OptInt(7, 0);
  int error = 0;
  const auto status = files::Status(path, &error);
  if (!status) return ReportSystemResult(call, error != 0 ? error : ENOENT);
  std::optional<double> seconds;
  switch (which) {
    case 0: seconds = status->modified; break;
    case 1: seconds = status->accessed; break;
    case 2: seconds = status->created; break;
    case 3: seconds = status->changed; break;
    default: return ReportFailure(call, "unknown time kind");
  }
  if (!seconds) return ReportFailure(call, "the file system does not record creation times");
  const time_t whole = static_cast<time_t>(*seconds);
  struct tm local {};
  localtime_r(&whole, &local);
  calendar::DateTime t;
  t.date = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  const std::int32_t parts[6] = {t.date.year, t.date.month, t.date.day, t.hour, t.minute, t.second};
  for (int k = 0; k < 6; ++k)
    if (outs[k] >= 0) call.WriteInt(outs[k], parts[k]);
  call.SetTxt(calendar::FormatDateTime(t, true));
  call.SetDblWork(1, *seconds);
  call.SetError(0);
}

// ---- text files line by line ----

// Calls `each(index, line without its end, byte offset of the line)` for
// every line from the start, each line read up to 131071 bytes; `each`
// returns false to stop. 0, or the errno when the file cannot be opened or
// read.
template <typename Each>
int ForEachLine(std::string_view path, std::string& line, Each each) {
  errno = 0;
  files::FilePtr f = files::Open(path, "rb");
  if (!f) return LastErrorOr(ENOENT);
  for (std::int32_t index = 0;; ++index) {
    const std::int64_t offset = ftello(f.get());
    const files::LineRead read = files::ReadLine(f.get(), line, TEXT_VALUE_MAX + 2);
    if (read == files::LineRead::kEnd && std::ferror(f.get())) return EIO;
    if (read == files::LineRead::kEnd) break;
    if (!each(index, saved::WithoutLineEnd(line).substr(0, TEXT_VALUE_MAX), offset)) break;
  }
  return 0;
}

void FileGetLine(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t wanted = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  bool found = false;
  std::string& line = call.Large(0);
  const int error =
      ForEachLine(path, line, [&](std::int32_t index, std::string_view text, std::int64_t) {
        if (index < wanted) return true;
        if (index == wanted) {
          found = true;
          call.WriteText(out, text);
        }
        return false;
      });
  if (error != 0) return ReportSystemResult(call, error);
  call.SetError(found ? 0 : 1);
}

// InFileIdx and InFileWC: the index of the first line at or after `start`
// that `matches`; -1 when none. G_WORK1 gets the line's byte offset,
// G_WORK2 the number of matching lines from `start` on.
template <typename Matches>
void FindLine(Call& call, std::string_view path, std::int32_t out, std::int32_t start,
              Matches matches) {
  std::int32_t first = -1;
  std::int64_t first_offset = -1;
  std::int32_t count = 0;
  std::string& line = call.Large(2);
  const int error =
      ForEachLine(path, line, [&](std::int32_t index, std::string_view text, std::int64_t offset) {
        if (index >= start && matches(text)) {
          if (first < 0) first = index, first_offset = offset;
          ++count;
        }
        return true;
      });
  if (out >= 0) call.WriteInt(out, first);
  if (error != 0) return ReportSystemResult(call, error);
  call.SetWork(1, Clamp32(first_offset));
  call.SetWork(2, count);
  call.SetError(0);
}

void InFileIdx(Call& call) {
  std::string& path = call.Small(0);
  std::string& text = call.Large(0);
  call.String(0, path);
  call.String(1, text);
  const std::int32_t out = call.Resource(2);
  const bool exact = call.OptInt(3, 0) != 0;
  const std::int32_t start = call.OptInt(4, 0);
  if (out < 0) return;
  FindLine(call, path, out, start, [&](std::string_view line) {
    return exact ? line == text : line.find(text) != std::string_view::npos;
  });
}

void InFileWC(Call& call) {
  std::string& path = call.Small(0);
  std::string& pattern = call.Large(0);
  call.String(0, path);
  call.String(1, pattern);
  const std::int32_t out = call.Resource(2);
  const std::int32_t start = call.OptInt(3, 0);
  if (out < 0) return;
  FindLine(call, path, out, start,
           [&](std::string_view line) { return filetools::WildcardMatch(line, pattern); });
}

void TruncateFile(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const double size = call.Double(1);
  if (!(size >= 0 && size < 9.0e18)) return ReportSystemResult(call, EINVAL);
  ReportSystemResult(call, files::Truncate(path, static_cast<std::int64_t>(size)));
}

// ---- open FILE resources ----

// The open handle of a FILE resource argument, or null (G_ERROR 1).
std::FILE* OpenFileArg(Call& call, std::int32_t resource) {
  if (resource < 0) return nullptr;
  ResourceEntry& e = call.rt().program.Resource(resource);
  if (e.kind != R_KD_FILE || !e.file) {
    ReportFailure(call, "the file is not open");
    return nullptr;
  }
  return e.file.get();
}

void FSeek(Call& call) {
  const std::int32_t resource = call.Resource(0);
  const double offset = call.Double(1);
  const std::int32_t origin = call.OptInt(2, 0);
  std::FILE* f = OpenFileArg(call, resource);
  if (!f) return call.SetError(1);
  static constexpr int kOrigins[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (origin < 0 || origin > 2 || !(offset > -9.0e18 && offset < 9.0e18))
    return ReportSystemResult(call, EINVAL);
  errno = 0;
  if (fseeko(f, static_cast<off_t>(offset), kOrigins[origin]) != 0)
    return ReportSystemResult(call, LastErrorOr(EINVAL));
  const off_t position = ftello(f);
  call.SetWork(1, Clamp32(position));
  call.SetDblWork(1, static_cast<double>(position));
  call.SetError(0);
}

void FSkipPg(Call& call) {
  const std::int32_t resource = call.Resource(0);
  const std::int32_t lines = call.Int(1);
  std::FILE* f = OpenFileArg(call, resource);
  if (!f) return call.SetError(1);
  if (lines < 0) return ReportSystemResult(call, EINVAL);
  std::string& scratch = call.Small(0);
  std::int32_t skipped = 0;
  while (skipped < lines && files::ReadLine(f, scratch, 0) != files::LineRead::kEnd) ++skipped;
  // A failed read is not the end of the file.
  if (std::ferror(f)) return ReportSystemResult(call, EIO);
  call.SetWork(1, skipped);
  call.SetError(skipped == lines ? 0 : 1);
}

void ReadBin(Call& call) {
  const std::int32_t resource = call.Resource(0);
  const std::int32_t target = call.Resource(1);
  const std::int32_t count = call.Int(2);
  std::FILE* f = OpenFileArg(call, resource);
  if (!f || target < 0) return call.SetError(1);
  if (!IsStringVariable(call, target)) return ReportFailure(call, "not a string variable");
  ResourceEntry& e = call.rt().program.Resource(target);
  if (count < 0 || count > e.text_capacity - 1) return ReportSystemResult(call, EINVAL);
  const std::size_t got = std::fread(e.text.get(), 1, static_cast<std::size_t>(count), f);
  e.text[got] = '\0';
  values::RefreshNameTable(call.rt(), target);
  call.SetWork(1, static_cast<std::int32_t>(got));
  call.SetError(got > 0 || count == 0 ? 0 : 1);
}

void WriteBinary(Call& call) {
  std::string& path = call.Small(0);
  call.String(0, path);
  const std::int32_t source = call.Resource(1);
  const std::int32_t count = call.Int(2);
  const bool append = call.OptInt(3, 0) != 0;
  if (source < 0) return call.SetError(1);
  if (!IsStringVariable(call, source)) return ReportFailure(call, "not a string variable");
  const ResourceEntry& e = call.rt().program.Resource(source);
  if (count < 0 || count > e.text_capacity - 1) return ReportSystemResult(call, EINVAL);
  const std::string_view bytes(e.text.get(), static_cast<std::size_t>(count));
  ReportSystemResult(call,
                     append ? files::Write(path, bytes, true) : files::ReplaceFile(path, bytes));
}

// ---- forms and the activity log ----

// %NAME% in forms: a string variable gives its text, a file resource its
// path, anything else its value as text.
bool FormValue(Runtime& rt, std::string_view name, std::string& value) {
  const std::int32_t index = rt.program.FindResource(name);
  if (index < 0) return false;
  const ResourceEntry& e = rt.program.Resource(index);
  if (e.kind == R_KD_VAL_TXT || e.kind == R_KD_FILE) {
    value.assign(e.Text());
  } else {
    std::string buffer;
    value.assign(values::ReadAsText(rt, index, buffer));
  }
  return true;
}

void FillFrm(Call& call) {
  std::string& form_path = call.Small(0);
  std::string& out_path = call.Small(1);
  call.String(0, form_path);
  call.String(1, out_path);
  errno = 0;
  const auto form = files::ReadAll(form_path, FORM_FILE_MAX + 1);
  if (!form) return ReportSystemResult(call, LastErrorOr(ENOENT));
  if (form->size() > FORM_FILE_MAX) return ReportFailure(call, "form file larger than 16 MiB");
  std::string filled;
  Runtime& rt = call.rt();
  const auto report = filetools::FillForm(
      *form, [&](std::string_view name, std::string& value) { return FormValue(rt, name, value); },
      filled, FORM_FILE_MAX);
  call.SetWork(1, report.replaced);
  call.SetWork(2, report.unknown);
  if (report.cut) return ReportFailure(call, "filled form larger than 16 MiB");
  ReportSystemResult(call, files::ReplaceFile(out_path, filled));
}

void StrFillFrm(Call& call) {
  std::string& form = call.Large(0);
  call.String(0, form);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  std::string& filled = call.Large(1);
  Runtime& rt = call.rt();
  const auto report = filetools::FillForm(
      form, [&](std::string_view name, std::string& value) { return FormValue(rt, name, value); },
      filled, TEXT_VALUE_MAX);
  call.WriteText(out, filled);
  call.SetWork(1, report.replaced);
  call.SetWork(2, report.unknown);
  call.SetError(report.cut ? 1 : 0);
}

void UpdateActLog(Call& call) {
  std::string& path = call.Small(0);
  std::string& text = call.Large(0);
  call.String(0, path);
  call.String(1, text);
  const std::int32_t keep = call.OptInt(2, 0);
  const std::string entry = filetools::ActivityLogLine(calendar::LocalNow(), text);
  if (keep <= 0) return ReportSystemResult(call, files::Write(path, entry, true));
  std::string log = files::ReadAll(path, ACTIVITY_LOG_MAX + 1).value_or(std::string());
  if (log.size() > ACTIVITY_LOG_MAX) return ReportFailure(call, "log file larger than 64 MiB");
  log += entry;
  ReportSystemResult(call, files::ReplaceFile(path, filetools::LastLines(log, keep)));
}

constexpr Registration kFileApis[] = {
    {Id("WriteBinary"), WriteBinary},
    {Id("TruncateFile"), TruncateFile},
    {Id("FillFrm"), FillFrm},
    {Id("StrFillFrm"), StrFillFrm},
    {Id("InFileIdx"), InFileIdx},
    {Id("InFileWC"), InFileWC},
    {Id("DeleteF"), DeleteF},
    {Id("RmvDir"), RmvDir},
    {Id("CopyF"), CopyF},
    {Id("SizeF"), SizeF},
    {Id("GetCurDir"), GetCurDir},
    {Id("RefDrgFn"), RefDrgFn},
    {Id("ChgCurDir"), ChgCurDir},
    {Id("CrtLnk"), CrtLnk},
    {Id("NewFName"), NewFName},
    {Id("MkDir"), MkDir},
    {Id("MkFileLst"), MkFileLst},
    {Id("GetFileTime"), GetFileTime},
    {Id("FSkipPg"), FSkipPg},
    {Id("FileGetLine"), FileGetLine},
    {Id("FSeek"), FSeek},
    {Id("ReadBin"), ReadBin},
    {Id("UpdateActLog"), UpdateActLog},
};

}  // namespace

void RegisterFileApis(Registry& registry) { registry.AddAll(kFileApis); }

}  // namespace vx::api
