#include "audio/alsa_api.hpp"

#include "platform/shared_library.hpp"

namespace vx::audio {
namespace {

void DropAlsaError(const char*, int, const char*, int, const char*, ...) {}

bool BindAlsa(AlsaApi& api, std::string& error) { return LoadAlsa(ALSA_LIBRARY, api, error); }

const platform::BoundApi<AlsaApi>& Load() { return platform::BindOnce<AlsaApi, BindAlsa>(); }

}  // namespace

bool LoadAlsa(const char* soname, AlsaApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(soname);
  if (!library.Loaded()) {
    error = "ALSA is not available: " + library.Error();
    return false;
  }
  bool ok = true;
#define VX_BIND(fn) ok = library.Bind(#fn, &api.fn) && ok
  VX_BIND(snd_lib_error_set_handler);
  VX_BIND(snd_seq_open);
  VX_BIND(snd_seq_close);
  VX_BIND(snd_seq_set_client_name);
  VX_BIND(snd_seq_create_simple_port);
  VX_BIND(snd_seq_parse_address);
  VX_BIND(snd_seq_connect_to);
  VX_BIND(snd_seq_event_output_direct);
#undef VX_BIND
  if (!ok) error = "ALSA is not available: " + library.Error();
  return ok;
}

const AlsaApi* Alsa() { return Load().ok ? &Load().api : nullptr; }

const std::string& AlsaLoadError() { return Load().error; }

void SilenceAlsaErrors() {
  if (const AlsaApi* alsa = Alsa()) alsa->snd_lib_error_set_handler(DropAlsaError);
}

}  // namespace vx::audio
