#pragma once
// Sound devices. A back end opens an output or input endpoint for a device
// format; a Stream runs the endpoint in its own thread, taking the buffers
// the window thread queues, and reports each buffer played or filled
// through a callback that posts to the window thread's inbox. The device
// thread never touches the stores or runs script code: a queued buffer
// belongs to the device until its notice has been handled.
//
// Back ends (VEXMORA_AUDIO): "portaudio" (the system's devices), "file"
// (playback appends to the WAV file VEXMORA_AUDIO_OUT, recording reads the
// WAV file VEXMORA_AUDIO_IN as the microphone, both in real time) and
// "null" (a silent device in real time). Unset: portaudio when it has a
// default device, else null.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

namespace vx::audio {

inline constexpr std::int32_t DEVICE_BUFFER_SAMPLES = 32000;  // 64,000 bytes
inline constexpr std::int32_t DEVICE_BUFFER_SAMPLES_MIN = 1000;

// The device format record shared by playback and recording.
struct DeviceFormat {
  std::uint16_t format_tag = 1;
  std::uint16_t channels = 1;
  std::uint32_t rate = 22050;
  std::uint32_t bytes_per_second = 44100;
  std::uint16_t block_align = 2;
  std::uint16_t bits = 16;
  std::uint16_t extra = 0;

  void Set(std::uint32_t sample_rate, bool stereo) {
    channels = stereo ? 2 : 1;
    rate = sample_rate;
    block_align = stereo ? 4 : 2;
    bytes_per_second = sample_rate * block_align;
  }
};

// One direction of one device. Transfer plays (output) or fills (input) one
// buffer of interleaved 16-bit samples and returns the samples moved, or -1
// when the device failed. `stop` turns true when the stream is reset; a
// long transfer checks it between short steps.
class Endpoint {
 public:
  virtual ~Endpoint() = default;
  virtual std::int32_t Transfer(std::span<std::int16_t> buffer, const std::atomic<bool>& stop) = 0;
};

// The device thread of one open endpoint.
class Stream {
 public:
  // `done(buffer, samples)` is called on the device thread after each buffer.
  using Done = std::function<void(int buffer, std::int32_t samples)>;
  Stream(std::unique_ptr<Endpoint> endpoint, Done done);
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Hands buffer `index` (memory owned by the caller) to the device; false
  // when kQueueMax buffers are already waiting.
  bool Queue(int index, std::span<std::int16_t> buffer);
  // Stops the device: the buffer in progress is abandoned, queued ones are
  // dropped, and no notice follows. Waits for the thread.
  void Reset();

 private:
  void Run();

  std::unique_ptr<Endpoint> endpoint_;
  Done done_;
  std::mutex mutex_;
  std::condition_variable wake_;
  // The buffers waiting for the device, a fixed ring: nothing is allocated
  // while sound runs.
  static constexpr std::size_t kQueueMax = 4;
  std::array<std::pair<int, std::span<std::int16_t>>, kQueueMax> queue_{};
  std::size_t queue_first_ = 0;
  std::size_t queue_count_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Sound made on demand (a synthesizer): Render fills one block of
// interleaved samples in the stream's format. It runs on the device thread,
// so it must neither block nor allocate.
class RenderSource {
 public:
  virtual ~RenderSource() = default;
  virtual void Render(std::span<std::int16_t> block) = 0;
};

// An output endpoint fed by a RenderSource on a thread of its own: block
// after block is rendered and handed to the device, which keeps it in real
// time. The window thread takes no part, so nothing it does (a dialog, a
// long statement) makes the sound stutter. Small blocks keep the latency
// low: a message sent to the source is heard within about two blocks.
inline constexpr std::size_t RENDER_BLOCK_FRAMES = 512;  // 11.6 ms at 44.1 kHz
inline constexpr std::uint16_t RENDER_CHANNELS_MAX = 2;

class RenderStream {
 public:
  // `channels` is the endpoint's channel count (1 or 2).
  RenderStream(std::unique_ptr<Endpoint> endpoint, RenderSource& source, std::uint16_t channels);
  ~RenderStream();
  RenderStream(const RenderStream&) = delete;
  RenderStream& operator=(const RenderStream&) = delete;

  // Stops rendering and waits for the thread; the block in progress is
  // abandoned.
  void Stop();
  // Whether the device failed (the stream then stops by itself).
  bool Failed() const { return failed_.load(); }
  // Frames the device has taken so far.
  std::uint64_t FramesPlayed() const { return frames_played_.load(); }

 private:
  void Run();

  std::unique_ptr<Endpoint> endpoint_;
  RenderSource& source_;
  std::size_t block_samples_;
  std::array<std::int16_t, RENDER_BLOCK_FRAMES * RENDER_CHANNELS_MAX> block_{};
  std::atomic<bool> stop_{false};
  std::atomic<bool> failed_{false};
  std::atomic<std::uint64_t> frames_played_{0};
  std::thread thread_;
};

// A back end: endpoints for a format, and the device counts.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::string Name() const = 0;
  virtual int InputDeviceCount() = 0;
  virtual std::unique_ptr<Endpoint> OpenOutput(const DeviceFormat& format) = 0;
  virtual std::unique_ptr<Endpoint> OpenInput(const DeviceFormat& format) = 0;
};

// The back end VEXMORA_AUDIO names (see above).
std::unique_ptr<Backend> MakeBackendFromEnvironment();
std::unique_ptr<Backend> MakeNullBackend();
std::unique_ptr<Backend> MakeFileBackend(std::string output_path, std::string input_path);
// Null when PortAudio is not built in or cannot start.
std::unique_ptr<Backend> MakePortAudioBackend();

}  // namespace vx::audio
