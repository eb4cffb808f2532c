// The player's tick with a full sequence (12,288 events): the time the main
// window's 30 ms tick spends on music, which must stay well under 1 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "music/midi_output.hpp"
#include "music/music.hpp"

namespace vx::music {
namespace {

// Counts messages the way a cheap real back end would take them.
class CountingOutput final : public MidiOutput {
 public:
  explicit CountingOutput(std::size_t* count) : count_(count) {}
  void Send(std::uint32_t, std::uint8_t status, std::uint8_t, std::uint8_t) override {
    *count_ += status;
  }
  void SetVolume(std::uint32_t, std::uint16_t, std::uint16_t) override {}

 private:
  std::size_t* count_;
};

std::vector<SeqEvent> FullSequence(int ticks_spanned) {
  std::vector<SeqEvent> events;
  for (std::size_t i = 0; i < kSequenceCapacity; ++i) {
    const auto time = static_cast<std::uint16_t>(i * ticks_spanned / kSequenceCapacity);
    events.push_back({time, static_cast<std::uint8_t>(i % 2 ? 0x80 : 0x90), 60, 100});
  }
  return events;
}

// A sequence spread over its ticks, looping: the average tick.
void BM_PlayerTickSpread(benchmark::State& state) {
  std::size_t count = 0;
  Music music;
  music.UseOutput(std::make_unique<CountingOutput>(&count));
  music.AssignSequence(FullSequence(static_cast<int>(state.range(0))));
  music.Start(true);
  for (auto _ : state) music.Tick();
  benchmark::DoNotOptimize(count);
}
BENCHMARK(BM_PlayerTickSpread)->Arg(2000)->Arg(60000);

// Every event due at the same tick: the worst single tick.
void BM_PlayerTickAllAtOnce(benchmark::State& state) {
  std::size_t count = 0;
  Music music;
  music.UseOutput(std::make_unique<CountingOutput>(&count));
  music.AssignSequence(FullSequence(1));
  for (auto _ : state) {
    music.Start(false);
    music.Tick();
  }
  benchmark::DoNotOptimize(count);
}
BENCHMARK(BM_PlayerTickAllAtOnce)->Unit(benchmark::kMicrosecond);

// Building the full sequence from a full score.
void BM_BuildSequence(benchmark::State& state) {
  Music music;
  for (std::size_t i = 0; i < kScoreCapacity; ++i) {
    music.score().Add(MakeRecord(static_cast<std::int64_t>((i * 7919) % 60000), 10,
                                 static_cast<std::int64_t>(i % 16), 60, 100));
  }
  for (auto _ : state) music.BuildSequence({0xFFFFFFFFu, 0, 65536, 1.0});
  benchmark::DoNotOptimize(music.SequenceSize());
}
BENCHMARK(BM_BuildSequence)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vx::music
