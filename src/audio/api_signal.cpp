// The sound family, signal processing: spectra and spectrograms (FFT),
// tones, biquad filters with cut-offs in hertz, pitch and speed changes,
// modulation effects, level analysis, drawing into VRAM, and PlaySound.
//
// Rates come from G_WAVE_RATE (22,050 Hz while it is 0 or less). Spectrum
// rows are frames of 6,000 samples, so column c is the frequency
// c * rate / 6000; a cell holds the level from -90 dBFS (0) to 0 dBFS (255).
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <numbers>
#include <span>
#include <thread>
#include <vector>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "audio/api_common.hpp"
#include "audio/audio_system.hpp"
#include "audio/signal.hpp"
#include "audio/wav_file.hpp"
#include "engine/runtime.hpp"
#include "graphics/canvas.hpp"
#include "graphics/vram.hpp"
#include "platform/files.hpp"
#include "platform/thread_pool.hpp"

namespace vx::api {
namespace {

using namespace audio_api;

using audio::ClampSample;
using audio::WAVE_SAMPLES;

constexpr double kDefaultQ = std::numbers::sqrt2 / 2;
constexpr double kSemitonesMax = 48.0;  // FreqUp: four octaves either way
constexpr std::size_t kPlaySoundSamplesMax = 16u * 1024 * 1024;

audio::AudioSystem& Sys(Call& call) { return audio::System(call.rt()); }

double Rate(Call& call) { return audio::UsableRate(call.rt()); }

// A bank range [from, to) clamped to the store; false when the bank is
// invalid or the range empty.
bool Range(std::int32_t bank, std::int32_t from, std::int32_t* to) {
  *to = std::min(*to, WAVE_SAMPLES);
  return audio::ValidBank(bank) && from >= 0 && from < *to;
}

std::span<std::int16_t> Slice(Call& call, std::int32_t bank, std::int32_t from, std::int32_t to) {
  return Sys(call).stores.Bank(bank).subspan(static_cast<std::size_t>(from),
                                             static_cast<std::size_t>(to - from));
}

bool ValidBankOrRefuse(Call& call, std::int32_t bank) {
  if (audio::ValidBank(bank)) return true;
  Refuse(call, "no such bank: " + std::to_string(bank));
  return false;
}

// False, with G_ERROR 1 and the reason in G_ERR_TXT, when spectra cannot
// be taken on this machine.
bool SpectraAvailable(Call& call) {
  const std::string& why = audio::SpectrumError();
  if (why.empty()) return true;
  Refuse(call, why);
  return false;
}

// One spectrum row from the frame at `from` (samples past the store are 0).
// Safe on several threads at once for different rows: the buffers and the
// FFT plans are each thread's own.
void SpectrumCells(std::span<const std::int16_t> wave, std::span<std::uint8_t> cells, std::int32_t from,
                   double gain) {
  static thread_local std::vector<std::int16_t> frame(audio::SPECTRUM_FRAME);
  static thread_local std::vector<double> mags(audio::SPECTRUM_FRAME / 2);
  for (std::int32_t i = 0; i < audio::SPECTRUM_FRAME; ++i) {
    const std::int64_t k = std::int64_t{from} + i;
    frame[static_cast<std::size_t>(i)] = k >= 0 && k < WAVE_SAMPLES ? wave[static_cast<std::size_t>(k)] : 0;
  }
  audio::Magnitudes(frame, mags);
  for (std::size_t c = 0; c < cells.size(); ++c) cells[c] = audio::LevelByte(mags[c] * gain);
}

void SpectrumRowFrom(Call& call, std::int32_t row, std::int32_t bank, std::int32_t from,
                     double gain) {
  SpectrumCells(Sys(call).stores.Bank(bank), Sys(call).stores.SpectrumRow(row), from, gain);
}

// MkWaveSPC bank, from, step, [rows = 170], [gain = 1.0]: a spectrogram of
// the bank into the table, row r from the frame at from + r * step.
// G_WORK1 = rows made.
void MkWaveSPC(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  const std::int32_t step = call.Int(2);
  const std::int32_t rows = std::clamp(call.OptInt(3, audio::SPECTRUM_ROWS), 0, audio::SPECTRUM_ROWS);
  const double gain = call.OptDouble(4, 1.0);
  if (!ValidBankOrRefuse(call, bank) || !SpectraAvailable(call)) return;
  // Rows are independent FFTs: spread over the thread pool.
  const std::span<const std::int16_t> wave = Sys(call).stores.Bank(bank);
  std::vector<std::span<std::uint8_t>> cells;
  for (std::int32_t r = 0; r < rows; ++r) cells.push_back(Sys(call).stores.SpectrumRow(r));
  platform::ForBands(0, rows, std::int64_t{audio::SPECTRUM_FRAME} * 40, [&](int first, int last) {
    for (int r = first; r < last; ++r) {
      // A frame wholly before or after the store is all zeros wherever it starts.
      const std::int64_t start = std::int64_t{from} + std::int64_t{r} * step;
      SpectrumCells(wave, cells[static_cast<std::size_t>(r)],
                    static_cast<std::int32_t>(std::clamp<std::int64_t>(start, -audio::SPECTRUM_FRAME, WAVE_SAMPLES)),
                    gain);
    }
  });
  call.SetWork(1, rows);
  Succeed(call);
}

// WaveMagToSpc row, bank, from, [gain = 1.0]: one row from the frame at from.
void WaveMagToSpc(Call& call) {
  const std::int32_t row = call.Int(0);
  const std::int32_t bank = call.Int(1);
  const std::int32_t from = call.Int(2);
  const double gain = call.OptDouble(3, 1.0);
  if (!ValidBankOrRefuse(call, bank) || !SpectraAvailable(call)) return;
  SpectrumRowFrom(call, row, bank, from, gain);
  Succeed(call);
}

// ChgWSpc rowFrom, rowTo, factor, [offset = 0]: cells = cell * factor + offset
// over rows [rowFrom, rowTo], clamped to 0-255.
void ChgWSpc(Call& call) {
  const std::int32_t first = std::clamp(call.Int(0), 0, audio::SPECTRUM_ROWS - 1);
  const std::int32_t last = std::clamp(call.Int(1), 0, audio::SPECTRUM_ROWS - 1);
  const double factor = call.Double(2);
  const double offset = call.OptDouble(3, 0.0);
  for (std::int32_t r = first; r <= last; ++r) {
    for (std::uint8_t& cell : Sys(call).stores.SpectrumRow(r)) {
      cell = static_cast<std::uint8_t>(std::clamp(std::trunc(cell * factor + offset), 0.0, 255.0));
    }
  }
}

// SpectAnalyze bank, from, length, R frequency, [R level]: the strongest
// frequency (Hz) of the range and its level (dBFS), both taken where the
// component lies between bins; G_WORK1 = the nearest bin.
void SpectAnalyze(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  const std::int32_t length = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  const std::int32_t level_out = call.OptResource(4);
  std::int32_t to = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{from} + std::max(length, 0), WAVE_SAMPLES));
  if (!Range(bank, from, &to) || to - from < 4) {
    call.WriteDouble(out, 0.0);
    Refuse(call, "fewer than 4 samples to analyse");
    return;
  }
  if (!SpectraAvailable(call)) {
    call.WriteDouble(out, 0.0);
    return;
  }
  audio::SpectralPeak peak;
  audio::StrongestComponent(Slice(call, bank, from, to), &peak);
  call.WriteDouble(out, peak.bin * Rate(call) / (to - from));
  if (level_out >= 0) call.WriteDouble(level_out, audio::LevelDb(peak.amplitude));
  call.SetWork(1, static_cast<std::int32_t>(std::lround(peak.bin)));
  Succeed(call);
}

