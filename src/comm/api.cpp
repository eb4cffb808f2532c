// Serial ports and pipes: ChkCOM, SttCOM, RstCOM, SetComSig, GetComSig,
// CalcCRC, PipeStart and PipeWrite.
//
// Device names are "COMn" (mapped to a device path, see DevicePath) or
// device paths. Pipe names are "\\.\pipe\NAME".
#include <cerrno>
#include <cstdint>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "comm/pipe_server.hpp"
#include "comm/port_resources.hpp"
#include "comm/serial_ports.hpp"
#include "engine/runtime.hpp"
#include "platform/posix/serial_line.hpp"

namespace vx::api {
namespace {

constexpr std::int32_t kCrcStore = 1;      // mode bit 0: store the CRC after the data
constexpr std::int32_t kCrcHighFirst = 2;  // mode bit 1: high byte first

// The serial-port resource of argument n, or null (G_ERROR 1) when the
// argument names something else.
ResourceEntry* PortArg(Call& call, int n) {
  const std::int32_t index = call.Resource(n);
  if (index < 0) {
    call.SetError(1);
    return nullptr;
  }
  ResourceEntry& entry = call.rt().program.Resource(index);
  if (entry.kind != R_KD_COM) {
    call.SetError(1);
    return nullptr;
  }
  return &entry;
}

// ChkCOM DEVICE: G_ERROR 0 and G_WORK1 0 when the device opens as a serial
// line, else G_ERROR 1 and G_WORK1 the system's error number.
void ChkCOM(Call& call) {
  std::string& device = call.Small(0);
  if (!call.String(0, device)) return;
  posix::SerialLine line;
  int error = line.Open(comm::DevicePath(device));
  if (error == 0 && !line.IsTerminal()) error = ENOTTY;
  call.SetWork(1, error);
  call.SetError(error == 0 ? 0 : 1);
}

// The arguments of SttCOM and RstCOM after the resource.
struct PortRequest {
  std::int32_t baud = 0;
  std::string device;
  std::uint32_t options = 0;
};

bool ReadRequest(Call& call, PortRequest* request) {
  request->baud = call.Int(1);
  if (!call.String(2, request->device)) return false;
  std::string& options = call.Small(1);
  call.OptString(3, options);
  request->options = comm::ParsePortOptions(options);
  return true;
}

void OpenFor(Call& call, ResourceEntry& port, const PortRequest& request) {
  port.long_value = request.baud;
  port.flags = request.options;
  const std::int32_t index =
      comm::OpenPortResource(call.rt(), port, request.device, request.baud, request.options);
  call.SetError(index >= 0 ? 0 : 1);
}

// SttCOM PORT, baud, DEVICE[, OPTIONS]: opens a port that is not open yet.
void SttCOM(Call& call) {
  ResourceEntry* port = PortArg(call, 0);
  PortRequest request;
  if (port == nullptr || !ReadRequest(call, &request)) return;
  if (port->port_handle >= 0) {
    call.SetError(1);
    return;
  }
  OpenFor(call, *port, request);
}

// RstCOM PORT, baud, DEVICE[, OPTIONS]: closes the port if open and opens
// it again with the new settings.
void RstCOM(Call& call) {
  ResourceEntry* port = PortArg(call, 0);
  PortRequest request;
  if (port == nullptr || !ReadRequest(call, &request)) return;
  comm::ClosePortResource(call.rt(), *port);
  OpenFor(call, *port, request);
}

// SetComSig PORT, flags: bit 0 RTS, bit 1 DTR. G_ERROR 1 for a resource
// that is not a port, a closed port or a line without modem lines.
void SetComSig(Call& call) {
  ResourceEntry* port = PortArg(call, 0);
  if (port == nullptr) return;
  const std::int32_t flags = call.Int(1);
  const bool set = call.rt().comm.Ports().SetModemLines(port->port_handle, (flags & 1) != 0,
                                                         (flags & 2) != 0);
  call.SetError(set ? 0 : 1);
}

// GetComSig PORT, R: bit 0 RTS, bit 1 DTR, bit 2 CTS, bit 3 DSR; 4096 for a
// closed port, 8192 when the line has no modem status.
void GetComSig(Call& call) {
  ResourceEntry* port = PortArg(call, 0);
  if (port == nullptr) return;
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  call.WriteInt(out, call.rt().comm.Ports().ModemLines(port->port_handle));
  call.SetError(0);
}

// CalcCRC BUFFER, length, mode, R: the CRC-16 of the buffer's first bytes;
// mode bit 0 also stores it after them when the buffer has room.
void CalcCRC(Call& call) {
  const std::int32_t index = call.Resource(0);
  if (index < 0) return;
  ResourceEntry& buffer = call.rt().program.Resource(index);
  const std::int32_t length = call.Int(1);
  const std::int32_t mode = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  if (buffer.kind != R_KD_VAL_TXT || buffer.text == nullptr || length < 0 ||
      length > buffer.text_capacity) {
    call.SetError(1);
    return;
  }
  auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.text.get());
  const std::uint16_t crc = comm::Crc16(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(length)));
  bool stored = true;
  if ((mode & kCrcStore) != 0) {
    stored = length + 2 <= buffer.text_capacity;
    if (stored) {
      const auto high = static_cast<std::uint8_t>(crc >> 8);
      const auto low = static_cast<std::uint8_t>(crc & 0xFF);
      const bool high_first = (mode & kCrcHighFirst) != 0;
      bytes[length] = high_first ? high : low;
      bytes[length + 1] = high_first ? low : high;
    }
  }
  call.WriteInt(out, crc);
  call.SetError(stored ? 0 : 1);
}

// PipeStart NAME: serves "\\.\pipe\NAME"; each text read raises PIPE_RCV
// with the text in G_PIPE_S.
void PipeStart(Call& call) {
  std::string& name = call.Small(0);
  if (!call.String(0, name)) return;
  call.SetError(call.rt().comm.Pipe().Start(name) ? 0 : 1);
}

// PipeWrite NAME, TEXT[, time-out ms]: writes the text to a pipe server.
void PipeWrite(Call& call) {
  std::string& name = call.Small(0);
  std::string& text = call.Large(0);
  if (!call.String(0, name) || !call.String(1, text)) return;
  const std::int32_t timeout = call.OptInt(2, 0);
  call.SetError(comm::WritePipe(name, text, timeout) ? 0 : 1);
}

constexpr Registration kCommApis[] = {
    {Id("ChkCOM"), ChkCOM},       {Id("SttCOM"), SttCOM},       {Id("RstCOM"), RstCOM},
    {Id("SetComSig"), SetComSig}, {Id("GetComSig"), GetComSig}, {Id("CalcCRC"), CalcCRC},
    {Id("PipeStart"), PipeStart}, {Id("PipeWrite"), PipeWrite},
};

}  // namespace

void RegisterCommApis(Registry& registry) { registry.AddAll(kCommApis); }

}  // namespace vx::api
