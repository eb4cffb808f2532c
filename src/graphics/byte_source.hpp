#pragma once
// Random access to the bytes of a picture file. The BMP reader pulls only
// the rows and columns it needs, so a picture far larger than a bank costs
// no more memory than the part that is shown; the same reader works over a
// buffer in memory (tests, fuzzing, the clipboard).
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/files.hpp"

namespace vx::graphics {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Copies up to out.size() bytes starting at `offset`; returns how many
  // were copied (fewer at the end of the data).
  virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  explicit SpanSource(std::string_view bytes)
      : bytes_(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

class FileSource final : public ByteSource {
 public:
  // Opens the script path for reading; Ok() tells whether that worked.
  explicit FileSource(std::string_view script_path);
  bool Ok() const { return file_ != nullptr; }
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  static constexpr std::uint64_t NO_POSITION = ~std::uint64_t{0};
  files::FilePtr file_;
  std::uint64_t size_ = 0;
  std::uint64_t next_ = NO_POSITION;  // where the stream stands after the last read
};

}  // namespace vx::graphics
