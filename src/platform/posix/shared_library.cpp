#include "platform/shared_library.hpp"

#include "platform/library_packages.hpp"

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <utility>


namespace vx::platform {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};
std::string LoaderError(const char* fallback) {
  const char* text = ::dlerror();
  return text != nullptr ? text : fallback;
}
}  // namespace

SharedLibrary::SharedLibrary(const char* soname) {
  if (soname == nullptr) return;
  handle_ = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  // Every reason a library cannot be used ends with what to install.
  install_hint_ = InstallHint(PackageProviding(soname));
  if (handle_ == nullptr) error_ = LoaderError("cannot open library") + install_hint_;
}

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
  if (image_fd_ >= 0) ::close(image_fd_);
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

std::unique_ptr<SharedLibrary> SharedLibrary::FromImage(std::span<const unsigned char> image,
                                                        const char* name) {
  Descriptor file(::memfd_create(name, MFD_CLOEXEC));
  bool written = file.get() >= 0;
  for (std::size_t done = 0; written && done < image.size();) {
    const ssize_t n = ::write(file.get(), image.data() + done, image.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<std::size_t>(n);
  }
  if (!written) {
    auto failed = std::unique_ptr<SharedLibrary>(new SharedLibrary(nullptr));
    failed->error_ = std::string("cannot hold ") + name + " in memory";
    return failed;
  }
  // The loader knows libraries by their path: the descriptor stays open as
  // long as the library, so that no other image is ever opened by the same
  // name.
  const std::string path = "/proc/self/fd/" + std::to_string(file.get());
  auto library = std::unique_ptr<SharedLibrary>(new SharedLibrary(path.c_str()));
  library->image_fd_ = file.release();
  return library;
}

void* SharedLibrary::Symbol(const char* name) {
  if (handle_ == nullptr) return nullptr;
  ::dlerror();
  void* symbol = ::dlsym(handle_, name);
  if (symbol == nullptr) error_ = LoaderError("missing symbol") + install_hint_;
  return symbol;
}

}  // namespace vx::platform
