#include "comm/pipe_server.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vx::comm {
namespace {

constexpr std::string_view kPipePrefix = "\\\\.\\pipe\\";
// File names longer than this (after escaping) are replaced by a hash so
// that every socket path fits the system's limit.
constexpr std::size_t kSocketNameMax = 64;
constexpr int kListenBacklog = 4;
constexpr int kSendTimeoutMs = 2000;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != Lower(prefix[i])) return false;
  }
  return true;
}

bool PlainByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

// Pipe names are compared without regard to ASCII case, as on Windows.
std::string SocketName(std::string_view name) {
  std::string escaped;
  for (const char raw : name) {
    const auto c = static_cast<unsigned char>(Lower(raw));
    if (PlainByte(c)) {
      escaped.push_back(static_cast<char>(c));
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      escaped += hex;
    }
  }
  if (escaped.size() <= kSocketNameMax && escaped != "." && escaped != "..") return escaped;
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the lower-cased name
  for (const char raw : name) {
    hash ^= static_cast<unsigned char>(Lower(raw));
    hash *= 1099511628211ULL;
  }
  char hashed[24];
  std::snprintf(hashed, sizeof hashed, "#%016llx", static_cast<unsigned long long>(hash));
  return hashed;
}

bool PrivateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  if (path.empty() || path.size() >= sizeof address->sun_path) return false;
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

int ConnectTo(const std::string& path) {
  sockaddr_un address{};
  if (!FillAddress(path, &address)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, std::string_view text) {
  timeval timeout{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  std::size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string PipeDirectory() {
  std::string base;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    base = std::string(runtime) + "/vexmora";
  } else {
    base = "/tmp/vexmora-" + std::to_string(::getuid());
  }
  if (!PrivateDirectory(base)) return {};
  const std::string pipes = base + "/pipes";
  return PrivateDirectory(pipes) ? pipes : std::string();
}

std::string PipeSocketPath(std::string_view pipe_name) {
  if (!StartsWithIgnoringCase(pipe_name, kPipePrefix)) return {};
  const std::string_view name = pipe_name.substr(kPipePrefix.size());
  if (name.empty()) return {};
  const std::string directory = PipeDirectory();
  if (directory.empty()) return {};
  return directory + "/" + SocketName(name);
}

PipeServer::PipeServer(Deliver deliver) : deliver_(std::move(deliver)) {}

PipeServer::~PipeServer() { Stop(); }

bool PipeServer::Start(std::string_view pipe_name) {
  if (pipe_name.size() > PIPE_NAME_MAX) return false;
  Stop();
  const std::string path = PipeSocketPath(pipe_name);
  sockaddr_un address{};
  if (!FillAddress(path, &address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (!bound && errno == EADDRINUSE) {
    // A socket left by a process that ended is taken over; a live one is not.
    const int probe = ConnectTo(path);
    if (probe >= 0) {
      ::close(probe);
    } else {
      ::unlink(path.c_str());
      bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
  }
  wake_fd_ = bound ? ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1;
  if (!bound || wake_fd_ < 0 || ::listen(fd, kListenBacklog) != 0) {
    if (bound) ::unlink(path.c_str());
    ::close(fd);
    if (wake_fd_ >= 0) ::close(wake_fd_);
    wake_fd_ = -1;
    return false;
  }
  listen_fd_ = fd;
  socket_path_ = path;
  stop_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void PipeServer::Stop() {
  if (listen_fd_ < 0) return;
  stop_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
  if (thread_.joinable()) thread_.join();
  ::close(listen_fd_);
  ::close(wake_fd_);
  ::unlink(socket_path_.c_str());
  listen_fd_ = wake_fd_ = -1;
  socket_path_.clear();
}

void PipeServer::Serve() {
  pollfd watched[2] = {{listen_fd_, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
  while (!stop_) {
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    if ((watched[0].revents & POLLIN) == 0) continue;
    const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const bool go_on = ReadClient(client);
    ::close(client);
    if (!go_on) return;
  }
}

bool PipeServer::ReadClient(int client) {
  char buffer[PIPE_READ_MAX];
  pollfd watched[2] = {{client, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
  while (!stop_) {
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return true;
    }
    if (watched[1].revents != 0) return false;
    const ssize_t n = ::read(client, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;  // the client closed: wait for the next one
    if (deliver_) deliver_(std::string(buffer, static_cast<std::size_t>(n)));
  }
  return false;
}

bool WritePipe(std::string_view pipe_name, std::string_view text, std::int32_t timeout_ms) {
  if (pipe_name.size() > PIPE_NAME_MAX) return false;
  const std::string path = PipeSocketPath(pipe_name);
  if (path.empty()) return false;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const int fd = ConnectTo(path);
    if (fd >= 0) {
      const bool sent = SendAll(fd, text);
      ::close(fd);
      if (sent) return true;
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (timeout_ms <= 0 || waited.count() > timeout_ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(PIPE_RETRY_MS));
  }
}

}  // namespace vx::comm
