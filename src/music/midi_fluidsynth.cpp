// FluidSynth back end: a General MIDI synthesizer that plays through the
// program's sound devices (VEXMORA_AUDIO: the sound card, a WAV file or a
// silent device) as a render source on a stream of its own, or renders into
// a WAV file in step with the ticks (each tick is 30 ms of sound).
#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/alsa_api.hpp"
#include "audio/device.hpp"
#include "music/midi_output.hpp"
#include "music/tick_schedule.hpp"
#include "platform/shared_library.hpp"

namespace vx::music {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kFramesPerTick = kSampleRate * kTickMs / 1000;
constexpr int kRenderChunk = 4096;
constexpr int kTailMs = 1000;  // the release of the last notes, at the end of a file
constexpr double kFullVolumeGain = 0.5;
constexpr std::uint32_t kVolumeMax = 0xFFFF;
constexpr std::size_t kWavHeaderSize = 44;
// At the end of a run the notes still sounding may ring out this long.
constexpr auto kReleaseWait = std::chrono::milliseconds(kTailMs);
constexpr auto kReleasePoll = std::chrono::milliseconds(10);

// FluidSynth, and the sixty-odd libraries it brings along, are loaded when
// MIDI is first played through it, so a script that plays none never pays
// for loading them.
constexpr const char* kFluidSynthLibrary = "libfluidsynth.so.3";

struct FluidApi {
  decltype(&::fluid_set_log_function) fluid_set_log_function = nullptr;
  decltype(&::new_fluid_settings) new_fluid_settings = nullptr;
  decltype(&::delete_fluid_settings) delete_fluid_settings = nullptr;
  decltype(&::fluid_settings_setnum) fluid_settings_setnum = nullptr;
  decltype(&::new_fluid_synth) new_fluid_synth = nullptr;
  decltype(&::delete_fluid_synth) delete_fluid_synth = nullptr;
  decltype(&::fluid_synth_sfload) fluid_synth_sfload = nullptr;
  decltype(&::fluid_synth_write_s16) fluid_synth_write_s16 = nullptr;
  decltype(&::fluid_synth_noteoff) fluid_synth_noteoff = nullptr;
  decltype(&::fluid_synth_noteon) fluid_synth_noteon = nullptr;
  decltype(&::fluid_synth_key_pressure) fluid_synth_key_pressure = nullptr;
  decltype(&::fluid_synth_cc) fluid_synth_cc = nullptr;
  decltype(&::fluid_synth_program_change) fluid_synth_program_change = nullptr;
  decltype(&::fluid_synth_channel_pressure) fluid_synth_channel_pressure = nullptr;
  decltype(&::fluid_synth_pitch_bend) fluid_synth_pitch_bend = nullptr;
  decltype(&::fluid_synth_set_gain) fluid_synth_set_gain = nullptr;
  decltype(&::fluid_synth_get_active_voice_count) fluid_synth_get_active_voice_count = nullptr;
};

FluidApi& FluidSlot() {
  static FluidApi api;
  return api;
}

// The loaded functions; only called once LoadFluidSynth has succeeded.
const FluidApi& Fluid() { return FluidSlot(); }

bool LoadFluidSynth() {
  static const bool loaded = [] {
    platform::SharedLibrary& library = platform::SharedLibrary::Resident(kFluidSynthLibrary);
    if (!library.Loaded()) return false;
    FluidApi& api = FluidSlot();
    bool ok = true;
    ok = library.Bind("fluid_set_log_function", &api.fluid_set_log_function) && ok;
    ok = library.Bind("new_fluid_settings", &api.new_fluid_settings) && ok;
    ok = library.Bind("delete_fluid_settings", &api.delete_fluid_settings) && ok;
    ok = library.Bind("fluid_settings_setnum", &api.fluid_settings_setnum) && ok;
    ok = library.Bind("new_fluid_synth", &api.new_fluid_synth) && ok;
    ok = library.Bind("delete_fluid_synth", &api.delete_fluid_synth) && ok;
    ok = library.Bind("fluid_synth_sfload", &api.fluid_synth_sfload) && ok;
    ok = library.Bind("fluid_synth_write_s16", &api.fluid_synth_write_s16) && ok;
    ok = library.Bind("fluid_synth_noteoff", &api.fluid_synth_noteoff) && ok;
    ok = library.Bind("fluid_synth_noteon", &api.fluid_synth_noteon) && ok;
    ok = library.Bind("fluid_synth_key_pressure", &api.fluid_synth_key_pressure) && ok;
    ok = library.Bind("fluid_synth_cc", &api.fluid_synth_cc) && ok;
    ok = library.Bind("fluid_synth_program_change", &api.fluid_synth_program_change) && ok;
    ok = library.Bind("fluid_synth_channel_pressure", &api.fluid_synth_channel_pressure) && ok;
    ok = library.Bind("fluid_synth_pitch_bend", &api.fluid_synth_pitch_bend) && ok;
    ok = library.Bind("fluid_synth_set_gain", &api.fluid_synth_set_gain) && ok;
    ok = library.Bind("fluid_synth_get_active_voice_count", &api.fluid_synth_get_active_voice_count) && ok;
    return ok;
  }();
  return loaded;
}

void SilenceLibraryLogs() {
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) {
    Fluid().fluid_set_log_function(level, nullptr, nullptr);
  }
  // Probing sound cards through ALSA prints to standard error otherwise.
  audio::SilenceAlsaErrors();
}

