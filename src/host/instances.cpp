#include "host/instances.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/messages.hpp"

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

std::string OwnSocketName() { return std::to_string(getpid()) + ".sock"; }

void Encode(std::int32_t a, std::int32_t b, std::int32_t c, unsigned char* out) {
  const std::int32_t v[3] = {a, b, c};
  std::memcpy(out, v, kDatagramBytes);
}

}  // namespace

std::string InstanceDirectory() {
  const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
  std::string dir = (runtime_dir != nullptr && *runtime_dir == '/')
                        ? std::string(runtime_dir) + "/vexmora"
                        : "/tmp/vexmora-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
      (st.st_mode & 0077) != 0) {
    return {};  // someone else's, or open to others: not ours to trust
  }
  return dir;
}

int PostToOtherInstances(std::int32_t message, std::int32_t value1, std::int32_t value2) {
  const std::string dir = InstanceDirectory();
  if (dir.empty()) return 0;
  std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(dir.c_str()), closedir);
  if (!listing) return 0;
  Fd sock(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (sock.fd < 0) return 0;
  unsigned char datagram[kDatagramBytes];
  Encode(message, value1, value2, datagram);
  const std::string own = OwnSocketName();
  int reached = 0;
  while (const dirent* entry = readdir(listing.get())) {
    const std::string name = entry->d_name;
    if (name == own || name.size() < 6 || name.compare(name.size() - 5, 5, ".sock") != 0) continue;
    const std::string path = dir + "/" + name;
    sockaddr_un address;
    if (!SocketAddress(path, &address)) continue;
    const ssize_t sent = sendto(sock.fd, datagram, sizeof datagram, MSG_DONTWAIT,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent == static_cast<ssize_t>(sizeof datagram)) {
      ++reached;
    } else if (errno == ECONNREFUSED || errno == ENOENT) {
      unlink(path.c_str());  // its process has gone
    }
  }
  return reached;
}

InstanceListener::InstanceListener(Inbox& inbox) : inbox_(inbox) {
  const std::string dir = InstanceDirectory();
  if (dir.empty()) return;
  path_ = dir + "/" + OwnSocketName();
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
  thread_ = std::thread([this] { Receive(); });
}

InstanceListener::~InstanceListener() {
  if (fd_ < 0) return;
  const char stop = 1;
  (void)!write(wake_[1], &stop, 1);
  thread_.join();
  close(fd_);
  close(wake_[0]);
  close(wake_[1]);
  unlink(path_.c_str());
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
    inbox_.Post(std::move(m));
  }
}

}  // namespace vx::host
