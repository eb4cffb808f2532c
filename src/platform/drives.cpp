#include "platform/drives.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace vx::files {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
int LetterIndex(char c) { return (c >= 'a' ? c - 'a' : c - 'A'); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
    return std::string(home) + "/.config";
  return std::string();
}

std::string ReadSmallFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return std::string();
  std::string text(DRIVE_TABLE_BYTES_MAX, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f.get()));
  return text;
}

bool IsNetworkPath(std::string_view path) { return path.size() >= 2 && path[0] == '/' && path[1] == '/'; }

}  // namespace

const std::string& DriveTable::Folder(char letter) const {
  static const std::string kNone;
  return IsLetter(letter) ? folders_[LetterIndex(letter)] : kNone;
}

void DriveTable::Set(char letter, std::string_view folder) {
  if (!IsLetter(letter) || folder.empty() || folder.front() != '/') return;
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  folders_[LetterIndex(letter)] = std::string(folder);
}

void DriveTable::AddFileText(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view letter = Trim(line.substr(0, equals));
    if (letter.size() != 1) continue;
    Set(letter[0], Trim(line.substr(equals + 1)));
  }
}

void DriveTable::AddEnvironment() {
  std::string name(DRIVE_ENV_PREFIX);
  name.push_back('A');
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    name.back() = letter;
    if (const char* folder = std::getenv(name.c_str()); folder != nullptr) Set(letter, folder);
  }
}

const DriveTable& DriveTable::User() {
  static const DriveTable table = [] {
    DriveTable t;
    if (const std::string home = ConfigHome(); !home.empty())
      t.AddFileText(ReadSmallFile(home + "/" + std::string(DRIVE_TABLE_FILE)));
    t.AddEnvironment();
    return t;
  }();
  return table;
}

std::optional<std::string> ResolveDrive(std::string_view path, const DriveTable& table) {
  if (IsNetworkPath(path)) return std::nullopt;
  if (path.size() < 2 || !IsLetter(path[0]) || path[1] != ':') return std::string(path);
  const std::string& folder = table.Folder(path[0]);
  if (folder.empty()) return std::nullopt;
  // Within the drive, "C:x" and "C:/x" are the same place, and ".." at the
  // drive's top stays there, as on the drive itself.
  std::string rooted(1, '/');
  rooted.append(path.substr(2));
  const std::string inside = std::filesystem::path(rooted).lexically_normal().generic_string();
  if (inside == "/") return folder;
  return folder == "/" ? inside : folder + inside;
}

}  // namespace vx::files
