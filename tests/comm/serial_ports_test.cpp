// Serial ports against pseudo-terminals: the test holds the far end (the
// master side) and the port opens the slave side as its device.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/serial_ports.hpp"
#include "support/scoped_env.hpp"

namespace vx::comm {
namespace {

using namespace std::chrono_literals;

// A pseudo-terminal pair; the slave side's path is the device to open.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
      path_ = ::ptsname(master_);
      // The far end speaks raw bytes too.
      termios tio{};
      ::tcgetattr(master_, &tio);
      ::cfmakeraw(&tio);
      ::tcsetattr(master_, TCSANOW, &tio);
    }
  }
  ~Pty() { CloseMaster(); }
  const std::string& path() const { return path_; }
  int master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void Send(std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
      ASSERT_GT(n, 0);
      sent += static_cast<std::size_t>(n);
    }
  }
  std::string Receive(std::size_t want) {
    std::string got;
    char buffer[4096];
    while (got.size() < want) {
      pollfd in{master_, POLLIN, 0};
      if (::poll(&in, 1, 2000) <= 0) break;
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string path_;
};

// Notifications as the window thread would see them.
class Notes {
 public:
  SerialPorts::Notify Callback() {
    return [this](int index, int error) {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_.push_back({index, error});
      changed_.notify_all();
    };
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, 3s, [&] { return seen_.size() >= count; });
  }
  std::vector<std::pair<int, int>> Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<int, int>> seen_;
};

