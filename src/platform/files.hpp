#pragma once
// The one gate between script file names and the operating system. Scripts
// name files the Windows way, in Shift-JIS with backslashes; the system wants
// UTF-8 with slashes. Every file access of the engine goes through here.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::files {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Script path (CP932, backslashes) to a system path (UTF-8, slashes). A 0x5C
// that is the second byte of a two-byte character stays as it is. A drive
// letter is replaced by its folder (platform/drives.hpp); a path on an
// unmapped drive or a network share gives the empty path, which no system
// call accepts.
std::string ToSystemPath(std::string_view script_path);

// A name read from the system (UTF-8) as the script sees it (CP932).
std::string FromSystemName(std::string_view system_name);

// fopen with a converted path; `mode` as for fopen ("rb", "wb", "ab"...).
FilePtr Open(std::string_view script_path, const char* mode);

bool Exists(std::string_view script_path);

// Whether both paths name the same existing file (one device and inode).
bool SameFile(std::string_view a, std::string_view b);
// Whether both paths name the same place, whether or not a file is there
// yet ("dir/./out.txt" and "dir/out.txt"; links followed as far as they
// exist).
bool SamePlace(std::string_view a, std::string_view b);

// Reads at most `limit` bytes of the file; nullopt when it cannot be opened.
std::optional<std::string> ReadAll(std::string_view script_path, std::size_t limit);

// Replaces the file's contents by `bytes` / adds them at its end; false when
// they cannot be written (Write below says why). All writing goes through an
// OutputFile (platform/output_file.hpp).
bool WriteAll(std::string_view script_path, std::string_view bytes);
bool Append(std::string_view script_path, std::string_view bytes);

// The current directory as the script sees it (CP932, no trailing slash).
std::string CurrentDirectory();
bool ChangeDirectory(std::string_view script_path);

// Folder and file operations of the file APIs. Each returns 0 on success or
// the errno value of the failure, for ErrorText.

// The system's text for an errno value (strerror in the current locale), as
// CP932.
std::string ErrorText(int errnum);

int RemoveFile(std::string_view script_path);
int RemoveFolder(std::string_view script_path);  // empty folders only
int MakeFolder(std::string_view script_path);    // one level
// Copies a file, replacing the destination as a whole (a failed copy leaves
// it as it was); the copy gets the source's permissions.
int CopyFile(std::string_view source, std::string_view destination);
int Truncate(std::string_view script_path, std::int64_t size);
// A symbolic link at `link` that points to `target` (converted like a path).
// With `replace`, an existing symbolic link at `link` is replaced in one
// step; anything else there is never touched.
int MakeSymbolicLink(std::string_view target, std::string_view link, bool replace);
// Writes `bytes` to the file, replacing it or appending to it. A
// replacement is written beside the path and renamed over it, so the old
// contents stay whole when writing fails.
int Write(std::string_view script_path, std::string_view bytes, bool append);
int ReplaceFile(std::string_view script_path, std::string_view bytes);
// A replacement, synced to the disk before the rename, for a path that
// already is a system path (UTF-8, slashes), such as the program's own
// configuration files.
int ReplaceSystemFile(const std::string& system_path, std::string_view bytes);

enum class FileType { kNone, kFile, kFolder, kOther };

struct FileStatus {
  FileType type = FileType::kNone;
  std::int64_t size = 0;
  // Seconds since 1970 (UTC) with fractions.
  double modified = 0.0;
  double accessed = 0.0;
  double changed = 0.0;  // status change
  std::optional<double> created;  // when the file system records it
};
// Follows symbolic links. `error` receives the errno when it fails.
std::optional<FileStatus> Status(std::string_view script_path, int* error = nullptr);
// Whether anything has that name, a dangling symbolic link included.
bool NameTaken(std::string_view script_path);

struct FolderEntry {
  std::string name;  // as the script sees it (CP932)
  FileType type = FileType::kNone;  // of what a symbolic link points to
  bool link = false;                // the entry itself is a symbolic link
};
// The entries of a folder, without "." and "..", sorted by name. 0 or errno.
int ListFolder(std::string_view script_path, std::vector<FolderEntry>& entries);

// Reads one line (through its LF) from `f` into `line`, keeping at most
// `limit` bytes; the rest of a longer line is read and dropped.
enum class LineRead { kLine, kCut, kEnd };
LineRead ReadLine(std::FILE* f, std::string& line, std::size_t limit);

}  // namespace vx::files
