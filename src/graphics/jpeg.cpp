#include "graphics/jpeg.hpp"

#include <csetjmp>
#include <cstdlib>
#include <cmath>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/jpeg_api.hpp"
#include "platform/thread_pool.hpp"

namespace vx::graphics {
namespace {

// --- libjpeg's error handling turned into return values
//
// error_exit must not return, so it jumps back to the Guard that started
// the libjpeg call. Only plain data lives in the frames it jumps over:
// every buffer belongs to the objects below, which are created before and
// destroyed after the guarded calls.

struct ErrorJump {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  const char* own_message;  // set by our own checks inside libjpeg's calls
};

void OnFatal(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorJump*>(cinfo->err);
  if (err->own_message == nullptr) (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings (corrupt data that libjpeg works around) are not printed.
void OnMessage(j_common_ptr) {}

void InitErrors(const JpegApi& j, ErrorJump& err) {
  j.jpeg_std_error(&err.pub);
  err.pub.error_exit = OnFatal;
  err.pub.output_message = OnMessage;
  err.message[0] = '\0';
  err.own_message = nullptr;
}

std::string MessageOf(const JpegApi* api, bool created, const ErrorJump& err) {
  if (api == nullptr) return JpegLoadError();
  if (!created) return "out of memory";
  return err.own_message != nullptr ? std::string(err.own_message) : std::string(err.message);
}

template <typename Body>
[[gnu::noinline]] bool Guard(ErrorJump& err, Body&& body) {
  if (setjmp(err.jump) != 0) return false;
  body();
  return true;
}

// Ends decoding of a progressive file that asks for too many scans.
void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > JPEG_SCANS_MAX) {
    reinterpret_cast<ErrorJump*>(cinfo->err)->own_message = "too many scans";
    (*cinfo->err->error_exit)(cinfo);
  }
}

// Without libjpeg nothing is created and Message() gives the loader's reason.
class Decompressor {
 public:
  Decompressor() {
    if (api_ == nullptr) return;
    InitErrors(*api_, err_);
    cinfo_.err = &err_.pub;
    progress_.progress_monitor = OnProgress;
    created_ = Guard(err_, [&] { api_->jpeg_CreateDecompress(&cinfo_, JPEG_LIB_VERSION, sizeof(cinfo_)); });
    if (created_) {
      cinfo_.mem->max_memory_to_use = JPEG_WORK_MEMORY_MAX;
      cinfo_.progress = &progress_;
    }
  }
  ~Decompressor() {
    if (created_) api_->jpeg_destroy_decompress(&cinfo_);
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  bool Created() const { return created_; }
  const JpegApi& Api() const { return *api_; }  // once Created()
  jpeg_decompress_struct& Info() { return cinfo_; }
  ErrorJump& Errors() { return err_; }
  std::string Message() const { return MessageOf(api_, created_, err_); }

 private:
  const JpegApi* api_ = Jpeg();
  jpeg_decompress_struct cinfo_{};
  ErrorJump err_{};
  jpeg_progress_mgr progress_{};
  bool created_ = false;
};

JpegInfo InfoOf(const jpeg_decompress_struct& c) {
  return JpegInfo{static_cast<int>(c.image_width), static_cast<int>(c.image_height),
                  static_cast<int>(c.jpeg_color_space), c.num_components};
}

bool ReadHeader(Decompressor& d, std::span<const std::uint8_t> data, std::string* error) {
  if (data.size() > JPEG_FILE_BYTES_MAX) {
    *error = "file too large";
    return false;
  }
  if (!d.Created()) {
    *error = d.Message();
    return false;
  }
  if (!Guard(d.Errors(), [&] {
        d.Api().jpeg_mem_src(&d.Info(), data.data(), static_cast<unsigned long>(data.size()));
        d.Api().jpeg_read_header(&d.Info(), TRUE);
      })) {
    *error = d.Message();
    return false;
  }
  return true;
}

// One decoded scanline to blue, green, red.
void ToBgr(const jpeg_decompress_struct& c, const JSAMPLE* in, std::uint8_t* out) {
  const JDIMENSION width = c.output_width;
  switch (c.out_color_space) {
    case JCS_GRAYSCALE:
      for (JDIMENSION i = 0; i < width; ++i) out[i * 3] = out[i * 3 + 1] = out[i * 3 + 2] = in[i];
      break;
    case JCS_CMYK:
      // Adobe's files hold the inks inverted (0 = full ink).
      for (JDIMENSION i = 0; i < width; ++i) {
        int cyan = in[i * 4], magenta = in[i * 4 + 1], yellow = in[i * 4 + 2], black = in[i * 4 + 3];
        if (!c.saw_Adobe_marker) {
          cyan = 255 - cyan;
          magenta = 255 - magenta;
          yellow = 255 - yellow;
          black = 255 - black;
        }
        out[i * 3] = static_cast<std::uint8_t>(yellow * black / 255);
        out[i * 3 + 1] = static_cast<std::uint8_t>(magenta * black / 255);
        out[i * 3 + 2] = static_cast<std::uint8_t>(cyan * black / 255);
      }
      break;
    default:  // decoded as blue, green, red already
      std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
      break;
  }
}

J_COLOR_SPACE OutputSpace(J_COLOR_SPACE file) {
  switch (file) {
    case JCS_GRAYSCALE: return JCS_GRAYSCALE;
    case JCS_CMYK:
    case JCS_YCCK: return JCS_CMYK;
    // libjpeg-turbo writes the bank's byte order itself: the same values as
    // its RGB output, without a pass to swap them.
    default: return JCS_EXT_BGR;
  }
}

// Scanlines asked of libjpeg at a time (it may return fewer).
constexpr int kRowsPerRead = 16;
// Scaling on several threads: about this many input rows are held and
// scaled a batch (fewer output rows a batch when enlarging a lot).
constexpr double kScaleBatchInputRows = 256;
constexpr int kScaleBatchRowsMax = 4096;

// Decoded rows of blue, green, red held for the scaler's bands: input rows
// [first, End()).
class HeldRows {
 public:
  explicit HeldRows(std::size_t row_bytes) : row_bytes_(row_bytes) {}
  // The next input row: kept, or passed over while above every row wanted.
  void Add(const std::uint8_t* row) {
    if (count_ == 0 && first_ < wanted_) {
      ++first_;
      return;
    }
    bytes_.insert(bytes_.end(), row, row + row_bytes_);
    ++count_;
  }
  // Forgets the rows above `row`, and passes them over from now on.
  void DropBefore(int row) {
    wanted_ = std::max(wanted_, row);
    const int drop = std::clamp(row - first_, 0, count_);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(row_bytes_ * static_cast<std::size_t>(drop)));
    first_ += drop;
    count_ -= drop;
  }
  int End() const { return first_ + count_; }
  // Row r, first <= r < End().
  std::span<const std::uint8_t> Row(int r) const {
    return {bytes_.data() + row_bytes_ * static_cast<std::size_t>(r - first_), row_bytes_};
  }

