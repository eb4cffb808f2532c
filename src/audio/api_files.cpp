// The sound family, WAV files: loading into and saving from the banks, the
// header dump, and the converters that work from file to file.
#include <algorithm>
#include <cerrno>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "audio/api_common.hpp"
#include "audio/audio_system.hpp"
#include "audio/wav_file.hpp"
#include "engine/runtime.hpp"
#include "platform/files.hpp"

namespace vx::api {
namespace {

using namespace audio_api;

// The longest text GetWaveFInfo gives a variable that is not a string.
constexpr std::size_t kInfoTextMax = 4096;

audio::AudioSystem& Sys(Call& call) { return audio::System(call.rt()); }

std::uint32_t RateForWriting(Call& call) {
  return static_cast<std::uint32_t>(audio::UsableRate(call.rt()));
}

// The writers' G_ERROR: 0 when `written`, else 1, with the system's reason
// in G_ERR_TXT when writing the file is what failed.
void ReportWritten(Call& call, bool written, int write_error) {
  if (write_error != 0) return ReportSystemResult(call, write_error);
  call.SetError(written ? 0 : 1);
}

// LoadWaveF file, R count, [start = 0], [bank = -1], [skip = 0]. G_ERROR is
// 1, with the reason in G_ERR_TXT, when the bank does not exist, the file
// cannot be opened, is malformed, has no data chunk or holds a format that
// is not read (nothing is changed then).
void LoadWaveF(Call& call) {
  const std::string path = TextArg(call, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const std::int32_t start = call.OptInt(2, 0);
  const std::int32_t bank = call.OptInt(3, -1);
  const std::int32_t skip = call.OptInt(4, 0);
  if (!audio::ValidBank(bank)) {
    call.WriteInt(out, 0);
    Refuse(call, "no such bank: " + std::to_string(bank));
    return;
  }
  files::FilePtr f = files::Open(path, "rb");
  if (!f) {
    const int error = errno;
    call.WriteInt(out, 0);
    Refuse(call, files::ErrorText(error));
    return;
  }
  audio::FileSource source(f.get());
  const audio::LoadResult r = audio::LoadWave(source, Sys(call).stores.Bank(bank), start, skip);
  call.WriteInt(out, r.count);
  if (!r.error.empty()) {
    Refuse(call, r.error);
    return;
  }
  if (r.has_rate) audio::SetWaveRate(call.rt(), static_cast<std::int32_t>(r.rate));
  Succeed(call);
}

// SaveWaveF file, from, to, bits, [bank = -1]: a mono file of [from, to).
void SaveWaveF(Call& call) {
  const std::string path = TextArg(call, 0);
  const std::int32_t from = call.Int(1);
  const std::int32_t to = call.Int(2);
  const std::int32_t bits = call.Int(3);
  const std::int32_t bank = call.OptInt(4, -1);
  if (from < 0 || from > to || to > audio::WAVE_SAMPLES || !audio::ValidBank(bank))
    return call.SetError(1);
  auto wave = Sys(call).stores.Bank(bank).subspan(static_cast<std::size_t>(from),
                                                  static_cast<std::size_t>(to - from));
  int error = 0;
  const bool saved = audio::SaveWave(path, wave, bits, RateForWriting(call), &error);
  ReportWritten(call, saved, error);
}

// SaveWaveFGls file, from, to, threshold: the main wave's range without its
// quiet ends, 16-bit mono.
void SaveWaveFGls(Call& call) {
  const std::string path = TextArg(call, 0);
  const std::int32_t from = call.Int(1);
  const std::int32_t to = call.Int(2);
  const std::int32_t threshold = call.Int(3);
  auto wave = Sys(call).stores.Main();
  std::int32_t first = 0;
  std::int32_t last = 0;
  if (!audio::QuietCutRange(wave, from, to, threshold, &first, &last)) return call.SetError(1);
  int error = 0;
  const bool saved = audio::SaveWave(
      path, wave.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(last - first)), 16,
      RateForWriting(call), &error);
  ReportWritten(call, saved, error);
}

// GetWaveFInfo file, R text: the file's headers as text.
void GetWaveFInfo(Call& call) {
  const std::string path = TextArg(call, 0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const ResourceEntry& entry = call.rt().program.Resource(out);
  const std::size_t capacity = entry.kind == R_KD_VAL_TXT && entry.text_capacity > 0
                                   ? static_cast<std::size_t>(entry.text_capacity)
                                   : kInfoTextMax;
  files::FilePtr f = files::Open(path, "rb");
  if (!f) {
    call.WriteText(out, "");
    return;
  }
  audio::FileSource source(f.get());
  call.WriteText(out, audio::DescribeWave(source, capacity));
}

// ConvWaveF in, out: 16-bit stereo to mono.
void ConvWaveF(Call& call) {
  const std::string in = TextArg(call, 0);
  const std::string out = TextArg(call, 1);
  std::string log;
  int error = 0;
  const int result = audio::ConvertToMono(in, out, Sys(call).stores, &log, &error);
  if (!log.empty()) call.AppendDebugLog(log);
  ReportWritten(call, result == 1, error);
}

// VolChgF in, out, k: a 16-bit file through the soft limiter with gain k.
void VolChgF(Call& call) {
  const std::string in = TextArg(call, 0);
  const std::string out = TextArg(call, 1);
  const double k = call.Double(2);
  int error = 0;
  const int result = audio::ChangeVolume(in, out, k, Sys(call).stores, &error);
  ReportWritten(call, result == 1, error);
}

// JntWaveF a, b, out: a followed by b.
void JntWaveF(Call& call) {
  const std::string a = TextArg(call, 0);
  const std::string b = TextArg(call, 1);
  const std::string out = TextArg(call, 2);
  int error = 0;
  const int result = audio::JoinWaves(a, b, out, &error);
  ReportWritten(call, result == 1, error);
}

constexpr Registration kAudioFileApis[] = {
    {Id("LoadWaveF"), LoadWaveF},     {Id("SaveWaveF"), SaveWaveF},
    {Id("SaveWaveFGls"), SaveWaveFGls}, {Id("GetWaveFInfo"), GetWaveFInfo},
    {Id("ConvWaveF"), ConvWaveF},     {Id("VolChgF"), VolChgF},
    {Id("JntWaveF"), JntWaveF},
};

}  // namespace

void RegisterAudioFileApis(Registry& registry) { registry.AddAll(kAudioFileApis); }

}  // namespace vx::api
