#include "audio/device.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "audio/wav_file.hpp"
#include "platform/files.hpp"

namespace vx::audio {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPaceStep = std::chrono::milliseconds(10);
constexpr auto kIdleRestart = std::chrono::milliseconds(250);
// The longest recording source the file back end keeps (about 6 minutes of
// 44.1 kHz stereo).
constexpr std::size_t kFileInputSamplesMax = 32u * 1024 * 1024;

// Keeps a device in real time: each transfer ends when the samples moved so
// far would have been played at the format's rate.
class Pacer {
 public:
  explicit Pacer(const DeviceFormat& f)
      : samples_per_second_(static_cast<double>(std::max<std::uint32_t>(f.rate, 1)) *
                            std::max<std::uint16_t>(f.channels, 1)) {}

  // False when stopped while waiting.
  bool Advance(std::size_t samples, const std::atomic<bool>& stop) {
    // A device left without sound for a while (speech between sentences)
    // starts again in real time, as a sound card does, rather than
    // catching up on the time it stood idle.
    if (started_ && Clock::now() > Due() + kIdleRestart) started_ = false;
    if (!started_) {
      start_ = Clock::now();
      started_ = true;
      done_ = 0;
    }
    done_ += samples;
    const auto due = Due();
    while (Clock::now() < due) {
      if (stop.load()) return false;
      std::this_thread::sleep_until(std::min(due, Clock::now() + kPaceStep));
    }
    return !stop.load();
  }

 private:
  Clock::time_point Due() const {
    return start_ + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(done_ / samples_per_second_));
  }

  double samples_per_second_;
  bool started_ = false;
  Clock::time_point start_;
  double done_ = 0;
};

class NullOutput final : public Endpoint {
 public:
  explicit NullOutput(const DeviceFormat& f) : pacer_(f) {}
  std::int32_t Transfer(std::span<std::int16_t> buffer, const std::atomic<bool>& stop) override {
    pacer_.Advance(buffer.size(), stop);
    return static_cast<std::int32_t>(buffer.size());
  }

 private:
  Pacer pacer_;
};

class NullInput final : public Endpoint {
 public:
  explicit NullInput(const DeviceFormat& f) : pacer_(f) {}
  std::int32_t Transfer(std::span<std::int16_t> buffer, const std::atomic<bool>& stop) override {
    std::fill(buffer.begin(), buffer.end(), std::int16_t{0});
    pacer_.Advance(buffer.size(), stop);
    return static_cast<std::int32_t>(buffer.size());
  }

 private:
  Pacer pacer_;
};

class NullBackend final : public Backend {
 public:
  std::string Name() const override { return "null"; }
  int InputDeviceCount() override { return 1; }
  std::unique_ptr<Endpoint> OpenOutput(const DeviceFormat& f) override {
    return std::make_unique<NullOutput>(f);
  }
  std::unique_ptr<Endpoint> OpenInput(const DeviceFormat& f) override {
    return std::make_unique<NullInput>(f);
  }
};

// The files the file back end's outputs are writing in this process. Two
// outputs may run at once (wave playback, PlaySound, the synthesizer); the
// later one writes a file of its own beside the first, NAME-2.wav and so
// on, rather than over it.
constexpr int kOutputFilesMax = 16;

class OutputFiles {
 public:
  // A free name derived from `path`, claimed; empty when all are taken.
  static std::string Claim(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int k = 1; k <= kOutputFilesMax; ++k) {
      std::string name = k == 1 ? path : Numbered(path, k);
      if (std::find(claimed_.begin(), claimed_.end(), name) == claimed_.end()) {
        claimed_.push_back(name);
        return name;
      }
    }
    return {};
  }
  static void Release(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto at = std::find(claimed_.begin(), claimed_.end(), name);
    if (at != claimed_.end()) claimed_.erase(at);
  }

 private:
  // "out.wav" -> "out-2.wav"; a name without an extension gets "-2".
  static std::string Numbered(const std::string& path, int k) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::size_t at = has_ext ? dot : path.size();
    return path.substr(0, at) + "-" + std::to_string(k) + path.substr(at);
  }

  static inline std::mutex mutex_;
  static inline std::vector<std::string> claimed_;
};

