// A full board of 49,999 records: loading its record text, writing its
// Gerber file (one layer), its drill file and its record text back, and
// drawing it; a populated board: its ground fill and its design-rule check
// with every rule.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "graphics/vram.hpp"
#include "pcb/draw.hpp"
#include "pcb/drc.hpp"
#include "pcb/fill.hpp"
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

// The whole board filled, at 3 pixels per millimetre (900 x 722 pixels).
void BM_DrawBoard(benchmark::State& s) {
  PcbState state = LoadedBoard();
  state.view.scale = 3;
  state.view.origin_x = 10;
  state.view.origin_y = 740;
  graphics::Vram vram;
  graphics::Canvas canvas = graphics::Canvas::Current(vram);
  const IndexRange all = IndexRange::Clamp(state, 0, state.count);
  for (auto _ : s) benchmark::DoNotOptimize(DrawPatterns(canvas, state, all));
}
BENCHMARK(BM_DrawBoard)->Unit(benchmark::kMillisecond);

// A 100 x 90 mm board: 32 parts of 16 pins on 2.54 mm pitch with plated
// holes, a track from every pin, mounting holes and a keep-out area.
PcbState PopulatedBoard() {
  PcbState state;
  std::string text;
  char line[300];
  auto add = [&](int kind, double w, double x, double y, double dx, double dy, const char* layer,
                 const std::string& net) {
    std::snprintf(line, sizeof line,
                  "GB_P:%d, GB_W:%.3f, GB_X:%.3f, GB_Y:%.3f, GB_XD:%.3f, GB_YD:%.3f, GB_NET:%s, GB_LAY:%s\n",
                  kind, w, x, y, dx, dy, net.c_str(), layer);
    text += line;
  };
  add(1, 0.2, 0, 0, 100, 0, "dim", "");
  add(1, 0.2, 100, 0, 0, 90, "dim", "");
  add(1, 0.2, 100, 90, -100, 0, "dim", "");
  add(1, 0.2, 0, 90, 0, -90, "dim", "");
  for (int part = 0; part < 32; ++part) {
    const double x0 = 6 + (part % 8) * 11.5, y0 = 5 + (part / 8) * 20;
    for (int pin = 0; pin < 16; ++pin) {
      const double x = x0 + (pin % 2) * 7.62, y = y0 + (pin / 2) * 2.54;
      const std::string net = "N" + std::to_string((part * 16 + pin) % 97);
      add(5, 1.1, x, y, 0, 0, "tPtn", net);
      add(11, 0.7, x, y, 0, 0, "holes", net);
      add(1, 0.25, x, y, pin % 2 ? 1.5 : -1.5, 0.4, "tPtn", net);
    }
  }
  for (const double x : {3.5, 96.5})
    for (const double y : {3.5, 86.5}) add(12, 3.2, x, y, 0, 0, "holes", "");
  add(2, 0, 50, 87, 20, 3, "tKOut", "");
  LoadPatternText(state, 0, text);
  return state;
}

void BM_MakeFill(benchmark::State& s) {
  const PcbState board = PopulatedBoard();
  int made = 0;
  for (auto _ : s) {
    PcbState state = board;
    SetFillParams(state.fill, 0.3, 0.3);
    made = MakeFill(state, IndexRange::Clamp(state, 0, state.count), LAYER_TOP_COPPER, "GND", false).made;
  }
  s.counters["lines"] = made;
}
BENCHMARK(BM_MakeFill)->Unit(benchmark::kMillisecond);

void BM_DesignRules(benchmark::State& s) {
  PcbState state = PopulatedBoard();
  SetFillParams(state.fill, 0.3, 0.3);
  MakeFill(state, IndexRange::Clamp(state, 0, state.count), LAYER_TOP_COPPER, "GND", false);
  DrcRules rules;
  rules.copper = rules.hole = rules.edge = rules.keepout = 0.3;
  std::size_t found = 0;
  for (auto _ : s) found = CheckRules(state, LAYER_TOP_COPPER, rules, 1000).total;
  s.counters["records"] = state.count;
  s.counters["violations"] = static_cast<double>(found);
}
BENCHMARK(BM_DesignRules)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx::pcb
