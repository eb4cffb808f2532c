#pragma once
// FFmpeg's libraries (formats, codecs, scaling) are opened when a video is
// first read or written, so a start-up never maps them and a machine
// without them still runs every other script. The functions are bound into
// one table of pointers.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <string>

namespace vx::camera {

struct FfmpegApi {
  // libavformat
  decltype(&::avformat_open_input) avformat_open_input = nullptr;
  decltype(&::avformat_find_stream_info) avformat_find_stream_info = nullptr;
  decltype(&::av_find_best_stream) av_find_best_stream = nullptr;
  decltype(&::avformat_close_input) avformat_close_input = nullptr;
  decltype(&::av_read_frame) av_read_frame = nullptr;
  decltype(&::avformat_seek_file) avformat_seek_file = nullptr;
  decltype(&::avformat_alloc_output_context2) avformat_alloc_output_context2 = nullptr;
  decltype(&::avformat_query_codec) avformat_query_codec = nullptr;
  decltype(&::avformat_new_stream) avformat_new_stream = nullptr;
  decltype(&::avformat_write_header) avformat_write_header = nullptr;
  decltype(&::av_interleaved_write_frame) av_interleaved_write_frame = nullptr;
  decltype(&::av_write_trailer) av_write_trailer = nullptr;
  decltype(&::avformat_free_context) avformat_free_context = nullptr;
  decltype(&::avio_open) avio_open = nullptr;
  decltype(&::avio_closep) avio_closep = nullptr;
#if LIBAVFORMAT_VERSION_MAJOR < 61
  decltype(&::av_stream_get_side_data) av_stream_get_side_data = nullptr;
#else
  decltype(&::av_packet_side_data_get) av_packet_side_data_get = nullptr;
#endif
  // libavcodec
  decltype(&::avcodec_find_decoder) avcodec_find_decoder = nullptr;
  decltype(&::avcodec_find_encoder) avcodec_find_encoder = nullptr;
  decltype(&::avcodec_alloc_context3) avcodec_alloc_context3 = nullptr;
  decltype(&::avcodec_free_context) avcodec_free_context = nullptr;
  decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context = nullptr;
  decltype(&::avcodec_parameters_from_context) avcodec_parameters_from_context = nullptr;
  decltype(&::avcodec_open2) avcodec_open2 = nullptr;
  decltype(&::avcodec_send_packet) avcodec_send_packet = nullptr;
  decltype(&::avcodec_receive_frame) avcodec_receive_frame = nullptr;
  decltype(&::avcodec_send_frame) avcodec_send_frame = nullptr;
  decltype(&::avcodec_receive_packet) avcodec_receive_packet = nullptr;
  decltype(&::avcodec_flush_buffers) avcodec_flush_buffers = nullptr;
  decltype(&::av_packet_alloc) av_packet_alloc = nullptr;
  decltype(&::av_packet_free) av_packet_free = nullptr;
  decltype(&::av_packet_unref) av_packet_unref = nullptr;
  decltype(&::av_packet_rescale_ts) av_packet_rescale_ts = nullptr;
  // libavutil
  decltype(&::av_frame_alloc) av_frame_alloc = nullptr;
  decltype(&::av_frame_free) av_frame_free = nullptr;
  decltype(&::av_frame_get_buffer) av_frame_get_buffer = nullptr;
  decltype(&::av_frame_make_writable) av_frame_make_writable = nullptr;
  decltype(&::av_frame_unref) av_frame_unref = nullptr;
  decltype(&::av_strerror) av_strerror = nullptr;
  decltype(&::av_log_set_level) av_log_set_level = nullptr;
  decltype(&::av_dict_set) av_dict_set = nullptr;
  decltype(&::av_dict_free) av_dict_free = nullptr;
  decltype(&::av_display_rotation_get) av_display_rotation_get = nullptr;
  decltype(&::av_pix_fmt_desc_get) av_pix_fmt_desc_get = nullptr;
  // libswscale
  decltype(&::sws_getCachedContext) sws_getCachedContext = nullptr;
  decltype(&::sws_scale) sws_scale = nullptr;
  decltype(&::sws_freeContext) sws_freeContext = nullptr;
  decltype(&::sws_getCoefficients) sws_getCoefficients = nullptr;
  decltype(&::sws_getColorspaceDetails) sws_getColorspaceDetails = nullptr;
  decltype(&::sws_setColorspaceDetails) sws_setColorspaceDetails = nullptr;
};

// The bound functions, loading the libraries on the first call; null when
// a library or a function is missing (LoadError says which).
const FfmpegApi* Ffmpeg();
const std::string& LoadError();

// A local file as FFmpeg should open it: always through its file protocol,
// so that a name never reaches the network or another protocol.
std::string FileUrl(const std::string& path);

// FFmpeg's words for an error code.
std::string ErrorText(int code);

}  // namespace vx::camera
