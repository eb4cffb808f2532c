// SPDX-License-Identifier: MIT
// MIDI synthesis in a program built without FluidSynth's development files:
// the synthesizer cannot be opened and says why; the ALSA sequencer and the
// record back end still play.
#include "music/midi_output.hpp"
#include "platform/library_packages.hpp"

namespace vx::music {

OpenedOutput OpenFluidSynthOutput(std::string_view /*wav_path*/, std::uint32_t /*tick*/) {
  return {nullptr, OpenError::kNoDevice,
          "cannot load FluidSynth: " + platform::BuiltWithout("FluidSynth", "libfluidsynth-dev")};
}

}  // namespace vx::music