// Holds a name claimed from OutputFiles for the life of an output.
class ClaimedName {
 public:
  explicit ClaimedName(std::string name) : name_(std::move(name)) {}
  ~ClaimedName() {
    if (!name_.empty()) OutputFiles::Release(name_);
  }
  ClaimedName(const ClaimedName&) = delete;
  ClaimedName& operator=(const ClaimedName&) = delete;
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// Playback into a WAV file: the header is rewritten after every buffer so
// that the file is complete whenever the device stops.
class FileOutput final : public Endpoint {
 public:
  FileOutput(std::unique_ptr<ClaimedName> name, files::FilePtr file, const DeviceFormat& f)
      : name_(std::move(name)), file_(std::move(file)), format_(f), pacer_(f) {
    WriteHeader();
  }
  std::int32_t Transfer(std::span<std::int16_t> buffer, const std::atomic<bool>& stop) override {
    const std::uint64_t room = (0xFFFFFFF0u - WAV_HEADER_BYTES - data_bytes_) / 2;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), room));
    std::vector<std::uint8_t>& bytes = scratch_;
    bytes.resize(n * 2);
    for (std::size_t i = 0; i < n; ++i) {
      const auto v = static_cast<std::uint16_t>(buffer[i]);
      bytes[2 * i] = static_cast<std::uint8_t>(v);
      bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    std::fseek(file_.get(), 0, SEEK_END);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) return -1;
    data_bytes_ += static_cast<std::uint32_t>(bytes.size());
    WriteHeader();
    pacer_.Advance(buffer.size(), stop);
    return static_cast<std::int32_t>(buffer.size());
  }

 private:
  void WriteHeader() {
    const auto h = MakeHeader(format_.channels, format_.rate, 16, data_bytes_);
    std::fseek(file_.get(), 0, SEEK_SET);
    std::fwrite(h.data(), 1, h.size(), file_.get());
    std::fflush(file_.get());
  }

  std::unique_ptr<ClaimedName> name_;  // released after the file is closed
  files::FilePtr file_;
  DeviceFormat format_;
  Pacer pacer_;
  std::uint32_t data_bytes_ = 0;
  std::vector<std::uint8_t> scratch_ = std::vector<std::uint8_t>(DEVICE_BUFFER_SAMPLES * 2);
};

// Recording from a WAV file: its samples, in the device's channel layout,
// then silence.
class FileInput final : public Endpoint {
 public:
  FileInput(std::vector<std::int16_t> samples, const DeviceFormat& f)
      : samples_(std::move(samples)), pacer_(f) {}
  std::int32_t Transfer(std::span<std::int16_t> buffer, const std::atomic<bool>& stop) override {
    const std::size_t left = samples_.size() - position_;
    const std::size_t n = std::min(left, buffer.size());
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), n, buffer.begin());
    std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(n), buffer.end(), std::int16_t{0});
    position_ += n;
    pacer_.Advance(buffer.size(), stop);
    return static_cast<std::int32_t>(buffer.size());
  }

 private:
  std::vector<std::int16_t> samples_;
  std::size_t position_ = 0;
  Pacer pacer_;
};

// The first data chunk of a WAV file the readers decode, as `channels`
// interleaved channels (mono is duplicated, extra channels dropped).
bool ReadRecordingSource(const std::string& path, std::uint16_t channels,
                         std::vector<std::int16_t>* out) {
  files::FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  FileSource source(f.get());
  const WaveWalk walk = WalkWave(source);
  if (!RefusalOf(walk).empty()) return false;
  const DataChunk& d = *std::find_if(walk.data.begin(), walk.data.end(),
                                     [](const DataChunk& c) { return c.has_format; });
  if (!source.Seek(d.offset)) return false;
  const std::size_t frames = std::min<std::size_t>(d.size / d.FrameBytes(), kFileInputSamplesMax / channels);
  std::vector<std::int16_t> first(frames), second(frames);
  const std::size_t got =
      ReadDecoded(source, d, frames, 0, first, std::min<std::uint32_t>(1, d.channels - 1u), second);
  out->clear();
  out->reserve(got * channels);
  for (std::size_t k = 0; k < got; ++k) {
    out->push_back(first[k]);
    if (channels >= 2) out->push_back(second[k]);
  }
  return true;
}

