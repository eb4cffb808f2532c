#pragma once
// The script's registry: there is no system registry here, so the keys a
// script writes are kept per user in one text file,
// $XDG_CONFIG_HOME/vexmora/registry.reg (~/.config when the variable is not
// set). Key paths look like Windows ones ("HKEY_CURRENT_USER\Software\Foo",
// or "HKCU\Software\Foo"); key and value names compare without ASCII case.
//
// The file is UTF-8 in the manner of a .reg export:
//
//   ; Vexmora registry
//   [HKEY_CURRENT_USER\Software\Foo]
//   "Name"="text with \"quotes\", \\ and \n"
//   "Count"=dword:0000002a
//   @="the key's default value"
//   "Raw"=hex(1):82,a0,ff
//
// A text that is not valid Shift-JIS cannot be written as UTF-8; it is kept
// byte for byte in the hex(1) form.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::api::registry {

inline constexpr std::size_t REGISTRY_FILE_MAX = 16u << 20;

// Windows value types (the numbers scripts see).
enum ValueType : std::int32_t { REG_SZ = 1, REG_DWORD = 4 };

struct Value {
  std::string name;  // CP932; empty for the default value
  ValueType type = REG_SZ;
  std::string text;  // REG_SZ: CP932
  std::uint32_t dword = 0;
};

struct Key {
  std::string path;  // normalised, CP932
  std::vector<Value> values;
};

// "HKCU\Software\Foo\" → "HKEY_CURRENT_USER\Software\Foo". Nullopt for an
// unknown root, an empty component or a path that is not valid Shift-JIS.
std::optional<std::string> NormalizeKey(std::string_view key);

class Store {
 public:
  // Parses the file's text. False on a malformed line, whose number (from 1)
  // goes to `bad_line`; the store is then left empty.
  bool Parse(std::string_view utf8, int* bad_line);
  std::string Serialize() const;

  const Value* Find(std::string_view key, std::string_view name) const;
  bool KeyExists(std::string_view key) const;
  // Creates the key (and its parents) when needed.
  void Set(std::string_view key, Value value);
  bool DeleteValue(std::string_view key, std::string_view name);
  // Removes the key with all keys below it; the number removed.
  int DeleteKey(std::string_view key);
  // Names of the keys directly below `key`, and of its values.
  std::vector<std::string> SubKeys(std::string_view key) const;
  std::vector<std::string> ValueNames(std::string_view key) const;

 private:
  Key* FindKey(std::string_view path);
  const Key* FindKey(std::string_view path) const;
  Key& MakeKey(std::string_view path);
  std::deque<Key> keys_;  // stays put while keys are added
};

// Where the store lives (a system path, UTF-8), and the folder around it.
std::string StoreFolder();
std::string StoreFile();

// Holds the store's lock file, so that two programs changing the store at
// the same time do not lose each other's changes.
class StoreLock {
 public:
  StoreLock();
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  int error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

inline constexpr int STORE_DAMAGED = -1;
// Reads the store file; a missing file is an empty store. 0, an errno, or
// STORE_DAMAGED with the malformed line's number in `bad_line`.
int ReadStore(Store& store, int* bad_line);
// Creates the folder when needed and replaces the file. 0 or an errno.
int WriteStore(const Store& store);

}  // namespace vx::api::registry
