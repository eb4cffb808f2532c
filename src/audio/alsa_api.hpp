#pragma once
// ALSA (libasound), opened on first use: the sound card back end quiets its
// probing through it and MIDI reaches the sequencer through it, so a run
// that does neither never maps it.
#include <alsa/asoundlib.h>

#include <string>

namespace vx::audio {

inline constexpr const char* ALSA_LIBRARY = "libasound.so.2";

struct AlsaApi {
  decltype(&::snd_lib_error_set_handler) snd_lib_error_set_handler = nullptr;
  decltype(&::snd_seq_open) snd_seq_open = nullptr;
  decltype(&::snd_seq_close) snd_seq_close = nullptr;
  decltype(&::snd_seq_set_client_name) snd_seq_set_client_name = nullptr;
  decltype(&::snd_seq_create_simple_port) snd_seq_create_simple_port = nullptr;
  decltype(&::snd_seq_parse_address) snd_seq_parse_address = nullptr;
  decltype(&::snd_seq_connect_to) snd_seq_connect_to = nullptr;
  decltype(&::snd_seq_event_output_direct) snd_seq_event_output_direct = nullptr;
};

// Binds every function of `api` from the library `soname`: false, with
// `error` naming the library or the missing function, when that fails.
bool LoadAlsa(const char* soname, AlsaApi& api, std::string& error);

// The process's ALSA, loaded on the first call; null when it cannot be
// (AlsaLoadError then says why).
const AlsaApi* Alsa();
const std::string& AlsaLoadError();

// ALSA prints every device it probes and cannot open on standard error,
// which in a headless run is the script's own output. Does nothing without
// the library.
void SilenceAlsaErrors();

}  // namespace vx::audio
