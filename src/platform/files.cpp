#include "platform/files.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "text/encoding.hpp"
#include "text/sjis.hpp"

namespace vx::files {

std::string ToSystemPath(std::string_view script_path) {
  std::string slashed(script_path);
  for (std::size_t i = 0; i < slashed.size(); i += sjis::CharLengthWide(slashed, i)) {
    if (slashed[i] == '\\') slashed[i] = '/';
  }
  return text::Cp932ToUtf8(slashed);
}

std::string FromSystemName(std::string_view system_name) { return text::Utf8ToCp932(system_name); }

FilePtr Open(std::string_view script_path, const char* mode) {
  if (script_path.empty()) return nullptr;
  return FilePtr(std::fopen(ToSystemPath(script_path).c_str(), mode));
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

}  // namespace vx::files
