#include "platform/posix/serial_line.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vx::posix {
namespace {

struct OptionWord {
  std::string_view word;
  std::uint32_t bit;
};

constexpr OptionWord kOptionWords[] = {
    {"even", PORT_EVEN},   {"odd", PORT_ODD},         {"2stop", PORT_TWO_STOP},
    {"xflow", PORT_XFLOW}, {"rtsflow", PORT_RTS_ON},  {"dtr_on", PORT_DTR_ON},
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether a lower-case `word` occurs in `text`, ignoring ASCII case.
bool ContainsWord(std::string_view text, std::string_view word) {
  for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < word.size() && LowerAscii(text[i + k]) == word[k]) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

struct SpeedRow {
  std::int32_t baud;
  speed_t constant;
};

constexpr SpeedRow kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

constexpr cc_t kXon = 0x11;
constexpr cc_t kXoff = 0x13;

}  // namespace

unsigned SpeedConstant(std::int32_t baud) {
  for (const SpeedRow& row : kSpeeds) {
    if (row.baud == baud) return row.constant;
  }
  return 0;
}

SerialLine& SerialLine::operator=(SerialLine&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

int SerialLine::Open(const std::string& system_path) {
  Close();
  const int fd = ::open(system_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  // Other programs (and other opens of ours) are kept off the line while
  // it is ours; a device that refuses exclusivity is still usable.
  ::ioctl(fd, TIOCEXCL);
  fd_ = fd;
  return 0;
}

bool SerialLine::Configure(const LineSettings& s) {
  const speed_t speed = SpeedConstant(s.baud);
  termios tio{};
  if (fd_ < 0 || speed == 0 || ::tcgetattr(fd_, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  if (s.even_parity) {
    tio.c_cflag |= PARENB;
  } else if (s.odd_parity) {
    tio.c_cflag |= PARENB | PARODD;
  }
  if (s.two_stop_bits) tio.c_cflag |= CSTOPB;
  // Parity is generated but not checked, as binary transfers want.
  tio.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
  if (s.xon_xoff) tio.c_iflag |= IXON | IXOFF;
  tio.c_cc[VSTART] = kXon;
  tio.c_cc[VSTOP] = kXoff;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
  termios back{};
  if (::tcgetattr(fd_, &back) != 0 || ::cfgetospeed(&back) != speed) return false;
  SetModemLines(s.rts_on, s.dtr_on);  // pseudo-terminals have no modem lines
  return true;
}

void SerialLine::Close() {
  if (fd_ < 0) return;
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

bool SerialLine::SetModemLines(bool rts, bool dtr) {
  if (fd_ < 0) return false;
  int on = (rts ? TIOCM_RTS : 0) | (dtr ? TIOCM_DTR : 0);
  int off = (rts ? 0 : TIOCM_RTS) | (dtr ? 0 : TIOCM_DTR);
  bool ok = true;
  if (on != 0) ok = ::ioctl(fd_, TIOCMBIS, &on) == 0 && ok;
  if (off != 0) ok = ::ioctl(fd_, TIOCMBIC, &off) == 0 && ok;
  return ok;
}

bool SerialLine::IsTerminal() const { return fd_ >= 0 && ::isatty(fd_) == 1; }

int SerialLine::ModemStatus() const {
  int bits = 0;
  if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &bits) != 0) return -1;
  return bits;
}

std::uint32_t ParsePortOptions(std::string_view text) {
  std::uint32_t bits = 0;
  for (const OptionWord& option : kOptionWords) {
    if (ContainsWord(text, option.word)) bits |= option.bit;
  }
  return bits;
}

LineSettings SettingsFor(std::int32_t baud, std::uint32_t options) {
  LineSettings s;
  s.baud = baud;
  s.even_parity = (options & PORT_EVEN) != 0;
  s.odd_parity = !s.even_parity && (options & PORT_ODD) != 0;
  s.two_stop_bits = (options & PORT_TWO_STOP) != 0;
  s.xon_xoff = (options & PORT_XFLOW) != 0;
  s.rts_on = (options & PORT_RTS_ON) != 0;
  s.dtr_on = (options & PORT_DTR_ON) != 0;
  return s;
}

}  // namespace vx::posix
