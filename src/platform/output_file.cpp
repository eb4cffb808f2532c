#include "platform/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <set>

#include "platform/files.hpp"
#include "text/encoding.hpp"

namespace vx::files {

namespace {

constexpr std::size_t STREAM_BUFFER_BYTES = 64 * 1024;

std::atomic<WriteFailureNotice> g_notice{nullptr};

}  // namespace

std::string TemporaryNameBeside(const std::string& system_path) {
  static std::atomic<unsigned> counter{0};
  return system_path + ".vx" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
}

void SetWriteFailureNotice(WriteFailureNotice notice) { g_notice.store(notice); }

void NoteWriteFailure(std::string_view shown_name, int errnum) {
  const WriteFailureNotice notice = g_notice.load();
  if (notice == nullptr) return;
  static std::mutex mutex;
  // Never destroyed: writers on other threads may still fail while the
  // process runs down.
  static auto* const told = new std::set<std::string, std::less<>>;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!told->emplace(shown_name).second) return;
  }
  notice(shown_name, errnum);
}

struct OutputFile::State {
  std::string shown;      // the name as the user gave it, UTF-8
  std::string target;     // the system path the finished file ends up at
  std::string temporary;  // the new file beside the target; empty: writing the target itself
  int fd = -1;
  std::FILE* stream = nullptr;
  int error = 0;
  std::uint64_t taken = 0;  // bytes the system accepted
  std::optional<mode_t> permissions;
  bool appending = false;
  bool atomic = false;     // replacing through `temporary`
  bool durable = false;
  bool dropping = false;   // abandoned: buffered bytes go nowhere
  bool finished = false;

  void Fail(int errnum) {
    if (error != 0) return;
    error = errnum != 0 ? errnum : EIO;
    NoteWriteFailure(shown, error);
  }

  static ssize_t WriteOut(void* cookie, const char* data, std::size_t size);
  static int CloseOut(void* cookie);
  void Attach(int descriptor);
};

ssize_t OutputFile::State::WriteOut(void* cookie, const char* data, std::size_t size) {
  State& s = *static_cast<State*>(cookie);
  if (s.dropping) return static_cast<ssize_t>(size);
  if (s.error != 0) return 0;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(s.fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      s.taken += static_cast<std::uint64_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      s.Fail(n < 0 ? errno : EIO);
      break;
    }
  }
  return static_cast<ssize_t>(done);
}

int OutputFile::State::CloseOut(void* cookie) {
  State& s = *static_cast<State*>(cookie);
  const int rc = s.fd >= 0 ? ::close(s.fd) : 0;
  if (rc != 0 && !s.dropping) s.Fail(errno);
  s.fd = -1;
  return rc == 0 ? 0 : -1;
}

// Every byte goes through WriteOut, so that the errno of a failure is kept
// (stdio keeps only a flag) and the count is what the system took.
void OutputFile::State::Attach(int descriptor) {
  fd = descriptor;
  const cookie_io_functions_t io{nullptr, &State::WriteOut, nullptr, &State::CloseOut};
  stream = fopencookie(this, "w", io);
  if (stream == nullptr) {
    Fail(errno != 0 ? errno : ENOMEM);
    ::close(fd);
    fd = -1;
    return;
  }
  std::setvbuf(stream, nullptr, _IOFBF, STREAM_BUFFER_BYTES);
}

namespace {

using State = OutputFile::State;

void OpenInPlace(State& s, const std::string& path, int flags) {
  s.target = path;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | flags, 0666);
  if (fd < 0) return s.Fail(errno);
  s.Attach(fd);
}

// The new contents go to a fresh file beside `target`; `old` describes the
// file they replace, if there is one.
void OpenBeside(State& s, const std::string& target, const struct stat* old) {
  s.target = target;
  const std::string temporary = TemporaryNameBeside(target);
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old ? 0600 : 0666);
  if (fd < 0) {
    const int error = errno;
    // A folder that takes no new names may still hold a file the user may
    // write: that one is rewritten where it is, as it always could be. So is
    // a name too long to take the temporary suffix.
    if (old != nullptr && (error == EACCES || error == EPERM)) return OpenInPlace(s, target, O_TRUNC);
    if (error == ENAMETOOLONG) return OpenInPlace(s, target, O_CREAT | O_TRUNC);
    return s.Fail(error);
  }
  if (old != nullptr) {
    // Owner first: changing it clears the set-user and set-group bits.
    [[maybe_unused]] const int owner = fchown(fd, old->st_uid, old->st_gid);
    fchmod(fd, old->st_mode & 07777);
  }
  s.temporary = temporary;
  s.atomic = true;
  s.Attach(fd);
}

