// ALSA sequencer back end: messages go to an external synthesizer's port,
// named "CLIENT:PORT" by number or by name (as aconnect shows them).
#include <memory>
#include <string>

#include "audio/alsa_api.hpp"
#include "music/midi_output.hpp"

namespace vx::music {
namespace {

// Only used once the library has loaded (OpenAlsaOutput checks).
const audio::AlsaApi& Asound() { return *audio::Alsa(); }

struct SeqCloser {
  void operator()(snd_seq_t* s) const { Asound().snd_seq_close(s); }
};

class AlsaOutput final : public MidiOutput {
 public:
  AlsaOutput(snd_seq_t* seq, int port) : seq_(seq), port_(port) {}

  void Send(std::uint32_t, std::uint8_t status, std::uint8_t data1,
            std::uint8_t data2) override {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    const int channel = status & 0x0F;
    data1 = MidiDataByte(data1);
    data2 = MidiDataByte(data2);
    switch (status & 0xF0) {
      case 0x80: snd_seq_ev_set_noteoff(&ev, channel, data1, data2); break;
      case 0x90: snd_seq_ev_set_noteon(&ev, channel, data1, data2); break;
      case 0xA0: snd_seq_ev_set_keypress(&ev, channel, data1, data2); break;
      case 0xB0: snd_seq_ev_set_controller(&ev, channel, data1, data2); break;
      case 0xC0: snd_seq_ev_set_pgmchange(&ev, channel, data1); break;
      case 0xD0: snd_seq_ev_set_chanpress(&ev, channel, data1); break;
      case 0xE0: snd_seq_ev_set_pitchbend(&ev, channel, (data1 | (data2 << 7)) - 8192); break;
      default: return;
    }
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    Asound().snd_seq_event_output_direct(seq_.get(), &ev);
  }

  // A sequencer port has no device volume; the synthesizer behind it keeps
  // its own.
  void SetVolume(std::uint32_t, std::uint16_t, std::uint16_t) override {}

 private:
  std::unique_ptr<snd_seq_t, SeqCloser> seq_;
  int port_;
};

}  // namespace

OpenedOutput OpenAlsaOutput(std::string_view address) {
  if (audio::Alsa() == nullptr) return {nullptr, OpenError::kMidiNoDevice, audio::AlsaLoadError()};
  audio::SilenceAlsaErrors();
  snd_seq_t* raw = nullptr;
  if (Asound().snd_seq_open(&raw, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
    return {nullptr, OpenError::kMidiNoDevice, "no ALSA sequencer"};
  }
  std::unique_ptr<snd_seq_t, SeqCloser> seq(raw);
  Asound().snd_seq_set_client_name(raw, "vexmora");
  const int port = Asound().snd_seq_create_simple_port(
      raw, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0) return {nullptr, OpenError::kNoMem, "cannot create a port"};
  snd_seq_addr_t target;
  const std::string name(address);
  if (Asound().snd_seq_parse_address(raw, &target, name.c_str()) < 0) {
    return {nullptr, OpenError::kBadDeviceId, "no port " + name};
  }
  if (Asound().snd_seq_connect_to(raw, port, target.client, target.port) < 0) {
    return {nullptr, OpenError::kAllocated, "cannot connect to " + name};
  }
  return {std::make_unique<AlsaOutput>(seq.release(), port), OpenError::kNone, {}};
}

}  // namespace vx::music
