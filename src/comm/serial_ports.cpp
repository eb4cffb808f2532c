#include "comm/serial_ports.hpp"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/files.hpp"

namespace vx::comm {
namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr int kComNumberMax = 256;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// n of "COMn" (any case, 1 to 256), or 0 for any other name.
int ComNumber(std::string_view name) {
  if (name.size() > 4 && name.substr(0, 4) == "\\\\.\\") name.remove_prefix(4);
  if (name.size() < 4 || name.size() > 6) return 0;
  if (Lower(name[0]) != 'c' || Lower(name[1]) != 'o' || Lower(name[2]) != 'm') return 0;
  int n = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n >= 1 && n <= kComNumberMax ? n : 0;
}

}  // namespace

struct SerialPorts::Context {
  int index = 0;
  posix::SerialLine line;
  int wake_fd = -1;
  std::thread reader;
  std::atomic<bool> stop{false};
  std::atomic<bool> failed{false};   // the line went away or broke
  std::atomic<bool> armed{true};     // the next data is told to the window
  bool rts = false;
  bool dtr = false;
  // The ring, guarded by the table's lock.
  std::unique_ptr<char[]> ring = std::make_unique<char[]>(PORT_RING_BYTES);
  std::size_t count = 0;
  std::size_t read_at = 0;
  std::size_t write_at = 0;

  ~Context() {
    if (wake_fd >= 0) ::close(wake_fd);
  }
};

std::string DevicePath(std::string_view device_name) {
  if (const int n = ComNumber(device_name); n > 0) {
    const std::string variable = "VEXMORA_COM" + std::to_string(n);
    if (const char* mapped = std::getenv(variable.c_str()); mapped != nullptr && *mapped != '\0') {
      return mapped;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
  }
  return files::ToSystemPath(device_name);
}

SerialPorts::SerialPorts(Notify notify) : notify_(std::move(notify)) {}

SerialPorts::~SerialPorts() { StopAll(); }

SerialPorts::Context* SerialPorts::At(int index) const {
  if (index < 0 || index >= PORT_MAX) return nullptr;
  return ports_[static_cast<std::size_t>(index)].get();
}

int SerialPorts::Open(std::string_view device_name, std::int32_t baud, std::uint32_t options) {
  int index = -1;
  for (int i = 0; i < PORT_MAX && index < 0; ++i) {
    if (!ports_[static_cast<std::size_t>(i)]) index = i;
  }
  if (index < 0) return PORT_NONE_FREE;
  if (device_name.size() > PORT_DEVICE_NAME_MAX) device_name = device_name.substr(0, PORT_DEVICE_NAME_MAX);

  auto port = std::make_unique<Context>();
  port->index = index;
  const posix::LineSettings settings = SettingsFor(baud, options);
  if (port->line.Open(DevicePath(device_name)) != 0 || !port->line.Configure(settings)) {
    return PORT_OPEN_FAILED;
  }
  port->rts = settings.rts_on;
  port->dtr = settings.dtr_on;
  port->wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (port->wake_fd < 0) return PORT_OPEN_FAILED;
  Context& started = *port;
  {
    std::lock_guard<std::timed_mutex> guard(lock_);
    ports_[static_cast<std::size_t>(index)] = std::move(port);
  }
  started.reader = std::thread([this, &started] { ReadLoop(started); });
  return index;
}

void SerialPorts::Stop(int index) {
  std::unique_ptr<Context> port;
  {
    std::lock_guard<std::timed_mutex> guard(lock_);
    if (index < 0 || index >= PORT_MAX) return;
    port = std::move(ports_[static_cast<std::size_t>(index)]);
  }
  if (!port) return;
  port->stop = true;
  const std::uint64_t one = 1;
  // The reader sleeps in poll on the line and this descriptor: it wakes,
  // sees the stop flag and ends.
  [[maybe_unused]] const ssize_t written = ::write(port->wake_fd, &one, sizeof one);
  if (port->reader.joinable()) port->reader.join();
}

void SerialPorts::StopAll() {
  for (int i = 0; i < PORT_MAX; ++i) Stop(i);
}

bool SerialPorts::IsOpen(int index) const { return At(index) != nullptr; }

bool SerialPorts::AnyOpen() const {
  for (int i = 0; i < PORT_MAX; ++i) {
    if (At(i) != nullptr) return true;
  }
  return false;
}

std::size_t SerialPorts::Held(int index) {
  Context* port = At(index);
  if (port == nullptr) return 0;
  std::unique_lock<std::timed_mutex> guard(lock_, std::chrono::milliseconds(PORT_LOCK_WAIT_MS));
  return guard.owns_lock() ? port->count : 0;
}

std::string SerialPorts::Take(int index, std::size_t max) {
  std::string out;
  Context* port = At(index);
  if (port == nullptr) return out;
  std::unique_lock<std::timed_mutex> guard(lock_, std::chrono::milliseconds(PORT_LOCK_WAIT_MS));
  if (!guard.owns_lock()) return out;
  const std::size_t n = std::min(max, port->count);
  out.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = port->ring[port->read_at];
    port->read_at = (port->read_at + 1) % PORT_RING_BYTES;
  }
  port->count -= n;
  return out;
}

