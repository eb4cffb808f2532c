// A full board of 49,999 records: loading its record text, and writing its
// Gerber file (one layer), its drill file and its record text back.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "pcb/gerber.hpp"
#include "pcb/pattern.hpp"

namespace vx::pcb {
namespace {

// Tracks, pads of every kind and holes over a 300 x 200 mm board, with the
// record text's own number formats.
const std::string& BoardText() {
  static const std::string text = [] {
    PcbState state;
    EnsureAllocated(state);
    std::string out;
    for (int i = 0; i < PATTERN_RECORDS_MAX; ++i) {
      Record r;
      r.present = true;
      const int kinds[] = {1, 1, 1, 2, 3, 4, 5, 11, 12};
      r.kind = kinds[i % 9];
      r.x = (i % 300) * 1.001;
      r.y = (i / 300) * 1.203;
      r.width = 0.2 + (i % 7) * 0.1;
      r.dx = r.kind == 1 ? 2.54 : 1.2 + (i % 3) * 0.3;
      r.dy = r.kind == 1 ? -1.27 : 0.8;
      r.pin = i % 40;
      r.part.Assign("U" + std::to_string(i % 500));
      r.net.Assign("N" + std::to_string(i % 900));
      r.layer = IsHole(r.kind) ? LAYER_HOLES : (i % 2 ? LAYER_TOP_COPPER : LAYER_BOTTOM_COPPER);
      AppendGbText(state, r, out);
      out += "\r\n";
    }
    return out;
  }();
  return text;
}

void BM_LoadBoardFile(benchmark::State& s) {
  std::FILE* f = std::tmpfile();
  const std::string& text = BoardText();
  std::fwrite(text.data(), 1, text.size(), f);
  PcbState state;
  for (auto _ : s) {
    std::rewind(f);
    const LoadResult r = LoadPatterns(state, 0, f);
    if (r.read != PATTERN_RECORDS_MAX) s.SkipWithError("short load");
  }
  std::fclose(f);
  s.SetBytesProcessed(static_cast<std::int64_t>(s.iterations() * text.size()));
}
BENCHMARK(BM_LoadBoardFile)->Unit(benchmark::kMillisecond);

PcbState& LoadedBoard() {
  static PcbState state;
  if (state.count == 0) LoadPatternText(state, 0, BoardText());
  return state;
}

void BM_WriteGerber(benchmark::State& s) {
  const PcbState& state = LoadedBoard();
  const IndexRange all = IndexRange::Clamp(state, 0, state.count);
  std::size_t bytes = 0;
  for (auto _ : s) {
    const ApertureList apertures = BuildApertures(state, all, LAYER_TOP_COPPER);
    const std::string gerber = GerberText(state, all, LAYER_TOP_COPPER, apertures, Units::FromMode(0));
    bytes = gerber.size();
    benchmark::DoNotOptimize(gerber.data());
  }
  s.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteGerber)->Unit(benchmark::kMillisecond);

void BM_WriteDrill(benchmark::State& s) {
  const PcbState& state = LoadedBoard();
  const IndexRange all = IndexRange::Clamp(state, 0, state.count);
  for (auto _ : s) {
    const ToolList tools = BuildTools(state, all);
    const std::string drill = DrillText(state, all, tools, Units::FromMode(1), false);
    benchmark::DoNotOptimize(drill.data());
  }
}
BENCHMARK(BM_WriteDrill)->Unit(benchmark::kMillisecond);

void BM_WriteRecordText(benchmark::State& s) {
  const PcbState& state = LoadedBoard();
  for (auto _ : s) {
    std::string out;
    for (int i = 0; i < state.count; ++i) {
      AppendGbText(state, state.records[i], out);
      out += "\r\n";
    }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_WriteRecordText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx::pcb