struct SettingsDeleter {
  void operator()(fluid_settings_t* s) const { Fluid().delete_fluid_settings(s); }
};
struct SynthDeleter {
  void operator()(fluid_synth_t* s) const { Fluid().delete_fluid_synth(s); }
};
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

using WavHeaderBytes = std::array<unsigned char, kWavHeaderSize>;

void PutLe(WavHeaderBytes& h, std::size_t at, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) h[at + i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

// A 16-bit stereo PCM header for `data_bytes` of samples.
WavHeaderBytes WavHeader(std::uint32_t data_bytes) {
  WavHeaderBytes h{};
  const auto tag = [&](std::size_t at, const char* t) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<unsigned char>(t[i]);
  };
  tag(0, "RIFF");
  PutLe(h, 4, 36 + data_bytes, 4);
  tag(8, "WAVE");
  tag(12, "fmt ");
  PutLe(h, 16, 16, 4);
  PutLe(h, 20, 1, 2);  // PCM
  PutLe(h, 22, 2, 2);  // stereo
  PutLe(h, 24, kSampleRate, 4);
  PutLe(h, 28, kSampleRate * 4, 4);
  PutLe(h, 32, 4, 2);
  PutLe(h, 34, 16, 2);
  tag(36, "data");
  PutLe(h, 40, data_bytes, 4);
  return h;
}

// On a sound device, messages reach the synthesizer from the render thread,
// each at the frame of the tick that sent it (see TickSchedule); FluidSynth's
// API is thread-safe (its default) for the volume, which is set at once, and
// rendering a block allocates nothing. Rendering into a file is driven by
// the ticks themselves, so messages are played as they come.
class FluidSynthOutput final : public MidiOutput, public audio::RenderSource {
 public:
  FluidSynthOutput(std::unique_ptr<fluid_settings_t, SettingsDeleter> settings,
                   std::unique_ptr<fluid_synth_t, SynthDeleter> synth)
      : settings_(std::move(settings)), synth_(std::move(synth)) {}

  ~FluidSynthOutput() override {
    if (stream_) {
      schedule_.Close();
      PlayWaiting();  // what the last ticks sent still sounds
      RingOut();
      stream_.reset();  // stop the render thread before the synthesizer goes
    }
    if (wav_) RenderFileUntil(rendered_ + static_cast<std::uint64_t>(kSampleRate) * kTailMs / 1000);
    if (wav_) {
      const auto header = WavHeader(static_cast<std::uint32_t>(rendered_ * 4));
      std::fseek(wav_.get(), 0, SEEK_SET);
      std::fwrite(header.data(), 1, header.size(), wav_.get());
    }
  }

