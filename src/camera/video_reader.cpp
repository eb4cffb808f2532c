#include "camera/video_reader.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "camera/ffmpeg_api.hpp"
#include "camera/frame_turn.hpp"

namespace vx::camera {
namespace {

// Undecodable packets in a row before the file counts as unreadable.
constexpr int kBadPacketsMax = 64;
// How far before the frame asked for a seek starts again when the key frame
// the file named lies after it (seconds, doubled on every try).
constexpr double kFirstStepBack = 1.0;
// Bytes a converted row may be written past its end.
constexpr std::size_t kRowSlack = 64;

double Seconds(AVRational r) { return r.den == 0 ? 0.0 : static_cast<double>(r.num) / r.den; }

// Bytes a pixel takes in each plane of a format whose planes can be turned
// as they are; false for formats that cannot (bit streams, palettes, and for
// a quarter turn chroma planes that are not square).
bool PlaneSteps(const AVPixFmtDescriptor* d, int quarter_turns, int (&steps)[4], int* planes) {
  if (d == nullptr ||
      (d->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL)) != 0) {
    return false;
  }
  if ((quarter_turns & 1) != 0 && d->log2_chroma_w != d->log2_chroma_h) return false;
  std::fill(std::begin(steps), std::end(steps), 0);
  *planes = 0;
  for (int c = 0; c < d->nb_components; ++c) {
    const int plane = d->comp[c].plane;
    steps[plane] = std::max(steps[plane], d->comp[c].step);
    *planes = std::max(*planes, plane + 1);
  }
  return *planes > 0;
}

// Gives `frame` a buffer for `format` at `width` x `height`, keeping the one
// it has when that fits.
bool Ensure(const FfmpegApi* f, AVFrame* frame, int format, int width, int height) {
  if (frame->data[0] != nullptr && frame->format == format && frame->width == width && frame->height == height) {
    return f->av_frame_make_writable(frame) >= 0;
  }
  f->av_frame_unref(frame);
  frame->format = format;
  frame->width = width;
  frame->height = height;
  return f->av_frame_get_buffer(frame, 0) >= 0;
}

// The format a picture that cannot be turned as it is goes through: 4:4:4
// of the same depth for YUV, else blue-green-red.
AVPixelFormat StagingFormat(const AVPixFmtDescriptor* d) {
  if (d == nullptr || (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM)) != 0 ||
      d->nb_components < 3) {
    return AV_PIX_FMT_BGR24;
  }
  const int depth = d->comp[0].depth;
  if (depth <= 8) return AV_PIX_FMT_YUV444P;
  if (depth <= 10) return AV_PIX_FMT_YUV444P10;
  if (depth <= 12) return AV_PIX_FMT_YUV444P12;
  return AV_PIX_FMT_YUV444P16;
}

// The scaling context for `key` (to `to`), made again only when the key
// changed. The colour matrix and range are the frame's, as the ffmpeg tool
// takes them.
SwsContext* Scaler(const FfmpegApi* f, SwsContext* context, ScaleKey* held, const ScaleKey& key) {
  if (context != nullptr && *held == key) return context;
  if (context != nullptr) f->sws_freeContext(context);
  *held = ScaleKey{};
  context = f->sws_getCachedContext(nullptr, key.src_width, key.src_height, static_cast<AVPixelFormat>(key.src_format),
                                    key.dst_width, key.dst_height, static_cast<AVPixelFormat>(key.dst_format),
                                    key.flags, nullptr, nullptr, nullptr);
  if (context == nullptr) return nullptr;
  int* inverse = nullptr;
  int* table = nullptr;
  int src_full = 0, dst_full = 0, brightness = 0, contrast = 0, saturation = 0;
  if (f->sws_getColorspaceDetails(context, &inverse, &src_full, &table, &dst_full, &brightness, &contrast,
                                  &saturation) >= 0) {
    const int* coefficients = f->sws_getCoefficients(key.colour_space);
    if (key.colour_range != AVCOL_RANGE_UNSPECIFIED) src_full = key.colour_range == AVCOL_RANGE_JPEG ? 1 : 0;
    f->sws_setColorspaceDetails(context, coefficients, src_full, coefficients, dst_full, brightness, contrast,
                                saturation);
  }
  *held = key;
  return context;
}

