// Libraries that only some scripts need (synthesizers, codecs, speech, OCR)
// are opened on first use rather than linked, so a start-up never maps them
// and a machine without them still runs every other script.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "platform/library_packages.hpp"

namespace vx::platform {

class SharedLibrary {
 public:
  // Opens `soname` (for example "libespeak-ng.so.1") with local symbols.
  explicit SharedLibrary(const char* soname);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // The library `soname` for the rest of the process, opened on the first
  // call. It is never closed: libraries that start threads or register exit
  // handlers cannot be unloaded safely while the program runs down.
  static SharedLibrary& Resident(const char* soname);

  // A library whose file image is held in memory (carried inside the
  // executable): opened from an anonymous in-memory file named `name`.
  static std::unique_ptr<SharedLibrary> FromImage(std::span<const unsigned char> image, const char* name);

  bool Loaded() const { return handle_ != nullptr; }
  // Why opening or the last Bind failed, in the loader's words, followed by
  // the Debian package to install when the library is a known one.
  const std::string& Error() const { return error_; }

  // Points `*out` at the function `name`; false (and Error set) if missing.
  template <typename F>
  bool Bind(const char* name, F* out) {
    *out = reinterpret_cast<F>(Symbol(name));
    return *out != nullptr;
  }

 private:
  void* Symbol(const char* name);

  void* handle_ = nullptr;
  int image_fd_ = -1;  // the in-memory file of a library opened from its image
  std::string error_;
  std::string install_hint_;  // appended to error_: the Debian package to install
};

// A table of functions bound from a library for the rest of the process,
// whether binding worked and, if not, why.
template <typename Api>
struct BoundApi {
  Api api;
  bool ok = false;
  std::string error;
};

// The table `kBind(api, error)` fills, bound on the first call only.
template <typename Api, bool (*kBind)(Api&, std::string&)>
const BoundApi<Api>& BindOnce() {
  static const BoundApi<Api> bound = [] {
    BoundApi<Api> b;
    b.ok = kBind(b.api, b.error);
    return b;
  }();
  return bound;
}

}  // namespace vx::platform
