// vexmora_read NAMES OUT: our readers in process, as zxing_read runs
// zxing-cpp: for every line of NAMES, NAME.bmp is loaded onto a white page at
// (20, 20), copied into a recognition plane, the locating pass finds the
// decode region and the barcode reader tries it, then the QR reader reads
// the page; "NAME TEXT" lines go to OUT and the seconds spent (loading
// included, start-up excluded) to standard output.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "bmp24.hpp"
#include "graphics/vram.hpp"
#include "recognition/barcode.hpp"
#include "recognition/locate.hpp"
#include "recognition/qr.hpp"
#include "recognition/store.hpp"

namespace {

constexpr int kOrigin = 20;  // where the script puts the picture

namespace rc = vx::recognition;

std::string Read(const bench::Image& image, std::vector<std::uint8_t>& bank, rc::Plane& plane, rc::Plane& work) {
  const int w = std::min(image.width, rc::PLANE_WIDTH - 2 * kOrigin);
  const int h = std::min(image.height, rc::PLANE_HEIGHT - 2 * kOrigin);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* from = image.bgr.data() + static_cast<std::size_t>(y) * image.width * 3;
    std::copy_n(from, w * 3, vx::graphics::PixelAt(bank.data(), kOrigin, kOrigin + y));
    std::uint8_t* to = plane.Pixel(kOrigin, kOrigin + y);
    rc::ForEachGrey(from, w, [to](int i, std::uint8_t g) {
      std::uint8_t* p = to + static_cast<std::size_t>(i) * rc::PLANE_PIXEL_BYTES;
      p[0] = p[1] = p[2] = g;
    });
  }
  std::string text;
  if (const std::optional<rc::Region> region = rc::LocateCode(plane, 48)) {
    const rc::BarcodeResult r = rc::ReadBarcode(plane, *region);
    if (r.kind != rc::BARCODE_NONE) text = r.text;
  }
  if (text.empty()) {
    std::string log;
    const rc::QrOutcome q = rc::ReadQr(rc::Picture{bank.data(), rc::PLANE_WIDTH, rc::PLANE_HEIGHT}, 0, work, log);
    if (q.ok) text = q.text;
  }
  // The page is white again for the next picture.
  for (int y = 0; y < h; ++y) {
    std::fill_n(vx::graphics::PixelAt(bank.data(), kOrigin, kOrigin + y), w * 3, std::uint8_t{255});
    std::fill_n(plane.Pixel(kOrigin, kOrigin + y), w * rc::PLANE_PIXEL_BYTES, std::uint8_t{255});
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vexmora_read NAMES OUT\n";
    return 2;
  }
  std::ifstream names(argv[1]);
  std::ofstream out(argv[2]);
  std::vector<std::uint8_t> bank(vx::graphics::VRAM_BANK_BYTES, 255);
  rc::Plane plane;
  plane.Fill(255);
  rc::Plane work;
  std::chrono::duration<double> spent{};
  std::string name;
  while (std::getline(names, name)) {
    const auto start = std::chrono::steady_clock::now();
    bench::Image image;
    const std::string text = bench::LoadBmp(name + ".bmp", image) ? Read(image, bank, plane, work) : std::string();
    spent += std::chrono::steady_clock::now() - start;
    out << name << ' ' << text << '\n';
  }
  std::printf("%.6f\n", spent.count());
  return 0;
}
