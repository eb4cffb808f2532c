#include "camera/video_reader.hpp"

#include <cmath>

#include "camera/ffmpeg_api.hpp"

namespace vx::camera {
namespace {

// Undecodable packets in a row before the file counts as unreadable.
constexpr int kBadPacketsMax = 64;

double Seconds(AVRational r) { return r.den == 0 ? 0.0 : static_cast<double>(r.num) / r.den; }

}  // namespace

VideoReader::~VideoReader() { Close(); }

void VideoReader::Close() {
  const FfmpegApi* f = Ffmpeg();
  if (f != nullptr) {
    if (scaler_ != nullptr) f->sws_freeContext(scaler_);
    if (frame_ != nullptr) f->av_frame_free(&frame_);
    if (packet_ != nullptr) f->av_packet_free(&packet_);
    if (codec_ != nullptr) f->avcodec_free_context(&codec_);
    if (format_ != nullptr) f->avformat_close_input(&format_);
  }
  scaler_ = nullptr;
  format_ = nullptr;
  codec_ = nullptr;
  frame_ = nullptr;
  packet_ = nullptr;
  stream_ = -1;
  info_ = VideoInfo{};
  number_ = -1;
  next_number_ = 0;
  time_ = 0;
  has_frame_ = false;
  draining_ = false;
}

bool VideoReader::Fail(const std::string& why) {
  Close();
  error_ = why;
  return false;
}

bool VideoReader::Open(const std::string& path) {
  Close();
  error_.clear();
  const FfmpegApi* f = Ffmpeg();
  if (f == nullptr) return Fail("video library not available (" + LoadError() + ")");
  // Files only: a playlist or reference inside the file may not reach the
  // network or other protocols either.
  AVDictionary* options = nullptr;
  f->av_dict_set(&options, "protocol_whitelist", "file", 0);
  int r = f->avformat_open_input(&format_, FileUrl(path).c_str(), nullptr, &options);
  f->av_dict_free(&options);
  if (r < 0) {
    format_ = nullptr;
    return Fail(ErrorText(r));
  }
  r = f->avformat_find_stream_info(format_, nullptr);
  if (r < 0) return Fail(ErrorText(r));
  const AVCodec* decoder = nullptr;
  stream_ = f->av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (stream_ < 0 || decoder == nullptr) return Fail("no video stream");
  AVStream* st = format_->streams[stream_];
  const AVCodecParameters* par = st->codecpar;
  if (par->width <= 0 || par->height <= 0 || par->width > VIDEO_DIMENSION_MAX ||
      par->height > VIDEO_DIMENSION_MAX) {
    return Fail("bad frame size");
  }
  codec_ = f->avcodec_alloc_context3(decoder);
  if (codec_ == nullptr) return Fail("out of memory");
  r = f->avcodec_parameters_to_context(codec_, par);
  if (r < 0) return Fail(ErrorText(r));
  codec_->thread_count = 0;  // as many as the machine has
  codec_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  r = f->avcodec_open2(codec_, decoder, nullptr);
  if (r < 0) return Fail(ErrorText(r));
  frame_ = f->av_frame_alloc();
  packet_ = f->av_packet_alloc();
  if (frame_ == nullptr || packet_ == nullptr) return Fail("out of memory");

  time_base_ = Seconds(st->time_base);
  start_ = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
  info_.width = par->width;
  info_.height = par->height;
  AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
  info_.fps = Seconds(rate);
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
    info_.duration = static_cast<double>(st->duration) * time_base_;
  } else if (format_->duration > 0) {
    info_.duration = static_cast<double>(format_->duration) / AV_TIME_BASE;
  }
  info_.frames = st->nb_frames > 0 ? st->nb_frames
                                   : static_cast<std::int64_t>(std::llround(info_.duration * info_.fps));
  return true;
}

void VideoReader::NoteFrame() {
  const std::int64_t pts = frame_->best_effort_timestamp;
  if (pts != AV_NOPTS_VALUE) {
    time_ = static_cast<double>(pts - start_) * time_base_;
    // The number from the time stamp survives seeks and dropped packets.
    number_ = info_.fps > 0 ? std::llround(time_ * info_.fps) : next_number_;
  } else {
    number_ = next_number_;
    time_ = info_.fps > 0 ? static_cast<double>(number_) / info_.fps : 0;
  }
  next_number_ = number_ + 1;
  has_frame_ = true;
}

