#include "host/instances.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/messages.hpp"
#include "platform/user_dirs.hpp"

namespace vx::host {
namespace {

constexpr std::size_t kDatagramBytes = 12;

struct Fd {
  int fd;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

bool SocketAddress(const std::string& path, sockaddr_un* out) {
  std::memset(out, 0, sizeof *out);
  out->sun_family = AF_UNIX;
  if (path.size() >= sizeof out->sun_path) return false;
  std::memcpy(out->sun_path, path.c_str(), path.size() + 1);
  return true;
}

std::string SocketName(std::int32_t id) { return std::to_string(id) + ".sock"; }

// The instance number of a socket's name, or -1 for anything else.
std::int32_t IdOfName(const std::string& name) {
  constexpr std::string_view kSuffix = ".sock";
  if (name.size() <= kSuffix.size() || name.size() > kSuffix.size() + 10 ||
      name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return -1;
  }
  long long id = 0;
  for (std::size_t i = 0; i + kSuffix.size() < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    id = id * 10 + (name[i] - '0');
  }
  return id > 0 && id <= INT32_MAX ? static_cast<std::int32_t>(id) : -1;
}

std::vector<std::int32_t> RegisteredIds(const std::string& dir) {
  std::vector<std::int32_t> ids;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(dir.c_str()), closedir);
  if (!listing) return ids;
  while (const dirent* entry = readdir(listing.get())) {
    const std::int32_t id = IdOfName(entry->d_name);
    if (id > 0) ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

enum class Sent { kReached, kStale, kBusy };

// One datagram to one instance; a socket nobody listens on is removed.
Sent SendTo(int sock, const std::string& dir, std::int32_t id, const unsigned char* datagram,
            std::size_t size) {
  const std::string path = dir + "/" + SocketName(id);
  sockaddr_un address;
  if (!SocketAddress(path, &address)) return Sent::kStale;
  const ssize_t sent = sendto(sock, datagram, size, MSG_DONTWAIT,
                              reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent == static_cast<ssize_t>(size)) return Sent::kReached;
  if (errno == ECONNREFUSED || errno == ENOENT) {
    unlink(path.c_str());  // its process has gone
    return Sent::kStale;
  }
  return Sent::kBusy;  // a full queue: alive, but this one is lost
}

void Encode(std::int32_t a, std::int32_t b, std::int32_t c, unsigned char* out) {
  const std::int32_t v[3] = {a, b, c};
  std::memcpy(out, v, kDatagramBytes);
}

}  // namespace

std::string InstanceDirectory() {
  const std::string dir = user_dirs::RuntimeFolder();
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
      (st.st_mode & 0077) != 0) {
    return {};  // someone else's, or open to others: not ours to trust
  }
  return dir;
}

std::int32_t OwnInstanceId() { return static_cast<std::int32_t>(getpid()); }

int PostToOtherInstances(std::int32_t message, std::int32_t value1, std::int32_t value2,
                         std::int32_t own) {
  const std::string dir = InstanceDirectory();
  if (dir.empty()) return 0;
  Fd sock(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (sock.fd < 0) return 0;
  unsigned char datagram[kDatagramBytes];
  Encode(message, value1, value2, datagram);
  int reached = 0;
  for (const std::int32_t id : RegisteredIds(dir)) {
    if (id != own && SendTo(sock.fd, dir, id, datagram, sizeof datagram) == Sent::kReached) ++reached;
  }
  return reached;
}

bool PostToInstance(std::int32_t id, std::int32_t message, std::int32_t value1, std::int32_t value2) {
  const std::string dir = InstanceDirectory();
  if (dir.empty() || id <= 0) return false;
  Fd sock(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (sock.fd < 0) return false;
  unsigned char datagram[kDatagramBytes];
  Encode(message, value1, value2, datagram);
  return SendTo(sock.fd, dir, id, datagram, sizeof datagram) == Sent::kReached;
}

std::vector<std::int32_t> RunningInstances(std::int32_t own) {
  std::vector<std::int32_t> running;
  const std::string dir = InstanceDirectory();
  if (dir.empty()) return running;
  for (const std::int32_t id : RegisteredIds(dir)) {
    if (id == own) continue;
    // A datagram socket connects only while someone has it bound.
    Fd probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const std::string path = dir + "/" + SocketName(id);
    sockaddr_un address;
    if (probe.fd < 0 || !SocketAddress(path, &address)) continue;
    if (connect(probe.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      running.push_back(id);
    } else if (errno == ECONNREFUSED || errno == ENOENT) {
      unlink(path.c_str());
    }
  }
  return running;
}

InstanceListener::InstanceListener(Inbox& inbox, std::int32_t id) : inbox_(inbox) {
  const std::string dir = InstanceDirectory();
  if (dir.empty() || id <= 0) return;
  path_ = dir + "/" + SocketName(id);
  sockaddr_un address;
  if (!SocketAddress(path_, &address)) return;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  unlink(path_.c_str());  // a socket left by an earlier process with our id
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      pipe2(wake_, O_CLOEXEC) != 0) {
    close(fd);
    return;
  }
  fd_ = fd;
  if (!thread_.Start([](void* self) { static_cast<InstanceListener*>(self)->Receive(); }, this)) {
    close(fd_);
    fd_ = -1;
    close(wake_[0]);
    close(wake_[1]);
    unlink(path_.c_str());
  }
}

InstanceListener::~InstanceListener() {
  if (fd_ < 0) return;
  const char stop = 1;
  (void)!write(wake_[1], &stop, 1);
  thread_.Join();
  close(fd_);
  close(wake_[0]);
  close(wake_[1]);
  Unregister();
}

void InstanceListener::Retire() {
  if (fd_ < 0) return;
  const std::lock_guard<std::mutex> lock(delivering_);
  retired_ = true;
  Unregister();
}

void InstanceListener::Unregister() {
  if (path_.empty()) return;
  unlink(path_.c_str());
  path_.clear();
}

void InstanceListener::Receive() {
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    unsigned char datagram[kDatagramBytes + 1];
    const ssize_t n = recv(fd_, datagram, sizeof datagram, MSG_DONTWAIT);
    if (n != static_cast<ssize_t>(kDatagramBytes)) continue;  // not one of ours
    std::int32_t v[3];
    std::memcpy(v, datagram, kDatagramBytes);
    if (v[0] != MSG_USER_EVENT) continue;
    Message m;
    m.kind = MessageKind::kUserEvent;
    m.code = v[1];
    m.value = v[2];
    const std::lock_guard<std::mutex> lock(delivering_);
    if (retired_) continue;
    inbox_.Post(std::move(m));
  }
}

}  // namespace vx::host
