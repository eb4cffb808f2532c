// Playback and recording with two device buffers each: the window thread
// fills (or drains) a buffer whenever the device hands one back, so that
// the device always has the other one to work on.
#include <algorithm>
#include <cstdio>

#include "audio/audio_system.hpp"
#include "audio/wave_stores.hpp"
#include "engine/delivery.hpp"
#include "engine/messages.hpp"
#include "engine/runtime.hpp"
#include "engine/sample_banks.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::audio {
namespace {

constexpr std::string_view kCaption = "msg";

void Show(Runtime& rt, std::string_view text) { rt.window->ShowMessage(kCaption, text); }

// Raises an end event when the script defines it, after a redraw.
void RaiseEnd(Runtime& rt, std::string_view label) {
  if (host::LabelEntry(rt, label) == 0) return;
  host::RequestRedraw(rt);
  host::OfferByName(rt, label);
}

Backend& Devices(AudioSystem& a) {
  if (!a.backend) a.backend = MakeBackendFromEnvironment();
  return *a.backend;
}

host::Inbox& InboxOf(Runtime& rt) { return rt.main_window.inbox; }

// --- playback ------------------------------------------------------------------

}  // namespace

bool FillPlaybackBuffer(AudioSystem& a, int index) {
  std::span<std::int16_t> out(a.play_buffers[static_cast<std::size_t>(index)].data(),
                              static_cast<std::size_t>(a.play_buffer_samples));
  if (!a.stereo) {
    const std::size_t n = static_cast<std::size_t>(
        std::clamp<std::int64_t>(std::int64_t{a.end} - a.position, 0, static_cast<std::int64_t>(out.size())));
    std::copy_n(a.left.begin() + a.position, n, out.begin());
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), std::int16_t{0});
    a.position += static_cast<std::int32_t>(n);
    return n > 0;
  }
  if (out.size() % 2 != 0) out.back() = 0;  // an odd buffer's last sample is no frame
  const std::size_t frames = static_cast<std::size_t>(
      std::clamp<std::int64_t>(std::int64_t{a.end} - a.position, 0, static_cast<std::int64_t>(out.size() / 2)));
  const std::int16_t* left = a.left.data() + a.position;
  const std::int16_t* right = a.right.data() + a.position;
  const std::int32_t volume_left = a.volume_left;
  const std::int32_t volume_right = a.volume_right;
  for (std::size_t k = 0; k < frames; ++k) {
    out[2 * k] = static_cast<std::int16_t>(left[k] * volume_left / VOLUME_PERCENT_MAX);
    out[2 * k + 1] = static_cast<std::int16_t>(right[k] * volume_right / VOLUME_PERCENT_MAX);
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(2 * frames), out.end() - (out.size() % 2), std::int16_t{0});
  a.position += static_cast<std::int32_t>(frames);
  return frames > 0;
}