void SerialPorts::Append(Context& port, std::span<const char> bytes) {
  {
    std::lock_guard<std::timed_mutex> guard(lock_);
    // Bytes that find the ring full are dropped; what it holds stays in order.
    const std::size_t room = PORT_RING_BYTES - port.count;
    const std::size_t n = std::min(room, bytes.size());
    for (std::size_t i = 0; i < n; ++i) {
      port.ring[port.write_at] = bytes[i];
      port.write_at = (port.write_at + 1) % PORT_RING_BYTES;
    }
    port.count += n;
  }
  if (port.armed.exchange(false) && notify_) notify_(port.index, 0);
}

void SerialPorts::ReadLoop(Context& port) {
  char chunk[kReadChunk];
  pollfd watched[2] = {{port.line.fd(), POLLIN, 0}, {port.wake_fd, POLLIN, 0}};
  while (!port.stop) {
    const int ready = ::poll(watched, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (watched[1].revents != 0 || port.stop) return;
    if ((watched[0].revents & POLLIN) != 0) {
      const ssize_t n = ::read(port.line.fd(), chunk, sizeof chunk);
      if (n > 0) {
        Append(port, std::span<const char>(chunk, static_cast<std::size_t>(n)));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    } else if ((watched[0].revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) {
      continue;
    }
    break;  // end of file, a read error or a hang-up: the device is gone
  }
  if (port.stop) return;
  port.failed = true;
  if (notify_) notify_(port.index, 1);
}

std::size_t SerialPorts::Write(int index, std::span<const char> bytes) {
  Context* port = At(index);
  if (port == nullptr || port->failed || bytes.size() > PORT_WRITE_MAX) return 0;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(port->line.fd(), bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;
    // The line is full: wait for room, and give up when it takes none.
    pollfd out{port->line.fd(), POLLOUT, 0};
    if (::poll(&out, 1, PORT_WRITE_STALL_MS) <= 0 || (out.revents & POLLOUT) == 0) break;
  }
  return written;
}

void SerialPorts::Rearm(int index) {
  if (Context* port = At(index)) port->armed = true;
}

bool SerialPorts::SetModemLines(int index, bool rts, bool dtr) {
  Context* port = At(index);
  if (port == nullptr || port->failed) return false;
  port->rts = rts;
  port->dtr = dtr;
  return port->line.SetModemLines(rts, dtr);
}

std::int32_t SerialPorts::ModemLines(int index) {
  Context* port = At(index);
  if (port == nullptr) return PORT_NO_SETTINGS;
  const int status = port->failed ? -1 : port->line.ModemStatus();
  if (status < 0) return PORT_NO_MODEM_STATUS;
  std::int32_t bits = (port->rts ? 1 : 0) | (port->dtr ? 2 : 0);
  if ((status & TIOCM_CTS) != 0) bits |= 4;
  if ((status & TIOCM_DSR) != 0) bits |= 8;
  return bits;
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0;
  for (const std::uint8_t b : bytes) {
    crc ^= static_cast<std::uint32_t>(b) << 8;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1;
      crc &= 0xFFFF;
    }
  }
  return static_cast<std::uint16_t>(crc);
}

}  // namespace vx::comm
