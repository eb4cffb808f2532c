#include "camera/ffmpeg_api.hpp"

#include <array>

#include "platform/shared_library.hpp"

namespace vx::camera {
namespace {

#define VX_STRINGIFY2(x) #x
#define VX_STRINGIFY(x) VX_STRINGIFY2(x)
// The sonames of the versions whose headers we were built against.
constexpr const char* kAvFormat = "libavformat.so." VX_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR);
constexpr const char* kAvCodec = "libavcodec.so." VX_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
constexpr const char* kAvUtil = "libavutil.so." VX_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
constexpr const char* kSwScale = "libswscale.so." VX_STRINGIFY(LIBSWSCALE_VERSION_MAJOR);
#undef VX_STRINGIFY
#undef VX_STRINGIFY2

std::string& ErrorSlot() {
  static std::string error;
  return error;
}

// Binds `name` from `library`, noting the first failure.
template <typename F>
bool BindOne(platform::SharedLibrary& library, const char* name, F* out) {
  if (library.Bind(name, out)) return true;
  if (ErrorSlot().empty()) ErrorSlot() = library.Error();
  return false;
}

bool Open(const char* soname, platform::SharedLibrary** out) {
  *out = &platform::SharedLibrary::Resident(soname);
  if ((*out)->Loaded()) return true;
  ErrorSlot() = std::string(soname) + ": " + (*out)->Error();
  return false;
}

bool Load(FfmpegApi& f) {
  platform::SharedLibrary* util = nullptr;
  platform::SharedLibrary* codec = nullptr;
  platform::SharedLibrary* format = nullptr;
  platform::SharedLibrary* scale = nullptr;
  // Dependencies first: each library finds the ones below it already mapped.
  if (!Open(kAvUtil, &util) || !Open(kSwScale, &scale) || !Open(kAvCodec, &codec) ||
      !Open(kAvFormat, &format)) {
    return false;
  }
  bool ok = true;
#define VX_BIND(lib, fn) ok = BindOne(*lib, #fn, &f.fn) && ok
  VX_BIND(format, avformat_open_input);
  VX_BIND(format, avformat_find_stream_info);
  VX_BIND(format, av_find_best_stream);
  VX_BIND(format, avformat_close_input);
  VX_BIND(format, av_read_frame);
  VX_BIND(format, avformat_seek_file);
  VX_BIND(format, avformat_alloc_output_context2);
  VX_BIND(format, avformat_query_codec);
  VX_BIND(format, avformat_new_stream);
  VX_BIND(format, avformat_write_header);
  VX_BIND(format, av_interleaved_write_frame);
  VX_BIND(format, av_write_trailer);
  VX_BIND(format, avformat_free_context);
  VX_BIND(format, avio_open);
  VX_BIND(format, avio_closep);
#if LIBAVFORMAT_VERSION_MAJOR < 61
  VX_BIND(format, av_stream_get_side_data);
#else
  VX_BIND(codec, av_packet_side_data_get);
#endif
  VX_BIND(codec, avcodec_find_decoder);
  VX_BIND(codec, avcodec_find_encoder);
  VX_BIND(codec, avcodec_alloc_context3);
  VX_BIND(codec, avcodec_free_context);
  VX_BIND(codec, avcodec_parameters_to_context);
  VX_BIND(codec, avcodec_parameters_from_context);
  VX_BIND(codec, avcodec_open2);
  VX_BIND(codec, avcodec_send_packet);
  VX_BIND(codec, avcodec_receive_frame);
  VX_BIND(codec, avcodec_send_frame);
  VX_BIND(codec, avcodec_receive_packet);
  VX_BIND(codec, avcodec_flush_buffers);
  VX_BIND(codec, av_packet_alloc);
  VX_BIND(codec, av_packet_free);
  VX_BIND(codec, av_packet_unref);
  VX_BIND(codec, av_packet_rescale_ts);
  VX_BIND(util, av_frame_alloc);
  VX_BIND(util, av_frame_free);
  VX_BIND(util, av_frame_get_buffer);
  VX_BIND(util, av_frame_make_writable);
  VX_BIND(util, av_frame_unref);
  VX_BIND(util, av_strerror);
  VX_BIND(util, av_log_set_level);
  VX_BIND(util, av_dict_set);
  VX_BIND(util, av_dict_free);
  VX_BIND(util, av_display_rotation_get);
  VX_BIND(util, av_pix_fmt_desc_get);
  VX_BIND(scale, sws_getCachedContext);
  VX_BIND(scale, sws_scale);
  VX_BIND(scale, sws_freeContext);
  VX_BIND(scale, sws_getCoefficients);
  VX_BIND(scale, sws_getColorspaceDetails);
  VX_BIND(scale, sws_setColorspaceDetails);
#undef VX_BIND
  if (ok) f.av_log_set_level(AV_LOG_QUIET);  // errors reach the script as results instead
  return ok;
}

}  // namespace

const FfmpegApi* Ffmpeg() {
  static FfmpegApi api;
  static const bool loaded = Load(api);
  return loaded ? &api : nullptr;
}

const std::string& LoadError() {
  Ffmpeg();
  return ErrorSlot();
}

std::string FileUrl(const std::string& path) { return "file:" + path; }

std::string ErrorText(int code) {
  const FfmpegApi* f = Ffmpeg();
  std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
  if (f == nullptr || f->av_strerror(code, text.data(), text.size()) < 0) {
    return "error " + std::to_string(code);
  }
  return text.data();
}

}  // namespace vx::camera
