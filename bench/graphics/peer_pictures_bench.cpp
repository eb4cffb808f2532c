// The drawing and picture operations scripts call most, each on a
// 1920 x 1080 area of a bank, timed in process for peer_pictures.sh, which
// runs the same operations in OpenCV, cairo and PIL (peer_pictures.py) and
// prints the ratios. Each BM_Pict_NAME matches the peer operation NAME.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "graphics/bmp.hpp"
#include "graphics/byte_source.hpp"
#include "graphics/canvas.hpp"
#include "graphics/effects.hpp"
#include "graphics/image_analysis.hpp"
#include "graphics/image_ops.hpp"
#include "graphics/jpeg.hpp"
#include "graphics/picture_files.hpp"
#include "graphics/raster.hpp"
#include "graphics/shapes.hpp"
#include "graphics/text.hpp"

namespace vx::graphics {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr PixelRect kArea{0, 0, kWidth - 1, kHeight - 1};
constexpr int kLines = 1000;
constexpr int kShapes = 200;
constexpr int kTexts = 200;

// The same picture peer_pictures.py builds: smooth rings and waves.
std::vector<std::uint8_t> Photo() {
  std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* p = PixelAt(bank.data(), 0, y);
    for (int x = 0; x < kWidth; ++x, p += 3) {
      const double d = std::hypot(x - 960.0, y - 540.0);
      p[0] = static_cast<std::uint8_t>(128 + 127 * std::sin(d / 40));
      p[1] = static_cast<std::uint8_t>(128 + 127 * std::sin(x / 90.0));
      p[2] = static_cast<std::uint8_t>(128 + 127 * std::cos(y / 70.0));
    }
  }
  return bank;
}

// Fixed pseudo-random end points inside the area.
std::vector<Point> Points(int n) {
  std::mt19937 random(7);
  std::vector<Point> points;
  for (int i = 0; i < n; ++i) {
    points.push_back(Point{static_cast<int>(random() % kWidth), static_cast<int>(random() % kHeight)});
  }
  return points;
}

void BM_Pict_lines(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  Canvas canvas(bank.data(), kBankRect);
  const std::vector<Point> p = Points(kLines * 2);
  for (auto _ : state) {
    for (int i = 0; i < kLines; ++i) {
      DrawLine(canvas, p[static_cast<std::size_t>(2 * i)], p[static_cast<std::size_t>(2 * i + 1)], 1,
               Paint{Color{static_cast<std::uint8_t>(i), 80, 200}});
    }
  }
}
BENCHMARK(BM_Pict_lines)->Unit(benchmark::kMillisecond);

void BM_Pict_filled_shapes(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  Canvas canvas(bank.data(), kBankRect);
  const std::vector<Point> p = Points(kShapes);
  for (auto _ : state) {
    for (int i = 0; i < kShapes; ++i) {
      const Point c = p[static_cast<std::size_t>(i)];
      const Paint paint{Color{static_cast<std::uint8_t>(i), 160, 40}};
      FillEllipse(canvas, c, 50 + i % 100, 30 + i % 80, paint);
      FillRect(canvas, PixelRect{c.x, c.y, c.x + 120, c.y + 80}, paint);
    }
  }
}
BENCHMARK(BM_Pict_filled_shapes)->Unit(benchmark::kMillisecond);

void BM_Pict_text(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  Canvas canvas(bank.data(), kBankRect);
  TextEngine engine;
  if (!engine.Ready()) {
    state.SkipWithError("no fonts");
    return;
  }
  const FontSpec font{"Arial", 400, 24, 0, false};
  for (auto _ : state) {
    for (int i = 0; i < kTexts; ++i) {
      engine.Draw(canvas, (i * 37) % 1600, (i * 53) % 1040, Color{20, 20, 20}, font, "Hello, world 0123456789");
    }
  }
}
BENCHMARK(BM_Pict_text)->Unit(benchmark::kMillisecond);

void BM_Pict_bmp_save(benchmark::State& state) {
  const std::vector<std::uint8_t> bank = Photo();
  for (auto _ : state) benchmark::DoNotOptimize(EncodeBmp(bank.data(), kArea));
}
BENCHMARK(BM_Pict_bmp_save)->Unit(benchmark::kMillisecond);

void BM_Pict_bmp_load(benchmark::State& state) {
  const std::vector<std::uint8_t> source = Photo();
  const std::string file = EncodeBmp(source.data(), kArea);
  std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  for (auto _ : state) {
    SpanSource bytes(file);
    benchmark::DoNotOptimize(LoadBmp(bytes, Surface{bank.data()}, 0, 0, kWidth, kHeight).status);
  }
}
BENCHMARK(BM_Pict_bmp_load)->Unit(benchmark::kMillisecond);

