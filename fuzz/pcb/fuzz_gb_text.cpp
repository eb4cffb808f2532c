// The PCB record-text reader, and everything downstream of it that a loaded
// board reaches: record text written back, plotter output, drawing and the
// clearance check. The first byte picks the start index of the load.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "graphics/canvas.hpp"
#include "graphics/vram.hpp"
#include "pcb/draw.hpp"
#include "pcb/drc.hpp"
#include "pcb/gerber.hpp"
#include "pcb/pattern.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static vx::pcb::PcbState state;
  static vx::graphics::Vram vram;
  const int start = data[0] % 4 == 0 ? 0 : data[0] % 16;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const vx::pcb::LoadResult result = vx::pcb::LoadPatternText(state, start, text);
  if (state.count != start + result.read || state.count > vx::pcb::PATTERN_RECORDS_MAX)
    __builtin_trap();

  // Every record's text reads back as the same text (numbers whose text
  // fits the 32 characters of a value).
  auto small = [](double v) { return v > -1e15 && v < 1e15; };
  for (int i = 0; i < state.count; ++i) {
    if (!state.Holds(i)) continue;
    const vx::pcb::Record& r = state.records[i];
    const std::string line = vx::pcb::GbText(state, r);
    vx::pcb::Record again;
    if (!vx::pcb::ParseGbLine(state, line, again)) __builtin_trap();
    if (again.kind != r.kind || again.layer != r.layer || again.pin != r.pin ||
        again.extra != r.extra || again.part.View() != r.part.View() ||
        again.signal.View() != r.signal.View() || again.net.View() != r.net.View())
      __builtin_trap();
    if (small(r.x) && small(r.y) && small(r.width) && small(r.dx) && small(r.dy) &&
        vx::pcb::GbText(state, again) != line)
      __builtin_trap();
  }

  const vx::pcb::IndexRange all = vx::pcb::IndexRange::Clamp(state, 0, state.count);
  const vx::pcb::Units units = vx::pcb::Units::FromMode(data[0] & 1);
  for (int layer = -1; layer < vx::pcb::LAYER_COUNT; layer += 3) {
    const vx::pcb::ApertureList apertures = vx::pcb::BuildApertures(state, all, layer);
    const std::string gerber = vx::pcb::GerberText(state, all, layer, apertures, units);
    if (gerber.rfind("G75*\r\n", 0) != 0) __builtin_trap();
  }
  const vx::pcb::ToolList tools = vx::pcb::BuildTools(state, all);
  vx::pcb::DrillText(state, all, tools, units, (data[0] & 2) != 0);
  vx::pcb::ToolListText(tools, units);

  state.view.scale = 1 + data[0] % 50;
  vx::graphics::Canvas canvas = vx::graphics::Canvas::Current(vram);
  vx::pcb::DrawPatterns(canvas, state, all);
  std::size_t total = 0;
  if (state.count < 2000) vx::pcb::CheckClearance(state, vx::pcb::LAYER_TOP_COPPER, 0.2, 10, &total);
  return 0;
}