  // Opens a 44.1 kHz stereo output of the sound back end and starts
  // rendering into it; false when the back end has no output device.
  bool StartDevice() {
    devices_ = audio::MakeBackendFromEnvironment();
    audio::DeviceFormat format;
    format.Set(kSampleRate, true);
    std::unique_ptr<audio::Endpoint> endpoint = devices_ ? devices_->OpenOutput(format) : nullptr;
    if (!endpoint) return false;
    stream_ = std::make_unique<audio::RenderStream>(std::move(endpoint), *this, format.channels);
    return true;
  }

  // The render thread's pull: one block of interleaved stereo samples, with
  // each message due in it played at its own frame.
  void Render(std::span<std::int16_t> block) override {
    if (!streaming_) {
      schedule_.WaitForStart();
      streaming_ = true;
    }
    const std::uint64_t frames = block.size() / 2;
    const std::size_t due = schedule_.TakeDue(frames_, frames_ + frames, due_);
    std::uint64_t done = 0;
    for (std::size_t i = 0; i < due; ++i) {
      const std::uint64_t at = due_[i].frame - frames_;
      if (at > done) WriteFrames(block, done, at);
      done = std::max(done, at);
      Apply(due_[i].status, due_[i].data1, due_[i].data2);
    }
    if (done < frames) WriteFrames(block, done, frames);
    frames_ += frames;
  }

  bool StartFile(std::FILE* f, std::uint32_t tick) {
    wav_.reset(f);
    origin_ = tick;
    const auto header = WavHeader(0);
    return std::fwrite(header.data(), 1, header.size(), f) == kWavHeaderSize;
  }

  void Send(std::uint32_t tick, std::uint8_t status, std::uint8_t data1,
            std::uint8_t data2) override {
    if (stream_) {
      if (!schedule_.Add(tick, status, data1, data2)) {
        PlayWaiting();  // a full schedule: in order, at once
        Apply(status, data1, data2);
      }
      return;
    }
    Advance(tick);
    Apply(status, data1, data2);
  }

  void SetVolume(std::uint32_t tick, std::uint16_t left, std::uint16_t right) override {
    if (!stream_) Advance(tick);
    // The synthesizer has one master gain: the louder side sets it.
    const std::uint32_t loudest = left > right ? left : right;
    Fluid().fluid_synth_set_gain(synth_.get(),
                         static_cast<float>(kFullVolumeGain * loudest / kVolumeMax));
  }

  void Advance(std::uint32_t tick) override {
    if (stream_) {
      schedule_.Tick(tick);
      return;
    }
    if (!wav_ || tick < origin_) return;
    RenderFileUntil(static_cast<std::uint64_t>(tick - origin_) * kFramesPerTick);
  }

 private:
  void Apply(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    fluid_synth_t* s = synth_.get();
    const int channel = status & 0x0F;
    data1 = MidiDataByte(data1);
    data2 = MidiDataByte(data2);
    switch (status & 0xF0) {
      case 0x80: Fluid().fluid_synth_noteoff(s, channel, data1); break;
      case 0x90: Fluid().fluid_synth_noteon(s, channel, data1, data2); break;
      case 0xA0: Fluid().fluid_synth_key_pressure(s, channel, data1, data2); break;
      case 0xB0: Fluid().fluid_synth_cc(s, channel, data1, data2); break;
      case 0xC0: Fluid().fluid_synth_program_change(s, channel, data1); break;
      case 0xD0: Fluid().fluid_synth_channel_pressure(s, channel, data1); break;
      case 0xE0: Fluid().fluid_synth_pitch_bend(s, channel, data1 | (data2 << 7)); break;
      default: break;  // system messages have no meaning for the synthesizer
    }
  }

  // Window thread: the messages still waiting for their frames, at once.
  void PlayWaiting() {
    std::size_t n = 0;
    while ((n = schedule_.TakeAll(flush_)) > 0) {
      for (std::size_t i = 0; i < n; ++i) Apply(flush_[i].status, flush_[i].data1, flush_[i].data2);
    }
  }

  // Render thread: frames [from, to) of the block.
  void WriteFrames(std::span<std::int16_t> block, std::uint64_t from, std::uint64_t to) {
    std::int16_t* at = block.data() + from * 2;
    Fluid().fluid_synth_write_s16(synth_.get(), static_cast<int>(to - from), at, 0, 2, at, 1, 2);
  }