// A damaged stream may carry colour fields outside their enumerations, and
// decoders copy them into the frame as found: read them as integers and keep
// only the values the scaler knows, so no invalid enum value is ever loaded.
AVColorSpace ColourSpaceOf(const AVFrame* frame) {
  static_assert(sizeof(AVColorSpace) == sizeof(int));
  int raw = 0;
  std::memcpy(&raw, &frame->colorspace, sizeof raw);
  return raw >= 0 && raw < AVCOL_SPC_NB ? static_cast<AVColorSpace>(raw) : AVCOL_SPC_UNSPECIFIED;
}

AVColorRange ColourRangeOf(const AVFrame* frame) {
  static_assert(sizeof(AVColorRange) == sizeof(int));
  int raw = 0;
  std::memcpy(&raw, &frame->color_range, sizeof raw);
  return raw >= 0 && raw < AVCOL_RANGE_NB ? static_cast<AVColorRange>(raw) : AVCOL_RANGE_UNSPECIFIED;
}

ScaleKey KeyFor(const AVFrame* src, int width, int height, int flags, AVPixelFormat to = AV_PIX_FMT_BGR24) {
  return ScaleKey{src->width, src->height, src->format, width, height, to, flags, ColourSpaceOf(src), ColourRangeOf(src)};
}

// The clockwise quarter turns the stream's display matrix asks for.
int StreamTurns(const FfmpegApi* f, const AVStream* st) {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
#if LIBAVFORMAT_VERSION_MAJOR < 61
  data = f->av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
#else
  const AVPacketSideData* side = f->av_packet_side_data_get(st->codecpar->coded_side_data,
                                                            st->codecpar->nb_coded_side_data,
                                                            AV_PKT_DATA_DISPLAYMATRIX);
  if (side != nullptr) {
    data = side->data;
    size = side->size;
  }
#endif
  std::int32_t matrix[9];
  if (data == nullptr || size < sizeof matrix) return 0;
  std::memcpy(matrix, data, sizeof matrix);
  return QuarterTurnsFor(f->av_display_rotation_get(matrix));
}

}  // namespace

VideoReader::~VideoReader() { Close(); }

