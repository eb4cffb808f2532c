#include "camera/video_writer.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "camera/ffmpeg_api.hpp"
#include "camera/palette.hpp"
#include "camera/video_reader.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"

namespace vx::camera {
namespace {

constexpr int kKeyFrameInterval = 12;
// MPEG-4 quantiser: 2 is near the best the codec does, at a modest size.
constexpr int kMpeg4Quantiser = 3;
constexpr const char* kPartSuffix = ".part";

}  // namespace

VideoWriter::~VideoWriter() {
  if (IsOpen()) Finish();
}

void VideoWriter::Free() {
  const FfmpegApi* f = Ffmpeg();
  if (f != nullptr) {
    if (scaler_ != nullptr) f->sws_freeContext(scaler_);
    if (frame_ != nullptr) f->av_frame_free(&frame_);
    if (packet_ != nullptr) f->av_packet_free(&packet_);
    if (codec_ != nullptr) f->avcodec_free_context(&codec_);
    if (format_ != nullptr) {
      if (format_->pb != nullptr) f->avio_closep(&format_->pb);
      f->avformat_free_context(format_);
    }
  }
  scaler_ = nullptr;
  frame_ = nullptr;
  packet_ = nullptr;
  codec_ = nullptr;
  format_ = nullptr;
  stream_ = nullptr;
}

bool VideoWriter::Fail(const std::string& why) {
  Abandon();
  error_ = why;
  return false;
}

// A failure of the file itself (not of the encoder): the user is told of it
// as of any file that cannot be written.
bool VideoWriter::FileFailed(int code) {
  // FFmpeg's codes for system errors are the negated errno values.
  const int errnum = code < 0 && code > -4096 ? -code : EIO;
  files::NoteWriteFailure(shown_, errnum);
  return Fail(ErrorText(code));
}

void VideoWriter::Abandon() {
  const bool had_file = format_ != nullptr && format_->pb != nullptr;
  Free();
  if (had_file) std::remove(part_path_.c_str());
}

bool VideoWriter::Open(const std::string& path, int width, int height, int fps,
                       std::string_view shown) {
  Abandon();
  error_.clear();
  shown_ = shown.empty() ? path : std::string(shown);
  frames_ = 0;
  width_ = width & ~1;
  height_ = height & ~1;
  if (width_ < VIDEO_WRITE_DIMENSION_MIN || height_ < VIDEO_WRITE_DIMENSION_MIN ||
      width_ > VIDEO_DIMENSION_MAX || height_ > VIDEO_DIMENSION_MAX) {
    return Fail("bad frame size");
  }
  if (fps < 1 || fps > VIDEO_FPS_MAX) return Fail("bad frame rate");
  const FfmpegApi* f = Ffmpeg();
  if (f == nullptr) return Fail("video library not available (" + LoadError() + ")");
  path_ = path;
  part_path_ = path + kPartSuffix;

  if (f->avformat_alloc_output_context2(&format_, nullptr, nullptr, path.c_str()) < 0 ||
      format_ == nullptr) {
    format_ = nullptr;
    return Fail("unknown video format for this file name");
  }
  const AVOutputFormat* container = format_->oformat;
  AVCodecID id = container->video_codec;
  if (f->avformat_query_codec(container, AV_CODEC_ID_MPEG4, FF_COMPLIANCE_NORMAL) == 1) {
    id = AV_CODEC_ID_MPEG4;  // built into every FFmpeg, fast, plays everywhere
  }
  const AVCodec* encoder = id == AV_CODEC_ID_NONE ? nullptr : f->avcodec_find_encoder(id);
  if (encoder == nullptr) return Fail("no video encoder for this file format");

  codec_ = f->avcodec_alloc_context3(encoder);
  if (codec_ == nullptr) return Fail("out of memory");
  codec_->width = width_;
  codec_->height = height_;
  codec_->time_base = AVRational{1, fps};
  codec_->framerate = AVRational{fps, 1};
  codec_->gop_size = kKeyFrameInterval;
  codec_->max_b_frames = 0;
  codec_->pix_fmt = encoder->pix_fmts != nullptr ? encoder->pix_fmts[0] : AV_PIX_FMT_YUV420P;
  // GIF frames carry a palette each: made from the frame's own colours
  // rather than a fixed 3-3-2 palette that shifts every colour.
  if (id == AV_CODEC_ID_GIF) codec_->pix_fmt = AV_PIX_FMT_PAL8;
  if (id == AV_CODEC_ID_MPEG4) {
    codec_->flags |= AV_CODEC_FLAG_QSCALE;
    codec_->global_quality = FF_QP2LAMBDA * kMpeg4Quantiser;
  }
  if ((container->flags & AVFMT_GLOBALHEADER) != 0) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int r = f->avcodec_open2(codec_, encoder, nullptr);
  if (r < 0) return Fail(ErrorText(r));

  stream_ = f->avformat_new_stream(format_, nullptr);
  if (stream_ == nullptr) return Fail("out of memory");
  stream_->time_base = codec_->time_base;
  r = f->avcodec_parameters_from_context(stream_->codecpar, codec_);
  if (r < 0) return Fail(ErrorText(r));

  frame_ = f->av_frame_alloc();
  packet_ = f->av_packet_alloc();
  if (frame_ == nullptr || packet_ == nullptr) return Fail("out of memory");
  frame_->format = codec_->pix_fmt;
  frame_->width = width_;
  frame_->height = height_;
  r = f->av_frame_get_buffer(frame_, 0);
  if (r < 0) return Fail(ErrorText(r));

  if ((container->flags & AVFMT_NOFILE) == 0) {
    r = f->avio_open(&format_->pb, FileUrl(part_path_).c_str(), AVIO_FLAG_WRITE);
    if (r < 0) {
      format_->pb = nullptr;
      return FileFailed(r);
    }
  }
  r = f->avformat_write_header(format_, nullptr);
  if (r < 0) return Fail(ErrorText(r));
  return true;
}

bool VideoWriter::Drain() {
  const FfmpegApi* f = Ffmpeg();
  for (;;) {
    int r = f->avcodec_receive_packet(codec_, packet_);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) return Fail(ErrorText(r));
    // Every frame lasts one tick of the rate; without a duration some
    // containers (MP4) give the last frame none and players drop it.
    if (packet_->duration <= 0) packet_->duration = 1;
    f->av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
    packet_->stream_index = stream_->index;
    r = f->av_interleaved_write_frame(format_, packet_);  // takes the packet's data
    if (r < 0) return FileFailed(r);
  }
}

