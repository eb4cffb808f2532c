// The system's sound devices through PortAudio's blocking streams, on the
// default input and output devices.
#include "audio/device.hpp"

#ifdef VEXMORA_HAVE_PORTAUDIO
#include <portaudio.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "audio/alsa_api.hpp"
#include "platform/shared_library.hpp"
#endif

namespace vx::audio {

#ifdef VEXMORA_HAVE_PORTAUDIO
namespace {

// Frames handed to PortAudio per call, so that a reset is noticed soon.
constexpr std::size_t kStepFrames = 512;

// PortAudio, with JACK and the rest of its host APIs, is loaded when a
// script first opens a sound device; without it there is no sound card,
// as on a machine without one.
constexpr const char* kPortAudioLibrary = "libportaudio.so.2";

struct PaApi {
  decltype(&::Pa_Initialize) Pa_Initialize = nullptr;
  decltype(&::Pa_Terminate) Pa_Terminate = nullptr;
  decltype(&::Pa_GetDeviceCount) Pa_GetDeviceCount = nullptr;
  decltype(&::Pa_GetDeviceInfo) Pa_GetDeviceInfo = nullptr;
  decltype(&::Pa_GetDefaultInputDevice) Pa_GetDefaultInputDevice = nullptr;
  decltype(&::Pa_GetDefaultOutputDevice) Pa_GetDefaultOutputDevice = nullptr;
  decltype(&::Pa_OpenStream) Pa_OpenStream = nullptr;
  decltype(&::Pa_StartStream) Pa_StartStream = nullptr;
  decltype(&::Pa_AbortStream) Pa_AbortStream = nullptr;
  decltype(&::Pa_CloseStream) Pa_CloseStream = nullptr;
  decltype(&::Pa_ReadStream) Pa_ReadStream = nullptr;
  decltype(&::Pa_WriteStream) Pa_WriteStream = nullptr;
};

bool LoadPortAudio(PaApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(kPortAudioLibrary);
  if (!library.Loaded()) {
    error = library.Error();
    return false;
  }
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(Pa_Initialize);
  VX_BIND(Pa_Terminate);
  VX_BIND(Pa_GetDeviceCount);
  VX_BIND(Pa_GetDeviceInfo);
  VX_BIND(Pa_GetDefaultInputDevice);
  VX_BIND(Pa_GetDefaultOutputDevice);
  VX_BIND(Pa_OpenStream);
  VX_BIND(Pa_StartStream);
  VX_BIND(Pa_AbortStream);
  VX_BIND(Pa_CloseStream);
  VX_BIND(Pa_ReadStream);
  VX_BIND(Pa_WriteStream);
#undef VX_BIND
  if (!ok) error = library.Error();
  return ok;
}

// The loaded functions, or null when the library or one of them is missing.
const PaApi* PortAudio() {
  const platform::BoundApi<PaApi>& bound = platform::BindOnce<PaApi, LoadPortAudio>();
  return bound.ok ? &bound.api : nullptr;
}

// Only called once PortAudio() has returned the functions.
const PaApi& Pa() { return *PortAudio(); }

// One initialisation of the library for the back end's lifetime.
class Library {
 public:
  Library() : ok_(Start()) {}
  static bool Start() {
    if (PortAudio() == nullptr) return false;
    SilenceAlsaErrors();
    // The host APIs PortAudio probes (JACK among them) report servers they
    // cannot reach on standard error, which in a headless run is the
    // script's own output: it is muted while they are probed.
    const int saved = dup(STDERR_FILENO);
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && quiet >= 0) dup2(quiet, STDERR_FILENO);
    const bool ok = Pa().Pa_Initialize() == paNoError;
    if (saved >= 0) {
      dup2(saved, STDERR_FILENO);
      close(saved);
    }
    if (quiet >= 0) close(quiet);
    return ok;
  }
  ~Library() {
    if (ok_) Pa().Pa_Terminate();
  }
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

class PaEndpoint final : public Endpoint {
 public:
  PaEndpoint(PaStream* stream, bool input, int channels)
      : stream_(stream), input_(input), channels_(channels) {}
  ~PaEndpoint() override {
    Pa().Pa_AbortStream(stream_);
    Pa().Pa_CloseStream(stream_);
  }
  std::int32_t Transfer(std::span<std::int16_t> buffer, const std::atomic<bool>& stop) override {
    const std::size_t frames = buffer.size() / static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    while (done < frames && !stop.load()) {
      const std::size_t n = std::min(kStepFrames, frames - done);
      std::int16_t* at = buffer.data() + done * static_cast<std::size_t>(channels_);
      const PaError e = input_ ? Pa().Pa_ReadStream(stream_, at, static_cast<unsigned long>(n))
                               : Pa().Pa_WriteStream(stream_, at, static_cast<unsigned long>(n));
      // Under- and overflows lose a moment of sound, not the stream.
      if (e != paNoError && e != paOutputUnderflowed && e != paInputOverflowed) return -1;
      done += n;
    }
    return static_cast<std::int32_t>(done * static_cast<std::size_t>(channels_));
  }

 private:
  PaStream* stream_;
  bool input_;
  int channels_;
};

class PortAudioBackend final : public Backend {
 public:
  std::string Name() const override { return "portaudio"; }
  bool Usable() const {
    return library_.Ok() && Pa().Pa_GetDefaultOutputDevice() != paNoDevice;
  }
  int InputDeviceCount() override {
    int count = 0;
    const int n = Pa().Pa_GetDeviceCount();
    for (int i = 0; i < n; ++i) {
      const PaDeviceInfo* info = Pa().Pa_GetDeviceInfo(i);
      if (info != nullptr && info->maxInputChannels > 0) ++count;
    }
    return count;
  }
  std::unique_ptr<Endpoint> OpenOutput(const DeviceFormat& f) override { return Open(f, false); }
  std::unique_ptr<Endpoint> OpenInput(const DeviceFormat& f) override { return Open(f, true); }

 private:
  std::unique_ptr<Endpoint> Open(const DeviceFormat& f, bool input) {
    const PaDeviceIndex device = input ? Pa().Pa_GetDefaultInputDevice() : Pa().Pa_GetDefaultOutputDevice();
    if (device == paNoDevice || f.rate == 0) return nullptr;
    const PaDeviceInfo* info = Pa().Pa_GetDeviceInfo(device);
    PaStreamParameters p{};
    p.device = device;
    p.channelCount = f.channels;
    p.sampleFormat = paInt16;
    p.suggestedLatency = info ? (input ? info->defaultHighInputLatency : info->defaultHighOutputLatency) : 0.1;
    PaStream* stream = nullptr;
    const PaError e = Pa().Pa_OpenStream(&stream, input ? &p : nullptr, input ? nullptr : &p, f.rate,
                                    paFramesPerBufferUnspecified, paNoFlag, nullptr, nullptr);
    if (e != paNoError) return nullptr;
    if (Pa().Pa_StartStream(stream) != paNoError) {
      Pa().Pa_CloseStream(stream);
      return nullptr;
    }
    return std::make_unique<PaEndpoint>(stream, input, f.channels);
  }

  Library library_;
};

}  // namespace

std::unique_ptr<Backend> MakePortAudioBackend() {
  auto backend = std::make_unique<PortAudioBackend>();
  if (!backend->Usable()) return nullptr;
  return backend;
}

#else

std::unique_ptr<Backend> MakePortAudioBackend() { return nullptr; }

#endif

}  // namespace vx::audio
