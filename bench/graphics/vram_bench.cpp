// Drawing speed: the bank-wide operations against a plain memset or memcpy
// of one bank (counter "ratio" = baseline time / operation time, so 1.0
// means memory speed), and lines, circles and text glyphs per second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/canvas.hpp"
#include "graphics/drawing.hpp"
#include "graphics/raster.hpp"
#include "graphics/text.hpp"
#include "graphics/vram.hpp"

namespace {

using vx::graphics::VRAM_BANK_BYTES;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Times `operation` and, in the same iteration, `baseline`; reports the
// operation's time and the ratio of the two totals.
template <class Op, class Base>
void Compare(benchmark::State& state, Op&& operation, Base&& baseline) {
  double op_total = 0;
  double base_total = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    baseline();
    auto t1 = Clock::now();
    operation();
    auto t2 = Clock::now();
    base_total += Seconds(t0, t1);
    op_total += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t1, t2));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(VRAM_BANK_BYTES));
  state.counters["ratio"] = op_total > 0 ? base_total / op_total : 0;
}

// Both banks touched once, so page faults are not measured.
struct Banks {
  Banks() : spare(VRAM_BANK_BYTES, 1) {
    for (int i = 0; i < 6; ++i) vx::graphics::FillBank(vram.Bank(i), vx::graphics::kBlack);
  }
  vx::graphics::Vram vram;
  std::vector<std::uint8_t> spare;
};

// A clear only records the colour; the bank's memory takes it when the
// bank is next written, which is the part measured here.
void ClearAndWrite(vx::graphics::Vram& vram, vx::graphics::Color c) {
  vx::graphics::ClearCurrent(vram, c);
  benchmark::DoNotOptimize(vram.Current());
  benchmark::ClobberMemory();
}

void BM_VRamClearWhite(benchmark::State& state) {
  Banks b;
  Compare(state, [&] { ClearAndWrite(b.vram, vx::graphics::kWhite); },
          [&] { std::memset(b.spare.data(), 0xFF, VRAM_BANK_BYTES); benchmark::ClobberMemory(); });
}
BENCHMARK(BM_VRamClearWhite)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_VRamClearColour(benchmark::State& state) {
  Banks b;
  Compare(state, [&] { ClearAndWrite(b.vram, vx::graphics::FromComponents(10, 200, 30)); },
          [&] { std::memset(b.spare.data(), 0x5A, VRAM_BANK_BYTES); benchmark::ClobberMemory(); });
}
BENCHMARK(BM_VRamClearColour)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_VRamBack(benchmark::State& state) {
  Banks b;
  Compare(state, [&] { vx::graphics::BackUpCurrent(b.vram, 0); },
          [&] { std::memcpy(b.spare.data(), b.vram.Bank(1), VRAM_BANK_BYTES); benchmark::ClobberMemory(); });
}
BENCHMARK(BM_VRamBack)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_VRamRestore(benchmark::State& state) {
  Banks b;
  Compare(state, [&] { vx::graphics::RestoreCurrent(b.vram, 0); },
          [&] { std::memcpy(b.spare.data(), b.vram.Bank(1), VRAM_BANK_BYTES); benchmark::ClobberMemory(); });
}
BENCHMARK(BM_VRamRestore)->UseManualTime()->Unit(benchmark::kMillisecond);

// SetVram and the repaint of the whole surface it asks for: the bank's rows
// copied top-down into the window's 24-bit image.
void BM_SetVramRepaint(benchmark::State& state) {
  Banks b;
  std::vector<std::uint8_t> screen(VRAM_BANK_BYTES, 0);
  int bank = 0;
  Compare(state,
          [&] {
            b.vram.Select(bank);
            bank = (bank + 1) % 6;
            b.vram.MarkAllDirty();
            vx::graphics::CopyTopDown(b.vram.Current(), vx::graphics::PixelRect{0, 0, 2599, 1999}, screen.data(),
                                      vx::graphics::VRAM_ROW_BYTES);
            b.vram.EmptyDirty();
            benchmark::ClobberMemory();
          },
          [&] { std::memcpy(b.spare.data(), b.vram.Bank(bank), VRAM_BANK_BYTES); benchmark::ClobberMemory(); });
}
BENCHMARK(BM_SetVramRepaint)->UseManualTime()->Unit(benchmark::kMillisecond);

std::vector<vx::graphics::Point> RandomPoints(std::size_t n) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> x(0, 2599);
  std::uniform_int_distribution<int> y(0, 1999);
  std::uniform_int_distribution<int> d(-100, 100);
  std::vector<vx::graphics::Point> points;
  for (std::size_t i = 0; i < n; ++i) {
    const int px = x(gen);
    const int py = y(gen);
    points.push_back({px, py});
    points.push_back({px + d(gen), py + d(gen)});
  }
  return points;
}

// Lines of up to about 140 pixels, width from the argument.
void BM_Lines(benchmark::State& state) {
  Banks b;
  auto canvas = vx::graphics::Canvas::Current(b.vram);
  const auto points = RandomPoints(1024);
  const int width = static_cast<int>(state.range(0));
  std::size_t i = 0;
  for (auto _ : state) {
    vx::graphics::DrawLine(canvas, points[i], points[i + 1], width, vx::graphics::Paint{vx::graphics::kWhite});
    i = (i + 2) % points.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_Lines)->Arg(1)->Arg(5)->Arg(20);

// Circle outlines of radius 50.
void BM_Circles(benchmark::State& state) {
  Banks b;
  auto canvas = vx::graphics::Canvas::Current(b.vram);
  const auto points = RandomPoints(1024);
  const int width = static_cast<int>(state.range(0));
  std::size_t i = 0;
  for (auto _ : state) {
    vx::graphics::DrawEllipse(canvas, points[i], 50, 50, width, vx::graphics::Paint{vx::graphics::kWhite});
    i = (i + 2) % points.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_Circles)->Arg(1)->Arg(5);

// Text glyphs through the cache, 16 pixels high.
void BM_TextGlyphs(benchmark::State& state) {
  Banks b;
  auto canvas = vx::graphics::Canvas::Current(b.vram);
  vx::graphics::TextEngine& engine = b.vram.Text();
  const bool japanese = state.range(0) != 0;
  // 20 characters: ASCII, or Japanese in Shift-JIS.
  const std::string text = japanese ? std::string("\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a\x83\x65\x83\x58\x83\x67\x82\xc5"
                                                  "\x82\xb7\x81\x42\x8a\xbf\x8e\x9a\x82\xa9\x82\xc8\x83\x4a\x83\x69\x95\xb6\x8f\x91")
                                     : std::string("The quick brown fox.");
  vx::graphics::FontSpec font;
  font.face = japanese ? std::string_view("\x82\x6c\x82\x72\x20\x96\xbe\x92\xa9") : std::string_view("Arial");
  font.height = 16;
  font.japanese = japanese;
  int y = 0;
  for (auto _ : state) {
    engine.Draw(canvas, 10, y, vx::graphics::kWhite, font, text);
    y = (y + 17) % 1980;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 20);
}
BENCHMARK(BM_TextGlyphs)->Arg(0)->Arg(1);

}  // namespace
