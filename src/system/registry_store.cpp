#include "system/registry_store.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "engine/program.hpp"
#include "files/saved_files.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "platform/user_dirs.hpp"
#include "text/encoding.hpp"
#include "text/sjis.hpp"

namespace vx::api::registry {
namespace {

struct Root {
  std::string_view name;
  std::string_view short_name;
};
constexpr std::array<Root, 5> kRoots = {{
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
    {"HKEY_CURRENT_CONFIG", "HKCC"},
}};

constexpr std::string_view kHeader = "; Vexmora registry";

// Components of a key path split at backslashes that are not the second
// byte of a two-byte character.
std::vector<std::string_view> SplitKey(std::string_view key) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < key.size(); i += sjis::CharLengthStrict(key, i)) {
    if (key[i] != '\\') continue;
    parts.push_back(key.substr(start, i - start));
    start = i + 1;
  }
  parts.push_back(key.substr(start));
  return parts;
}

// True when `path` lies directly below `parent`; `child` gets its last name.
bool IsChildOf(std::string_view path, std::string_view parent, std::string_view* child) {
  if (path.size() <= parent.size() + 1 || path[parent.size()] != '\\') return false;
  if (!EqualsIgnoreAsciiCase(path.substr(0, parent.size()), parent)) return false;
  const std::string_view rest = path.substr(parent.size() + 1);
  if (SplitKey(rest).size() != 1) return false;
  *child = rest;
  return true;
}

bool IsBelow(std::string_view path, std::string_view parent) {
  if (EqualsIgnoreAsciiCase(path, parent)) return true;
  return path.size() > parent.size() && path[parent.size()] == '\\' &&
         EqualsIgnoreAsciiCase(path.substr(0, parent.size()), parent);
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// "text" in the file's quoting: \\ \" \r \n.
void AppendQuoted(std::string& out, std::string_view utf8) {
  out.push_back('"');
  for (char c : utf8) {
    switch (c) {
      case '\\': out.append("\\\\"); break;
      case '"': out.append("\\\""); break;
      case '\r': out.append("\\r"); break;
      case '\n': out.append("\\n"); break;
      default: out.push_back(c);
    }
  }
  out.push_back('"');
}

// Reads a quoted text at the start of `line`; advances `line` past it.
std::optional<std::string> TakeQuoted(std::string_view& line) {
  if (line.empty() || line.front() != '"') return std::nullopt;
  std::string out;
  std::size_t i = 1;
  for (; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] != '\\') {
      out.push_back(line[i]);
      continue;
    }
    if (++i == line.size()) return std::nullopt;
    switch (line[i]) {
      case '\\': out.push_back('\\'); break;
      case '"': out.push_back('"'); break;
      case 'r': out.push_back('\r'); break;
      case 'n': out.push_back('\n'); break;
      default: return std::nullopt;
    }
  }
  if (i == line.size()) return std::nullopt;
  line.remove_prefix(i + 1);
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> ParseHexBytes(std::string_view list) {
  std::string out;
  while (!list.empty()) {
    if (list.size() < 2 || HexDigit(list[0]) < 0 || HexDigit(list[1]) < 0) return std::nullopt;
    out.push_back(static_cast<char>(HexDigit(list[0]) * 16 + HexDigit(list[1])));
    list.remove_prefix(2);
    if (list.empty()) break;
    if (list.front() != ',') return std::nullopt;
    list.remove_prefix(1);
  }
  return out;
}

std::optional<std::uint32_t> ParseDword(std::string_view hex) {
  if (hex.empty() || hex.size() > 8) return std::nullopt;
  std::uint32_t v = 0;
  for (char c : hex) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  return v;
}