// Rising zero crossings of the range: count, first and last index.
struct Crossings {
  std::int32_t count = 0;
  std::int32_t first = 0;
  std::int32_t last = 0;
};
Crossings RisingCrossings(std::span<const std::int16_t> s) {
  Crossings c;
  for (std::size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      if (c.count == 0) c.first = static_cast<std::int32_t>(i);
      c.last = static_cast<std::int32_t>(i);
      ++c.count;
    }
  }
  return c;
}

double CrossingFrequency(const Crossings& c, double rate) {
  return c.count >= 2 ? (c.count - 1) * rate / (c.last - c.first) : 0.0;
}

// FrqChk bank, from, to, R frequency: the fundamental (Hz) from the rising
// zero crossings; G_WORK1 = the crossings counted.
void FrqChk(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  if (!Range(bank, from, &to)) {
    call.WriteDouble(out, 0.0);
    return;
  }
  const Crossings c = RisingCrossings(Slice(call, bank, from, to));
  call.WriteDouble(out, CrossingFrequency(c, Rate(call)));
  call.SetWork(1, c.count);
}

// AnlzWave bank, from, to: G_WORK1 peak |s|, G_WORK2 RMS, G_WORK3 mean;
// G_DBLWK1 RMS in dBFS, G_DBLWK2 strongest frequency (Hz), G_DBLWK3
// zero-crossing frequency (Hz).
void AnlzWave(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  if (!Range(bank, from, &to)) {
    Refuse(call, "an empty range");
    return;
  }
  auto s = Slice(call, bank, from, to);
  std::int32_t peak = 0;
  double sum = 0, squares = 0;
  for (std::int16_t v : s) {
    peak = std::max(peak, std::abs(static_cast<std::int32_t>(v)));
    sum += v;
    squares += static_cast<double>(v) * v;
  }
  const double rms = std::sqrt(squares / static_cast<double>(s.size()));
  call.SetWork(1, peak);
  call.SetWork(2, static_cast<std::int32_t>(rms));
  call.SetWork(3, static_cast<std::int32_t>(sum / static_cast<double>(s.size())));
  call.SetDblWork(1, audio::LevelDb(rms / 32768.0));
  audio::SpectralPeak strongest;
  const bool complete = audio::StrongestComponent(s, &strongest) || s.size() < 4;
  call.SetDblWork(2, strongest.bin * Rate(call) / static_cast<double>(s.size()));
  call.SetDblWork(3, CrossingFrequency(RisingCrossings(s), Rate(call)));
  // Without spectra the other figures still stand; G_ERROR says one is missing.
  if (!complete) {
    SpectraAvailable(call);
    return;
  }
  Succeed(call);
}