namespace {

void QueuePlayBuffer(AudioSystem& a, int index) {
  a.output->Queue(index, std::span<std::int16_t>(a.play_buffers[static_cast<std::size_t>(index)].data(),
                                                 static_cast<std::size_t>(a.play_buffer_samples)));
}

void OnPlayed(Runtime& rt, const host::Message& m) {
  AudioSystem& a = System(rt);
  if (!a.playing || m.value != a.play_generation || m.code < 0 || m.code > 1) return;
  const bool any = FillPlaybackBuffer(a, m.code);
  if (any && a.stop_count == 0) {
    QueuePlayBuffer(a, m.code);
    return;
  }
  ++a.stop_count;
  if (a.stop_count >= 2) StopPlayback(rt);
}

// --- recording -----------------------------------------------------------------

void QueueRecBuffer(AudioSystem& a, int index) {
  const auto i = static_cast<std::size_t>(index);
  a.input->Queue(index, std::span<std::int16_t>(a.rec_buffers[i].data(),
                                                static_cast<std::size_t>(a.rec_buffer_lengths[i])));
}

// Copies `frames` frames of recording buffer `index` to the target at P.
void Drain(AudioSystem& a, int index, std::int32_t frames) {
  const std::int16_t* in = a.rec_buffers[static_cast<std::size_t>(index)].data();
  for (std::int32_t k = 0; k < frames; ++k) {
    const auto p = static_cast<std::size_t>(a.position + k);
    if (a.stereo) {
      a.left[p] = in[2 * k];
      a.right[p] = in[2 * k + 1];
    } else {
      a.left[p] = in[k];
    }
  }
}

void OnRecOpened(Runtime& rt, const host::Message& m) {
  AudioSystem& a = System(rt);
  if (!a.input_open || m.value != a.rec_generation) return;
  a.recording = true;
}

void OnRecFilled(Runtime& rt, const host::Message& m) {
  AudioSystem& a = System(rt);
  if (!a.input_open || m.value != a.rec_generation || m.code < 0 || m.code > 1) return;
  if (m.x < 0) {  // the device failed
    StopRecording(rt);
    return;
  }
  const std::int32_t n = std::min(m.x, a.rec_buffer_lengths[static_cast<std::size_t>(m.code)]) /
                         (a.stereo ? 2 : 1);
  if (a.position + n < a.end) {
    Drain(a, m.code, n);
    a.position += n;
    QueueRecBuffer(a, m.code);
    a.length = a.position;
    return;
  }
  Drain(a, m.code, a.end - a.position);
  if (a.rec_flags & AUDIO_LOOP) {
    a.position = a.loop_start;
    a.length = a.loop_start;
    QueueRecBuffer(a, m.code);
    return;
  }
  a.position = a.end;
  a.length = a.end;
  StopRecording(rt);
}

}  // namespace

std::int32_t AudioSystem::PairLength() const { return std::clamp(length, 0, pair.Size()); }

AudioSystem& System(Runtime& rt) {
  if (!rt.audio) rt.audio = std::make_shared<AudioSystem>();
  return *rt.audio;
}

bool Active(const Runtime& rt) {
  return rt.audio && (rt.audio->playing || rt.audio->input_open);
}

std::int32_t WaveRate(Runtime& rt) { return host::SystemLong(rt, sysvar::G_WAVE_RATE); }

void SetWaveRate(Runtime& rt, std::int32_t rate) { values::SetLong(rt, sysvar::G_WAVE_RATE, rate); }

std::int32_t UsableRate(Runtime& rt) {
  const std::int32_t rate = WaveRate(rt);
  return rate > 0 ? rate : DEFAULT_RATE;
}

int StartPlayback(Runtime& rt, std::int32_t rate, std::int32_t start, std::int32_t end,
                  std::int32_t flags, std::int32_t bank) {
  AudioSystem& a = System(rt);
  if (a.playing || a.input_open || start >= end || start < 0 || !ValidBank(bank)) return 0;
  a.stop_count = 0;
  if (flags & AUDIO_PAIR) {
    if (!a.pair.Exists()) return 0;
    a.left = a.pair.left;
    a.right = a.pair.right;
    a.end = std::min(end, a.pair.Size());
  } else {
    a.left = bank < 0 ? a.stores.Main() : a.stores.Bank(bank);
    a.right = bank < 0 ? a.stores.Bank(0) : a.stores.Bank(bank);
    a.end = std::min(end, WAVE_SAMPLES);
  }
  a.position = start;
  a.stereo = (flags & AUDIO_STEREO) != 0;
  a.format.Set(static_cast<std::uint32_t>(std::max(rate, 0)), a.stereo);
  std::unique_ptr<Endpoint> endpoint = rate > 0 ? Devices(a).OpenOutput(a.format) : nullptr;
  if (!endpoint) {
    Show(rt, "waveOutOpen error");
    return 0;
  }
  const std::int32_t generation = ++a.play_generation;
  host::Inbox* inbox = &InboxOf(rt);
  a.output = std::make_unique<Stream>(std::move(endpoint), [inbox, generation](int buffer, std::int32_t) {
    host::Message m;
    m.kind = host::MessageKind::kAudioPlayed;
    m.code = buffer;
    m.value = generation;
    inbox->Post(std::move(m));
  });
  for (int i = 0; i < 2; ++i) {
    FillPlaybackBuffer(a, i);
    QueuePlayBuffer(a, i);
  }
  a.playing = true;
  return 1;
}

