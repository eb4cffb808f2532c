#pragma once
// Memory that reads as zeros and costs nothing until it is written: fresh
// pages from the kernel, made resident one page at a time on first touch.
// For large buffers that are mostly never written (the system variables'
// texts), where a zero-filled heap block would be cleared byte by byte and
// touched whole.
#include <cstddef>

namespace vx::platform {

class ZeroPages {
 public:
  ZeroPages() = default;
  // `bytes` rounded up to whole pages; empty (Data() null) when the mapping
  // fails or `bytes` is 0.
  explicit ZeroPages(std::size_t bytes);
  ~ZeroPages();
  ZeroPages(ZeroPages&& other) noexcept;
  ZeroPages& operator=(ZeroPages&& other) noexcept;
  ZeroPages(const ZeroPages&) = delete;
  ZeroPages& operator=(const ZeroPages&) = delete;

  char* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  void Release();

  char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace vx::platform
