// The sound family, devices and the buffer pair: playback, recording,
// AudioInfo and the modes of AudioCtrl.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "audio/api_common.hpp"
#include "audio/audio_system.hpp"
#include "audio/filters.hpp"
#include "audio/wav_file.hpp"
#include "engine/runtime.hpp"
#include "platform/files.hpp"

namespace vx::api {
namespace {

using namespace audio_api;

using audio::AudioSystem;
using audio::WAVE_SAMPLES;

constexpr const char* kNoPair = "no buffer pair (AudioCtrl mode 0 makes one)";

AudioSystem& Sys(Call& call) { return audio::System(call.rt()); }

// AudioPlay rate, start, end, [flags = 0], [bank = -1].
void AudioPlay(Call& call) {
  const std::int32_t rate = call.Int(0);
  const std::int32_t start = call.Int(1);
  const std::int32_t end = call.Int(2);
  const std::int32_t flags = call.OptInt(3, 0);
  const std::int32_t bank = call.OptInt(4, -1);
  audio::StartPlayback(call.rt(), rate, start, end, flags, bank);
}

// AudioRec rate, start, end, [flags = 0].
void AudioRec(Call& call) {
  const std::int32_t rate = call.Int(0);
  const std::int32_t start = call.Int(1);
  const std::int32_t end = call.Int(2);
  const std::int32_t flags = call.OptInt(3, 0);
  audio::StartRecording(call.rt(), rate, start, end, flags);
}

void StopRec(Call& call) { audio::StopRecording(call.rt()); }

// IsPlayNow R var, [mode = 0]: 1 while playing; G_WORK1 = the position.
// Mode 1 ends playback at the next buffer that comes back.
void IsPlayNow(Call& call) {
  const std::int32_t out = call.Resource(0);
  if (out < 0) return;
  const std::int32_t mode = call.OptInt(1, 0);
  AudioSystem& a = Sys(call);
  call.WriteInt(out, a.playing ? 1 : 0);
  call.SetWork(1, a.position);
  if (mode == 1 && a.playing) a.stop_count = 2;
}

// AudioInfo R text.
void AudioInfo(Call& call) {
  const std::int32_t out = call.Resource(0);
  if (out < 0) return;
  char text[64];
  std::snprintf(text, sizeof(text), "Bank count = %d \r\n", audio::BANK_COUNT);
  call.WriteText(out, text);
}

// --- AudioCtrl ------------------------------------------------------------------

struct CtrlArgs {
  std::int32_t a1 = 0, a2 = 0, a3 = 0, a4 = 0;
};

// Ends a transfer that reads or writes the pair before the pair goes.
void ReleasePair(Call& call) {
  AudioSystem& a = Sys(call);
  const bool uses_pair = !a.left.empty() && a.left.data() == a.pair.left.data();
  if (!uses_pair) return;
  if (a.playing) audio::StopPlayback(call.rt());
  if (a.input_open) audio::StopRecording(call.rt());
  a.left = a.right = {};
}

bool Allocate(Call& call, const CtrlArgs& c, std::string* why) {
  ReleasePair(call);
  AudioSystem& a = Sys(call);
  if (c.a1 < 1 || c.a1 > audio::PAIR_SAMPLES_MAX || !a.pair.Allocate(c.a1)) {
    a.pair.Free();
    *why = "cannot allocate a buffer pair of " + std::to_string(c.a1) + " samples";
    return false;
  }
  return true;
}

bool LoadPairFile(Call& call, std::string* why) {
  const std::string path = TextArg(call, 1);
  AudioSystem& a = Sys(call);
  if (!a.pair.Exists()) {
    *why = kNoPair;
    return false;
  }
  files::FilePtr f = files::Open(path, "rb");
  if (!f) {
    *why = files::ErrorText(errno);
    return false;
  }
  audio::FileSource source(f.get());
  const audio::PairLoadResult r = audio::LoadPair(source, a.pair);
  if (!r.ok) {
    *why = r.error;
    return false;
  }
  a.length = a.pair.filled;
  if (r.has_rate) audio::SetWaveRate(call.rt(), static_cast<std::int32_t>(r.rate));
  return true;
}

bool SavePairFile(Call& call, std::string* why) {
  const std::string path = TextArg(call, 1);
  AudioSystem& a = Sys(call);
  if (a.pair.Size() < 1) {
    *why = kNoPair;
    return false;
  }
  a.pair.filled = a.PairLength();
  int error = 0;
  const bool saved =
      audio::SavePair(path, a.pair, static_cast<std::uint32_t>(audio::UsableRate(call.rt())), &error);
  call.SetWork(1, a.pair.filled);
  if (!saved) {
    *why = files::ErrorText(error != 0 ? error : EIO);
    return false;
  }
  return true;
}

// Modes 5 and 6: k < count samples between the pair (from `pair_at`) and
// the main wave with bank 0 (from `wave_at`); out-of-range ones skipped.
void CopyWithPair(Call& call, std::int32_t pair_at, std::int32_t wave_at, std::int32_t count,
                  bool to_wave) {
  AudioSystem& a = Sys(call);
  const std::int64_t n = a.pair.Size();
  auto main = a.stores.Main();
  auto bank0 = a.stores.Bank(0);
  for (std::int64_t k = 0; k < count; ++k) {
    const std::int64_t p = std::int64_t{pair_at} + k;
    const std::int64_t w = std::int64_t{wave_at} + k;
    if (p < 0 || p >= n || w < 0 || w >= WAVE_SAMPLES) continue;
    const auto pi = static_cast<std::size_t>(p);
    const auto wi = static_cast<std::size_t>(w);
    if (to_wave) {
      main[wi] = a.pair.left[pi];
      bank0[wi] = a.pair.right[pi];
    } else {
      a.pair.left[pi] = main[wi];
      a.pair.right[pi] = bank0[wi];
    }
  }
}

// Mode 7: deletes `count` samples at `at` from both sides; L shrinks.
void DeleteFromPair(Call& call, std::int32_t at, std::int32_t count) {
  AudioSystem& a = Sys(call);
  const std::int32_t length = a.PairLength();
  at = std::max(at, 0);
  if (count > 0 && at < length) {
    const std::int32_t removed = std::min(count, length - at);
    for (auto* side : {&a.pair.left, &a.pair.right}) {
      std::copy(side->begin() + at + removed, side->begin() + length, side->begin() + at);
    }
    a.length = length - removed;
  }
  call.SetWork(1, a.length);
}

// Mode 8: one channel onto the other over [at, at + count) within L.
void CopyChannel(Call& call, bool right_onto_left, std::int32_t at, std::int32_t count) {
  AudioSystem& a = Sys(call);
  const std::int64_t length = a.PairLength();
  const std::int64_t first = std::max<std::int64_t>(at, 0);
  const std::int64_t last = std::min<std::int64_t>(std::int64_t{at} + count, length);
  auto& from = right_onto_left ? a.pair.right : a.pair.left;
  auto& to = right_onto_left ? a.pair.left : a.pair.right;
  for (std::int64_t i = first; i < last; ++i) to[static_cast<std::size_t>(i)] = from[static_cast<std::size_t>(i)];
}

bool PairExtremes(Call& call) {
  AudioSystem& a = Sys(call);
  if (!a.pair.Exists()) return false;
  std::int32_t hi = 0;
  std::int32_t lo = 0;
  for (std::int32_t i = 0; i < a.PairLength(); ++i) {
    for (const auto* side : {&a.pair.left, &a.pair.right}) {
      const std::int32_t s = (*side)[static_cast<std::size_t>(i)];
      hi = std::max(hi, s);
      lo = std::min(lo, s);
    }
  }
  call.SetWork(1, hi);
  call.SetWork(2, lo);
  return true;
}

bool ScalePair(Call& call, std::int32_t numerator, std::int32_t denominator) {
  AudioSystem& a = Sys(call);
  if (!a.pair.Exists()) return false;
  denominator = std::max(denominator, 1);
  for (auto* side : {&a.pair.left, &a.pair.right}) {
    for (std::int32_t i = 0; i < a.PairLength(); ++i) {
      std::int16_t& s = (*side)[static_cast<std::size_t>(i)];
      s = audio::ClampSample(std::int64_t{s} * numerator / denominator);
    }
  }
  return true;
}

// Modes 12 and 13: the RC filters on the main wave with bank 0 (a3 != 0,
// a4 samples, 0 for all) or on the pair.
bool Filter(Call& call, const CtrlArgs& c, audio::RcKind kind, std::string* why) {
  AudioSystem& a = Sys(call);
  const std::int32_t rate = audio::WaveRate(call.rt());
  if (rate < 1) {
    *why = "G_WAVE_RATE is not set";
    return false;
  }
  std::span<std::int16_t> left;
  std::span<std::int16_t> right;
  if (c.a3 != 0) {
    const std::int32_t n = c.a4 == 0 ? WAVE_SAMPLES : std::clamp(c.a4, 0, WAVE_SAMPLES);
    left = a.stores.Main().first(static_cast<std::size_t>(n));
    right = a.stores.Bank(0).first(static_cast<std::size_t>(n));
  } else {
    if (!a.pair.Exists()) {
      *why = kNoPair;
      return false;
    }
    const auto n = static_cast<std::size_t>(a.PairLength());
    left = std::span<std::int16_t>(a.pair.left).first(n);
    right = std::span<std::int16_t>(a.pair.right).first(n);
  }
  bool clipped = audio::RcFilter(left, kind, c.a1, c.a2, rate);
  clipped = audio::RcFilter(right, kind, c.a1, c.a2, rate) || clipped;
  if (clipped) *why = "the mixed result clipped";
  return !clipped;
}

bool SetVolumes(Call& call, std::int32_t left, std::int32_t right) {
  const auto valid = [](std::int32_t v) { return v >= 0 && v <= audio::VOLUME_PERCENT_MAX; };
  if (!valid(left) || !valid(right)) return false;
  AudioSystem& a = Sys(call);
  a.volume_left = left;
  a.volume_right = right;
  return true;
}

void SetBufferSamples(std::int32_t samples, std::int32_t* setting) {
  if (samples >= audio::DEVICE_BUFFER_SAMPLES_MIN && samples <= audio::DEVICE_BUFFER_SAMPLES) {
    *setting = samples;
  }
}

// Whether the mode succeeded (its result was positive: the clipping of
// modes 12 and 13, -1, counts as a failure); `why` says what went wrong.
bool RunCtrl(Call& call, std::int32_t mode, std::string* why) {
  if (mode == 2) return LoadPairFile(call, why);
  if (mode == 4) return SavePairFile(call, why);
  if (mode == 3) return true;
  CtrlArgs c;
  c.a1 = call.OptInt(1, 0);
  c.a2 = call.OptInt(2, 0);
  c.a3 = call.OptInt(3, 0);
  c.a4 = call.OptInt(4, 0);
  AudioSystem& a = Sys(call);
  switch (mode) {
    case 0: return Allocate(call, c, why);
    case 1:
      call.SetWork(1, a.recording ? 1 : 0);
      call.SetWork(2, a.length);
      return true;
    case 5: CopyWithPair(call, c.a1, c.a2, c.a3, true); return true;
    case 6: CopyWithPair(call, c.a2, c.a1, c.a3, false); return true;
    case 7: DeleteFromPair(call, c.a1, c.a2); return true;
    case 8: CopyChannel(call, c.a1 != 0, c.a2, c.a3); return true;
    case 10:
    case 11: {
      const bool done = mode == 10 ? PairExtremes(call) : ScalePair(call, c.a1, c.a2);
      if (!done) *why = kNoPair;
      return done;
    }
    case 12: return Filter(call, c, audio::RcKind::kLowPass, why);
    case 13: return Filter(call, c, audio::RcKind::kHighPass, why);
    case 20:
      if (SetVolumes(call, c.a1, c.a2)) return true;
      *why = "volumes are 0 to 100 percent";
      return false;
    case 21: SetBufferSamples(c.a1, &a.rec_buffer_samples); return true;
    case 22: SetBufferSamples(c.a1, &a.play_buffer_samples); return true;
    case 900:
      ReleasePair(call);
      a.pair.Free();
      return true;
    default:
      *why = "no such mode: " + std::to_string(mode);
      return false;
  }
}

// AudioCtrl mode, a1, a2, a3, a4 (modes 2 and 4: mode, file). G_ERROR is 0
// when the mode's result is positive, else 1 with the reason in G_ERR_TXT.
void AudioCtrl(Call& call) {
  const std::int32_t mode = call.Int(0);
  std::string why;
  const bool ok = RunCtrl(call, mode, &why);
  call.SetErrText(ok ? std::string_view{} : std::string_view{why});
  call.SetError(ok ? 0 : 1);
}

constexpr Registration kAudioDeviceApis[] = {
    {Id("AudioPlay"), AudioPlay}, {Id("AudioRec"), AudioRec},   {Id("StopRec"), StopRec},
    {Id("IsPlayNow"), IsPlayNow}, {Id("AudioInfo"), AudioInfo}, {Id("AudioCtrl"), AudioCtrl},
};

}  // namespace

void RegisterAudioDeviceApis(Registry& registry) { registry.AddAll(kAudioDeviceApis); }

}  // namespace vx::api