void StopPlayback(Runtime& rt) {
  AudioSystem& a = System(rt);
  if (!a.playing) return;
  a.output.reset();  // resets and closes the device
  a.playing = false;
  ++a.play_generation;
  RaiseEnd(rt, "AUDIO_PLAY_END");
}

int StartRecording(Runtime& rt, std::int32_t rate, std::int32_t start, std::int32_t end,
                   std::int32_t flags) {
  AudioSystem& a = System(rt);
  char line[64];
  std::snprintf(line, sizeof(line), "waveInGetNumDevs() : %ld\r\n",
                static_cast<long>(Devices(a).InputDeviceCount()));
  values::SetText(rt, sysvar::G_TXT, line, true);
  if (start >= end || start < 0 || a.playing || a.input_open) return 0;
  std::int32_t limit = WAVE_SAMPLES;
  if (flags & AUDIO_PAIR) {
    if (!a.pair.Exists()) return 0;
    limit = a.pair.Size();
  }
  if (start >= std::min(end, limit)) return 0;  // nothing of the range is in the target
  a.length = a.loop_start = a.position = start;
  a.rec_flags = flags;
  if (flags & AUDIO_PAIR) {
    a.left = a.pair.left;
    a.right = a.pair.right;
  } else {
    a.left = a.stores.Main();
    a.right = a.stores.Bank(0);
  }
  a.end = std::min(end, limit);
  a.stereo = (flags & AUDIO_STEREO) != 0;
  a.format.Set(static_cast<std::uint32_t>(std::max(rate, 0)), a.stereo);
  // In stereo a buffer holds half as many frames; a range shorter than one
  // buffer gets buffers of exactly its length.
  std::int32_t samples = a.rec_buffer_samples;
  const std::int32_t range = a.end - start;
  if (!a.stereo && range < samples) samples = range;
  if (a.stereo && range < samples / 2) samples = range * 2;
  a.rec_buffer_lengths = {samples, samples};
  std::unique_ptr<Endpoint> endpoint = rate > 0 ? Devices(a).OpenInput(a.format) : nullptr;
  if (!endpoint) {
    Show(rt, "error");
    return 0;
  }
  const std::int32_t generation = ++a.rec_generation;
  host::Inbox* inbox = &InboxOf(rt);
  {
    host::Message opened;
    opened.kind = host::MessageKind::kAudioRecOpened;
    opened.value = generation;
    inbox->Post(std::move(opened));
  }
  a.input = std::make_unique<Stream>(std::move(endpoint), [inbox, generation](int buffer, std::int32_t n) {
    host::Message m;
    m.kind = host::MessageKind::kAudioRecFilled;
    m.code = buffer;
    m.x = n;
    m.value = generation;
    inbox->Post(std::move(m));
  });
  a.input_open = true;
  QueueRecBuffer(a, 0);
  QueueRecBuffer(a, 1);
  return 1;
}

void StopRecording(Runtime& rt) {
  AudioSystem& a = System(rt);
  if (!a.input_open) return;
  a.input.reset();  // stops, resets and closes the device
  a.input_open = false;
  a.recording = false;
  ++a.rec_generation;
  RaiseEnd(rt, "AUDIO_REC_END");
}

void HandleDeviceMessage(Runtime& rt, const host::Message& m) {
  switch (m.kind) {
    case host::MessageKind::kAudioPlayed: OnPlayed(rt, m); break;
    case host::MessageKind::kAudioRecOpened: OnRecOpened(rt, m); break;
    case host::MessageKind::kAudioRecFilled: OnRecFilled(rt, m); break;
    default: break;
  }
}

}  // namespace vx::audio

namespace vx {

std::span<const std::int16_t> SampleBank(Runtime& rt, std::int32_t bank) {
  if (!audio::ValidBank(bank)) return {};
  return audio::System(rt).stores.Bank(bank);
}

}  // namespace vx
