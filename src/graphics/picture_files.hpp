#pragma once
// Pictures between files (or clipboard data) and banks, with the placement
// rules of the loaders: where a picture lands, what is cut, what is left
// out. Everything here writes inside the given surface only.
#include <cstdint>
#include <span>
#include <string>

#include "graphics/bmp.hpp"
#include "graphics/image_ops.hpp"
#include "graphics/jpeg.hpp"

namespace vx::graphics {

// A bank and the part of it pictures may be written to (the VRAM width and
// height, never more than the bank).
struct Surface {
  std::uint8_t* bank = nullptr;
  int width = VRAM_WIDTH;
  int height = VRAM_HEIGHT;
};
Surface SurfaceOf(Vram& vram, std::uint8_t* bank);

enum class BmpLoadStatus {
  kOk,
  kUnreadable,   // no BMP headers
  kNot24Bit,     // refused: the bit count is not 24
  kUnsupported,  // 24 bits but compressed
  kShortRead,    // the file ends inside the rows; the rows it holds are placed
};

struct BmpLoadResult {
  BmpLoadStatus status = BmpLoadStatus::kUnreadable;
  BmpHeader header;
  PixelRect placed;  // the bounding rectangle of the rows LoadBmp wrote
};

// The LoadBMPImage placement: min(width, max_width) columns, of which the
// first -x are skipped when x is negative, cut at the surface's width; the
// top max_height rows of the picture, each placed when it falls inside the
// surface. Pixels of the transparent colour (when given) are left out.
BmpLoadResult LoadBmp(ByteSource& file, const Surface& surface, int x, int y, int max_width, int max_height,
                      const Color* transparent = nullptr);

// The top-left part of a 24-bit BMP, at most max_width x max_height (each
// at most a bank's size), as a picture.
BmpLoadResult ReadBmpImage(ByteSource& file, int max_width, int max_height, Image* out);

// A packed DIB (24 or 32 bits a pixel) with its top-left at bank (0, 0),
// cut to the bank. The result's header is that of the DIB.
BmpLoadResult LoadDib(std::span<const std::uint8_t> dib, std::uint8_t* bank);

// A JPEG scaled by 1 / scale with its top-left at (x, y), cut to the surface.
JpegDecoded LoadJpeg(std::span<const std::uint8_t> data, const Surface& surface, int x, int y, double scale);

// The raw 16-bit dump of a rectangle (inside the bank): width and height as
// big-endian 16-bit values, then RGB565 pixels, big-endian, column by column
// from the rightmost, each column from the top down.
std::string EncodeRgb565(const std::uint8_t* bank, const PixelRect& area);

}  // namespace vx::graphics
