// window_pixels WINDOW-ID X Y [SECONDS]: reads the window's top-left
// pixels (at most kReadWidth x kReadHeight, which keeps a read quick) from
// the X server. Prints one line "HASH RRGGBB": a hash of those pixels and
// the colour at (X, Y). With SECONDS it keeps reading for that long and prints
// instead "frames N reads M": how many times the picture changed between
// two reads in a row, and how many reads that took.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "x_tool.hpp"

namespace {

constexpr int kReadWidth = 640;
constexpr int kReadHeight = 200;

// A window that is gone ends the reading instead of the program.
bool x_error = false;
int NoteError(Display*, XErrorEvent*) {
  x_error = true;
  return 0;
}

struct Picture {
  std::uint64_t hash = 0;
  unsigned long pixel = 0;
  bool ok = false;
};

Picture Read(Display* display, Window window, int x, int y) {
  Picture out;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0 || x_error) return out;
  const int width = attributes.width < kReadWidth ? attributes.width : kReadWidth;
  const int height = attributes.height < kReadHeight ? attributes.height : kReadHeight;
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr || x_error) return out;
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  const int row_bytes = image->width * image->bits_per_pixel / 8;
  for (int row = 0; row < image->height; ++row) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(image->data) +
                        static_cast<long>(row) * image->bytes_per_line;
    for (int i = 0; i < row_bytes; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  }
  out.hash = hash;
  if (x >= 0 && y >= 0 && x < image->width && y < image->height) out.pixel = XGetPixel(image, x, y);
  out.ok = true;
  XDestroyImage(image);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: window_pixels WINDOW-ID X Y [SECONDS]\n");
    return 2;
  }
  const x_tool::Connection connection("window_pixels");
  const auto parsed = x_tool::ParseWindowId("window_pixels", argv[1]);
  if (!connection || !parsed) return 2;
  Display* display = connection.get();
  const Window window = *parsed;
  XSetErrorHandler(NoteError);
  const int x = std::atoi(argv[2]);
  const int y = std::atoi(argv[3]);
  if (argc == 4) {
    const Picture p = Read(display, window, x, y);
    if (!p.ok) {
      std::printf("no picture\n");
      return 1;
    }
    std::printf("%016llx %06lX\n", static_cast<unsigned long long>(p.hash), p.pixel & 0xFFFFFFul);
    return 0;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::atof(argv[4]));
  std::uint64_t last = 0;
  long frames = 0;
  long reads = 0;
  while (std::chrono::steady_clock::now() < end) {
    const Picture p = Read(display, window, x, y);
    if (!p.ok) break;
    if (reads > 0 && p.hash != last) ++frames;
    last = p.hash;
    ++reads;
  }
  std::printf("frames %ld reads %ld\n", frames, reads);
  return reads > 0 ? 0 : 1;
}
