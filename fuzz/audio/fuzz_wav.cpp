// Arbitrary bytes as a WAV file: the loader into a bank (start and skip
// from the first 8 bytes), the buffer-pair loader and the header dump
// (capacity from the same bytes). Nothing may be read or written outside
// the data, the bank or the pair, and the results must stay in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "audio/wav_file.hpp"
#include "audio/wave_stores.hpp"

namespace {

std::int32_t Signed32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                   (static_cast<std::uint32_t>(p[2]) << 16) |
                                   (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx::audio;
  static WaveStores stores;
  static BufferPair pair;
  if (pair.Size() == 0) pair.Allocate(300);
  if (size < 8) return 0;
  // Starts near the end of the store are the interesting ones.
  const std::int32_t start = Signed32(data) % (WAVE_SAMPLES + 10);
  const std::int32_t skip = Signed32(data + 4) % 5000;
  const std::span<const std::uint8_t> file(data + 8, size - 8);

  MemorySource source(file);
  const LoadResult r = LoadWave(source, stores.Bank(3), start, skip);
  if (r.count < 0 || r.count > WAVE_SAMPLES) std::abort();
  if (r.count > 0 && static_cast<std::int64_t>(std::max(start, 0)) + r.count > WAVE_SAMPLES) std::abort();
  if (r.malformed && r.count != 0) std::abort();

  MemorySource again(file);
  LoadPair(again, pair);
  if (pair.filled < 0 || pair.filled > pair.Size()) std::abort();

  const std::size_t capacity = static_cast<std::size_t>(data[0]) * 4 + 1;
  MemorySource dump(file);
  if (DescribeWave(dump, capacity).size() >= capacity) std::abort();
  return 0;
}
