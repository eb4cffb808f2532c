#pragma once
// Whether two names lead to the same file on disk, whatever their spelling
// (relative or absolute, "./", links): device and inode numbers.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

namespace vx::files {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of an open file; nullopt when the system cannot tell.
std::optional<FileIdentity> IdentityOf(std::FILE* file);
// The identity of the file a script path names; nullopt when there is none.
std::optional<FileIdentity> IdentityOf(std::string_view script_path);

}  // namespace vx::files