void VideoReader::Close() {
  const FfmpegApi* f = Ffmpeg();
  if (f != nullptr) {
    if (scaler_ != nullptr) f->sws_freeContext(scaler_);
    if (stager_ != nullptr) f->sws_freeContext(stager_);
    if (frame_ != nullptr) f->av_frame_free(&frame_);
    if (turned_ != nullptr) f->av_frame_free(&turned_);
    if (staged_ != nullptr) f->av_frame_free(&staged_);
    if (packet_ != nullptr) f->av_packet_free(&packet_);
    if (codec_ != nullptr) f->avcodec_free_context(&codec_);
    if (format_ != nullptr) f->avformat_close_input(&format_);
  }
  scaler_ = nullptr;
  stager_ = nullptr;
  scaler_key_ = ScaleKey{};
  stager_key_ = ScaleKey{};
  format_ = nullptr;
  codec_ = nullptr;
  frame_ = nullptr;
  turned_ = nullptr;
  staged_ = nullptr;
  packet_ = nullptr;
  stream_ = -1;
  info_ = VideoInfo{};
  pts_ = AV_NOPTS_VALUE;
  tick_ = 0;
  number_ = -1;
  next_number_ = 0;
  time_ = 0;
  has_frame_ = false;
  pending_ = false;
  turned_valid_ = false;
  need_key_ = false;
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
  turned_ = f->av_frame_alloc();
  staged_ = f->av_frame_alloc();
  packet_ = f->av_packet_alloc();
  if (frame_ == nullptr || turned_ == nullptr || staged_ == nullptr || packet_ == nullptr) {
    return Fail("out of memory");
  }

  time_base_ = Seconds(st->time_base);
  start_ = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
  info_.quarter_turns = StreamTurns(f, st);
  const bool sideways = (info_.quarter_turns & 1) != 0;
  info_.width = sideways ? par->height : par->width;
  info_.height = sideways ? par->width : par->height;
  AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
  info_.fps = Seconds(rate);
  tick_ = info_.fps > 0 && time_base_ > 0 ? 1.0 / (info_.fps * time_base_) : 0.0;
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
  const std::int64_t previous = has_frame_ ? pts_ : AV_NOPTS_VALUE;
  pts_ = frame_->best_effort_timestamp;
  // A frame without a time stamp (the last of some program streams) comes
  // one frame after the one before it.
  if (pts_ == AV_NOPTS_VALUE && previous != AV_NOPTS_VALUE && tick_ > 0) pts_ = previous + std::llround(tick_);
  turned_valid_ = false;
  if (pts_ != AV_NOPTS_VALUE) {
    time_ = static_cast<double>(pts_ - start_) * time_base_;
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
    // After a seek the decoder starts at a key frame: what comes before it
    // would decode wrongly, or not at all.
    if (packet_->stream_index != stream_ || (need_key_ && (packet_->flags & AV_PKT_FLAG_KEY) == 0)) {
      f->av_packet_unref(packet_);
      continue;
    }
    need_key_ = false;
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
  if (pending_) {
    pending_ = false;
    return true;
  }
  return Receive();
}

bool VideoReader::SeekFile(std::int64_t at, SeekFrom from) {
  const FfmpegApi* f = Ffmpeg();
  const int r = from == SeekFrom::kFirstByte
                    ? f->avformat_seek_file(format_, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE)
                    : f->avformat_seek_file(format_, stream_, INT64_MIN, at, at, 0);
  if (r < 0) {
    error_ = ErrorText(r);
    return false;
  }
  f->avcodec_flush_buffers(codec_);
  draining_ = false;
  has_frame_ = false;
  pending_ = false;
  next_number_ = 0;
  need_key_ = from == SeekFrom::kKeyFrame;
  return true;
}

bool VideoReader::Seek(std::int64_t number) {
  if (!IsOpen() || number < 0) return false;
  error_.clear();
  pending_ = false;
  if (number > 0 && (info_.fps <= 0 || time_base_ <= 0)) {
    error_ = "frame rate unknown";
    return false;
  }
  // The frame asked for is the one presented at number / fps, give or take
  // less than half a frame: its time stamp, not a count of frames,
  // identifies it.
  const double tick = tick_;
  const std::int64_t target = start_ + std::llround(static_cast<double>(number) * tick);
  const auto before = [&] { return static_cast<double>(pts_ - target) <= -tick / 2; };
  const auto beyond = [&] { return static_cast<double>(pts_ - target) >= tick / 2; };
  // The demuxer finds the key frame at or before a time only roughly (by
  // decoding time, or by guessing in a transport stream): when the first
  // frame decoded lies beyond the target, start earlier, then at the start
  // of the file by its time stamp, and last at its first byte.
  // Only streams without an index (transport and program streams, whose
  // time stamps may jump) are sought by bytes: elsewhere a byte position
  // can land inside the file's structures.
  const int flags = format_->iformat->flags;
  const bool bytes = (flags & AVFMT_TS_DISCONT) != 0 && (flags & AVFMT_NO_BYTE_SEEK) == 0;
  double back = 0;
  for (SeekFrom from = number == 0 ? SeekFrom::kStart : SeekFrom::kKeyFrame;;) {
    const std::int64_t at = target - std::llround(back / time_base_);
    if (from == SeekFrom::kKeyFrame && at <= start_) from = SeekFrom::kStart;
    const bool last = from == SeekFrom::kFirstByte || (from == SeekFrom::kStart && !bytes);
    const SeekFrom tried = from;
    if (from == SeekFrom::kKeyFrame) {
      back = back == 0 ? kFirstStepBack : back * 2;
    } else {
      from = SeekFrom::kFirstByte;
    }
    if (!SeekFile(tried == SeekFrom::kStart ? start_ : at, tried)) {
      if (last) return false;
      error_.clear();
      continue;
    }
    if (!Receive()) {
      if (!error_.empty()) return false;
      if (last) return true;  // no frame at all: Next reports the end
      continue;               // nothing decodable from there: start earlier
    }
    if (pts_ == AV_NOPTS_VALUE) {
      // No time stamps: frames are counted from the start.
      if (tried == SeekFrom::kKeyFrame) continue;
      while (number_ < number) {
        if (!Receive()) return error_.empty();
      }
      break;
    }
    if (!last && beyond()) continue;
    while (before()) {
      if (!Receive()) return error_.empty();  // past the last frame: Next reports the end
    }
    break;
  }
  pending_ = true;
  return true;
}

const AVFrame* VideoReader::Upright(bool own_size) {
  const int turns = info_.quarter_turns;
  if (turns == 0) return frame_;
  if (turned_valid_ && turned_for_own_size_ == own_size) return turned_;
  const FfmpegApi* f = Ffmpeg();
  const AVFrame* src = frame_;
  int steps[4];
  int planes = 0;
  const AVPixFmtDescriptor* d = f->av_pix_fmt_desc_get(static_cast<AVPixelFormat>(src->format));
  if (!PlaneSteps(d, turns, steps, &planes)) {
    // A picture whose planes cannot be turned as they are (4:2:2 chroma) is
    // first converted at its own size to a format that can, as the tool
    // does: to blue-green-red when it is shown at that size, else to 4:4:4
    // of its depth (or blue-green-red), which is then scaled.
    const AVPixelFormat staging = own_size ? AV_PIX_FMT_BGR24 : StagingFormat(d);
    stager_ = Scaler(f, stager_, &stager_key_, KeyFor(src, src->width, src->height, SWS_BICUBIC, staging));
    if (stager_ == nullptr || !Ensure(f, staged_, staging, src->width, src->height)) {
      error_ = "cannot convert this picture format";
      return nullptr;
    }
    f->sws_scale(stager_, src->data, src->linesize, 0, src->height, staged_->data, staged_->linesize);
    const bool yuv = staging != AV_PIX_FMT_BGR24;
    staged_->colorspace = yuv ? ColourSpaceOf(src) : AVCOL_SPC_UNSPECIFIED;
    staged_->color_range = yuv ? ColourRangeOf(src) : AVCOL_RANGE_UNSPECIFIED;
    src = staged_;
    d = f->av_pix_fmt_desc_get(staging);
    PlaneSteps(d, turns, steps, &planes);
  }
  const bool sideways = (turns & 1) != 0;
  if (!Ensure(f, turned_, src->format, sideways ? src->height : src->width, sideways ? src->width : src->height)) {
    error_ = "out of memory";
    return nullptr;
  }
  for (int p = 0; p < planes; ++p) {
    const bool chroma = (p == 1 || p == 2) && (d->flags & AV_PIX_FMT_FLAG_RGB) == 0;
    const int width = chroma ? -((-src->width) >> d->log2_chroma_w) : src->width;
    const int height = chroma ? -((-src->height) >> d->log2_chroma_h) : src->height;
    TurnPlane(src->data[p], src->linesize[p], width, height, steps[p], turns, turned_->data[p], turned_->linesize[p]);
  }
  turned_->colorspace = ColourSpaceOf(src);
  turned_->color_range = ColourRangeOf(src);
  turned_valid_ = true;
  turned_for_own_size_ = own_size;
  return turned_;
}

bool VideoReader::Convert(std::uint8_t* top_row, std::ptrdiff_t stride, int width, int height) {
  if (!has_frame_ || width <= 0 || height <= 0) return false;
  const FfmpegApi* f = Ffmpeg();
  const AVFrame* src = Upright(width == info_.width && height == info_.height);
  if (src == nullptr) return false;
  // Same size: the ffmpeg tool's own conversion (bicubic, which for 4:2:0
  // chroma and 10-bit pictures decides the colour of every edge). Smaller:
  // the average of the area each pixel covers (as the picture functions
  // reduce). Larger: bilinear.
  int flags = SWS_BILINEAR;
  if (width == src->width && height == src->height) {
    flags = SWS_BICUBIC;
  } else if (width <= src->width && height <= src->height) {
    flags = SWS_AREA;
  }
  scaler_ = Scaler(f, scaler_, &scaler_key_, KeyFor(src, width, height, flags));
  if (scaler_ == nullptr) {
    error_ = "cannot convert this picture format";
    return false;
  }
  // The converter's vector code writes whole blocks of pixels and may run
  // past the end of a row (24 bytes for a 4:2:0 picture 120 pixels wide):
  // it writes into rows with room to spare, copied out afterwards.
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  const std::size_t padded = (row + kRowSlack + 63) / 64 * 64;
  scratch_.resize(padded * static_cast<std::size_t>(height) + kRowSlack);
  std::uint8_t* planes[4] = {scratch_.data(), nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(padded), 0, 0, 0};
  f->sws_scale(scaler_, src->data, src->linesize, 0, src->height, planes, strides);
  for (int y = 0; y < height; ++y) std::memcpy(top_row + y * stride, scratch_.data() + y * padded, row);
  return true;
}

}  // namespace vx::camera
