#pragma once
// The runtime's handle on the music subsystem, created on first use so that
// scripts without music never open a synthesizer.
#include <memory>

namespace vx::music {

class Music;

class MusicSlot {
 public:
  MusicSlot();
  ~MusicSlot();
  MusicSlot(const MusicSlot&) = delete;
  MusicSlot& operator=(const MusicSlot&) = delete;

  Music& Get();  // created on the first call, with VEXMORA_MIDI's back end
  bool Started() const { return music_ != nullptr; }
  // The main window's tick; nothing until the subsystem exists.
  void Tick();
  bool Playing() const;

 private:
  std::unique_ptr<Music> music_;
};

}  // namespace vx::music
