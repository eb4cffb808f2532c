// The sound family, sample stores: single elements, ramps, gains, the real
// wave accumulator, bank copies and the wave spectrum table.
//
// Banks: any negative bank is the main wave, 0-7 the banks; 8 or more makes
// the API do nothing. End indexes are clamped to the store; results beyond
// 16 bits are clamped to -32768..32767, and every conversion from a real
// value truncates toward zero.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

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

using audio::ClampSample;
using audio::WAVE_SAMPLES;

constexpr double kPulseGainFloor = 0.001;   // WvR2S gains below this count as 1
constexpr std::int32_t kSpectrumFrequencyStep = 22050;  // Hz per 100 columns
constexpr std::int32_t kSpectrumWeights = 220;
constexpr std::int32_t kDiffScale = 32000;
constexpr double kRcScale = 40000.0 * 700.0;
constexpr double kRcLeak = 1e7;

audio::AudioSystem& Sys(Call& call) { return audio::System(call.rt()); }

// The end of a range clamped to the store.
std::int32_t ClampEnd(std::int32_t to) { return std::clamp(to, 0, WAVE_SAMPLES); }

// GetWElem index, R var, [bank = -1]: the main wave's sample (0 past the
// store, or for a bank of 0 or more: banks are not read by element).
void GetWElem(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const std::int32_t bank = call.OptInt(2, -1);
  std::int32_t value = 0;
  if (bank < 0 && index >= 0 && index < WAVE_SAMPLES) {
    value = Sys(call).stores.Main()[static_cast<std::size_t>(index)];
  }
  call.WriteInt(out, value);
}

// SetWElem index, value, [count = 1]: fills count samples of the main wave.
void SetWElem(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t value = call.Int(1);
  std::int32_t count = std::max(call.OptInt(2, 1), 1);
  if (index < 0 || index >= WAVE_SAMPLES) return;
  count = std::min(count, WAVE_SAMPLES - index);
  auto wave = Sys(call).stores.Main().subspan(static_cast<std::size_t>(index),
                                              static_cast<std::size_t>(count));
  std::fill(wave.begin(), wave.end(), ClampSample(std::int64_t{value}));
}

// AddWElem bank, from, to, offset, [factor = 1.0]: s = s * factor + offset.
void AddWElem(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  const std::int32_t to = ClampEnd(call.Int(2));
  const double offset = call.Double(3);
  const double factor = call.OptDouble(4, 1.0);
  if (from < 0 || !audio::ValidBank(bank)) return;
  auto wave = Sys(call).stores.Bank(bank);
  for (std::int32_t i = from; i < to; ++i) {
    std::int16_t& s = wave[static_cast<std::size_t>(i)];
    s = ClampSample(s * factor + offset);
  }
}

// GetWaveLevel bank, from, to, R var: max - min of the samples.
void GetWaveLevel(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  const std::int32_t to = ClampEnd(call.Int(2));
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  std::int32_t level = 0;
  if (audio::ValidBank(bank) && from >= 0 && from < WAVE_SAMPLES && to - from >= 2) {
    auto wave = Sys(call).stores.Bank(bank).subspan(static_cast<std::size_t>(from),
                                                    static_cast<std::size_t>(to - from));
    const auto [lo, hi] = std::minmax_element(wave.begin(), wave.end());
    level = *hi - *lo;
  }
  call.WriteInt(out, level);
}

// MkWvSlope bank, from, to, a, b: a straight ramp from a towards b.
void MkWvSlope(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  const std::int32_t to = call.Int(2);
  const std::int64_t a = call.Int(3);
  const std::int64_t b = call.Int(4);
  if (!audio::ValidBank(bank) || from < 0 || to <= from) return;  // empty: nothing to divide
  auto wave = Sys(call).stores.Bank(bank);
  const std::int64_t span = std::int64_t{to} - from;
  for (std::int32_t i = from; i < ClampEnd(to); ++i) {
    wave[static_cast<std::size_t>(i)] = ClampSample((a * (to - i) + b * (i - from)) / span);
  }
}

// PrjctWave from, to, srcFrom, srcTo: main [from, to] times (/32768) the
// segment [srcFrom, srcTo] stretched linearly over it.
void PrjctWave(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = call.Int(1);
  const std::int32_t src_from = call.Int(2);
  const std::int32_t src_to = call.Int(3);
  auto inside = [](std::int32_t i) { return i >= 0 && i < WAVE_SAMPLES; };
  if (!inside(from) || !inside(to) || !inside(src_from) || !inside(src_to)) return;
  if (to < from || src_to < src_from) return;
  auto wave = Sys(call).stores.Main();
  // The source is read as it was, whatever the overlap with the target.
  const std::vector<std::int16_t> source(wave.begin() + src_from, wave.begin() + src_to + 1);
  const std::int32_t n = to - from + 1;
  const double scale = n > 1 ? static_cast<double>(source.size() - 1) / (n - 1) : 0.0;
  for (std::int32_t k = 0; k < n; ++k) {
    const double pos = k * scale;
    const auto i = static_cast<std::size_t>(pos);
    const double frac = pos - static_cast<double>(i);
    const double next = i + 1 < source.size() ? source[i + 1] : source[i];
    const double factor = source[i] + (next - source[i]) * frac;
    std::int16_t& s = wave[static_cast<std::size_t>(from + k)];
    s = ClampSample(s * factor / 32768.0);
  }
}

