#include "graphics/byte_source.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace vx::graphics {

std::size_t SpanSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(out.size(), bytes_.size() - offset);
  std::memcpy(out.data(), bytes_.data() + offset, n);
  return n;
}

FileSource::FileSource(std::string_view script_path) : file_(files::Open(script_path, "rb")) {
  if (file_ == nullptr) return;
  if (fseeko(file_.get(), 0, SEEK_END) != 0) {
    file_.reset();
    return;
  }
  const off_t end = ftello(file_.get());
  if (end < 0) {
    file_.reset();
    return;
  }
  size_ = static_cast<std::uint64_t>(end);
}

std::size_t FileSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (file_ == nullptr || offset >= size_ ||
      offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return 0;
  }
  // Reads that continue the last one need no seek: a seek costs a system
  // call and drops what the stream has buffered.
  if (offset != next_ && fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
    next_ = NO_POSITION;
    return 0;
  }
  const std::size_t n = std::fread(out.data(), 1, out.size(), file_.get());
  next_ = n == out.size() ? offset + n : NO_POSITION;
  return n;
}

}  // namespace vx::graphics
