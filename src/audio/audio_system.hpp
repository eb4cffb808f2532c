#pragma once
// The sound family's state in one place: the stores, the device format,
// the transfer state of playback and recording, the device buffers and the
// back end. It lives in the Runtime, made on first use; everything in it is
// touched only on the window thread (the device threads hold a queued
// buffer until its notice has been handled there).
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "audio/device.hpp"
#include "audio/wave_stores.hpp"

namespace vx {
struct Runtime;
namespace host {
struct Message;
}
}  // namespace vx

namespace vx::audio {

inline constexpr std::int32_t VOLUME_PERCENT_MAX = 100;
// The largest buffer pair AudioCtrl mode 0 allocates, per side.
inline constexpr std::int32_t PAIR_SAMPLES_MAX = 16 * 1024 * 1024;

enum PlayFlags : std::int32_t { AUDIO_STEREO = 1, AUDIO_PAIR = 2, AUDIO_LOOP = 4 };

struct AudioSystem {
  WaveStores stores;
  BufferPair pair;
  DeviceFormat format;

  // Transfer state shared by playback and recording.
  std::int32_t position = 0;    // P
  std::int32_t end = 0;         // E
  std::int32_t loop_start = 0;  // S
  std::int32_t rec_flags = 0;   // F
  std::int32_t length = 0;      // L, the pair's filled length (used clamped to N)
  bool playing = false;
  bool recording = false;   // the device reported open and runs
  bool input_open = false;
  std::int32_t stop_count = 0;
  std::int32_t volume_left = VOLUME_PERCENT_MAX;
  std::int32_t volume_right = VOLUME_PERCENT_MAX;
  std::int32_t play_buffer_samples = DEVICE_BUFFER_SAMPLES;
  std::int32_t rec_buffer_samples = DEVICE_BUFFER_SAMPLES;

  // Where playback reads and recording writes.
  std::span<std::int16_t> left;
  std::span<std::int16_t> right;
  bool stereo = false;

  std::array<std::array<std::int16_t, DEVICE_BUFFER_SAMPLES>, 2> play_buffers{};
  std::array<std::array<std::int16_t, DEVICE_BUFFER_SAMPLES>, 2> rec_buffers{};
  std::array<std::int32_t, 2> rec_buffer_lengths{};  // samples each recording buffer holds

  std::unique_ptr<Backend> backend;  // made when a device is first needed
  std::unique_ptr<Stream> output;
  std::unique_ptr<Stream> input;
  std::unique_ptr<Stream> sound;  // PlaySound's own stream
  std::vector<std::int16_t> sound_samples;
  std::int32_t play_generation = 0;  // notices of an older device are ignored
  std::int32_t rec_generation = 0;

  // The filled length of the pair as an index bound: min(L, N), not below 0.
  std::int32_t PairLength() const;
};

// The Runtime's sound state, made on first use.
AudioSystem& System(Runtime& rt);
// Whether a device is playing or recording (a headless run waits for it).
bool Active(const Runtime& rt);

// G_WAVE_RATE.
std::int32_t WaveRate(Runtime& rt);
void SetWaveRate(Runtime& rt, std::int32_t rate);
// The rate the writers and the signal processing use: G_WAVE_RATE, or
// DEFAULT_RATE while it is 0 or less.
std::int32_t UsableRate(Runtime& rt);

// AudioPlay, AudioRec, StopRec: 1 on success, 0 when refused or failed.
int StartPlayback(Runtime& rt, std::int32_t rate, std::int32_t start, std::int32_t end,
                  std::int32_t flags, std::int32_t bank);
int StartRecording(Runtime& rt, std::int32_t rate, std::int32_t start, std::int32_t end,
                   std::int32_t flags);
void StopRecording(Runtime& rt);
void StopPlayback(Runtime& rt);

// Fills playback buffer `index` from P (the refill after each buffer the
// device hands back); false when no sample came from the source.
bool FillPlaybackBuffer(AudioSystem& a, int index);

// The device notices, handled on the window thread.
void HandleDeviceMessage(Runtime& rt, const host::Message& m);

}  // namespace vx::audio
