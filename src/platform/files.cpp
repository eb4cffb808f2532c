#include "platform/files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/drives.hpp"
#include "platform/output_file.hpp"
#include "text/encoding.hpp"
#include "text/sjis.hpp"

namespace vx::files {

std::string ToSystemPath(std::string_view script_path) {
  std::string slashed(script_path);
  for (std::size_t i = 0; i < slashed.size(); i += sjis::CharLengthWide(slashed, i)) {
    if (slashed[i] == '\\') slashed[i] = '/';
  }
  // An unmapped drive or a network share becomes the empty path, which
  // every system call refuses (ENOENT).
  return ResolveDrive(text::Cp932ToUtf8(slashed), DriveTable::User()).value_or(std::string());
}

std::string FromSystemName(std::string_view system_name) { return text::Utf8ToCp932(system_name); }

FilePtr Open(std::string_view script_path, const char* mode) {
  if (script_path.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  FilePtr f(std::fopen(ToSystemPath(script_path).c_str(), mode));
  // fopen opens a folder for reading; its first read then fails, which
  // readers would take for the end of an empty file.
  struct stat st {};
  if (f && fstat(fileno(f.get()), &st) == 0 && S_ISDIR(st.st_mode)) {
    f.reset();
    errno = EISDIR;
  }
  return f;
}

bool Exists(std::string_view script_path) {
  return !script_path.empty() && access(ToSystemPath(script_path).c_str(), F_OK) == 0;
}

bool SameFile(std::string_view a, std::string_view b) {
  struct stat sa {}, sb {};
  if (a.empty() || b.empty()) return false;
  if (stat(ToSystemPath(a).c_str(), &sa) != 0 || stat(ToSystemPath(b).c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool SamePlace(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  if (SameFile(a, b)) return true;
  auto place = [](std::string_view path, std::error_code& ec) {
    const std::string system_path = ToSystemPath(path);
    if (system_path.empty()) ec = std::make_error_code(std::errc::no_such_file_or_directory);
    if (ec) return std::filesystem::path();
    const std::filesystem::path absolute = std::filesystem::absolute(system_path, ec);
    return ec ? absolute : std::filesystem::weakly_canonical(absolute, ec);
  };
  std::error_code ec_a, ec_b;
  const std::filesystem::path pa = place(a, ec_a);
  const std::filesystem::path pb = place(b, ec_b);
  return !ec_a && !ec_b && pa == pb;
}

std::optional<std::string> ReadAll(std::string_view script_path, std::size_t limit) {
  FilePtr f = Open(script_path, "rb");
  if (!f) return std::nullopt;
  std::string out;
  char block[65536];
  while (out.size() < limit) {
    const std::size_t want = std::min(sizeof block, limit - out.size());
    const std::size_t got = std::fread(block, 1, want, f.get());
    out.append(block, got);
    if (got < want) break;
  }
  if (std::ferror(f.get())) return std::nullopt;
  return out;
}

bool WriteAll(std::string_view script_path, std::string_view bytes) {
  return Write(script_path, bytes, false) == 0;
}

bool Append(std::string_view script_path, std::string_view bytes) {
  return Write(script_path, bytes, true) == 0;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return FromSystemName(buffer.data());
}

bool ChangeDirectory(std::string_view script_path) {
  return chdir(ToSystemPath(script_path).c_str()) == 0;
}

namespace {

// strerror_r is the GNU one or the POSIX one depending on the C library's
// feature macros; both shapes end up here.
[[maybe_unused]] const char* StrerrorResult(int, const char* buffer) { return buffer; }
[[maybe_unused]] const char* StrerrorResult(const char* text, const char*) { return text; }

int ErrnoOr(int rc) { return rc == 0 ? 0 : errno; }

FileType TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return FileType::kFile;
  if (S_ISDIR(mode)) return FileType::kFolder;
  return FileType::kOther;
}

}  // namespace

std::string ErrorText(int errnum) {
  char buffer[256] = {0};
  const char* text = StrerrorResult(strerror_r(errnum, buffer, sizeof buffer), buffer);
  return FromSystemName(text ? text : "");
}

int RemoveFile(std::string_view script_path) {
  if (script_path.empty()) return ENOENT;
  return ErrnoOr(unlink(ToSystemPath(script_path).c_str()));
}

int RemoveFolder(std::string_view script_path) {
  if (script_path.empty()) return ENOENT;
  return ErrnoOr(rmdir(ToSystemPath(script_path).c_str()));
}

int MakeFolder(std::string_view script_path) {
  if (script_path.empty()) return ENOENT;
  return ErrnoOr(mkdir(ToSystemPath(script_path).c_str(), 0777));
}

int CopyFile(std::string_view source, std::string_view destination) {
  if (source.empty() || destination.empty()) return ENOENT;
  errno = 0;
  FilePtr in = Open(source, "rb");
  if (!in) return errno != 0 ? errno : ENOENT;
  // Copying a file onto itself would read what it is writing.
  if (SameFile(source, destination)) return EEXIST;
  struct stat st {};
  if (fstat(fileno(in.get()), &st) != 0) return errno;
  OutputFile out = OutputFile::Open(destination, WriteMode::kReplace);
  out.SetPermissions(st.st_mode);
  char block[65536];
  std::size_t got = 0;
  while (out.ok() && (got = std::fread(block, 1, sizeof block, in.get())) > 0)
    out.Write(std::string_view(block, got));
  // A source that cannot be read to its end leaves the destination as it was.
  if (std::ferror(in.get())) return EIO;
  return out.Finish();
}

int Truncate(std::string_view script_path, std::int64_t size) {
  if (script_path.empty()) return ENOENT;
  if (size < 0) return EINVAL;
  return ErrnoOr(truncate(ToSystemPath(script_path).c_str(), static_cast<off_t>(size)));
}

int MakeSymbolicLink(std::string_view target, std::string_view link, bool replace) {
  if (target.empty() || link.empty()) return ENOENT;
  const std::string to = ToSystemPath(target);
  const std::string at = ToSystemPath(link);
  struct stat existing {};
  if (!replace || lstat(at.c_str(), &existing) != 0 || !S_ISLNK(existing.st_mode))
    return ErrnoOr(symlink(to.c_str(), at.c_str()));
  const std::string temporary = TemporaryNameBeside(at);
  if (symlink(to.c_str(), temporary.c_str()) != 0) return errno;
  if (rename(temporary.c_str(), at.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    return error;
  }
  return 0;
}

int Write(std::string_view script_path, std::string_view bytes, bool append) {
  OutputFile out = OutputFile::Open(script_path, append ? WriteMode::kAppend : WriteMode::kReplace);
  out.Write(bytes);
  return out.Finish();
}

int ReplaceFile(std::string_view script_path, std::string_view bytes) {
  return Write(script_path, bytes, false);
}

int ReplaceSystemFile(const std::string& system_path, std::string_view bytes) {
  OutputFile out = OutputFile::OpenSystem(system_path, WriteMode::kReplace);
  out.SetDurable();
  out.Write(bytes);
  return out.Finish();
}

std::optional<FileStatus> Status(std::string_view script_path, int* error) {
  if (script_path.empty()) {
    if (error) *error = ENOENT;
    return std::nullopt;
  }
  struct statx sx {};
  if (statx(AT_FDCWD, ToSystemPath(script_path).c_str(), 0,
            STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
    if (error) *error = errno;
    return std::nullopt;
  }
  auto seconds = [](const struct statx_timestamp& t) {
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
  };
  FileStatus status;
  status.type = TypeOf(sx.stx_mode);
  status.size = static_cast<std::int64_t>(sx.stx_size);
  status.modified = seconds(sx.stx_mtime);
  status.accessed = seconds(sx.stx_atime);
  status.changed = seconds(sx.stx_ctime);
  if (sx.stx_mask & STATX_BTIME) status.created = seconds(sx.stx_btime);
  if (error) *error = 0;
  return status;
}

bool NameTaken(std::string_view script_path) {
  struct stat st {};
  return !script_path.empty() && lstat(ToSystemPath(script_path).c_str(), &st) == 0;
}

int ListFolder(std::string_view script_path, std::vector<FolderEntry>& entries) {
  entries.clear();
  const std::string folder = script_path.empty() ? std::string(".") : ToSystemPath(script_path);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return errno;
  std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, closedir);
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    FolderEntry found{FromSystemName(name), FileType::kOther, false};
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
      found.link = true;
    if (fstatat(dirfd(dir), entry->d_name, &st, 0) == 0) found.type = TypeOf(st.st_mode);
    entries.push_back(std::move(found));
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& x, const FolderEntry& y) { return x.name < y.name; });
  return 0;
}

LineRead ReadLine(std::FILE* f, std::string& line, std::size_t limit) {
  line.clear();
  bool any = false;
  bool cut = false;
  flockfile(f);
  for (int c; (c = getc_unlocked(f)) != EOF;) {
    any = true;
    if (line.size() < limit) line.push_back(static_cast<char>(c));
    else cut = true;
    if (c == '\n') break;
  }
  funlockfile(f);
  if (!any) return LineRead::kEnd;
  return cut ? LineRead::kCut : LineRead::kLine;
}

}  // namespace vx::files
