#include "platform/shared_library.hpp"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace vx::platform {

namespace {
std::string LoaderError(const char* fallback) {
  const char* text = ::dlerror();
  return text != nullptr ? text : fallback;
}
}  // namespace

SharedLibrary::SharedLibrary(const char* soname) {
  handle_ = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) error_ = LoaderError("cannot open library");
}

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

SharedLibrary& SharedLibrary::Resident(const char* soname) {
  static std::mutex guard;
  // Never destroyed, like the libraries: the table stays reachable to the
  // end, so leak checkers do not count resident libraries as lost.
  static auto& opened = *new std::map<std::string, SharedLibrary*, std::less<>>();
  const std::lock_guard lock(guard);
  auto found = opened.find(soname);
  if (found == opened.end()) found = opened.emplace(soname, new SharedLibrary(soname)).first;
  return *found->second;
}

void* SharedLibrary::Symbol(const char* name) {
  if (handle_ == nullptr) return nullptr;
  ::dlerror();
  void* symbol = ::dlsym(handle_, name);
  if (symbol == nullptr) error_ = LoaderError("missing symbol");
  return symbol;
}

}  // namespace vx::platform