// MkTone bank, from, to, frequency, amplitude, [phase degrees = 0]: a sine
// of the frequency (Hz) at the rate; G_WORK1 = samples written.
void MkTone(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const double frequency = call.Double(3);
  const double amplitude = call.Double(4);
  const double phase = call.OptDouble(5, 0.0) * std::numbers::pi / 180.0;
  if (!Range(bank, from, &to)) return;
  auto s = Slice(call, bank, from, to);
  const double w = 2.0 * std::numbers::pi * frequency / Rate(call);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = ClampSample(amplitude * std::sin(w * static_cast<double>(i) + phase));
  call.SetWork(1, static_cast<std::int32_t>(s.size()));
}

// LPFltr / HPFltr bank, from, to, cutoff Hz, [q = 0.7071]: 12 dB/octave
// filters. G_ERROR = 1 when the cut-off is not between 0 and half the rate.
void Filter(Call& call, audio::BiquadKind kind) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const double cutoff = call.Double(3);
  const double q = call.OptDouble(4, kDefaultQ);
  const double rate = Rate(call);
  if (!Range(bank, from, &to) || !(cutoff > 0 && cutoff < rate / 2) || !(q > 0)) {
    call.SetError(1);
    return;
  }
  audio::Biquad(Slice(call, bank, from, to), kind, cutoff, rate, q);
  call.SetError(0);
}
void LPFltr(Call& call) { Filter(call, audio::BiquadKind::kLowPass); }
void HPFltr(Call& call) { Filter(call, audio::BiquadKind::kHighPass); }

// PasteWv srcBank, from, to, dstBank, dest, [gain = 1.0]: mixes the source
// range into the destination, clamped.
void PasteWv(Call& call) {
  const std::int32_t src_bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const std::int32_t dst_bank = call.Int(3);
  const std::int32_t dest = call.Int(4);
  const double gain = call.OptDouble(5, 1.0);
  if (!Range(src_bank, from, &to) || !audio::ValidBank(dst_bank) || dest < 0) return;
  const std::vector<std::int16_t> src(Slice(call, src_bank, from, to).begin(),
                                      Slice(call, src_bank, from, to).end());
  auto dst = Sys(call).stores.Bank(dst_bank);
  for (std::size_t k = 0; k < src.size() && dest + k < dst.size(); ++k) {
    dst[dest + k] = ClampSample(dst[dest + k] + src[k] * gain);
  }
}

