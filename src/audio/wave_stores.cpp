#include "audio/wave_stores.hpp"

#include <algorithm>
#include <cmath>
#include <new>

namespace vx::audio {

std::int16_t ClampSample(double value) {
  // The comparisons on the value itself decide as they would on its
  // truncation, and the conversion truncates without a call into libm.
  if (value >= SAMPLE_MAX) return SAMPLE_MAX;
  if (value <= SAMPLE_MIN) return SAMPLE_MIN;
  if (!(value == value)) return 0;  // NaN
  return static_cast<std::int16_t>(static_cast<std::int32_t>(value));
}

std::int16_t ClampSample(std::int64_t value) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, SAMPLE_MIN, SAMPLE_MAX));
}

WaveStores::WaveStores()
    : samples_(static_cast<std::size_t>(WAVE_SAMPLES) * (BANK_COUNT + 1)),
      real_(WAVE_SAMPLES),
      spectrum_(static_cast<std::size_t>(SPECTRUM_ROWS) * SPECTRUM_COLUMNS) {}

std::span<std::int16_t> WaveStores::Bank(std::int32_t bank) {
  const std::size_t slot = bank < 0 ? 0 : static_cast<std::size_t>(bank) + 1;
  return std::span<std::int16_t>(samples_).subspan(slot * WAVE_SAMPLES, WAVE_SAMPLES);
}

namespace {
std::size_t Cell(std::int32_t row, std::int32_t column) {
  row = std::clamp(row, 0, SPECTRUM_ROWS - 1);
  column = std::clamp(column, 0, SPECTRUM_COLUMNS - 1);
  return static_cast<std::size_t>(row) * SPECTRUM_COLUMNS + static_cast<std::size_t>(column);
}
}  // namespace

std::uint8_t WaveStores::Spectrum(std::int32_t row, std::int32_t column) const {
  return spectrum_[Cell(row, column)];
}

void WaveStores::SetSpectrum(std::int32_t row, std::int32_t column, std::uint8_t value) {
  spectrum_[Cell(row, column)] = value;
}

std::span<std::uint8_t> WaveStores::SpectrumRow(std::int32_t row) {
  return std::span<std::uint8_t>(spectrum_).subspan(Cell(row, 0), SPECTRUM_COLUMNS);
}

bool BufferPair::Allocate(std::int32_t samples) {
  Free();
  if (samples < 1) return false;
  try {
    left.assign(static_cast<std::size_t>(samples), 0);
    right.assign(static_cast<std::size_t>(samples), 0);
  } catch (const std::bad_alloc&) {
    Free();
    return false;
  }
  return true;
}

void BufferPair::Free() {
  std::vector<std::int16_t>().swap(left);
  std::vector<std::int16_t>().swap(right);
  filled = 0;
}

}  // namespace vx::audio
