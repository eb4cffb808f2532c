#include "platform/files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/drives.hpp"
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

namespace {
bool WriteWith(std::string_view script_path, std::string_view bytes, const char* mode) {
  FilePtr f = Open(script_path, mode);
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  return std::fclose(f.release()) == 0 && ok;
}
}  // namespace

bool WriteAll(std::string_view script_path, std::string_view bytes) {
  return WriteWith(script_path, bytes, "wb");
}

bool Append(std::string_view script_path, std::string_view bytes) {
  return WriteWith(script_path, bytes, "ab");
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

// A name beside `system_path` that no other writer of this process or any
// other picks at the same time.
std::string TemporaryBeside(const std::string& system_path) {
  static std::atomic<unsigned> counter{0};
  return system_path + ".vx" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
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
  std::error_code ec;
  std::filesystem::copy_file(ToSystemPath(source), ToSystemPath(destination),
                             std::filesystem::copy_options::overwrite_existing, ec);
  return ec ? (ec.value() != 0 ? ec.value() : EIO) : 0;
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
  const std::string temporary = TemporaryBeside(at);
  if (symlink(to.c_str(), temporary.c_str()) != 0) return errno;
  if (rename(temporary.c_str(), at.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    return error;
  }
  return 0;
}

int Write(std::string_view script_path, std::string_view bytes, bool append) {
  errno = 0;
  FilePtr f = Open(script_path, append ? "ab" : "wb");
  if (!f) return errno != 0 ? errno : ENOENT;
  int error = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    error = errno ? errno : EIO;
  if (std::fclose(f.release()) != 0 && error == 0) error = errno ? errno : EIO;
  return error;
}

int ReplaceFile(std::string_view script_path, std::string_view bytes) {
  if (script_path.empty()) return ENOENT;
  return ReplaceSystemFile(ToSystemPath(script_path), bytes);
}

int ReplaceSystemFile(const std::string& given_path, std::string_view bytes) {
  std::string path = given_path;
  struct stat old {};
  const bool existed = stat(given_path.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) {
    // A device or pipe cannot be replaced, only written to.
    const FilePtr f(std::fopen(given_path.c_str(), "wb"));
    if (!f) return errno;
    return std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size() ? 0 : EIO;
  }
  if (existed) {
    // Through a symbolic link the file it points to is replaced, not the link.
    if (char* real = realpath(given_path.c_str(), nullptr)) {
      path = real;
      std::free(real);
    }
  }
  const std::string temporary = TemporaryBeside(path);
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  int error = 0;
  std::size_t done = 0;
  while (done < bytes.size() && error == 0) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EINTR) error = errno;
  }
  if (error == 0 && existed) fchmod(fd, old.st_mode & 07777);
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return error;
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
