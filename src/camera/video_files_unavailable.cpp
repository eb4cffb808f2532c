// SPDX-License-Identifier: MIT
// Video files in a program built without FFmpeg's development files: every
// file refuses to open, with the reason; V4L2 cameras are not affected.
#include "camera/video_reader.hpp"
#include "camera/video_writer.hpp"
#include "platform/library_packages.hpp"

namespace vx::camera {
namespace {

std::string Unavailable() {
  return "video library not available (" +
         platform::BuiltWithout("FFmpeg", "libavformat-dev libavcodec-dev libswscale-dev libavutil-dev") + ")";
}

}  // namespace

VideoReader::~VideoReader() = default;

void VideoReader::Close() {}

bool VideoReader::Open(const std::string& /*path*/) {
  error_ = Unavailable();
  return false;
}

bool VideoReader::Next() { return false; }

bool VideoReader::Seek(std::int64_t /*number*/) { return false; }

bool VideoReader::Convert(std::uint8_t* /*top_row*/, std::ptrdiff_t /*stride*/, int /*width*/, int /*height*/) {
  return false;
}

VideoWriter::~VideoWriter() = default;

void VideoWriter::Abandon() {}

bool VideoWriter::Open(const std::string& /*path*/, int /*width*/, int /*height*/, int /*fps*/,
                       std::string_view /*shown*/) {
  frames_ = 0;
  error_ = Unavailable();
  return false;
}

bool VideoWriter::Add(const std::uint8_t* /*top_row*/, std::ptrdiff_t /*stride*/) { return false; }

bool VideoWriter::Finish() { return false; }

}  // namespace vx::camera
