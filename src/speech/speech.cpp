#include "speech/speech.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>

namespace vx::speech {
namespace {

// Letters compare without case; a blank and '_' are the same character.
char Fold(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c == '_' ? ' ' : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

// The priority at which `v` speaks a language `matches` accepts; nullopt
// when it speaks none.
template <typename Matches>
std::optional<int> LanguagePriority(const Voice& v, Matches matches) {
  if (v.languages.empty()) {
    return matches(v.language) ? std::optional<int>(0) : std::nullopt;
  }
  std::optional<int> best;
  for (const VoiceLanguage& l : v.languages) {
    if (matches(l.language) && (!best || l.priority < *best)) best = l.priority;
  }
  return best;
}

// The voice with the lowest priority for a language `matches` accepts, the
// first listed among equals.
template <typename Matches>
const Voice* PreferredVoice(const std::vector<Voice>& voices, Matches matches) {
  const Voice* chosen = nullptr;
  int chosen_priority = 0;
  for (const Voice& v : voices) {
    const std::optional<int> p = LanguagePriority(v, matches);
    if (p && (chosen == nullptr || *p < chosen_priority)) {
      chosen = &v;
      chosen_priority = *p;
    }
  }
  return chosen;
}

}  // namespace

const Voice* FindVoice(const std::vector<Voice>& voices, std::string_view wanted) {
  if (wanted.empty()) return nullptr;
  for (const Voice& v : voices) {
    if (SameIgnoringCase(v.name, wanted) || SameIgnoringCase(v.identifier, wanted)) return &v;
  }
  const auto exact = [wanted](std::string_view language) { return SameIgnoringCase(language, wanted); };
  if (const Voice* v = PreferredVoice(voices, exact)) return v;
  // "en" finds "en-us" or "en-gb": a language without its region.
  const auto region_of = [wanted](std::string_view language) {
    return language.size() > wanted.size() && language[wanted.size()] == '-' &&
           SameIgnoringCase(language.substr(0, wanted.size()), wanted);
  };
  return PreferredVoice(voices, region_of);
}

std::string_view AutomaticVoice(std::string_view utf8) {
  const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; });
  return ascii ? "en" : "ja";
}

const Voice* DefaultVoice(const std::vector<Voice>& voices, std::string_view language,
                          std::string_view locale) {
  // "en_US.UTF-8@euro": language "en", region "US".
  locale = locale.substr(0, locale.find_first_of(".@"));
  const std::size_t underscore = locale.find('_');
  if (underscore != std::string_view::npos && SameIgnoringCase(locale.substr(0, underscore), language)) {
    const std::string variant = std::string(language) + "-" + std::string(locale.substr(underscore + 1));
    const auto exact = [&variant](std::string_view l) { return SameIgnoringCase(l, variant); };
    if (const Voice* v = PreferredVoice(voices, exact)) return v;
  }
  return FindVoice(voices, language);
}

const Voice* SelectVoice(const std::vector<Voice>& voices, const Utterance& u, std::string_view locale) {
  if (!u.voice.empty()) return FindVoice(voices, u.voice);
  return DefaultVoice(voices, AutomaticVoice(u.text), locale);
}

std::string UserLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

Speech::Speech(std::unique_ptr<Engine> engine, std::unique_ptr<audio::Backend> devices, host::Inbox& inbox)
    : engine_(std::move(engine)), devices_(std::move(devices)), inbox_(inbox), thread_([this] { Run(); }) {}

Speech::~Speech() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
    cut_.store(true);
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

std::int32_t Speech::Queue(Utterance u) {
  std::int32_t id = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.size() >= SPEECH_QUEUE_MAX) return 0;
    id = next_id_;
    next_id_ = next_id_ == INT32_MAX ? 1 : next_id_ + 1;  // ids stay positive over a very long run
    u.id = id;
    queue_.push_back(std::move(u));
  }
  wake_.notify_one();
  return id;
}

std::int32_t Speech::Clear() {
  std::deque<Utterance> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(queue_);
    if (current_ != 0) cut_.store(true);
    unnoticed_ += static_cast<std::int32_t>(dropped.size());
    if (!dropped.empty()) last_finished_ = dropped.back().id;
  }
  for (const Utterance& u : dropped) Notify(u.id, SPEECH_END_CANCELLED);
  return static_cast<std::int32_t>(dropped.size());
}

Status Speech::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Status s;
  s.speaking = current_ != 0;
  s.current = current_;
  s.waiting = static_cast<std::int32_t>(queue_.size());
  s.last_finished = last_finished_;
  return s;
}

bool Speech::Active() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_ != 0 || !queue_.empty() || unnoticed_ > 0;
}

void Speech::Noticed() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (unnoticed_ > 0) --unnoticed_;
}

void Speech::Notify(std::int32_t id, std::int32_t how) {
  host::Message m;
  m.kind = host::MessageKind::kSpeechDone;
  m.code = id;
  m.value = how;
  if (!inbox_.Post(std::move(m))) {
    std::lock_guard<std::mutex> lock(mutex_);  // a full inbox: the notice is lost
    if (unnoticed_ > 0) --unnoticed_;
  }
}

void Speech::Run() {
  for (;;) {
    Utterance u;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      u = std::move(queue_.front());
      queue_.pop_front();
      current_ = u.id;
      cut_.store(false);
    }
    const std::int32_t how = Play(u);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      current_ = 0;
      last_finished_ = u.id;
      ++unnoticed_;
    }
    Notify(u.id, how);
  }
}

std::int32_t Speech::Play(const Utterance& u) {
  if (!output_ && devices_) {
    audio::DeviceFormat format;
    format.Set(static_cast<std::uint32_t>(engine_->SampleRate()), false);
    output_ = devices_->OpenOutput(format);
  }
  if (!output_) return SPEECH_END_FAILED;
  bool device_failed = false;
  std::vector<std::int16_t> block;
  const bool spoken = engine_->Speak(u, [&](std::span<const std::int16_t> samples) {
    if (cut_.load()) return false;
    block.assign(samples.begin(), samples.end());
    if (output_->Transfer(block, cut_) < 0) {
      device_failed = true;
      return false;
    }
    return !cut_.load();
  });
  if (device_failed) {
    output_.reset();  // the next utterance tries to open it again
    return SPEECH_END_FAILED;
  }
  if (cut_.load()) return SPEECH_END_CANCELLED;
  return spoken ? SPEECH_END_DONE : SPEECH_END_FAILED;
}

}  // namespace vx::speech