// Waits until the ring holds `count` bytes.
bool WaitHeld(SerialPorts& ports, int index, std::size_t count) {
  for (int i = 0; i < 300; ++i) {
    if (ports.Held(index) >= count) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST(PortOptions, WordsAnywhereWithoutRegardToCase) {
  EXPECT_EQ(ParsePortOptions(""), 0u);
  EXPECT_EQ(ParsePortOptions("EVEN,2Stop xflow"), PORT_EVEN | PORT_TWO_STOP | PORT_XFLOW);
  EXPECT_EQ(ParsePortOptions("RTSFlow+DTR_ON"), PORT_RTS_ON | PORT_DTR_ON);
  // Both parities named: even wins.
  const posix::LineSettings both = SettingsFor(9600, ParsePortOptions("Even Odd"));
  EXPECT_TRUE(both.even_parity);
  EXPECT_FALSE(both.odd_parity);
  EXPECT_TRUE(SettingsFor(9600, PORT_ODD).odd_parity);
}

TEST(PortDevices, ComNamesMapThroughTheEnvironment) {
  test::ScopedEnv mapped("VEXMORA_COM3", "/dev/ttyUSB0");
  EXPECT_EQ(DevicePath("COM3"), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePath("com3"), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePath("\\\\.\\COM3"), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(DevicePath("COM12"), "/dev/ttyS11");
  EXPECT_EQ(DevicePath("/dev/ttyACM0"), "/dev/ttyACM0");
  // Not a port number: taken as a path.
  EXPECT_EQ(DevicePath("COM0"), "COM0");
  EXPECT_EQ(DevicePath("COMX"), "COMX");
}

TEST(Crc16, KnownValues) {
  const std::string abc = "abc";
  EXPECT_EQ(Crc16({reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()}), 0x9DD6);
  EXPECT_EQ(Crc16({}), 0);
  const std::string check = "123456789";  // the XMODEM check value
  EXPECT_EQ(Crc16({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0x31C3);
}

TEST(SerialPorts, SettingsAreAppliedToTheLine) {
  Pty pty;
  ASSERT_FALSE(pty.path().empty());
  SerialPorts ports(nullptr);
  const int index = ports.Open(pty.path(), 19200, PORT_EVEN | PORT_TWO_STOP | PORT_XFLOW);
  ASSERT_EQ(index, 0);
  const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY);
  termios tio{};
  if (fd >= 0) {  // a second open may be refused while the port is exclusive
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&tio), B19200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    // Pseudo-terminals keep no parity (the kernel clears it), so parity is
    // seen only on real lines.
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
    EXPECT_NE(tio.c_iflag & IXON, 0u);
    EXPECT_EQ(tio.c_lflag & ICANON, 0u);  // raw: no line editing
  }
}

TEST(SerialPorts, UnknownSpeedsAndMissingDevicesFail) {
  Pty pty;
  SerialPorts ports(nullptr);
  EXPECT_EQ(ports.Open(pty.path(), 12345, 0), PORT_OPEN_FAILED);
  EXPECT_EQ(ports.Open("/nonexistent/tty", 9600, 0), PORT_OPEN_FAILED);
  EXPECT_EQ(ports.Open("/dev/null", 9600, 0), PORT_OPEN_FAILED);  // not a serial line
  EXPECT_FALSE(ports.AnyOpen());
}

TEST(SerialPorts, EveryByteValueBothWays) {
  Pty pty;
  Notes notes;
  SerialPorts ports(notes.Callback());
  const int index = ports.Open(pty.path(), 115200, 0);
  ASSERT_GE(index, 0);
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  pty.Send(all);
  ASSERT_TRUE(WaitHeld(ports, index, all.size()));
  EXPECT_EQ(ports.Take(index, 1000), all);
  EXPECT_EQ(ports.Write(index, all), all.size());
  EXPECT_EQ(pty.Receive(all.size()), all);
}

TEST(SerialPorts, NotifiesOnceUntilRearmed) {
  Pty pty;
  Notes notes;
  SerialPorts ports(notes.Callback());
  const int index = ports.Open(pty.path(), 9600, 0);
  ASSERT_GE(index, 0);
  pty.Send("a");
  ASSERT_TRUE(notes.WaitFor(1));
  pty.Send("b");
  ASSERT_TRUE(WaitHeld(ports, index, 2));
  EXPECT_EQ(notes.Seen().size(), 1u);
  ports.Rearm(index);
  pty.Send("c");
  ASSERT_TRUE(notes.WaitFor(2));
  EXPECT_EQ(notes.Seen()[1], std::make_pair(index, 0));
  EXPECT_EQ(ports.Take(index, 10), "abc");
}

TEST(SerialPorts, AFullRingKeepsTheFirstBytesInOrder) {
  Pty pty;
  SerialPorts ports(nullptr);
  const int index = ports.Open(pty.path(), 115200, 0);
  ASSERT_GE(index, 0);
  std::string flood(70000, '\0');
  for (std::size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<char>(i * 7 + i / 256);
  std::thread sender([&] { pty.Send(flood); });
  sender.join();
  ASSERT_TRUE(WaitHeld(ports, index, PORT_RING_BYTES));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(ports.Held(index), PORT_RING_BYTES);
  EXPECT_EQ(ports.Take(index, 200000), flood.substr(0, PORT_RING_BYTES));
}

TEST(SerialPorts, FourPortsAtMost) {
  std::vector<std::unique_ptr<Pty>> ptys;
  SerialPorts ports(nullptr);
  for (int i = 0; i < PORT_MAX; ++i) {
    ptys.push_back(std::make_unique<Pty>());
    EXPECT_EQ(ports.Open(ptys.back()->path(), 9600, 0), i);
  }
  Pty fifth;
  EXPECT_EQ(ports.Open(fifth.path(), 9600, 0), PORT_NONE_FREE);
  ports.Stop(2);
  EXPECT_FALSE(ports.IsOpen(2));
  EXPECT_EQ(ports.Open(fifth.path(), 9600, 0), 2);
}

TEST(SerialPorts, WritesAreRefusedPastTheLimitAndOnClosedPorts) {
  Pty pty;
  SerialPorts ports(nullptr);
  const int index = ports.Open(pty.path(), 9600, 0);
  ASSERT_GE(index, 0);
  const std::string too_long(PORT_WRITE_MAX + 1, 'x');
  EXPECT_EQ(ports.Write(index, too_long), 0u);
  EXPECT_EQ(ports.Write(3, "x"), 0u);
  EXPECT_EQ(ports.Write(-1, "x"), 0u);
  EXPECT_EQ(ports.Write(99, "x"), 0u);
  EXPECT_EQ(ports.Take(-1, 10), "");
  EXPECT_EQ(ports.Held(99), 0u);
}

TEST(SerialPorts, ADeviceThatGoesAwayIsReportedOnce) {
  Pty pty;
  Notes notes;
  SerialPorts ports(notes.Callback());
  const int index = ports.Open(pty.path(), 9600, 0);
  ASSERT_GE(index, 0);
  pty.CloseMaster();
  ASSERT_TRUE(notes.WaitFor(1));
  EXPECT_EQ(notes.Seen()[0], std::make_pair(index, 1));
  EXPECT_EQ(ports.Write(index, "x"), 0u);
  EXPECT_EQ(ports.ModemLines(index), PORT_NO_MODEM_STATUS);
  ports.Stop(index);  // joins the reader that already ended
  EXPECT_FALSE(ports.IsOpen(index));
}

TEST(SerialPorts, ModemLinesOfClosedPorts) {
  SerialPorts ports(nullptr);
  EXPECT_EQ(ports.ModemLines(0), PORT_NO_SETTINGS);
  EXPECT_FALSE(ports.SetModemLines(0, true, true));
}

}  // namespace
}  // namespace vx::comm