// Parses "name"=value or @=value into `value`.
bool ParseValueLine(std::string_view line, Value& value) {
  if (!line.empty() && line.front() == '@') {
    value.name.clear();
    line.remove_prefix(1);
  } else {
    const std::optional<std::string> name = TakeQuoted(line);
    if (!name) return false;
    const auto cp932 = text::Utf8ToCp932Strict(*name);
    if (!cp932) return false;
    value.name = *cp932;
  }
  if (line.empty() || line.front() != '=') return false;
  line.remove_prefix(1);
  if (line.starts_with("dword:")) {
    const auto dword = ParseDword(line.substr(6));
    if (!dword) return false;
    value.type = REG_DWORD;
    value.dword = *dword;
    return true;
  }
  value.type = REG_SZ;
  if (line.starts_with("hex(1):")) {
    auto bytes = ParseHexBytes(line.substr(7));
    if (!bytes) return false;
    value.text = std::move(*bytes);
    return true;
  }
  const std::optional<std::string> quoted = TakeQuoted(line);
  if (!quoted || !line.empty()) return false;
  const auto cp932 = text::Utf8ToCp932Strict(*quoted);
  if (!cp932) return false;
  value.text = *cp932;
  return true;
}

void AppendValue(std::string& out, const Value& value) {
  if (value.name.empty())
    out.push_back('@');
  else
    AppendQuoted(out, text::Cp932ToUtf8Strict(value.name).value_or("?"));
  out.push_back('=');
  char hex[16];
  if (value.type == REG_DWORD) {
    std::snprintf(hex, sizeof hex, "dword:%08x", value.dword);
    out.append(hex);
  } else if (const auto utf8 = text::Cp932ToUtf8Strict(value.text)) {
    AppendQuoted(out, *utf8);
  } else {
    out.append("hex(1):");
    for (std::size_t i = 0; i < value.text.size(); ++i) {
      std::snprintf(hex, sizeof hex, i == 0 ? "%02x" : ",%02x",
                    static_cast<unsigned char>(value.text[i]));
      out.append(hex);
    }
  }
  out.push_back('\n');
}

}  // namespace

std::optional<std::string> NormalizeKey(std::string_view key) {
  if (!text::Cp932ToUtf8Strict(key)) return std::nullopt;
  std::vector<std::string_view> parts = SplitKey(key);
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();
  const auto root = std::find_if(kRoots.begin(), kRoots.end(), [&](const Root& r) {
    return EqualsIgnoreAsciiCase(parts[0], r.name) || EqualsIgnoreAsciiCase(parts[0], r.short_name);
  });
  if (root == kRoots.end()) return std::nullopt;
  std::string path(root->name);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) return std::nullopt;
    path.push_back('\\');
    path.append(parts[i]);
  }
  return path;
}

Key* Store::FindKey(std::string_view path) {
  auto it = std::find_if(keys_.begin(), keys_.end(),
                         [&](const Key& k) { return EqualsIgnoreAsciiCase(k.path, path); });
  return it == keys_.end() ? nullptr : &*it;
}

const Key* Store::FindKey(std::string_view path) const {
  return const_cast<Store*>(this)->FindKey(path);
}

Key& Store::MakeKey(std::string_view path) {
  const std::vector<std::string_view> parts = SplitKey(path);
  std::string prefix;
  Key* key = nullptr;
  for (std::string_view part : parts) {
    if (!prefix.empty()) prefix.push_back('\\');
    prefix.append(part);
    key = FindKey(prefix);
    if (!key) {
      keys_.push_back(Key{prefix, {}});
      key = &keys_.back();
    }
  }
  return *key;
}

bool Store::Parse(std::string_view utf8, int* bad_line) {
  keys_.clear();
  int number = 0;
  Key* current = nullptr;
  bool ok = true;
  saved::ForEachRawLine(utf8, [&](std::string_view raw) {
    ++number;
    std::string_view line = saved::WithoutLineEnd(raw);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == ';') return true;
    if (line.front() == '[') {
      const auto cp932 = text::Utf8ToCp932Strict(line.substr(1));
      std::optional<std::string> path;
      if (cp932 && !cp932->empty() && cp932->back() == ']')
        path = NormalizeKey(std::string_view(*cp932).substr(0, cp932->size() - 1));
      if (!path) return ok = false;
      current = &MakeKey(*path);
      return true;
    }
    Value value;
    if (!current || !ParseValueLine(line, value)) return ok = false;
    auto same = std::find_if(current->values.begin(), current->values.end(), [&](const Value& v) {
      return EqualsIgnoreAsciiCase(v.name, value.name);
    });
    if (same != current->values.end())
      *same = std::move(value);
    else
      current->values.push_back(std::move(value));
    return true;
  });
  if (!ok) {
    keys_.clear();
    if (bad_line) *bad_line = number;
  }
  return ok;
}