// FreqChg bank, from, to, ratio, [dstBank = bank], [dest = from]: plays the
// range `ratio` times faster (2 = an octave up and half as long) into the
// destination; G_WORK1 = the samples written.
void FreqChg(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const double ratio = call.Double(3);
  const std::int32_t dst_bank = call.OptInt(4, bank);
  const std::int32_t dest = call.OptInt(5, from);
  if (!Range(bank, from, &to) || !audio::ValidBank(dst_bank) || dest < 0 || !(ratio > 0)) {
    call.SetWork(1, 0);
    return;
  }
  const std::vector<std::int16_t> src(Slice(call, bank, from, to).begin(), Slice(call, bank, from, to).end());
  auto dst = Sys(call).stores.Bank(dst_bank);
  const double wanted = std::floor(static_cast<double>(src.size()) / ratio);
  const auto length = static_cast<std::int32_t>(std::min(wanted, static_cast<double>(WAVE_SAMPLES - std::min(dest, WAVE_SAMPLES))));
  for (std::int32_t k = 0; k < length; ++k) {
    dst[static_cast<std::size_t>(dest + k)] = ClampSample(audio::Interpolate(src, k * ratio));
  }
  call.SetWork(1, length);
}

// FreqUp bank, from, to, semitones: shifts the pitch, keeping the length
// (a band-limited resampling and a time stretch that keeps the pitch).
// Semitones beyond +-48 count as +-48; a value that is not a number does
// nothing.
void FreqUp(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const double semitones = call.Double(3);
  if (!Range(bank, from, &to) || std::isnan(semitones)) return;
  const double ratio = std::pow(2.0, std::clamp(semitones, -kSemitonesMax, kSemitonesMax) / 12.0);
  audio::ShiftPitch(Slice(call, bank, from, to), ratio, Rate(call));
}

// WaveWowwow bank, from, to, speed Hz, depth ms: wow (vibrato) through a
// delay swept by a sine of the speed.
void WaveWowwow(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const double speed = call.Double(3);
  const double depth_ms = std::max(call.Double(4), 0.0);
  if (!Range(bank, from, &to)) return;
  const std::vector<std::int16_t> src(Slice(call, bank, from, to).begin(), Slice(call, bank, from, to).end());
  auto out = Slice(call, bank, from, to);
  const double rate = Rate(call);
  const double depth = depth_ms * rate / 1000.0;
  for (std::size_t i = 0; i < src.size(); ++i) {
    const double delay = depth * (1.0 - std::cos(2.0 * std::numbers::pi * speed * static_cast<double>(i) / rate)) / 2.0;
    out[i] = ClampSample(audio::Interpolate(src, std::max(static_cast<double>(i) - delay, 0.0)));
  }
}

// WaveToMask srcBank, from, to, dstBank, threshold, [release ms = 10]: a
// gate mask: 32767 where the envelope (instant attack, exponential release)
// exceeds the threshold, else 0. G_WORK1 = samples above.
void WaveToMask(Call& call) {
  const std::int32_t src_bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const std::int32_t dst_bank = call.Int(3);
  const double threshold = call.Int(4);
  const double release_ms = std::max(call.OptDouble(5, 10.0), 0.001);
  if (!Range(src_bank, from, &to) || !audio::ValidBank(dst_bank)) return;
  auto src = Slice(call, src_bank, from, to);
  auto dst = Slice(call, dst_bank, from, to);
  const double fall = std::exp(-1000.0 / (release_ms * Rate(call)));
  double envelope = 0.0;
  std::int32_t above = 0;
  for (std::size_t i = 0; i < src.size(); ++i) {
    envelope = std::max(std::abs(static_cast<double>(src[i])), envelope * fall);
    const bool loud = envelope > threshold;
    dst[i] = loud ? audio::SAMPLE_MAX : 0;
    above += loud ? 1 : 0;
  }
  call.SetWork(1, above);
}

// --- drawing -------------------------------------------------------------------

graphics::Paint PaintOf(Call& call, std::int32_t colour) {
  graphics::Paint p;
  p.color = colour < 0 ? call.rt().vram.DrawColor() : graphics::FromPacked(static_cast<std::uint32_t>(colour));
  return p;
}