// StretchWave from, to, f1, f2: a gain ramp from f1 to f2 over [from, to].
void StretchWave(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = std::min(call.Int(1), WAVE_SAMPLES - 1);
  const double f1 = call.Double(2);
  const double f2 = call.Double(3);
  if (from < 0 || to < from) return;
  auto wave = Sys(call).stores.Main();
  const double span = to - from;
  for (std::int32_t i = from; i <= to; ++i) {
    const double gain = span > 0 ? (f1 * (to - i) + f2 * (i - from)) / span : f1;
    std::int16_t& s = wave[static_cast<std::size_t>(i)];
    s = ClampSample(s * gain);
  }
}

// GetRealWE index, R var / SetRealWE index, value: one real-wave element.
void GetRealWE(Call& call) {
  const std::int32_t index = call.Int(0);
  const std::int32_t out = call.Resource(1);
  if (out < 0) return;
  const bool inside = index >= 0 && index < WAVE_SAMPLES;
  call.WriteDouble(out, inside ? Sys(call).stores.Real()[static_cast<std::size_t>(index)] : 0.0);
}

void SetRealWE(Call& call) {
  const std::int32_t index = call.Int(0);
  const double value = call.Double(1);
  if (index < 0 || index >= WAVE_SAMPLES) return;
  Sys(call).stores.Real()[static_cast<std::size_t>(index)] = value;
}

void ClearRWv(Call& call) {
  auto real = Sys(call).stores.Real();
  std::fill(real.begin(), real.end(), 0.0);
}

// AddBkToReal bank (0-7), from, to, dest: real[dest + i - from] += bank[i].
void AddBkToReal(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = ClampEnd(call.Int(2));
  const std::int32_t dest = call.Int(3);
  if (bank < 0 || !audio::ValidBank(bank) || from < 0 || dest < 0 || dest >= WAVE_SAMPLES) return;
  to = std::min<std::int32_t>(to, WAVE_SAMPLES - dest + from);
  auto& stores = Sys(call).stores;
  auto wave = stores.Bank(bank);
  auto real = stores.Real();
  for (std::int32_t i = from; i < to; ++i) {
    real[static_cast<std::size_t>(dest + i - from)] += wave[static_cast<std::size_t>(i)];
  }
}

// MixBkToReal bankA, bankB, from, to: real[i] += a[i] * b[i] / 32768.
void MixBkToReal(Call& call) {
  const std::int32_t bank_a = call.Int(0);
  const std::int32_t bank_b = call.Int(1);
  const std::int32_t from = call.Int(2);
  const std::int32_t to = ClampEnd(call.Int(3));
  if (!audio::ValidBank(bank_a) || !audio::ValidBank(bank_b) || from < 0) return;
  auto& stores = Sys(call).stores;
  auto a = stores.Bank(bank_a);
  auto b = stores.Bank(bank_b);
  auto real = stores.Real();
  for (std::int32_t i = from; i < to; ++i) {
    const auto k = static_cast<std::size_t>(i);
    real[k] += static_cast<double>(a[k]) * b[k] / 32768.0;
  }
}

// WvR2S k: the main wave = the real wave through the soft limiter.
void WvR2S(Call& call) {
  const double k = call.Double(0);
  const double gain = k < kPulseGainFloor ? 1.0 : k;
  auto& stores = Sys(call).stores;
  auto real = stores.Real();
  auto wave = stores.Main();
  for (std::size_t i = 0; i < real.size(); ++i) {
    wave[i] = audio::SoftLimit(real[i] * gain, real[i] > 0);
  }
}

