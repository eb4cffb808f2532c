#include "music/music.hpp"

#include <cstdlib>

#include "music/music_slot.hpp"
#include "text/messages.hpp"

namespace vx::music {
namespace {

msg::Id MessageFor(OpenError error) {
  switch (error) {
    case OpenError::kNoDevice: return msg::Id::kMidiNoDevice;
    case OpenError::kBadDeviceId: return msg::Id::kMidiOpenBadDeviceId;
    case OpenError::kAllocated: return msg::Id::kMidiOpenAllocated;
    case OpenError::kNoMem: return msg::Id::kMidiOpenNoMem;
    case OpenError::kInvalParam: return msg::Id::kMidiOpenInvalParam;
    case OpenError::kMidiNoDevice: return msg::Id::kMidiOpenNoDevice;
    default: return msg::Id::kMidiOpenDefault;
  }
}

}  // namespace

Music::Music(std::string choice) : choice_(std::move(choice)) {}

void Music::UseOutput(std::unique_ptr<MidiOutput> output) {
  output_ = std::move(output);
  open_failed_ = false;
}

bool Music::EnsureOpen() {
  if (output_) return true;
  if (open_failed_) return false;  // told once; later sends fail quietly
  OpenedOutput opened = OpenMidiOutput(choice_, clock_);
  if (!opened.output) {
    open_failed_ = true;
    pending_message_ = msg::Text(MessageFor(opened.error));
    return false;
  }
  output_ = std::move(opened.output);
  return true;
}

// The message is shown outside the lock: a message box runs its own event
// loop, in which the tick goes on.
void Music::ReportOpenFailure() {
  std::string text;
  {
    std::lock_guard guard(lock_);
    text.swap(pending_message_);
  }
  if (!text.empty() && sink_) sink_(text);
}

bool Music::Send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
  bool sent = false;
  {
    std::lock_guard guard(lock_);
    if (EnsureOpen()) {
      output_->Send(clock_, status, MidiDataByte(data1), MidiDataByte(data2));
      sent = true;
    }
  }
  ReportOpenFailure();
  return sent;
}

bool Music::SetVolume(std::uint16_t left, std::uint16_t right) {
  bool set = false;
  {
    std::lock_guard guard(lock_);
    if (EnsureOpen()) {
      output_->SetVolume(clock_, left, right);
      set = true;
    }
  }
  ReportOpenFailure();
  return set;
}

void Music::SendLocked(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
  if (EnsureOpen()) output_->Send(clock_, status, MidiDataByte(data1), MidiDataByte(data2));
}

void Music::BuildSequence(const SeqRange& range) {
  std::lock_guard guard(lock_);
  sequence_.Build(score_, range);
  next_event_ = 0;
}

void Music::ApplyTempo(std::int64_t from, double factor) {
  std::lock_guard guard(lock_);
  sequence_.ApplyTempo(score_, from, factor);
}

SeqRef Music::NextEvent(std::int64_t from, bool restart, std::int64_t to, SeqEvent& out) {
  std::lock_guard guard(lock_);
  return sequence_.Next(from, restart, to, out);
}

std::string Music::SequenceAsSmf() {
  std::lock_guard guard(lock_);
  return sequence_.ToSmf();
}

std::size_t Music::SequenceSize() {
  std::lock_guard guard(lock_);
  return sequence_.Size();
}

void Music::AssignSequence(std::vector<SeqEvent> events) {
  std::lock_guard guard(lock_);
  sequence_.Assign(std::move(events));
  next_event_ = 0;
}

void Music::Start(bool loop) {
  std::lock_guard guard(lock_);
  playing_ = true;
  loop_ = loop;
  tick_ = 0;
  next_event_ = 0;
}

void Music::Stop() {
  {
    std::lock_guard guard(lock_);
    playing_ = false;
    tick_ = 0;
    next_event_ = 0;
    for (int channel = 0; channel < kMidiChannels; ++channel) {
      SendLocked(static_cast<std::uint8_t>(kControlChange + channel), kAllNotesOff, 0);
    }
  }
  ReportOpenFailure();
}

bool Music::Playing() {
  std::lock_guard guard(lock_);
  return playing_;
}

void Music::Tick() {
  TickLocked();
  ReportOpenFailure();
}

void Music::TickLocked() {
  std::lock_guard guard(lock_);
  if (output_) output_->Advance(clock_);
  if (playing_) {
    const std::vector<SeqEvent>& events = sequence_.Events();
    if (next_event_ < events.size()) {
      while (next_event_ < events.size() && events[next_event_].time <= tick_) {
        const SeqEvent& e = events[next_event_++];
        // Control records ride along in the sequence but are no messages.
        if (IsMidiStatus(e.status)) SendLocked(e.status, e.data1, e.data2);
      }
      ++tick_;
    } else if (loop_) {
      tick_ = 0;
      next_event_ = 0;
    } else {
      playing_ = false;
    }
  }
  ++clock_;
}

// --- the runtime's slot --------------------------------------------------------

MusicSlot::MusicSlot() = default;
MusicSlot::~MusicSlot() = default;

Music& MusicSlot::Get() {
  if (!music_) {
    const char* choice = std::getenv("VEXMORA_MIDI");
    music_ = std::make_unique<Music>(choice != nullptr ? choice : "");
  }
  return *music_;
}

void MusicSlot::Tick() {
  if (music_) music_->Tick();
}

bool MusicSlot::Playing() const { return music_ && music_->Playing(); }

}  // namespace vx::music
