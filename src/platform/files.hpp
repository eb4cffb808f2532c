#pragma once
// The one gate between script file names and the operating system. Scripts
// name files the Windows way, in Shift-JIS with backslashes; the system wants
// UTF-8 with slashes. Every file access of the engine goes through here.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vx::files {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Script path (CP932, backslashes) to a system path (UTF-8, slashes). A 0x5C
// that is the second byte of a two-byte character stays as it is.
std::string ToSystemPath(std::string_view script_path);

// A name read from the system (UTF-8) as the script sees it (CP932).
std::string FromSystemName(std::string_view system_name);

// fopen with a converted path; `mode` as for fopen ("rb", "wb", "ab"...).
FilePtr Open(std::string_view script_path, const char* mode);

bool Exists(std::string_view script_path);

// Whether both paths name the same existing file (one device and inode).
bool SameFile(std::string_view a, std::string_view b);

// Reads at most `limit` bytes of the file; nullopt when it cannot be opened.
std::optional<std::string> ReadAll(std::string_view script_path, std::size_t limit);

// Replaces the file's contents by `bytes`; false when it cannot be written.
bool WriteAll(std::string_view script_path, std::string_view bytes);
bool Append(std::string_view script_path, std::string_view bytes);

// The current directory as the script sees it (CP932, no trailing slash).
std::string CurrentDirectory();
bool ChangeDirectory(std::string_view script_path);

}  // namespace vx::files