  // Lets the notes still sounding at the end of a run die away on the
  // device, for at most kReleaseWait, instead of cutting them off.
  void RingOut() {
    const auto until = std::chrono::steady_clock::now() + kReleaseWait;
    while (!stream_->Failed() && Fluid().fluid_synth_get_active_voice_count(synth_.get()) > 0 &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(kReleasePoll);
    }
  }

  // Renders the file up to frame `until`.
  void RenderFileUntil(std::uint64_t until) {
    std::array<std::int16_t, kRenderChunk * 2> buffer;
    while (rendered_ < until && wav_) {
      const int frames = static_cast<int>(std::min<std::uint64_t>(until - rendered_, kRenderChunk));
      Fluid().fluid_synth_write_s16(synth_.get(), frames, buffer.data(), 0, 2, buffer.data(), 1, 2);
      // WAV samples are little-endian, as are this machine's.
      if (std::fwrite(buffer.data(), 4, static_cast<std::size_t>(frames), wav_.get()) !=
          static_cast<std::size_t>(frames)) {
        wav_.reset();  // a full disk ends the recording, not the program
        return;
      }
      rendered_ += static_cast<std::uint64_t>(frames);
    }
  }

  std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
  std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
  std::unique_ptr<audio::Backend> devices_;  // outlives the stream it opened
  std::unique_ptr<audio::RenderStream> stream_;
  std::unique_ptr<std::FILE, FileCloser> wav_;
  std::uint32_t origin_ = 0;
  std::uint64_t rendered_ = 0;  // frames written to the file

  TickSchedule schedule_{kFramesPerTick};
  // The render thread's own.
  bool streaming_ = false;
  std::uint64_t frames_ = 0;  // frames rendered to the device
  std::array<TimedMessage, TickSchedule::kCapacity> due_{};
  // The window thread's, for playing what waits at once.
  std::array<TimedMessage, TickSchedule::kCapacity> flush_{};
};

}  // namespace

OpenedOutput OpenFluidSynthOutput(std::string_view wav_path, std::uint32_t tick) {
  if (!LoadFluidSynth()) {
    return {nullptr, OpenError::kNoDevice,
            "cannot load FluidSynth" + platform::InstallHint(platform::PackageProviding(kFluidSynthLibrary))};
  }
  SilenceLibraryLogs();
  const std::string font = FindSoundFont();
  if (font.empty()) {
    return {nullptr, OpenError::kNoDevice,
            "no General MIDI sound font" + platform::InstallHint("timgm6mb-soundfont or fluid-soundfont-gm")};
  }
  std::unique_ptr<fluid_settings_t, SettingsDeleter> settings(Fluid().new_fluid_settings());
  if (!settings) return {nullptr, OpenError::kNoMem, "synthesizer settings"};
  Fluid().fluid_settings_setnum(settings.get(), "synth.sample-rate", kSampleRate);
  Fluid().fluid_settings_setnum(settings.get(), "synth.gain", kFullVolumeGain);
  std::unique_ptr<fluid_synth_t, SynthDeleter> synth(Fluid().new_fluid_synth(settings.get()));
  if (!synth) return {nullptr, OpenError::kNoMem, "synthesizer"};
  if (Fluid().fluid_synth_sfload(synth.get(), font.c_str(), 1) == FLUID_FAILED) {
    return {nullptr, OpenError::kNoDevice, "cannot load " + font};
  }
  auto output = std::make_unique<FluidSynthOutput>(std::move(settings), std::move(synth));
  if (wav_path.empty()) {
    if (!output->StartDevice()) return {nullptr, OpenError::kNoDevice, "no sound device"};
  } else {
    const std::string path(wav_path);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return {nullptr, OpenError::kOther, "cannot create " + path};
    if (!output->StartFile(f, tick)) return {nullptr, OpenError::kOther, "cannot write " + path};
  }
  return {std::move(output), OpenError::kNone, {}};
}

}  // namespace vx::music
