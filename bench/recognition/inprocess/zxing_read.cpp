// zxing_read NAMES OUT: the peer reader of bench/recognition/recognition_bench.sh. Reads
// NAME.bmp for every line of NAMES with zxing-cpp in this process, writes
// "NAME TEXT" lines to OUT and prints the processor seconds spent loading and decoding
// (start-up excluded), so the per-image time compares like for like.
#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

#include "bmp24.hpp"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

using bench::Image;
using bench::LoadBmp;


int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: zxing_read NAMES OUT\n";
    return 2;
  }
  std::ifstream names(argv[1]);
  std::ofstream out(argv[2]);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::EAN13 | ZXing::BarcodeFormat::ITF | ZXing::BarcodeFormat::QRCode);
  double spent = 0;
  std::string name;
  while (std::getline(names, name)) {
    const double start = bench::CpuSeconds();
    Image image;
    std::string text;
    if (LoadBmp(name + ".bmp", image)) {
      const ZXing::ImageView view(image.bgr.data(), image.width, image.height, ZXing::ImageFormat::BGR);
      const ZXing::Result r = ZXing::ReadBarcode(view, hints);
      if (r.isValid()) text = r.text();
    }
    spent += bench::CpuSeconds() - start;
    out << name << ' ' << text << '\n';
  }
  std::printf("%.6f\n", spent);
  return 0;
}