bool VideoReader::Receive() {
  const FfmpegApi* f = Ffmpeg();
  int bad_packets = 0;
  for (;;) {
    int r = f->avcodec_receive_frame(codec_, frame_);
    if (r == 0) {
      if (frame_->width <= 0 || frame_->height <= 0 || frame_->width > VIDEO_DIMENSION_MAX ||
          frame_->height > VIDEO_DIMENSION_MAX) {
        error_ = "bad frame size";
        return false;
      }
      NoteFrame();
      return true;
    }
    if (r == AVERROR_EOF) return false;
    if (r != AVERROR(EAGAIN)) {
      error_ = ErrorText(r);
      return false;
    }
    if (draining_) return false;
    r = f->av_read_frame(format_, packet_);
    if (r < 0) {
      // The end, or a read that failed: what the decoder holds still comes out.
      if (r != AVERROR_EOF) error_ = ErrorText(r);
      draining_ = true;
      f->avcodec_send_packet(codec_, nullptr);
      continue;
    }
    if (packet_->stream_index != stream_) {
      f->av_packet_unref(packet_);
      continue;
    }
    r = f->avcodec_send_packet(codec_, packet_);
    f->av_packet_unref(packet_);
    if (r < 0 && r != AVERROR(EAGAIN)) {
      // A damaged packet is skipped; a file of nothing else is unreadable.
      if (++bad_packets >= kBadPacketsMax) {
        error_ = ErrorText(r);
        return false;
      }
    } else {
      bad_packets = 0;
    }
  }
}

bool VideoReader::Next() {
  if (!IsOpen()) return false;
  error_.clear();
  return Receive();
}

bool VideoReader::Seek(std::int64_t number) {
  if (!IsOpen() || number < 0) return false;
  const FfmpegApi* f = Ffmpeg();
  error_.clear();
  if (number > 0 && info_.fps <= 0) {
    error_ = "frame rate unknown";
    return false;
  }
  const double seconds = static_cast<double>(number) / (info_.fps > 0 ? info_.fps : 1);
  const std::int64_t target =
      start_ + (time_base_ > 0 ? static_cast<std::int64_t>(std::floor(seconds / time_base_)) : 0);
  const int r = f->avformat_seek_file(format_, stream_, INT64_MIN, target, target, AVSEEK_FLAG_BACKWARD);
  if (r < 0) {
    error_ = ErrorText(r);
    return false;
  }
  f->avcodec_flush_buffers(codec_);
  draining_ = false;
  has_frame_ = false;
  next_number_ = 0;
  // Decode from the key frame before the target up to the frame before it,
  // so that the next Next gives the target itself.
  if (number == 0) return true;
  while (Receive()) {
    if (number_ >= number - 1) return true;
  }
  return error_.empty();  // past the end: the next Next reports the end
}

bool VideoReader::Convert(std::uint8_t* top_row, std::ptrdiff_t stride, int width, int height) {
  if (!has_frame_ || width <= 0 || height <= 0) return false;
  const FfmpegApi* f = Ffmpeg();
  // Same size: a plain conversion. Smaller: the average of the area each
  // pixel covers (as the picture functions reduce). Larger: bilinear.
  int flags = SWS_BILINEAR;
  if (width == frame_->width && height == frame_->height) {
    flags = SWS_POINT;
  } else if (width <= frame_->width && height <= frame_->height) {
    flags = SWS_AREA;
  }
  scaler_ = f->sws_getCachedContext(scaler_, frame_->width, frame_->height,
                                    static_cast<AVPixelFormat>(frame_->format), width, height,
                                    AV_PIX_FMT_BGR24, flags, nullptr, nullptr, nullptr);
  if (scaler_ == nullptr) {
    error_ = "cannot convert this picture format";
    return false;
  }
  std::uint8_t* planes[4] = {top_row, nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(stride), 0, 0, 0};
  f->sws_scale(scaler_, frame_->data, frame_->linesize, 0, frame_->height, planes, strides);
  return true;
}

}  // namespace vx::camera