void BM_Pict_jpeg_save(benchmark::State& state) {
  const std::vector<std::uint8_t> bank = Photo();
  for (auto _ : state) {
    std::string out, error;
    benchmark::DoNotOptimize(EncodeJpeg(bank.data(), kArea, &out, &error));
  }
}
BENCHMARK(BM_Pict_jpeg_save)->Unit(benchmark::kMillisecond);

void BM_Pict_jpeg_load(benchmark::State& state) {
  const std::vector<std::uint8_t> source = Photo();
  std::string jpeg, error;
  EncodeJpeg(source.data(), kArea, &jpeg, &error);
  std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  for (auto _ : state) {
    const JpegDecoded r = LoadJpeg({reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size()},
                                   Surface{bank.data()}, 0, 0, 1.0);
    if (!r.ok) state.SkipWithError(r.error.c_str());
  }
}
BENCHMARK(BM_Pict_jpeg_load)->Unit(benchmark::kMillisecond);

// The picture turned 30 degrees, bilinear, into a box that holds it.
void BM_Pict_rotate(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  const Image picture = CopyFromBank(bank.data(), kArea);
  Canvas canvas(bank.data(), kBankRect);
  for (auto _ : state) DrawRotated(canvas, picture, 30, Point{1300, 1000}, Sampling::kBilinear, nullptr);
}
BENCHMARK(BM_Pict_rotate)->Unit(benchmark::kMillisecond);

// 1280 x 720 enlarged to 1920 x 1080, bilinear.
void BM_Pict_zoom_up(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  const Image picture = CopyFromBank(bank.data(), PixelRect{0, 0, 1279, 719});
  Canvas canvas(bank.data(), kBankRect);
  for (auto _ : state) DrawResampled(canvas, picture, kArea, Sampling::kBilinear, false);
}
BENCHMARK(BM_Pict_zoom_up)->Unit(benchmark::kMillisecond);

// 1920 x 1080 reduced to 1280 x 720 by area averaging.
void BM_Pict_zoom_down(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  const Image picture = CopyFromBank(bank.data(), kArea);
  Canvas canvas(bank.data(), kBankRect);
  for (auto _ : state) DrawResampled(canvas, picture, PixelRect{0, 1100, 1279, 1819}, Sampling::kBilinear, true);
}
BENCHMARK(BM_Pict_zoom_down)->Unit(benchmark::kMillisecond);

// A 5 x 5 box blur.
void BM_Pict_blur(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  Canvas canvas(bank.data(), kBankRect);
  for (auto _ : state) BoxBlur(canvas, kArea, 2);
}
BENCHMARK(BM_Pict_blur)->Unit(benchmark::kMillisecond);

void BM_Pict_median(benchmark::State& state) {
  std::vector<std::uint8_t> bank = Photo();
  Canvas canvas(bank.data(), kBankRect);
  for (auto _ : state) ApplyFilter(canvas, kArea, FILTER_MEDIAN, 0);
}
BENCHMARK(BM_Pict_median)->Unit(benchmark::kMillisecond);

// Repeated on the same bank: the work of every mode is the same whatever
// the pixels.
void ColourProcess(benchmark::State& state, std::int32_t mode) {
  std::vector<std::uint8_t> bank = Photo();
  Canvas canvas(bank.data(), kBankRect);
  for (auto _ : state) ProcessColours(canvas, kArea, mode, 0);
}
void BM_Pict_grey(benchmark::State& state) { ColourProcess(state, COLOUR_GREY); }
void BM_Pict_negative(benchmark::State& state) { ColourProcess(state, COLOUR_NEGATIVE); }
void BM_Pict_swap_red_blue(benchmark::State& state) { ColourProcess(state, COLOUR_SWAP_RED_BLUE); }
void BM_Pict_sepia(benchmark::State& state) { ColourProcess(state, COLOUR_SEPIA); }
BENCHMARK(BM_Pict_grey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pict_negative)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pict_swap_red_blue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pict_sepia)->Unit(benchmark::kMillisecond);

// One histogram a plane.
void BM_Pict_histogram(benchmark::State& state) {
  const std::vector<std::uint8_t> bank = Photo();
  for (auto _ : state) {
    for (int plane = 0; plane < 3; ++plane) benchmark::DoNotOptimize(ComputeHistogram(bank.data(), kArea, plane).mode);
  }
}
BENCHMARK(BM_Pict_histogram)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx::graphics