// WvDraw bank, from, to, x, y, width, height, [colour = the drawing
// colour, 0xRRGGBB]: the samples as a waveform in the box, full scale
// filling its height; each pixel column spans the extremes of its samples.
void WvDraw(Call& call) {
  const std::int32_t bank = call.Int(0);
  const std::int32_t from = call.Int(1);
  std::int32_t to = call.Int(2);
  const std::int32_t x = call.Int(3);
  const std::int32_t y = call.Int(4);
  const std::int32_t width = call.Int(5);
  const std::int32_t height = call.Int(6);
  const std::int32_t colour = call.OptInt(7, -1);
  if (!Range(bank, from, &to) || width < 1 || height < 1) return;
  graphics::Canvas canvas = graphics::Canvas::Current(call.rt().vram);
  if (!canvas.Valid()) return;
  const graphics::Paint paint = PaintOf(call, colour);
  auto s = Slice(call, bank, from, to);
  const double per_column = static_cast<double>(s.size()) / width;
  const double mid = y + (height - 1) / 2.0;
  const double scale = (height - 1) / 65536.0;
  std::int32_t previous_low = 0, previous_high = 0;
  for (std::int32_t c = 0; c < width; ++c) {
    const auto first = static_cast<std::size_t>(c * per_column);
    const auto last = std::max(first + 1, static_cast<std::size_t>((c + 1) * per_column));
    if (first >= s.size()) break;
    const auto [lo, hi] = std::minmax_element(s.begin() + static_cast<std::ptrdiff_t>(first),
                                              s.begin() + static_cast<std::ptrdiff_t>(std::min(last, s.size())));
    std::int32_t top = static_cast<std::int32_t>(std::lround(mid - *hi * scale));
    std::int32_t bottom = static_cast<std::int32_t>(std::lround(mid - *lo * scale));
    if (c > 0) {  // joins the columns so that steep edges stay connected
      top = std::min(top, previous_high);
      bottom = std::max(bottom, previous_low);
    }
    previous_high = static_cast<std::int32_t>(std::lround(mid - *hi * scale));
    previous_low = static_cast<std::int32_t>(std::lround(mid - *lo * scale));
    for (std::int32_t py = top; py <= bottom; ++py) canvas.Plot(x + c, py, paint);
  }
  call.rt().vram.MarkDirty(x, y, width, height);
}

graphics::Color HeatColour(std::uint8_t v) {
  // black -> blue -> red -> yellow -> white
  const int t = v;
  if (t < 64) return {static_cast<std::uint8_t>(t * 4), 0, 0};
  if (t < 128) return {static_cast<std::uint8_t>(255 - (t - 64) * 4), 0, static_cast<std::uint8_t>((t - 64) * 4)};
  if (t < 192) return {0, static_cast<std::uint8_t>((t - 128) * 4), 255};
  return {static_cast<std::uint8_t>((t - 192) * 4), 255, 255};
}

// SpctDraw rowFrom, rowTo, colFrom, colTo, x, y, width, height: the table
// as a heat map, rows (time) left to right, columns (frequency) bottom to
// top, levels black, blue, red, yellow, white.
void SpctDraw(Call& call) {
  const std::int32_t row_from = std::clamp(call.Int(0), 0, audio::SPECTRUM_ROWS - 1);
  const std::int32_t row_to = std::clamp(call.Int(1), 0, audio::SPECTRUM_ROWS - 1);
  const std::int32_t col_from = std::clamp(call.Int(2), 0, audio::SPECTRUM_COLUMNS - 1);
  const std::int32_t col_to = std::clamp(call.Int(3), 0, audio::SPECTRUM_COLUMNS - 1);
  const std::int32_t x = call.Int(4);
  const std::int32_t y = call.Int(5);
  const std::int32_t width = call.Int(6);
  const std::int32_t height = call.Int(7);
  if (row_to < row_from || col_to < col_from || width < 1 || height < 1) return;
  graphics::Canvas canvas = graphics::Canvas::Current(call.rt().vram);
  if (!canvas.Valid()) return;
  const auto& stores = Sys(call).stores;
  const double rows = row_to - row_from + 1;
  const double cols = col_to - col_from + 1;
  for (std::int32_t px = 0; px < width; ++px) {
    const auto row = row_from + static_cast<std::int32_t>(px * rows / width);
    for (std::int32_t py = 0; py < height; ++py) {
      const auto col = col_from + static_cast<std::int32_t>((height - 1 - py) * cols / height);
      graphics::Paint paint;
      paint.color = HeatColour(stores.Spectrum(row, col));
      canvas.Plot(x + px, y + py, paint);
    }
  }
  call.rt().vram.MarkDirty(x, y, width, height);
}

