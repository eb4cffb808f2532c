#include "platform/file_identity.hpp"

#include <sys/stat.h>

#include "platform/files.hpp"

namespace vx::files {
namespace {

FileIdentity FromStat(const struct stat& st) {
  return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(std::FILE* file) {
  struct stat st {};
  if (file == nullptr || fstat(fileno(file), &st) != 0) return std::nullopt;
  return FromStat(st);
}

std::optional<FileIdentity> IdentityOf(std::string_view script_path) {
  struct stat st {};
  if (script_path.empty() || stat(ToSystemPath(script_path).c_str(), &st) != 0) return std::nullopt;
  return FromStat(st);
}

}  // namespace vx::files
