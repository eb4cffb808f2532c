// The per-user folders after the XDG base directory rules.
#include "platform/user_dirs.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

#include "support/scoped_env.hpp"

namespace vx {
namespace {

std::string PasswordHome() {
  const passwd* pw = getpwuid(getuid());
  return pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/' ? pw->pw_dir : "/tmp";
}

TEST(UserDirs, ConfigFolderFollowsXdgConfigHome) {
  test::ScopedEnv home("HOME", "/home/someone");
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
    EXPECT_EQ(user_dirs::ConfigFolder(), "/srv/config/vexmora");
  }
  // Unset, empty or relative: the default under the home directory.
  for (const char* ignored : {"", "relative/config", "~/.config"}) {
    test::ScopedEnv config("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(user_dirs::ConfigFolder(), "/home/someone/.config/vexmora") << ignored;
  }
}

TEST(UserDirs, HomeComesFromThePasswordDatabaseWhenHomeIsNotAbsolute) {
  test::ScopedEnv config("XDG_CONFIG_HOME", "");
  for (const char* ignored : {"", "somewhere"}) {
    test::ScopedEnv home("HOME", ignored);
    EXPECT_EQ(user_dirs::ConfigFolder(), PasswordHome() + "/.config/vexmora") << ignored;
  }
}

TEST(UserDirs, RuntimeFolderFollowsXdgRuntimeDir) {
  {
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242");
    EXPECT_EQ(user_dirs::RuntimeFolder(), "/run/user/4242/vexmora");
  }
  for (const char* ignored : {"", "run/user"}) {
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", ignored);
    EXPECT_EQ(user_dirs::RuntimeFolder(), "/tmp/vexmora-" + std::to_string(getuid())) << ignored;
  }
}

}  // namespace
}  // namespace vx