bool VideoWriter::Add(const std::uint8_t* top_row, std::ptrdiff_t stride) {
  if (!IsOpen()) return false;
  const FfmpegApi* f = Ffmpeg();
  int r = f->av_frame_make_writable(frame_);
  if (r < 0) return Fail(ErrorText(r));
  if (codec_->pix_fmt == AV_PIX_FMT_PAL8) {
    Palette palette;
    QuantizePicture(top_row, stride, width_, height_, frame_->data[0], frame_->linesize[0], palette);
    std::memcpy(frame_->data[1], palette.data(), sizeof palette);
    return Encode();
  }
  scaler_ = f->sws_getCachedContext(scaler_, width_, height_, AV_PIX_FMT_BGR24, width_, height_,
                                    codec_->pix_fmt, SWS_POINT, nullptr, nullptr, nullptr);
  if (scaler_ == nullptr) return Fail("cannot convert to the encoder's picture format");
  const std::uint8_t* planes[4] = {top_row, nullptr, nullptr, nullptr};
  const int strides[4] = {static_cast<int>(stride), 0, 0, 0};
  f->sws_scale(scaler_, planes, strides, 0, height_, frame_->data, frame_->linesize);
  return Encode();
}

bool VideoWriter::Encode() {
  const FfmpegApi* f = Ffmpeg();
  frame_->pts = frames_;
  const int r = f->avcodec_send_frame(codec_, frame_);
  if (r < 0) return Fail(ErrorText(r));
  ++frames_;
  return Drain();
}

bool VideoWriter::Finish() {
  if (!IsOpen()) return false;
  const FfmpegApi* f = Ffmpeg();
  int r = f->avcodec_send_frame(codec_, nullptr);
  if (r < 0) return Fail(ErrorText(r));
  if (!Drain()) return false;
  r = f->av_write_trailer(format_);
  if (r < 0) return FileFailed(r);
  if (format_->pb != nullptr && format_->pb->error < 0) return FileFailed(format_->pb->error);
  // Closing writes out what is buffered: it may fail too.
  if (format_->pb != nullptr && (r = f->avio_closep(&format_->pb)) < 0) {
    std::remove(part_path_.c_str());
    return FileFailed(r);
  }
  Free();
  if (std::rename(part_path_.c_str(), path_.c_str()) != 0) {
    const int errnum = errno;
    std::remove(part_path_.c_str());
    files::NoteWriteFailure(shown_, errnum);
    error_ = "cannot rename the finished file: " + files::ErrorText(errnum);
    return false;
  }
  return true;
}

}  // namespace vx::camera
