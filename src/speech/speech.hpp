#pragma once
// Text to speech. Scripts queue utterances; one speaking thread takes them
// in order, has the synthesizer turn each into samples and plays them
// through the sound back ends (VEXMORA_AUDIO), then posts a notice to the
// window thread's inbox. The speaking thread never runs script code, and
// the window thread never waits for it: queueing, cancelling and asking the
// state take a short lock (the speech lock) that the speaking thread never
// holds while it synthesizes or plays.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "audio/device.hpp"
#include "engine/messages.hpp"

namespace vx::speech {

inline constexpr std::size_t SPEECH_QUEUE_MAX = 64;    // utterances waiting
inline constexpr std::size_t SPEECH_TEXT_MAX = 16000;  // bytes of one utterance (UTF-8)
inline constexpr int SPEECH_RATE_MIN = 80;             // words a minute
inline constexpr int SPEECH_RATE_MAX = 450;
inline constexpr int SPEECH_RATE_DEFAULT = 175;
inline constexpr int SPEECH_PITCH_MAX = 99;
inline constexpr int SPEECH_PITCH_DEFAULT = 50;
inline constexpr int SPEECH_VOLUME_MAX = 200;
inline constexpr int SPEECH_VOLUME_DEFAULT = 100;

// How an utterance ended (the notice's value, G_EV_2 of SPEECH_END).
enum SpeechEnd : std::int32_t {
  SPEECH_END_DONE = 0,
  SPEECH_END_CANCELLED = 1,
  SPEECH_END_FAILED = 2,  // no sound output, or the synthesizer refused the voice
};

// How strongly a voice is meant for one of its languages: espeak-ng's
// priority, lower first ("gmw/en" is English at 2, "gmw/en-029" at 10).
struct VoiceLanguage {
  std::string language;
  int priority = 0;
};

struct Voice {
  std::string name;        // "English (America)"
  std::string language;    // "en-us": the voice's first language
  std::string identifier;  // "gmw/en-US": what selects it
  int gender = 0;          // 0 unknown, 1 male, 2 female
  // Every language the voice speaks; empty means `language` alone.
  std::vector<VoiceLanguage> languages;
};

struct Params {
  int rate = SPEECH_RATE_DEFAULT;
  int pitch = SPEECH_PITCH_DEFAULT;
  int volume = SPEECH_VOLUME_DEFAULT;
};

struct Utterance {
  std::int32_t id = 0;
  std::string text;        // UTF-8
  std::string voice;       // identifier; empty: chosen by the text (see AutomaticVoice)
  Params params;
};

// The synthesizer. Voices is called before speaking starts; Speak only on
// the speaking thread.
class Engine {
 public:
  virtual ~Engine() = default;
  virtual int SampleRate() const = 0;
  virtual const std::vector<Voice>& Voices() const = 0;
  // Synthesizes the utterance, handing blocks of mono samples to `sink`
  // as they are made; `sink` returns false to stop early. False when the
  // voice cannot be loaded or synthesis failed.
  virtual bool Speak(const Utterance& u, const std::function<bool(std::span<const std::int16_t>)>& sink) = 0;
};

// espeak-ng, opened on first use; null with the reason when the library or
// its data is missing.
std::unique_ptr<Engine> OpenEspeak(std::string* error);

// The voice `wanted` names (letter case ignored, and a blank and '_' alike,
// as espeak-ng's own listing writes "English_(America)"): a voice name, an
// identifier, or a language ("ja", "en", "en-us"). A language takes the
// voice espeak-ng prefers for it (its lowest priority; the first listed of
// equals); a language without its region ("en" where only "en-us" is
// listed) the preferred voice of any of its regions. Null when none.
const Voice* FindVoice(const std::vector<Voice>& voices, std::string_view wanted);
// The language of text spoken without a chosen voice: Japanese when the
// text holds any character outside ASCII, else English.
std::string_view AutomaticVoice(std::string_view utf8);
// The voice for `language` when none is chosen: the variant the user's
// locale names ("en_US.UTF-8": "en-us") when there is a voice for it, else
// the voice espeak-ng prefers for the language.
const Voice* DefaultVoice(const std::vector<Voice>& voices, std::string_view language,
                          std::string_view locale);
// The locale the user's messages are in: LC_ALL, LC_MESSAGES or LANG.
std::string UserLocale();

struct Utterance;
// The voice an utterance is spoken in: the one it names, else the default
// voice of its text's language for the user's `locale`. Null when none.
const Voice* SelectVoice(const std::vector<Voice>& voices, const Utterance& u, std::string_view locale);

struct Status {
  bool speaking = false;           // an utterance is being played
  std::int32_t waiting = 0;        // utterances queued behind it
  std::int32_t current = 0;        // the utterance being played, 0 none
  std::int32_t last_finished = 0;  // the last utterance that ended
};

class Speech {
 public:
  // `devices` opens the sound output when the first utterance is played.
  Speech(std::unique_ptr<Engine> engine, std::unique_ptr<audio::Backend> devices, host::Inbox& inbox);
  ~Speech();
  Speech(const Speech&) = delete;
  Speech& operator=(const Speech&) = delete;

  const std::vector<Voice>& Voices() const { return engine_->Voices(); }

  // What the next utterances are spoken with; the window thread's own.
  Params params;
  std::string voice;  // identifier; empty: chosen by each text
  // Queues the utterance (its id is assigned here); 0 when the queue is full.
  std::int32_t Queue(Utterance u);
  // Stops the utterance being played and drops the queued ones; each gets
  // its notice, as cancelled. The number dropped.
  std::int32_t Clear();
  Status State() const;
  bool Active() const;
  // The window thread has taken one notice.
  void Noticed();

 private:
  void Run();
  std::int32_t Play(const Utterance& u);
  void Notify(std::int32_t id, std::int32_t how);

  std::unique_ptr<Engine> engine_;
  std::unique_ptr<audio::Backend> devices_;
  std::unique_ptr<audio::Endpoint> output_;  // the speaking thread's only
  host::Inbox& inbox_;

  mutable std::mutex mutex_;  // the speech lock
  std::condition_variable wake_;
  std::deque<Utterance> queue_;
  std::int32_t next_id_ = 1;
  std::int32_t current_ = 0;
  std::int32_t last_finished_ = 0;
  std::int32_t unnoticed_ = 0;  // notices posted and not yet handled
  bool stopping_ = false;
  std::atomic<bool> cut_{false};  // stop the utterance being played
  std::thread thread_;
};

}  // namespace vx::speech