void OpenForReplacing(State& s, const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    const int error = errno;
    if (error != ENOENT) return s.Fail(error);
    struct stat link {};
    // A symbolic link to a file not yet there: the file is made where it points.
    if (::lstat(path.c_str(), &link) == 0) return OpenInPlace(s, path, O_CREAT | O_TRUNC);
    return OpenBeside(s, path, nullptr);
  }
  if (S_ISDIR(st.st_mode)) return s.Fail(EISDIR);
  // A device or a pipe cannot be replaced, only written to.
  if (!S_ISREG(st.st_mode)) return OpenInPlace(s, path, O_TRUNC);
  // A file the user may not write is not replaced either.
  if (::access(path.c_str(), W_OK) != 0) return s.Fail(errno);
  // Through a symbolic link the file it points to is replaced, not the link.
  std::string target = path;
  if (char* real = realpath(path.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  OpenBeside(s, target, &st);
}

}  // namespace

OutputFile::OutputFile(std::unique_ptr<State> state) : state_(std::move(state)) {}
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    OutputFile dropped(std::move(*this));
    state_ = std::move(other.state_);
  }
  return *this;
}

OutputFile OutputFile::Make(std::string shown, const std::string& path, WriteMode mode) {
  auto state = std::make_unique<State>();
  state->shown = std::move(shown);
  state->appending = mode == WriteMode::kAppend;
  if (path.empty()) {
    state->Fail(ENOENT);
  } else if (state->appending) {
    OpenInPlace(*state, path, O_APPEND | O_CREAT);
  } else {
    OpenForReplacing(*state, path);
  }
  return OutputFile(std::move(state));
}

OutputFile OutputFile::OpenSystem(std::string_view system_path, WriteMode mode) {
  return Make(std::string(system_path), std::string(system_path), mode);
}

// An unmapped drive converts to the empty path, which fails; the notice
// names what the script wrote.
OutputFile OutputFile::Open(std::string_view script_path, WriteMode mode) {
  return Make(text::Cp932ToUtf8(script_path),
              script_path.empty() ? std::string() : ToSystemPath(script_path), mode);
}

OutputFile::~OutputFile() {
  if (!state_ || state_->finished) return;
  State& s = *state_;
  if (s.atomic) s.dropping = true;
  if (s.stream != nullptr) std::fclose(s.stream);
  s.stream = nullptr;
  if (!s.temporary.empty()) ::unlink(s.temporary.c_str());
}

int OutputFile::error() const { return state_ ? state_->error : EBADF; }

bool OutputFile::Write(std::string_view bytes) {
  State& s = *state_;
  if (s.error != 0 || s.stream == nullptr || s.finished) return false;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), s.stream);
  return s.error == 0;
}

std::FILE* OutputFile::Stream() { return state_->finished ? nullptr : state_->stream; }

void OutputFile::SetPermissions(mode_t mode) { state_->permissions = mode & 07777; }

void OutputFile::SetDurable() { state_->durable = true; }

int OutputFile::Finish() {
  State& s = *state_;
  if (s.finished) return s.error;
  s.finished = true;
  if (s.stream != nullptr) {
    if (std::fflush(s.stream) != 0) s.Fail(EIO);  // WriteOut has kept the errno
    if (s.error == 0 && s.permissions && fchmod(s.fd, *s.permissions) != 0) s.Fail(errno);
    if (s.error == 0 && s.durable && s.atomic && fsync(s.fd) != 0) s.Fail(errno);
    std::fclose(s.stream);  // CloseOut reports a failed close
    s.stream = nullptr;
  }
  if (!s.temporary.empty()) {
    if (s.error == 0 && std::rename(s.temporary.c_str(), s.target.c_str()) != 0) s.Fail(errno);
    if (s.error != 0) ::unlink(s.temporary.c_str());
    s.temporary.clear();
  }
  return s.error;
}

std::uint64_t OutputFile::BytesInTarget() const {
  const State& s = *state_;
  if (s.atomic && (s.error != 0 || !s.finished)) return 0;
  return s.taken;
}

}  // namespace vx::files
