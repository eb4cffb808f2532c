#pragma once
// The named-pipe server and client. A pipe name "\\.\pipe\NAME" is a Unix
// domain socket in the user's private pipe directory (mode 0700), so only
// the same user can reach it. One server per process; each text it reads
// (at most PIPE_READ_MAX bytes a read) goes to the window thread through
// `Deliver`, never to script code on the server's own thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace vx::comm {

inline constexpr std::size_t PIPE_NAME_MAX = 2047;
inline constexpr std::size_t PIPE_READ_MAX = 4095;
inline constexpr int PIPE_RETRY_MS = 50;

// The directory the pipes live in: $XDG_RUNTIME_DIR/vexmora/pipes, or
// /tmp/vexmora-UID/pipes without it. Created (mode 0700) when missing; empty
// when it cannot be made or is not the user's own and private.
std::string PipeDirectory();

// The socket path for a pipe name, or empty when the name is not a local
// pipe name ("\\.\pipe\NAME", any case, NAME not empty).
std::string PipeSocketPath(std::string_view pipe_name);

class PipeServer {
 public:
  using Deliver = std::function<void(std::string text)>;

  explicit PipeServer(Deliver deliver);
  ~PipeServer();
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  // Starts the server on a name, stopping the one running first. False
  // when the name is too long or not a pipe name, or the pipe cannot be
  // made (another process serves that name already).
  bool Start(std::string_view pipe_name);
  void Stop();
  bool Running() const { return listen_fd_ >= 0; }

 private:
  void Serve();
  // Reads one client until it closes; false when asked to stop.
  bool ReadClient(int client);

  Deliver deliver_;
  std::string socket_path_;
  int listen_fd_ = -1;
  int wake_fd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Connects to a pipe and writes the text. With a time-out above 0 a failed
// attempt is tried again every PIPE_RETRY_MS until it succeeds or more than
// the time-out has passed. True when the whole text was written.
bool WritePipe(std::string_view pipe_name, std::string_view text, std::int32_t timeout_ms);

}  // namespace vx::comm