// --- PlaySound -------------------------------------------------------------------

// PlaySound file, [flags = 0]: plays a WAV file on the output device on its
// own, leaving the banks alone; flags 1 waits until it has been played. An
// empty name stops the sound. G_ERROR = 1, with the reason in G_ERR_TXT,
// when the file cannot be played.
std::string ReadSound(std::string_view path, audio::DeviceFormat* format, std::vector<std::int16_t>* out) {
  files::FilePtr f = files::Open(path, "rb");
  if (!f) return files::ErrorText(errno);
  audio::FileSource source(f.get());
  const audio::WaveWalk walk = audio::WalkWave(source);
  std::string why = audio::RefusalOf(walk);
  if (!why.empty()) return why;
  const auto first = std::find_if(walk.data.begin(), walk.data.end(),
                                  [](const audio::DataChunk& d) { return d.has_format; });
  const audio::DataChunk& d = *first;
  if (d.rate == 0) return "the file gives no sample rate";
  // Mono plays as it is; of more channels the first two play as stereo.
  const std::uint32_t channels = std::min<std::uint32_t>(d.channels, 2);
  const std::size_t frames = std::min<std::size_t>(d.size / d.FrameBytes(), kPlaySoundSamplesMax / channels);
  std::vector<std::int16_t> left(frames), right(channels == 2 ? frames : 0);
  if (!source.Seek(d.offset)) return "the file cannot be read";
  const std::size_t got = audio::ReadDecoded(source, d, frames, 0, left, 1, right);
  out->resize(got * channels);
  for (std::size_t i = 0; i < got; ++i) {
    if (channels == 2) {
      (*out)[2 * i] = left[i];
      (*out)[2 * i + 1] = right[i];
    } else {
      (*out)[i] = left[i];
    }
  }
  format->Set(d.rate, channels == 2);
  return {};
}

void PlaySound(Call& call) {
  const std::string path = TextArg(call, 0);
  const std::int32_t flags = call.OptInt(1, 0);
  audio::AudioSystem& a = Sys(call);
  a.sound.reset();
  if (path.empty()) {
    Succeed(call);
    return;
  }
  audio::DeviceFormat format;
  const std::string why = ReadSound(path, &format, &a.sound_samples);
  if (!why.empty()) {
    Refuse(call, why);
    return;
  }
  if (!a.backend) a.backend = audio::MakeBackendFromEnvironment();
  std::unique_ptr<audio::Endpoint> endpoint = a.backend->OpenOutput(format);
  if (!endpoint) {
    Refuse(call, "the output device cannot be opened");
    return;
  }
  auto finished = std::make_shared<std::atomic<bool>>(false);
  a.sound = std::make_unique<audio::Stream>(std::move(endpoint), [finished](int, std::int32_t) {
    finished->store(true);
  });
  a.sound->Queue(0, a.sound_samples);
  if (flags & 1) {
    while (!finished->load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    a.sound.reset();
  }
  Succeed(call);
}

constexpr Registration kAudioSignalApis[] = {
    {Id("MkWaveSPC"), MkWaveSPC},   {Id("WaveMagToSpc"), WaveMagToSpc},
    {Id("ChgWSpc"), ChgWSpc},       {Id("SpectAnalyze"), SpectAnalyze},
    {Id("FrqChk"), FrqChk},         {Id("AnlzWave"), AnlzWave},
    {Id("MkTone"), MkTone},         {Id("LPFltr"), LPFltr},
    {Id("HPFltr"), HPFltr},         {Id("PasteWv"), PasteWv},
    {Id("FreqChg"), FreqChg},       {Id("FreqUp"), FreqUp},
    {Id("WaveWowwow"), WaveWowwow}, {Id("WaveToMask"), WaveToMask},
    {Id("WvDraw"), WvDraw},         {Id("SpctDraw"), SpctDraw},
    {Id("PlaySound"), PlaySound},
};

}  // namespace

void RegisterAudioSignalApis(Registry& registry) { registry.AddAll(kAudioSignalApis); }

}  // namespace vx::api