class FileBackend final : public Backend {
 public:
  FileBackend(std::string out, std::string in) : out_(std::move(out)), in_(std::move(in)) {}
  std::string Name() const override { return "file"; }
  int InputDeviceCount() override { return in_.empty() ? 0 : 1; }
  std::unique_ptr<Endpoint> OpenOutput(const DeviceFormat& f) override {
    auto name = std::make_unique<ClaimedName>(OutputFiles::Claim(out_));
    if (name->Name().empty()) return nullptr;
    files::FilePtr file(std::fopen(name->Name().c_str(), "w+b"));
    if (!file) return nullptr;
    return std::make_unique<FileOutput>(std::move(name), std::move(file), f);
  }
  std::unique_ptr<Endpoint> OpenInput(const DeviceFormat& f) override {
    std::vector<std::int16_t> samples;
    if (in_.empty() || !ReadRecordingSource(in_, f.channels, &samples)) return nullptr;
    return std::make_unique<FileInput>(std::move(samples), f);
  }

 private:
  std::string out_;
  std::string in_;
};

std::string Environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

// --- the device thread --------------------------------------------------------------

Stream::Stream(std::unique_ptr<Endpoint> endpoint, Done done)
    : endpoint_(std::move(endpoint)), done_(std::move(done)), thread_([this] { Run(); }) {}

Stream::~Stream() { Reset(); }

bool Stream::Queue(int index, std::span<std::int16_t> buffer) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_count_ == kQueueMax) return false;
    queue_[(queue_first_ + queue_count_) % kQueueMax] = {index, buffer};
    ++queue_count_;
  }
  wake_.notify_one();
  return true;
}

void Stream::Reset() {
  stop_.store(true);
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  queue_count_ = 0;
}

void Stream::Run() {
  for (;;) {
    std::pair<int, std::span<std::int16_t>> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_.load() || queue_count_ > 0; });
      if (stop_.load()) return;
      job = queue_[queue_first_];
      queue_first_ = (queue_first_ + 1) % kQueueMax;
      --queue_count_;
    }
    const std::int32_t moved = endpoint_->Transfer(job.second, stop_);
    if (stop_.load()) return;
    done_(job.first, moved);
  }
}

// --- the render thread ----------------------------------------------------------

RenderStream::RenderStream(std::unique_ptr<Endpoint> endpoint, RenderSource& source,
                           std::uint16_t channels)
    : endpoint_(std::move(endpoint)),
      source_(source),
      block_samples_(RENDER_BLOCK_FRAMES * std::clamp<std::uint16_t>(channels, 1, RENDER_CHANNELS_MAX)),
      thread_([this] { Run(); }) {}

RenderStream::~RenderStream() { Stop(); }

void RenderStream::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void RenderStream::Run() {
  const std::span<std::int16_t> block(block_.data(), block_samples_);
  const std::size_t channels = block_samples_ / RENDER_BLOCK_FRAMES;
  while (!stop_.load()) {
    source_.Render(block);
    const std::int32_t moved = endpoint_->Transfer(block, stop_);
    if (moved < 0) {
      failed_.store(true);
      return;
    }
    frames_played_.fetch_add(static_cast<std::uint64_t>(moved) / channels);
  }
}

// --- choosing a back end -----------------------------------------------------------

std::unique_ptr<Backend> MakeNullBackend() { return std::make_unique<NullBackend>(); }

std::unique_ptr<Backend> MakeFileBackend(std::string output_path, std::string input_path) {
  return std::make_unique<FileBackend>(std::move(output_path), std::move(input_path));
}

std::unique_ptr<Backend> MakeBackendFromEnvironment() {
  const std::string name = Environment("VEXMORA_AUDIO");
  if (name == "null") return MakeNullBackend();
  if (name == "file") {
    std::string out = Environment("VEXMORA_AUDIO_OUT");
    if (out.empty()) out = "vexmora_audio_out.wav";
    return MakeFileBackend(std::move(out), Environment("VEXMORA_AUDIO_IN"));
  }
  if (auto pa = MakePortAudioBackend()) return pa;
  return MakeNullBackend();
}

}  // namespace vx::audio