// MkWvPls start, period, amplitude, count, step, decay: raised-cosine
// pulses added to the real wave.
void MkWvPls(Call& call) {
  const std::int32_t start = call.Int(0);
  const std::int32_t period = std::max(call.Int(1), 1);
  const double amplitude = call.Double(2);
  const std::int32_t count = call.Int(3);
  const std::int32_t step = call.Int(4);
  const double decay = call.Double(5);
  auto real = Sys(call).stores.Real();
  double gain = amplitude;
  for (std::int32_t j = 0; j < count; ++j, gain *= decay) {
    const std::int64_t first = std::int64_t{start} + std::int64_t{j} * step;
    if (first >= WAVE_SAMPLES) break;
    for (std::int32_t k = 0; k < period; ++k) {
      const std::int64_t i = first + k;
      if (i >= WAVE_SAMPLES) break;
      if (i < 0) continue;
      const double phase = 2.0 * std::numbers::pi * k / period - std::numbers::pi / 2.0;
      real[static_cast<std::size_t>(i)] += (std::sin(phase) + 1.0) * gain;
    }
  }
}

// MkSinWv from, to, period, amplitude, phase: a sine over the main wave.
void MkSinWv(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = ClampEnd(call.Int(1));
  double period = call.Double(2);
  const double amplitude = call.Double(3);
  const double phase = call.Double(4);
  if (from < 0) return;
  if (period < 1.0) period = 1.0;
  auto wave = Sys(call).stores.Main();
  for (std::int32_t k = 0; k < to - from; ++k) {
    wave[static_cast<std::size_t>(from + k)] =
        ClampSample(amplitude * std::sin((k + phase) * 2.0 * std::numbers::pi / period));
  }
}

// WaveBkUp bank (0-7), direction: 0 main -> bank, else bank -> main.
void WaveBkUp(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t direction = call.Int(1);
  if (bank < 0 || !audio::ValidBank(bank)) return;
  auto& stores = Sys(call).stores;
  auto main = stores.Main();
  auto other = stores.Bank(bank);
  if (direction == 0) {
    std::copy(main.begin(), main.end(), other.begin());
  } else {
    std::copy(other.begin(), other.end(), main.begin());
  }
}

// CopyWvBk srcBank, dstBank, from, to, flags, dest: 1 reads backwards,
// 2 adds, 2+4 subtracts; sums clipped to +-32767.
void CopyWvBk(Call& call) {
  const std::int32_t src_bank = call.Int(0);
  const std::int32_t dst_bank = call.Int(1);
  const std::int32_t from = call.Int(2);
  const std::int32_t to = ClampEnd(call.Int(3));
  const std::int32_t flags = call.Int(4);
  const std::int32_t dest = call.Int(5);
  if (!audio::ValidBank(src_bank) || !audio::ValidBank(dst_bank) || from < 0 || dest < 0) return;
  auto& stores = Sys(call).stores;
  auto src = stores.Bank(src_bank);
  auto dst = stores.Bank(dst_bank);
  const bool backwards = (flags & 1) != 0;
  const bool add = (flags & 2) != 0;
  const bool subtract = add && (flags & 4) != 0;
  for (std::int32_t k = 0; k < to - from; ++k) {
    const std::int64_t d = std::int64_t{dest} + k;
    if (d >= WAVE_SAMPLES) break;
    const std::int32_t s = src[static_cast<std::size_t>(backwards ? to - 1 - k : from + k)];
    std::int16_t& t = dst[static_cast<std::size_t>(d)];
    if (!add) {
      t = static_cast<std::int16_t>(s);
      continue;
    }
    const std::int32_t sum = subtract ? t - s : t + s;
    t = static_cast<std::int16_t>(std::clamp(sum, -audio::SAMPLE_MAX, audio::SAMPLE_MAX));
  }
}

// WvDiff bank (0-7), from, to: the main wave's first difference, scaled so
// that its largest magnitude is 32000, into the bank from index from.
void WvDiff(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  const std::int32_t to = ClampEnd(call.Int(2));
  if (bank < 0 || !audio::ValidBank(bank) || from < 0 || to - from < 2) return;
  auto& stores = Sys(call).stores;
  auto w = stores.Main();
  auto out = stores.Bank(bank);
  std::int32_t max_diff = 0;
  for (std::int32_t i = from + 1; i < to; ++i) {
    max_diff = std::max(max_diff, std::abs(w[static_cast<std::size_t>(i)] - w[static_cast<std::size_t>(i - 1)]));
  }
  if (max_diff == 0) return;
  for (std::int32_t i = from + 1; i < to; ++i) {
    const std::int32_t d = w[static_cast<std::size_t>(i)] - w[static_cast<std::size_t>(i - 1)];
    out[static_cast<std::size_t>(i - 1)] = static_cast<std::int16_t>(d * kDiffScale / max_diff);
  }
}

// HPFltrRC from, to, k: y = x - acc / (k / 40000 / 700), acc += y / 1e7.
void HPFltrRC(Call& call) {
  const std::int32_t from = call.Int(0);
  const std::int32_t to = ClampEnd(call.Int(1));
  const double k = call.Double(2);
  if (from < 0) return;
  auto wave = Sys(call).stores.Main();
  const double divisor = k / kRcScale;
  double acc = 0.0;
  for (std::int32_t i = from; i < to; ++i) {
    std::int16_t& s = wave[static_cast<std::size_t>(i)];
    const double y = divisor != 0.0 ? s - acc / divisor : s;
    acc += y / kRcLeak;
    s = ClampSample(y);
  }
}

