#include "platform/user_dirs.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace vx::user_dirs {
namespace {

constexpr const char* kFolderName = "/vexmora";

// The variable's value when it is an absolute path; null otherwise.
const char* AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

std::string HomeDirectory() {
  if (const char* home = AbsoluteVariable("HOME")) return home;
  const passwd* pw = getpwuid(getuid());
  return pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/' ? pw->pw_dir : "/tmp";
}

}  // namespace

std::string ConfigFolder() {
  const char* config = AbsoluteVariable("XDG_CONFIG_HOME");
  return (config != nullptr ? std::string(config) : HomeDirectory() + "/.config") + kFolderName;
}

std::string RuntimeFolder() {
  if (const char* runtime = AbsoluteVariable("XDG_RUNTIME_DIR")) return runtime + std::string(kFolderName);
  return "/tmp/vexmora-" + std::to_string(getuid());
}

}  // namespace vx::user_dirs
