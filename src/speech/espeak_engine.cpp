// The espeak-ng synthesizer. The library is loaded when a script first
// speaks, so a run that never speaks never maps it. Its state is global to
// the process: one instance serves every run, and a lock keeps two
// speaking threads (two runtimes in one process, as in tests) apart.
#include <espeak-ng/speak_lib.h>

#include <cstring>
#include <mutex>

#include "platform/shared_library.hpp"
#include "speech/speech.hpp"

namespace vx::speech {
namespace {

constexpr const char* kEspeakLibrary = "libespeak-ng.so.1";
constexpr int kBufferMs = 100;  // samples handed over in blocks of this length
// MBROLA voices need the separate MBROLA program and its databases.
constexpr std::string_view kMbrolaPrefix = "mb/";

struct EspeakApi {
  decltype(&::espeak_Initialize) espeak_Initialize = nullptr;
  decltype(&::espeak_SetSynthCallback) espeak_SetSynthCallback = nullptr;
  decltype(&::espeak_SetParameter) espeak_SetParameter = nullptr;
  decltype(&::espeak_SetVoiceByName) espeak_SetVoiceByName = nullptr;
  decltype(&::espeak_ListVoices) espeak_ListVoices = nullptr;
  decltype(&::espeak_Synth) espeak_Synth = nullptr;
};

// What one Speak call hands to the callback through espeak's user data.
struct SynthContext {
  const std::function<bool(std::span<const std::int16_t>)>* sink;
  bool stopped = false;
};

int OnSamples(short* samples, int count, espeak_EVENT* events) {
  auto* context = events != nullptr ? static_cast<SynthContext*>(events->user_data) : nullptr;
  if (context == nullptr) return 0;
  if (context->stopped) return 1;
  if (samples != nullptr && count > 0 &&
      !(*context->sink)(std::span<const std::int16_t>(samples, static_cast<std::size_t>(count)))) {
    context->stopped = true;
    return 1;  // abort synthesis
  }
  return 0;
}

std::vector<Voice> ReadVoices(const EspeakApi& api) {
  std::vector<Voice> out;
  const espeak_VOICE** list = api.espeak_ListVoices(nullptr);
  for (; list != nullptr && *list != nullptr; ++list) {
    const espeak_VOICE* v = *list;
    if (v->identifier == nullptr || std::string_view(v->identifier).starts_with(kMbrolaPrefix)) continue;
    Voice voice;
    voice.name = v->name ? v->name : "";
    // The languages field: for each language a priority byte and the
    // language, zero-ended; a zero priority byte ends the list.
    for (const char* l = v->languages; l != nullptr && *l != '\0'; l += std::strlen(l + 1) + 2) {
      voice.languages.push_back({l + 1, static_cast<unsigned char>(*l)});
    }
    if (!voice.languages.empty()) voice.language = voice.languages.front().language;
    voice.identifier = v->identifier;
    voice.gender = v->gender;
    out.push_back(std::move(voice));
  }
  return out;
}

class EspeakEngine final : public Engine {
 public:
  EspeakEngine(const EspeakApi& api, int rate, std::vector<Voice> voices)
      : api_(api), rate_(rate), voices_(std::move(voices)), locale_(UserLocale()) {}

  int SampleRate() const override { return rate_; }
  const std::vector<Voice>& Voices() const override { return voices_; }

  bool Speak(const Utterance& u, const std::function<bool(std::span<const std::int16_t>)>& sink) override {
    std::lock_guard<std::mutex> lock(Lock());
    const Voice* voice = SelectVoice(voices_, u, locale_);
    if (voice == nullptr || api_.espeak_SetVoiceByName(voice->identifier.c_str()) != EE_OK) return false;
    api_.espeak_SetParameter(espeakRATE, u.params.rate, 0);
    api_.espeak_SetParameter(espeakPITCH, u.params.pitch, 0);
    api_.espeak_SetParameter(espeakVOLUME, u.params.volume, 0);
    SynthContext context{&sink};
    const espeak_ERROR e = api_.espeak_Synth(u.text.c_str(), u.text.size() + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, &context);
    return e == EE_OK || context.stopped;
  }

  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }

 private:
  const EspeakApi& api_;
  int rate_;
  std::vector<Voice> voices_;
  std::string locale_;  // the user's, for the variant of a language
};

struct Loaded {
  EspeakApi api;
  int rate = 0;
  std::vector<Voice> voices;
  std::string error;
};

const Loaded& Load() {
  static const Loaded loaded = [] {
    Loaded l;
    platform::SharedLibrary& library = platform::SharedLibrary::Resident(kEspeakLibrary);
    if (!library.Loaded()) {
      l.error = "speech is not available: cannot load " + std::string(kEspeakLibrary) + " (" + library.Error() + ")";
      return l;
    }
    EspeakApi& api = l.api;
    bool ok = true;
    ok = library.Bind("espeak_Initialize", &api.espeak_Initialize) && ok;
    ok = library.Bind("espeak_SetSynthCallback", &api.espeak_SetSynthCallback) && ok;
    ok = library.Bind("espeak_SetParameter", &api.espeak_SetParameter) && ok;
    ok = library.Bind("espeak_SetVoiceByName", &api.espeak_SetVoiceByName) && ok;
    ok = library.Bind("espeak_ListVoices", &api.espeak_ListVoices) && ok;
    ok = library.Bind("espeak_Synth", &api.espeak_Synth) && ok;
    if (!ok) {
      l.error = "speech is not available: " + library.Error();
      return l;
    }
    // Synchronous: samples come back through the callback on the thread
    // that asked; the library opens no sound device of its own.
    l.rate = api.espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kBufferMs, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (l.rate <= 0) {
      l.error = "speech is not available: the espeak-ng data is missing" + platform::InstallHint("espeak-ng-data");
      return l;
    }
    api.espeak_SetSynthCallback(OnSamples);
    l.voices = ReadVoices(api);
    return l;
  }();
  return loaded;
}

}  // namespace

std::unique_ptr<Engine> OpenEspeak(std::string* error) {
  const Loaded& l = Load();
  if (!l.error.empty()) {
    *error = l.error;
    return nullptr;
  }
  return std::make_unique<EspeakEngine>(l.api, l.rate, l.voices);
}

}  // namespace vx::speech