// --- the wave spectrum table -----------------------------------------------------

void GetWSpct(Call& call) {
  const std::int32_t row = call.Int(0);
  const std::int32_t column = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  call.WriteInt(out, Sys(call).stores.Spectrum(row, column));
}

void SetWSpct(Call& call) {
  const std::int32_t row = call.Int(0);
  const std::int32_t column = call.Int(1);
  const std::int32_t value = call.Int(2);
  Sys(call).stores.SetSpectrum(row, column, static_cast<std::uint8_t>(std::clamp(value, 0, 255)));
}

// ClearWSpc row: one row, or every row for a negative one.
void ClearWSpc(Call& call) {
  const std::int32_t row = call.Int(0);
  auto& stores = Sys(call).stores;
  auto cells = row < 0 ? stores.SpectrumTable() : stores.SpectrumRow(row);
  std::fill(cells.begin(), cells.end(), std::uint8_t{0});
}

// GetWSpctAtWv row, x, R var: the row read at frequency x (Hz), between its
// two nearest columns.
void GetWSpctAtWv(Call& call) {
  const std::int32_t row = call.Int(0);
  const std::int64_t x = std::max(call.Int(1), 0);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  const std::int64_t c = x * 100 / kSpectrumFrequencyStep;
  std::int32_t value = 0;
  if (c < audio::SPECTRUM_COLUMNS - 1) {
    const std::int64_t r = x - c * kSpectrumFrequencyStep / 100;
    const auto& stores = Sys(call).stores;
    const std::int64_t a = stores.Spectrum(row, static_cast<std::int32_t>(c));
    const std::int64_t b = stores.Spectrum(row, static_cast<std::int32_t>(c + 1));
    value = static_cast<std::int32_t>((a * (kSpectrumWeights - r) + b * r) / kSpectrumWeights);
  }
  call.WriteInt(out, value);
}

// LoadSpctF file: up to 170 rows of raw bytes into the table.
void LoadSpctF(Call& call) {
  const std::string path = TextArg(call, 0);
  files::FilePtr f = files::Open(path, "rb");
  if (!f) return;
  auto table = Sys(call).stores.SpectrumTable();
  (void)std::fread(table.data(), 1, table.size(), f.get());
}

// SaveSpctF file, rows: the first rows rows, raw. G_ERROR 1 (the reason in
// G_ERR_TXT) when the file cannot be written.
void SaveSpctF(Call& call) {
  const std::string path = TextArg(call, 0);
  const std::int32_t rows = std::clamp(call.Int(1), 0, audio::SPECTRUM_ROWS);
  auto table = Sys(call).stores.SpectrumTable();
  const std::string_view bytes(reinterpret_cast<const char*>(table.data()),
                               static_cast<std::size_t>(rows) * audio::SPECTRUM_COLUMNS);
  ReportSystemResult(call, files::ReplaceFile(path, bytes));
}

constexpr Registration kAudioApis[] = {
    {Id("GetWElem"), GetWElem},       {Id("SetWElem"), SetWElem},
    {Id("AddWElem"), AddWElem},       {Id("GetWaveLevel"), GetWaveLevel},
    {Id("MkWvSlope"), MkWvSlope},     {Id("PrjctWave"), PrjctWave},
    {Id("StretchWave"), StretchWave}, {Id("GetRealWE"), GetRealWE},
    {Id("SetRealWE"), SetRealWE},     {Id("ClearRWv"), ClearRWv},
    {Id("AddBkToReal"), AddBkToReal}, {Id("MixBkToReal"), MixBkToReal},
    {Id("WvR2S"), WvR2S},             {Id("MkWvPls"), MkWvPls},
    {Id("MkSinWv"), MkSinWv},         {Id("WaveBkUp"), WaveBkUp},
    {Id("CopyWvBk"), CopyWvBk},       {Id("WvDiff"), WvDiff},
    {Id("HPFltrRC"), HPFltrRC},       {Id("GetWSpct"), GetWSpct},
    {Id("SetWSpct"), SetWSpct},       {Id("ClearWSpc"), ClearWSpc},
    {Id("GetWSpctAtWv"), GetWSpctAtWv}, {Id("LoadSpctF"), LoadSpctF},
    {Id("SaveSpctF"), SaveSpctF},
};

}  // namespace

void RegisterAudioApis(Registry& registry) { registry.AddAll(kAudioApis); }

}  // namespace vx::api