 private:
  std::size_t row_bytes_;
  std::vector<std::uint8_t> bytes_;
  int first_ = 0;
  int count_ = 0;
  int wanted_ = 0;
};

// Output size limit: ten times the largest JPEG side.
constexpr std::int64_t kOutputExtentMax = 10 * 65535;

}  // namespace

bool ReadJpegInfo(std::span<const std::uint8_t> data, JpegInfo* info, std::string* error) {
  Decompressor d;
  if (!ReadHeader(d, data, error)) return false;
  *info = InfoOf(d.Info());
  return true;
}

JpegDecoded DecodeJpeg(std::span<const std::uint8_t> data, const JpegDecodeOptions& options,
                       const ResampleSink& sink) {
  JpegDecoded result;
  if (!(options.scale >= JPEG_SCALE_MIN)) {
    result.error = "scale below the minimum";
    return result;
  }
  Decompressor d;
  if (!ReadHeader(d, data, &result.error)) return result;
  const JpegApi& j = d.Api();
  jpeg_decompress_struct& c = d.Info();
  result.info = InfoOf(c);
  const std::int64_t pixels = static_cast<std::int64_t>(c.image_width) * c.image_height;
  if (pixels <= 0 || pixels > options.max_pixels) {
    result.error = "picture too large";
    return result;
  }
  result.out_width = static_cast<int>(ScaledExtent(c.image_width, options.scale, kOutputExtentMax));
  result.out_height = static_cast<int>(ScaledExtent(c.image_height, options.scale, kOutputExtentMax));

  // Always the full decode: libjpeg's own reduction while decoding (scale_denom)
  // is not the area average of the decoded pixels, by up to a few dozen
  // levels at sharp edges. The scaler averages each row as it arrives, so no
  // full-size picture is held.
  if (!Guard(d.Errors(), [&] {
        c.out_color_space = OutputSpace(c.jpeg_color_space);
        j.jpeg_calc_output_dimensions(&c);
      })) {
    result.error = d.Message();
    return result;
  }
  const int width = static_cast<int>(c.output_width);
  const int height = static_cast<int>(c.output_height);
  ResampleWindow window = options.window;
  window.col_begin = std::max(window.col_begin, 0);
  window.row_begin = std::max(window.row_begin, 0);
  window.col_end = std::min(window.col_end, result.out_width);
  window.row_end = std::min(window.row_end, result.out_height);
  if (window.col_begin >= window.col_end || window.row_begin >= window.row_end) {
    result.ok = true;  // nothing of it shows
    return result;
  }
  AreaScaler scaler(width, height, options.scale, options.scale, window);
  const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(c.output_components);
  std::vector<JSAMPLE> scanlines(stride * kRowsPerRead);
  std::array<JSAMPROW, kRowsPerRead> rows{};
  for (int i = 0; i < kRowsPerRead; ++i) rows[static_cast<std::size_t>(i)] = scanlines.data() + stride * i;
  const bool direct = c.out_color_space == JCS_EXT_BGR;
  std::vector<std::uint8_t> bgr(direct ? 0 : static_cast<std::size_t>(width) * 3);
  bool decoded = false;
  const bool in_place = direct && options.place && options.scale == 1.0 && window.col_begin == 0 &&
                        window.col_end == width && window.row_end <= height;
  if (in_place) {
    // The window's rows straight into their places; the rows above it into
    // the scanline buffer, to be passed over.
    decoded = Guard(d.Errors(), [&] {
      j.jpeg_start_decompress(&c);
      std::array<JSAMPROW, kRowsPerRead> targets{};
      while (static_cast<int>(c.output_scanline) < window.row_end) {
        const int next = static_cast<int>(c.output_scanline);
        for (int i = 0; i < kRowsPerRead; ++i) {
          const int row = next + i;
          targets[static_cast<std::size_t>(i)] = row >= window.row_begin && row < window.row_end
                                                      ? options.place(row)
                                                      : rows[static_cast<std::size_t>(i)];
        }
        const int wanted = std::min(kRowsPerRead, window.row_end - next);
        if (j.jpeg_read_scanlines(&c, targets.data(), static_cast<JDIMENSION>(wanted)) == 0) break;
      }
      j.jpeg_abort_decompress(&c);
    });
  } else if (platform::LoopThreads() <= 1 || options.scale == 1.0) {
    // Scale 1 only copies rows: nothing there for other threads to share.
    // Each row is scaled as it arrives, nothing is held.
    decoded = Guard(d.Errors(), [&] {
      j.jpeg_start_decompress(&c);
      while (c.output_scanline < c.output_height && scaler.Wants(static_cast<int>(c.output_scanline))) {
        const JDIMENSION got = j.jpeg_read_scanlines(&c, rows.data(), kRowsPerRead);
        for (JDIMENSION i = 0; i < got; ++i) {
          if (direct) {
            scaler.Push(std::span<const std::uint8_t>(rows[i], stride), sink);
          } else {
            ToBgr(c, rows[i], bgr.data());
            scaler.Push(bgr, sink);
          }
        }
      }
      j.jpeg_abort_decompress(&c);
    });
  } else {
    // Several threads: the rows a batch of output rows needs are decoded
    // and held (decoding is sequential), then the batch is scaled in bands.
    HeldRows held(static_cast<std::size_t>(width) * 3);
    const int batch = static_cast<int>(
        std::clamp(std::ceil(kScaleBatchInputRows / options.scale), 1.0, static_cast<double>(kScaleBatchRowsMax)));
    const std::int64_t work_per_row = (std::int64_t{width} + (window.col_end - window.col_begin)) * 3 *
                                      static_cast<std::int64_t>(std::max(1.0, std::ceil(options.scale)));
    decoded = Guard(d.Errors(), [&] {
      j.jpeg_start_decompress(&c);
      for (int first = window.row_begin; first < window.row_end;) {
        const int last = std::min(window.row_end, first + batch);
        held.DropBefore(scaler.Rows(first, last).NextInput());
        const int needed = scaler.InputEnd(last);
        while (static_cast<int>(c.output_scanline) < needed) {
          const JDIMENSION got = j.jpeg_read_scanlines(&c, rows.data(), kRowsPerRead);
          if (got == 0) break;
          for (JDIMENSION i = 0; i < got; ++i) {
            if (direct) {
              held.Add(rows[i]);
            } else {
              ToBgr(c, rows[i], bgr.data());
              held.Add(bgr.data());
            }
          }
        }
        platform::ForBands(first, last, work_per_row, [&](int band_first, int band_last) {
          AreaScaler band = scaler.Rows(band_first, band_last);
          for (int r = band.NextInput(); r < held.End() && !band.Finished(); ++r) band.Push(held.Row(r), sink);
        });
        first = last;
      }
      j.jpeg_abort_decompress(&c);
    });
  }
  if (!decoded) {
    result.error = d.Message();
    return result;
  }
  result.ok = true;
  return result;
}

namespace {

class Compressor {
 public:
  Compressor() {
    if (api_ == nullptr) return;
    InitErrors(*api_, err_);
    cinfo_.err = &err_.pub;
    created_ = Guard(err_, [&] { api_->jpeg_CreateCompress(&cinfo_, JPEG_LIB_VERSION, sizeof(cinfo_)); });
  }
  ~Compressor() {
    if (created_) api_->jpeg_destroy_compress(&cinfo_);
    std::free(buffer_);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  bool Created() const { return created_; }
  const JpegApi& Api() const { return *api_; }  // once Created()
  jpeg_compress_struct& Info() { return cinfo_; }
  ErrorJump& Errors() { return err_; }
  unsigned char** Buffer() { return &buffer_; }
  unsigned long* Size() { return &size_; }
  std::string Message() const { return MessageOf(api_, created_, err_); }

 private:
  const JpegApi* api_ = Jpeg();
  jpeg_compress_struct cinfo_{};
  ErrorJump err_{};
  unsigned char* buffer_ = nullptr;  // libjpeg's memory destination grows it with malloc
  unsigned long size_ = 0;
  bool created_ = false;
};

}  // namespace

bool EncodeJpeg(const std::uint8_t* bank, const PixelRect& area, std::string* out, std::string* error) {
  if (area.Empty()) {
    *error = "empty picture";
    return false;
  }
  Compressor comp;
  if (!comp.Created()) {
    *error = comp.Message();
    return false;
  }
  const JpegApi& j = comp.Api();
  jpeg_compress_struct& c = comp.Info();
  // The bank's rows go to the encoder as they are: it reads blue, green,
  // red pixels itself (and only reads them).
  std::vector<JSAMPROW> rows;
  rows.reserve(static_cast<std::size_t>(area.Height()));
  for (int y = area.top; y <= area.bottom; ++y) rows.push_back(const_cast<JSAMPROW>(PixelAt(bank, area.left, y)));
  const bool encoded = Guard(comp.Errors(), [&] {
    j.jpeg_mem_dest(&c, comp.Buffer(), comp.Size());
    c.image_width = static_cast<JDIMENSION>(area.Width());
    c.image_height = static_cast<JDIMENSION>(area.Height());
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    j.jpeg_set_defaults(&c);
    j.jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      const JDIMENSION written = j.jpeg_write_scanlines(&c, rows.data() + c.next_scanline, c.image_height - c.next_scanline);
      if (written == 0) break;
    }
    j.jpeg_finish_compress(&c);
  });
  if (!encoded) {
    *error = comp.Message();
    return false;
  }
  out->assign(reinterpret_cast<const char*>(*comp.Buffer()), *comp.Size());
  return true;
}

}  // namespace vx::graphics
