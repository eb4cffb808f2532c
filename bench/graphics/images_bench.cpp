// Picture loading and saving speed: a 2600 x 2000 JPEG decoded at scales 1
// to 8 (the file named by VEXMORA_BENCH_JPEG when set, as
// bench/graphics/jpeg_scale_bench.sh does to compare with djpeg); a full-bank BMP
// read and written; a bank area rotated and zoomed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/bmp.hpp"
#include "graphics/image_ops.hpp"
#include "graphics/jpeg.hpp"
#include "graphics/picture_files.hpp"

namespace vx::graphics {
namespace {

// A smooth, photograph-like bank: rings of colour.
std::vector<std::uint8_t> PictureBank() {
  std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  for (int y = 0; y < VRAM_HEIGHT; ++y) {
    std::uint8_t* p = PixelAt(bank.data(), 0, y);
    for (int x = 0; x < VRAM_WIDTH; ++x, p += 3) {
      const double d = std::hypot(x - 1300.0, y - 1000.0);
      p[0] = static_cast<std::uint8_t>(128 + 127 * std::sin(d / 40));
      p[1] = static_cast<std::uint8_t>(128 + 127 * std::sin(x / 90.0));
      p[2] = static_cast<std::uint8_t>(128 + 127 * std::cos(y / 70.0));
    }
  }
  return bank;
}

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string& PictureJpeg() {
  static const std::string jpeg = [] {
    if (const char* path = std::getenv("VEXMORA_BENCH_JPEG"); path != nullptr && *path != '\0') {
      return FileBytes(path);
    }
    const std::vector<std::uint8_t> bank = PictureBank();
    std::string out, error;
    EncodeJpeg(bank.data(), kBankRect, &out, &error);
    return out;
  }();
  return jpeg;
}

// Every scale decodes the whole picture and averages the rows as they come.
void BM_LoadJpeg(benchmark::State& state) {
  const std::string& jpeg = PictureJpeg();
  std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  const double scale = static_cast<double>(state.range(0));
  for (auto _ : state) {
    const JpegDecoded r = LoadJpeg({reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size()},
                                   Surface{bank.data()}, 0, 0, scale);
    if (!r.ok) state.SkipWithError(r.error.c_str());
    benchmark::DoNotOptimize(r.ok);
  }
}
BENCHMARK(BM_LoadJpeg)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_SaveJpeg(benchmark::State& state) {
  const std::vector<std::uint8_t> bank = PictureBank();
  for (auto _ : state) {
    std::string out, error;
    benchmark::DoNotOptimize(EncodeJpeg(bank.data(), kBankRect, &out, &error));
  }
}
BENCHMARK(BM_SaveJpeg)->Unit(benchmark::kMillisecond);

void BM_BmpRoundTrip(benchmark::State& state) {
  const std::vector<std::uint8_t> source = PictureBank();
  std::vector<std::uint8_t> bank(VRAM_BANK_BYTES);
  for (auto _ : state) {
    const std::string file = EncodeBmp(source.data(), kBankRect);
    SpanSource bytes(file);
    benchmark::DoNotOptimize(LoadBmp(bytes, Surface{bank.data()}, 0, 0, VRAM_WIDTH, VRAM_HEIGHT).status);
  }
}
BENCHMARK(BM_BmpRoundTrip)->Unit(benchmark::kMillisecond);

void BM_RotateAndZoom(benchmark::State& state) {
  std::vector<std::uint8_t> bank = PictureBank();
  const Image picture = CopyFromBank(bank.data(), PixelRect{0, 0, 799, 599});
  Canvas canvas(bank.data(), kBankRect);
  for (auto _ : state) {
    DrawRotated(canvas, picture, 30, Point{1300, 1000}, state.range(0) != 0 ? Sampling::kBilinear : Sampling::kNearest,
                nullptr);
    DrawResampled(canvas, picture, PixelRect{0, 0, 1199, 899}, Sampling::kBilinear, false);
  }
}
BENCHMARK(BM_RotateAndZoom)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx::graphics
