// Arbitrary bytes as a video file: the reader opens them (through an
// in-memory file), decodes a few frames, converts each to two sizes and
// seeks. Nothing may be read or written outside the buffers it is given,
// whatever the file claims.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "camera/video_reader.hpp"

namespace {

constexpr int kFramesMax = 8;
constexpr int kSmallWidth = 33;  // odd sizes catch stride mistakes
constexpr int kSmallHeight = 17;
constexpr int kNativeMax = 512;  // larger frames are only converted small

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = memfd_create("video", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  vx::camera::VideoReader reader;
  if (reader.Open(path)) {
    std::vector<std::uint8_t> small(kSmallWidth * kSmallHeight * 3);
    std::vector<std::uint8_t> native;
    for (int n = 0; n < kFramesMax && reader.Next(); ++n) {
      reader.Convert(small.data(), kSmallWidth * 3, kSmallWidth, kSmallHeight);
      reader.Convert(small.data() + (kSmallHeight - 1) * kSmallWidth * 3, -kSmallWidth * 3, kSmallWidth,
                     kSmallHeight);
      const int w = reader.Info().width;
      const int h = reader.Info().height;
      if (w <= kNativeMax && h <= kNativeMax) {
        native.resize(static_cast<std::size_t>(w) * h * 3);
        reader.Convert(native.data(), w * 3, w, h);
      }
      if (n == 1) reader.Seek(0);
    }
  }
  reader.Close();
  close(fd);
  return 0;
}
