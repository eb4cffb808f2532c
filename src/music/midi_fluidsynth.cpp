// FluidSynth back end: a General MIDI synthesizer that plays to the sound
// card through FluidSynth's own audio driver, or renders into a WAV file in
// step with the ticks (each tick is 30 ms of sound).
#include <fluidsynth.h>

#include <array>
#include <cstdio>
#include <algorithm>

#include "music/midi_output.hpp"

namespace vx::music {
namespace {

constexpr int kSampleRate = 44100;
constexpr int kFramesPerTick = kSampleRate * kTickMs / 1000;
constexpr int kRenderChunk = 4096;
constexpr int kTailMs = 1000;  // the release of the last notes, at the end of a file
constexpr double kFullVolumeGain = 0.5;
constexpr std::uint32_t kVolumeMax = 0xFFFF;
constexpr std::size_t kWavHeaderSize = 44;
constexpr const char* kAudioDrivers[] = {"pipewire", "pulseaudio", "alsa", "sdl2", "oss"};

void SilenceLibraryLogs() {
  for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) {
    fluid_set_log_function(level, nullptr, nullptr);
  }
  // Probing sound cards through ALSA prints to standard error otherwise.
  SilenceAlsaErrors();
}

struct SettingsDeleter {
  void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};
struct SynthDeleter {
  void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};
struct DriverDeleter {
  void operator()(fluid_audio_driver_t* d) const { delete_fluid_audio_driver(d); }
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

class FluidSynthOutput final : public MidiOutput {
 public:
  FluidSynthOutput(std::unique_ptr<fluid_settings_t, SettingsDeleter> settings,
                   std::unique_ptr<fluid_synth_t, SynthDeleter> synth)
      : settings_(std::move(settings)), synth_(std::move(synth)) {}

  ~FluidSynthOutput() override {
    driver_.reset();  // stop the audio thread before the synthesizer goes
    if (wav_) Render(rendered_ + static_cast<std::uint64_t>(kSampleRate) * kTailMs / 1000);
    if (wav_) {
      const auto header = WavHeader(static_cast<std::uint32_t>(rendered_ * 4));
      std::fseek(wav_.get(), 0, SEEK_SET);
      std::fwrite(header.data(), 1, header.size(), wav_.get());
    }
  }

  // Sound servers first, then the card itself. JACK is left out: its client
  // may start a server of its own.
  bool StartDriver() {
    for (const char* name : kAudioDrivers) {
      if (fluid_settings_setstr(settings_.get(), "audio.driver", name) != FLUID_OK) continue;
      driver_.reset(new_fluid_audio_driver(settings_.get(), synth_.get()));
      if (driver_) return true;
    }
    return false;
  }

  bool StartFile(std::FILE* f, std::uint32_t tick) {
    wav_.reset(f);
    origin_ = tick;
    const auto header = WavHeader(0);
    return std::fwrite(header.data(), 1, header.size(), f) == kWavHeaderSize;
  }

  void Send(std::uint32_t tick, std::uint8_t status, std::uint8_t data1,
            std::uint8_t data2) override {
    Advance(tick);
    fluid_synth_t* s = synth_.get();
    const int channel = status & 0x0F;
    data1 &= 0x7F;
    data2 &= 0x7F;
    switch (status & 0xF0) {
      case 0x80: fluid_synth_noteoff(s, channel, data1); break;
      case 0x90: fluid_synth_noteon(s, channel, data1, data2); break;
      case 0xA0: fluid_synth_key_pressure(s, channel, data1, data2); break;
      case 0xB0: fluid_synth_cc(s, channel, data1, data2); break;
      case 0xC0: fluid_synth_program_change(s, channel, data1); break;
      case 0xD0: fluid_synth_channel_pressure(s, channel, data1); break;
      case 0xE0: fluid_synth_pitch_bend(s, channel, data1 | (data2 << 7)); break;
      default: break;  // system messages have no meaning for the synthesizer
    }
  }

  void SetVolume(std::uint32_t tick, std::uint16_t left, std::uint16_t right) override {
    Advance(tick);
    // The synthesizer has one master gain: the louder side sets it.
    const std::uint32_t loudest = left > right ? left : right;
    fluid_synth_set_gain(synth_.get(),
                         static_cast<float>(kFullVolumeGain * loudest / kVolumeMax));
  }

  void Advance(std::uint32_t tick) override {
    if (!wav_ || tick < origin_) return;
    Render(static_cast<std::uint64_t>(tick - origin_) * kFramesPerTick);
  }

 private:
  void Render(std::uint64_t until) {
    std::array<std::int16_t, kRenderChunk * 2> buffer;
    while (rendered_ < until && wav_) {
      const int frames = static_cast<int>(std::min<std::uint64_t>(until - rendered_, kRenderChunk));
      fluid_synth_write_s16(synth_.get(), frames, buffer.data(), 0, 2, buffer.data(), 1, 2);
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
  std::unique_ptr<fluid_audio_driver_t, DriverDeleter> driver_;
  std::unique_ptr<std::FILE, FileCloser> wav_;
  std::uint32_t origin_ = 0;
  std::uint64_t rendered_ = 0;  // frames written to the file
};

}  // namespace

OpenedOutput OpenFluidSynthOutput(std::string_view wav_path, std::uint32_t tick) {
  SilenceLibraryLogs();
  const std::string font = FindSoundFont();
  if (font.empty()) return {nullptr, OpenError::kNoDevice, "no General MIDI sound font"};
  std::unique_ptr<fluid_settings_t, SettingsDeleter> settings(new_fluid_settings());
  if (!settings) return {nullptr, OpenError::kNoMem, "synthesizer settings"};
  fluid_settings_setnum(settings.get(), "synth.sample-rate", kSampleRate);
  fluid_settings_setnum(settings.get(), "synth.gain", kFullVolumeGain);
  std::unique_ptr<fluid_synth_t, SynthDeleter> synth(new_fluid_synth(settings.get()));
  if (!synth) return {nullptr, OpenError::kNoMem, "synthesizer"};
  if (fluid_synth_sfload(synth.get(), font.c_str(), 1) == FLUID_FAILED) {
    return {nullptr, OpenError::kNoDevice, "cannot load " + font};
  }
  auto output = std::make_unique<FluidSynthOutput>(std::move(settings), std::move(synth));
  if (wav_path.empty()) {
    if (!output->StartDriver()) return {nullptr, OpenError::kNoDevice, "no sound card"};
  } else {
    const std::string path(wav_path);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return {nullptr, OpenError::kOther, "cannot create " + path};
    if (!output->StartFile(f, tick)) return {nullptr, OpenError::kOther, "cannot write " + path};
  }
  return {std::move(output), OpenError::kNone, {}};
}

}  // namespace vx::music
