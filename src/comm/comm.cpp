#include "comm/comm.hpp"

#include "comm/pipe_server.hpp"
#include "comm/serial_ports.hpp"
#include "engine/messages.hpp"
#include "engine/program.hpp"
#include "values/values.hpp"

namespace vx::comm {

Comm::Comm(host::Inbox& inbox) : inbox_(inbox) {}

// The threads stop before the inbox they post to goes.
Comm::~Comm() {
  pipe_.reset();
  ports_.reset();
}

SerialPorts& Comm::Ports() {
  if (!ports_) {
    ports_ = std::make_unique<SerialPorts>([this](int index, int error) {
      host::Message m;
      m.kind = host::MessageKind::kPortNotify;
      m.code = index;
      m.value = error;
      inbox_.Post(std::move(m));
    });
  }
  return *ports_;
}

PipeServer& Comm::Pipe() {
  if (!pipe_) {
    pipe_ = std::make_unique<PipeServer>([this](std::string text) {
      host::Message m;
      m.kind = host::MessageKind::kPipeText;
      m.path = std::move(text);
      inbox_.Post(std::move(m));
    });
  }
  return *pipe_;
}

bool Comm::AnyPortOpen() const { return ports_ && ports_->AnyOpen(); }

bool Comm::PipeRunning() const { return pipe_ && pipe_->Running(); }

std::string Comm::PendingInput(const ResourceEntry& port) {
  if (!ports_) return {};
  return ports_->Take(port.port_handle, TEXT_VALUE_MAX);
}

void Comm::Send(const ResourceEntry& port, std::string_view bytes) {
  if (ports_) ports_->Write(port.port_handle, bytes);
}

}  // namespace vx::comm
