// vexmora_read NAMES OUT: our readers in process, as zxing_read runs
// zxing-cpp, doing what the benchmark's script does through the same code:
// for every line of NAMES the drawing bank is cleared to white, NAME.bmp is
// loaded at (20, 20) by the BMP loader of LoadBMPImage, the bank is copied
// into a recognition plane as RcgSet does, and the QR reader reads the
// bank; when it finds nothing, the locating pass finds the decode region
// and the barcode reader tries it. "NAME TEXT" lines go to OUT and the
// processor seconds spent (loading included, start-up excluded) to
// standard output.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "graphics/byte_source.hpp"
#include "graphics/picture_files.hpp"
#include "graphics/vram.hpp"
#include "recognition/barcode.hpp"
#include "recognition/locate.hpp"
#include "recognition/qr.hpp"
#include "recognition/store.hpp"

#include "bmp24.hpp"  // bench::CpuSeconds

namespace {

constexpr int kOrigin = 20;  // where the script puts the picture
constexpr int kMaxWidth = 2500, kMaxHeight = 1900;
constexpr vx::graphics::Color kWhite{255, 255, 255};

namespace rc = vx::recognition;
namespace gr = vx::graphics;

// The bank as the API layer hands it to the readers.
rc::Picture PictureOf(gr::Vram& vram) {
  rc::Picture p{vram.BankTracked(-1), rc::PLANE_WIDTH, rc::PLANE_HEIGHT};
  const gr::Vram::Ground ground = vram.GroundOf(-1);
  const std::uint8_t bgr[3] = {ground.colour.b, ground.colour.g, ground.colour.r};
  p.ground = rc::GreyOfBgr(bgr);
  if (ground.drawn.Empty()) {
    p.drawn.reset();
  } else {
    p.drawn = rc::Region{ground.drawn.left, ground.drawn.top, ground.drawn.right, ground.drawn.bottom};
  }
  return p;
}

std::string Read(const std::string& file, gr::Vram& vram, rc::Plane& plane, rc::Plane& work) {
  vram.ClearBank(-1, kWhite);  // VRamClear 0xFFFFFF
  gr::FileSource source(file);  // LoadBMPImage 20, 20, 2500, 1900, file
  if (!source.Ok()) return {};
  const gr::BmpLoadResult loaded =
      gr::LoadBmp(source, gr::SurfaceOf(vram, vram.BankTracked(-1)), kOrigin, kOrigin, kMaxWidth, kMaxHeight);
  vram.AddDrawn(-1, loaded.placed);
  rc::CopyPictureGrey(plane, PictureOf(vram), rc::Region{0, 0, rc::PLANE_WIDTH - 1, rc::PLANE_HEIGHT - 1});  // RcgSet 0
  // QR first: its error correction makes a false reading all but impossible,
  // while a two-digit Interleaved 2 of 5 can be found inside a QR symbol.
  std::string text;
  std::string log;
  const rc::QrOutcome q = rc::ReadQr(PictureOf(vram), 0, work, log);  // QRRead T
  if (q.ok) text = q.text;
  if (text.empty()) {
    if (const std::optional<rc::Region> region = rc::LocateCode(plane, 48)) {  // RcgSearch 0
      const rc::BarcodeResult r = rc::ReadBarcode(plane, *region);           // RcgBCD 0, T, R
      if (r.kind != rc::BARCODE_NONE) text = r.text;
    }
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
  gr::Vram vram;
  rc::Plane plane;
  rc::Plane work;
  double spent = 0;
  std::string name;
  while (std::getline(names, name)) {
    const double start = bench::CpuSeconds();
    const std::string text = Read(name + ".bmp", vram, plane, work);
    spent += bench::CpuSeconds() - start;
    out << name << ' ' << text << '\n';
  }
  std::printf("%.6f\n", spent);
  return 0;
}
