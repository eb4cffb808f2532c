#pragma once
// JPEG pictures through libjpeg (the IJG API): the header alone, decoding
// with area-averaging scaling, and encoding a rectangle of a bank. libjpeg
// is opened with the first picture (graphics/jpeg_api.hpp); without it
// every call fails with the loader's reason as its message.
//
// libjpeg reports fatal errors by calling a handler that must not return;
// ours jumps back into this codec, which cleans up and returns the message.
// Nothing of that leaves jpeg.cpp: callers get a status and a text.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "graphics/resample.hpp"
#include "graphics/vram.hpp"

namespace vx::graphics {

inline constexpr double JPEG_SCALE_MIN = 0.1;
// Files are read whole; nothing legitimate comes near this.
inline constexpr std::uint64_t JPEG_FILE_BYTES_MAX = 256u << 20;
// Pictures above this many pixels are refused before decoding starts.
inline constexpr std::int64_t JPEG_PIXELS_MAX = 120'000'000;
// libjpeg's own working memory (progressive pictures keep every coefficient).
inline constexpr long JPEG_WORK_MEMORY_MAX = 1024L << 20;
// A progressive file may ask for endless scans; real ones use a dozen.
inline constexpr int JPEG_SCANS_MAX = 1000;

struct JpegInfo {
  int width = 0;
  int height = 0;
  int color_space = 0;  // libjpeg's J_COLOR_SPACE of the file (1 grey, 3 YCbCr...)
  int components = 0;
};

// Reads the header only. False with a message when it is not a JPEG header.
bool ReadJpegInfo(std::span<const std::uint8_t> data, JpegInfo* info, std::string* error);

struct JpegDecodeOptions {
  double scale = 1.0;           // output = input / scale (at least JPEG_SCALE_MIN)
  // Output columns and rows wanted (the rest are not produced); ends are
  // cut to the output size.
  ResampleWindow window{0, 1 << 30, 0, 1 << 30};
  std::int64_t max_pixels = JPEG_PIXELS_MAX;
  // Where output row `row` may be decoded straight into, the window's
  // columns' bytes; then, at scale 1 with a window of whole rows in blue,
  // green, red, those rows are not given to the sink.
  std::function<std::uint8_t*(int row)> place;
};

struct JpegDecoded {
  bool ok = false;
  JpegInfo info;
  int out_width = 0;
  int out_height = 0;
  std::string error;  // libjpeg's message, or ours
};

// Decodes and resamples; each output row of the window goes to `sink` as
// blue, green, red pixels, grey pictures as grey pixels.
JpegDecoded DecodeJpeg(std::span<const std::uint8_t> data, const JpegDecodeOptions& options,
                       const ResampleSink& sink);

// The rectangle (inside the bank) as a baseline JPEG with libjpeg's default
// settings. False with a message on failure.
bool EncodeJpeg(const std::uint8_t* bank, const PixelRect& area, std::string* out, std::string* error);

}  // namespace vx::graphics
