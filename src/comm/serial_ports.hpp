#pragma once
// Up to four serial ports, each read by its own thread into a 64 KiB ring.
// The reader tells the window thread once that data has arrived (through
// `Notify`) and waits to be re-armed before it tells again; the script side
// takes the bytes, writes to the line and sets the modem lines. No reader
// runs script code.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "platform/posix/serial_line.hpp"

namespace vx::comm {

inline constexpr int PORT_MAX = 4;
inline constexpr std::size_t PORT_RING_BYTES = 65536;
inline constexpr std::size_t PORT_WRITE_MAX = 65536;
inline constexpr std::size_t PORT_DEVICE_NAME_MAX = 1022;
inline constexpr int PORT_LOCK_WAIT_MS = 500;
// How long a write waits for the line to take more bytes before it returns
// the count written so far.
inline constexpr int PORT_WRITE_STALL_MS = 200;

// A port's option bits and its line settings (platform/posix/serial_line.hpp).
using posix::PortOptionBit;
using enum posix::PortOptionBit;
using posix::ParsePortOptions;
using posix::SettingsFor;

// The system path of a device name: "COMn" (also "\\.\COMn") is
// $VEXMORA_COMn when set, else /dev/ttyS(n-1); anything else is a path.
std::string DevicePath(std::string_view device_name);

// Results of Open besides a port index.
inline constexpr int PORT_OPEN_FAILED = -1;
inline constexpr int PORT_NONE_FREE = -2;

// Results of ModemLines.
inline constexpr std::int32_t PORT_NO_SETTINGS = 4096;
inline constexpr std::int32_t PORT_NO_MODEM_STATUS = 8192;

class SerialPorts {
 public:
  // Called from a reader thread: index, 0 for data, 1 when the line failed.
  using Notify = std::function<void(int index, int error)>;

  explicit SerialPorts(Notify notify);
  ~SerialPorts();
  SerialPorts(const SerialPorts&) = delete;
  SerialPorts& operator=(const SerialPorts&) = delete;

  // A port index, PORT_NONE_FREE, or PORT_OPEN_FAILED.
  int Open(std::string_view device_name, std::int32_t baud, std::uint32_t options);
  // Stops the reader and closes the line; the context becomes free.
  void Stop(int index);
  void StopAll();

  bool IsOpen(int index) const;
  bool AnyOpen() const;
  // Bytes held in the ring; 0 when the lock was not had in time.
  std::size_t Held(int index);
  // Takes up to `max` bytes from the ring, oldest first.
  std::string Take(int index, std::size_t max);
  // The count written: 0 for a closed or failed port or more than
  // PORT_WRITE_MAX bytes.
  std::size_t Write(int index, std::span<const char> bytes);
  // Lets the reader tell about the next data.
  void Rearm(int index);
  // False when the port is not open or the lines cannot be set.
  bool SetModemLines(int index, bool rts, bool dtr);
  // Bit 0 RTS, bit 1 DTR (as set), bit 2 CTS, bit 3 DSR; PORT_NO_SETTINGS for
  // a closed port, PORT_NO_MODEM_STATUS when the device has no modem status.
  std::int32_t ModemLines(int index);

 private:
  struct Context;

  Context* At(int index) const;
  void ReadLoop(Context& port);
  void Append(Context& port, std::span<const char> bytes);

  Notify notify_;
  // Guards every ring and the table; the script side waits at most
  // PORT_LOCK_WAIT_MS for it, the readers without limit.
  mutable std::timed_mutex lock_;
  std::array<std::unique_ptr<Context>, PORT_MAX> ports_;
};

// CRC-16 with polynomial 0x1021, most significant bit first, initial 0, no
// final XOR.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

}  // namespace vx::comm