std::string Store::Serialize() const {
  std::vector<const Key*> sorted;
  for (const Key& key : keys_) sorted.push_back(&key);
  std::sort(sorted.begin(), sorted.end(),
            [](const Key* a, const Key* b) { return Lower(a->path) < Lower(b->path); });
  std::string out(kHeader);
  out.push_back('\n');
  for (const Key* key : sorted) {
    out.append("\n[");
    out.append(text::Cp932ToUtf8Strict(key->path).value_or("?"));
    out.append("]\n");
    for (const Value& value : key->values) AppendValue(out, value);
  }
  return out;
}

const Value* Store::Find(std::string_view key, std::string_view name) const {
  const Key* k = FindKey(key);
  if (!k) return nullptr;
  for (const Value& v : k->values)
    if (EqualsIgnoreAsciiCase(v.name, name)) return &v;
  return nullptr;
}

bool Store::KeyExists(std::string_view key) const { return FindKey(key) != nullptr; }

void Store::Set(std::string_view key, Value value) {
  Key& k = MakeKey(key);
  for (Value& v : k.values) {
    if (EqualsIgnoreAsciiCase(v.name, value.name)) {
      value.name = v.name;  // the first spelling stays
      v = std::move(value);
      return;
    }
  }
  k.values.push_back(std::move(value));
}

bool Store::DeleteValue(std::string_view key, std::string_view name) {
  Key* k = FindKey(key);
  if (!k) return false;
  return std::erase_if(k->values,
                       [&](const Value& v) { return EqualsIgnoreAsciiCase(v.name, name); }) > 0;
}

int Store::DeleteKey(std::string_view key) {
  const std::string parent(key);
  return static_cast<int>(
      std::erase_if(keys_, [&](const Key& k) { return IsBelow(k.path, parent); }));
}

std::vector<std::string> Store::SubKeys(std::string_view key) const {
  std::vector<std::string> names;
  std::string_view child;
  for (const Key& k : keys_)
    if (IsChildOf(k.path, key, &child)) names.emplace_back(child);
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
  return names;
}

std::vector<std::string> Store::ValueNames(std::string_view key) const {
  std::vector<std::string> names;
  if (const Key* k = FindKey(key))
    for (const Value& v : k->values) names.push_back(v.name);
  return names;
}

std::string StoreFolder() { return user_dirs::ConfigFolder(); }

std::string StoreFile() { return StoreFolder() + "/registry.reg"; }

StoreLock::StoreLock() {
  std::error_code ec;
  std::filesystem::create_directories(StoreFolder(), ec);
  fd_ = open((StoreFolder() + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  while (flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      error_ = errno;
      return;
    }
  }
}

StoreLock::~StoreLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the lock
}

int ReadStore(Store& store, int* bad_line) {
  std::FILE* raw = std::fopen(StoreFile().c_str(), "rb");
  if (!raw) {
    store = Store();
    return errno == ENOENT ? 0 : errno;
  }
  files::FilePtr f(raw);
  std::string text;
  char block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, f.get())) > 0) {
    text.append(block, got);
    if (text.size() > REGISTRY_FILE_MAX) return EFBIG;
  }
  if (std::ferror(f.get())) return EIO;
  return store.Parse(text, bad_line) ? 0 : STORE_DAMAGED;
}

int WriteStore(const Store& store) {
  std::error_code ec;
  std::filesystem::create_directories(StoreFolder(), ec);
  if (ec) {
    files::NoteWriteFailure(StoreFile(), ec.value());
    return ec.value();
  }
  return files::ReplaceSystemFile(StoreFile(), store.Serialize());
}

}  // namespace vx::api::registry
