#pragma once
// The serial ports and the pipe server of one engine instance. Their
// threads reach the window thread only through the inbox: a port posts
// kPortNotify with its index, the pipe server kPipeText with the text read.
#include <memory>
#include <string>
#include <string_view>

#include "engine/window_system.hpp"

namespace vx::host {
class Inbox;
}

namespace vx::comm {

class SerialPorts;
class PipeServer;

class Comm final : public PortIo {
 public:
  explicit Comm(host::Inbox& inbox);
  ~Comm() override;
  Comm(const Comm&) = delete;
  Comm& operator=(const Comm&) = delete;

  // Made on first use: a script without ports or pipes starts no thread.
  SerialPorts& Ports();
  PipeServer& Pipe();
  bool AnyPortOpen() const;
  bool PipeRunning() const;

  // PortIo: the bytes a port holds (taken from its ring), and sending.
  std::string PendingInput(const ResourceEntry& port) override;
  void Send(const ResourceEntry& port, std::string_view bytes) override;

 private:
  host::Inbox& inbox_;
  std::unique_ptr<SerialPorts> ports_;
  std::unique_ptr<PipeServer> pipe_;
};

}  // namespace vx::comm
