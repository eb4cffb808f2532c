#pragma once
// MIDI output back ends, chosen by VEXMORA_MIDI:
//   fluidsynth            FluidSynth with a General MIDI sound font, playing
//                         through the sound back end VEXMORA_AUDIO chooses
//                         (the default)
//   fluidsynth:file:PATH  the same, rendered into a 16-bit stereo WAV file
//   alsa:CLIENT:PORT      an ALSA sequencer port (an external synthesizer)
//   record:PATH           a text log of every message with its tick, for tests
// The sound font is VEXMORA_SOUNDFONT, or the first General MIDI font found
// among the usual Debian places.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vx::music {

// Ticks of the main window's timer.
inline constexpr int kTickMs = 30;

// A MIDI data byte holds 0-127: values up to 255 (a score's note and
// velocity fields) are held at 127 rather than wrapped, which would play
// velocity 130 as 2.
inline constexpr std::uint8_t kMidiDataMax = 0x7F;
inline constexpr std::uint8_t MidiDataByte(std::uint8_t value) {
  return value > kMidiDataMax ? kMidiDataMax : value;
}

class MidiOutput {
 public:
  virtual ~MidiOutput() = default;
  // One short message at the given tick.
  virtual void Send(std::uint32_t tick, std::uint8_t status, std::uint8_t data1,
                    std::uint8_t data2) = 0;
  // Device volume, 0-65535 per side.
  virtual void SetVolume(std::uint32_t tick, std::uint16_t left, std::uint16_t right) = 0;
  // Called on every tick, messages or not (file rendering keeps time).
  virtual void Advance(std::uint32_t /*tick*/) {}
};

// Why an output could not be had, in the terms of the messages shown.
enum class OpenError {
  kNone,
  kNoDevice,       // no synthesizer at all (no sound font, no port)
  kBadDeviceId,    // the named port does not exist
  kAllocated,      // the device is busy (sound card or port refused)
  kNoMem,
  kInvalParam,     // VEXMORA_MIDI names no back end
  kMidiNoDevice,   // the sequencer itself is missing
  kOther,
};

struct OpenedOutput {
  std::unique_ptr<MidiOutput> output;
  OpenError error = OpenError::kNone;
  std::string detail;  // for the log: what failed
};

// Opens the back end named by `choice` (VEXMORA_MIDI's value; empty means
// fluidsynth). `tick` is the current tick, the origin of rendered time.
OpenedOutput OpenMidiOutput(std::string_view choice, std::uint32_t tick);

// The back ends, for tests.
OpenedOutput OpenRecordOutput(const std::string& path);
OpenedOutput OpenFluidSynthOutput(std::string_view wav_path, std::uint32_t tick);
OpenedOutput OpenAlsaOutput(std::string_view address);

// The General MIDI sound font to use, or empty when none is installed.
std::string FindSoundFont();

}  // namespace vx::music
