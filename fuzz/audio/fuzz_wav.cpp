// Arbitrary bytes as a WAV file: the loader into a bank (start and skip
// from the first 8 bytes), the buffer-pair loader and the header dump
// (capacity from the same bytes), through every coding the readers decode
// (8- to 32-bit PCM, floats, A-law, mu-law, extensible) and streamed data
// sizes. Nothing may be read or written outside the data, the bank or the
// pair, the results must stay in range, and a refused file must load
// nothing and say why.
#include <cstddef>
#include <cstdint>
#include <algorithm>
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
  if (!r.error.empty() && r.count != 0) std::abort();
  if (r.malformed && r.error.empty()) std::abort();

  // The walk and the decoder on their own: every data chunk it reports lies
  // within the bytes (or runs to their end), and decoding it stays inside.
  MemorySource walked(file);
  const WaveWalk walk = WalkWave(walked);
  for (const DataChunk& chunk : walk.data) {
    if (chunk.offset + chunk.size > file.size()) std::abort();
    if (!chunk.Readable() || !walked.Seek(chunk.offset)) continue;
    static std::int16_t left[64], right[64];
    const std::size_t frames = std::min<std::size_t>(chunk.size / chunk.FrameBytes(), 64);
    if (ReadDecoded(walked, chunk, frames, chunk.channels - 1u, left, 0, right) > frames) std::abort();
  }

  MemorySource again(file);
  LoadPair(again, pair);
  if (pair.filled < 0 || pair.filled > pair.Size()) std::abort();

  const std::size_t capacity = static_cast<std::size_t>(data[0]) * 4 + 1;
  MemorySource dump(file);
  if (DescribeWave(dump, capacity).size() >= capacity) std::abort();
  return 0;
}
