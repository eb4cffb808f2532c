#pragma once
// A serial line opened through termios: raw 8-bit transfer with the parity,
// stop bits, software flow control and modem lines a script asked for.
#include <cstdint>
#include <string>
#include <string_view>

namespace vx::posix {

// Option bits of a port, from its options text.
enum PortOptionBit : std::uint32_t {
  PORT_EVEN = 1,
  PORT_ODD = 2,
  PORT_TWO_STOP = 4,
  PORT_XFLOW = 8,
  PORT_RTS_ON = 16,
  PORT_DTR_ON = 32,
};

// Each option word ("even", "odd", "2stop", "xflow", "rtsflow", "dtr_on")
// found anywhere in the text, without regard to ASCII case.
std::uint32_t ParsePortOptions(std::string_view text);

struct LineSettings {
  std::int32_t baud = 9600;
  bool even_parity = false;
  bool odd_parity = false;
  bool two_stop_bits = false;
  bool xon_xoff = false;
  bool rts_on = false;
  bool dtr_on = false;
};

// An open line; closes its descriptor when it goes.
class SerialLine {
 public:
  SerialLine() = default;
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;
  SerialLine(SerialLine&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  SerialLine& operator=(SerialLine&& other) noexcept;
  ~SerialLine() { Close(); }

  // Opens an existing device for reading and writing, exclusively and
  // without blocking. 0 on success, else the errno value.
  int Open(const std::string& system_path);
  // Applies the settings and reads them back; false when the device takes
  // no line settings or does not keep the speed asked for.
  bool Configure(const LineSettings& settings);
  void Close();

  int fd() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Whether the open device is a terminal (serial lines and pseudo-terminals are).
  bool IsTerminal() const;

  // RTS and DTR as the settings left them (false, false when closed).
  bool SetModemLines(bool rts, bool dtr);
  // TIOCM_* bits of the modem status, or -1 when the device has none.
  int ModemStatus() const;

 private:
  int fd_ = -1;
};

// The termios speed constant for a rate in baud, or 0 when there is none.
unsigned SpeedConstant(std::int32_t baud);

// Settings "Even" and "Odd" together mean even parity.
LineSettings SettingsFor(std::int32_t baud, std::uint32_t options);

}  // namespace vx::posix
