// The speaking thread with a scripted synthesizer on the silent device:
// order, notices, cancelling, a full queue, a missing device; then voice
// matching, and espeak-ng itself where it is installed.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/device.hpp"
#include "engine/messages.hpp"
#include "speech/speech.hpp"
#include "support/scoped_env.hpp"

namespace vx::test {
namespace {

using namespace std::chrono_literals;
using speech::Speech;
using speech::Utterance;

constexpr int kRate = 8000;
constexpr std::size_t kBlock = 80;  // 10 ms

// Makes `blocks` blocks of 10 ms for each utterance, remembering what it
// was asked to say.
class ScriptedEngine final : public speech::Engine {
 public:
  explicit ScriptedEngine(int blocks) : blocks_(blocks) {
    voices_ = {{"Japanese", "ja", "jpx/ja", 1, {}},
               {"English_(America)", "en-us", "gmw/en-US", 1, {}},
               {"English_(Great_Britain)", "en-gb", "gmw/en", 1, {}}};
  }
  int SampleRate() const override { return kRate; }
  const std::vector<speech::Voice>& Voices() const override { return voices_; }
  bool Speak(const Utterance& u, const std::function<bool(std::span<const std::int16_t>)>& sink) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      heard_.push_back(u);
    }
    std::vector<std::int16_t> block(kBlock, 1000);
    for (int i = 0; i < blocks_; ++i) {
      if (!sink(block)) return true;
    }
    return true;
  }
  std::vector<Utterance> Heard() {
    std::lock_guard<std::mutex> lock(mutex_);
    return heard_;
  }

 private:
  int blocks_;
  std::vector<speech::Voice> voices_;
  std::mutex mutex_;
  std::vector<Utterance> heard_;
};

class NoOutputBackend final : public audio::Backend {
 public:
  std::string Name() const override { return "none"; }
  int InputDeviceCount() override { return 0; }
  std::unique_ptr<audio::Endpoint> OpenOutput(const audio::DeviceFormat&) override { return nullptr; }
  std::unique_ptr<audio::Endpoint> OpenInput(const audio::DeviceFormat&) override { return nullptr; }
};

// The next notice in the inbox, waiting up to five seconds.
bool NextNotice(host::Inbox& inbox, host::Message* m) {
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < until) {
    if (inbox.Take(m)) return m->kind == host::MessageKind::kSpeechDone;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

bool WaitSpeaking(const Speech& s) {
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (!s.State().speaking) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

Utterance Say(std::string text, std::string voice = {}, int rate = speech::SPEECH_RATE_DEFAULT) {
  Utterance u;
  u.text = std::move(text);
  u.voice = std::move(voice);
  u.params.rate = rate;
  return u;
}

TEST(Speech, UtterancesAreSpokenInOrderEachWithItsOwnVoiceAndEnd) {
  host::Inbox inbox;
  auto engine = std::make_unique<ScriptedEngine>(2);
  ScriptedEngine* e = engine.get();
  Speech s(std::move(engine), audio::MakeNullBackend(), inbox);
  EXPECT_EQ(s.Queue(Say("one", "jpx/ja", 100)), 1);
  EXPECT_EQ(s.Queue(Say("two", "gmw/en", 300)), 2);
  EXPECT_EQ(s.Queue(Say("three")), 3);
  EXPECT_TRUE(s.Active());
  for (int id = 1; id <= 3; ++id) {
    host::Message m;
    ASSERT_TRUE(NextNotice(inbox, &m));
    EXPECT_EQ(m.code, id);
    EXPECT_EQ(m.value, speech::SPEECH_END_DONE);
    s.Noticed();
  }
  const auto heard = e->Heard();
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0].text, "one");
  EXPECT_EQ(heard[0].voice, "jpx/ja");
  EXPECT_EQ(heard[0].params.rate, 100);
  EXPECT_EQ(heard[1].voice, "gmw/en");
  EXPECT_EQ(heard[1].params.rate, 300);
  EXPECT_EQ(heard[2].text, "three");
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(s.State().last_finished, 3);
  EXPECT_FALSE(s.State().speaking);
}

TEST(Speech, ClearCutsTheUtteranceBeingSpokenAndDropsTheWaitingOnes) {
  host::Inbox inbox;
  Speech s(std::make_unique<ScriptedEngine>(500), audio::MakeNullBackend(), inbox);  // 5 s each
  s.Queue(Say("long"));
  ASSERT_TRUE(WaitSpeaking(s));
  s.Queue(Say("second"));
  s.Queue(Say("third"));
  EXPECT_EQ(s.State().waiting, 2);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(s.Clear(), 2);
  std::vector<int> ended;
  for (int k = 0; k < 3; ++k) {
    host::Message m;
    ASSERT_TRUE(NextNotice(inbox, &m));
    EXPECT_EQ(m.value, speech::SPEECH_END_CANCELLED);
    ended.push_back(m.code);
    s.Noticed();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
  EXPECT_EQ(ended, (std::vector<int>{2, 3, 1}));
  EXPECT_FALSE(s.Active());
  // Speech queued after the cancel is spoken, not cut.
  Speech quick(std::make_unique<ScriptedEngine>(1), audio::MakeNullBackend(), inbox);
  quick.Clear();
  quick.Queue(Say("after"));
  host::Message m;
  ASSERT_TRUE(NextNotice(inbox, &m));
  EXPECT_EQ(m.value, speech::SPEECH_END_DONE);
}

// Speaks nothing until the test opens the gate: the utterance being spoken
// stays current while the test looks at the state.
class GatedEngine final : public speech::Engine {
 public:
  GatedEngine() { voices_ = {{"English", "en", "gmw/en", 1, {}}}; }
  int SampleRate() const override { return kRate; }
  const std::vector<speech::Voice>& Voices() const override { return voices_; }
  bool Speak(const Utterance&, const std::function<bool(std::span<const std::int16_t>)>&) override {
    std::unique_lock<std::mutex> lock(mutex_);
    open_.wait(lock, [this] { return opened_; });
    return true;
  }
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      opened_ = true;
    }
    open_.notify_all();
  }

 private:
  std::vector<speech::Voice> voices_;
  std::mutex mutex_;
  std::condition_variable open_;
  bool opened_ = false;
};

TEST(Speech, AClearMakesTheLastDroppedUtteranceTheLastFinished) {
  host::Inbox inbox;
  auto engine = std::make_unique<GatedEngine>();
  GatedEngine* gate = engine.get();
  Speech s(std::move(engine), audio::MakeNullBackend(), inbox);
  struct OpenAtEnd {
    GatedEngine* gate;
    ~OpenAtEnd() { gate->Open(); }  // a failed check must not leave the thread waiting
  } open_at_end{gate};
  EXPECT_EQ(s.Queue(Say("first")), 1);
  ASSERT_TRUE(WaitSpeaking(s));
  for (int id = 2; id <= 5; ++id) EXPECT_EQ(s.Queue(Say("waiting")), id);
  EXPECT_EQ(s.Clear(), 4);
  speech::Status state = s.State();
  EXPECT_EQ(state.last_finished, 5);  // the dropped ones ended in queue order
  EXPECT_EQ(state.current, 1);         // still ending
  EXPECT_EQ(state.waiting, 0);
  gate->Open();
  for (int k = 0; k < 5; ++k) {
    host::Message m;
    ASSERT_TRUE(NextNotice(inbox, &m));
    s.Noticed();
  }
  state = s.State();
  EXPECT_EQ(state.last_finished, 1);  // the cut one ended after them
  EXPECT_EQ(state.current, 0);
  // A clear with nothing waiting leaves the last finished as it was.
  EXPECT_EQ(s.Clear(), 0);
  EXPECT_EQ(s.State().last_finished, 1);
}

TEST(Speech, AFullQueueRefusesAndEndingTheRunStopsAtOnce) {
  host::Inbox inbox;
  const auto started = std::chrono::steady_clock::now();
  {
    Speech s(std::make_unique<ScriptedEngine>(1000), audio::MakeNullBackend(), inbox);
    s.Queue(Say("playing"));
    ASSERT_TRUE(WaitSpeaking(s));
    for (std::size_t k = 0; k < speech::SPEECH_QUEUE_MAX; ++k) EXPECT_GT(s.Queue(Say("x")), 0);
    EXPECT_EQ(s.Queue(Say("one too many")), 0);
    EXPECT_EQ(s.State().waiting, static_cast<std::int32_t>(speech::SPEECH_QUEUE_MAX));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
}

TEST(Speech, WithoutASoundOutputEachUtteranceEndsAsFailed) {
  host::Inbox inbox;
  Speech s(std::make_unique<ScriptedEngine>(1), std::make_unique<NoOutputBackend>(), inbox);
  s.Queue(Say("nobody hears this"));
  host::Message m;
  ASSERT_TRUE(NextNotice(inbox, &m));
  EXPECT_EQ(m.value, speech::SPEECH_END_FAILED);
}

TEST(SpeechVoices, FoundByNameIdentifierOrLanguage) {
  const std::vector<speech::Voice> voices = {{"Japanese", "ja", "jpx/ja", 1, {}},
                                             {"English_(Great_Britain)", "en-gb", "gmw/en", 1, {}},
                                             {"English_(America)", "en-us", "gmw/en-US", 1, {}}};
  EXPECT_EQ(speech::FindVoice(voices, "japanese")->identifier, "jpx/ja");
  EXPECT_EQ(speech::FindVoice(voices, "GMW/EN-US")->language, "en-us");
  EXPECT_EQ(speech::FindVoice(voices, "en-US")->identifier, "gmw/en-US");
  EXPECT_EQ(speech::FindVoice(voices, "en")->identifier, "gmw/en");  // the first English
  EXPECT_EQ(speech::FindVoice(voices, "e"), nullptr);
  EXPECT_EQ(speech::FindVoice(voices, "fr"), nullptr);
  EXPECT_EQ(speech::FindVoice(voices, ""), nullptr);
  EXPECT_EQ(speech::AutomaticVoice("Good morning"), "en");
  EXPECT_EQ(speech::AutomaticVoice("おはよう"), "ja");
}

// The voices as espeak-ng lists them: in the order of their languages, so
// that the Caribbean voice comes first, each with its priorities.
std::vector<speech::Voice> EspeakLikeVoices() {
  return {{"English (Caribbean)", "en-029", "gmw/en-029", 1, {{"en-029", 5}, {"en", 10}}},
          {"English (Great Britain)", "en-gb", "gmw/en", 1, {{"en-gb", 2}, {"en", 2}}},
          {"English (Scotland)", "en-gb-scotland", "gmw/en-GB-scotland", 1,
           {{"en-gb-scotland", 5}, {"en", 4}}},
          {"English (America)", "en-us", "gmw/en-US", 1, {{"en-us", 2}, {"en", 3}}},
          {"Japanese", "ja", "jpx/ja", 1, {{"ja", 5}}},
          {"Portuguese (Brazil)", "pt-br", "roa/pt-BR", 1, {{"pt-br", 5}, {"pt", 6}}},
          {"Portuguese (Portugal)", "pt-pt", "roa/pt", 1, {{"pt-pt", 5}}},
          {"Norwegian", "nb", "gmq/nb", 1, {{"nb", 5}, {"no", 5}}}};
}

TEST(SpeechVoices, NamesAsEspeakListsThemWithBlanksOrUnderscores) {
  const auto voices = EspeakLikeVoices();
  ASSERT_NE(speech::FindVoice(voices, "English_(America)"), nullptr);
  EXPECT_EQ(speech::FindVoice(voices, "English_(America)")->identifier, "gmw/en-US");
  EXPECT_EQ(speech::FindVoice(voices, "english (america)")->identifier, "gmw/en-US");
  EXPECT_EQ(speech::FindVoice(voices, "ENGLISH_(GREAT BRITAIN)")->identifier, "gmw/en");
  EXPECT_EQ(speech::FindVoice(voices, "English-(America)"), nullptr);
}

TEST(SpeechVoices, ALanguageTakesTheVoiceEspeakPrefersForIt) {
  const auto voices = EspeakLikeVoices();
  EXPECT_EQ(speech::FindVoice(voices, "en")->identifier, "gmw/en");  // not the Caribbean
  EXPECT_EQ(speech::FindVoice(voices, "EN-GB")->identifier, "gmw/en");
  EXPECT_EQ(speech::FindVoice(voices, "en-us")->identifier, "gmw/en-US");
  EXPECT_EQ(speech::FindVoice(voices, "no")->identifier, "gmq/nb");  // a second language
  // Only regions listed: the preferred among them; equals keep list order.
  EXPECT_EQ(speech::FindVoice(voices, "pt")->identifier, "roa/pt-BR");
  const std::vector<speech::Voice> regions = {{"Z", "en-zz", "z", 1, {{"en-zz", 7}}},
                                              {"A", "en-aa", "a", 1, {{"en-aa", 3}}},
                                              {"B", "en-bb", "b", 1, {{"en-bb", 3}}}};
  EXPECT_EQ(speech::FindVoice(regions, "en")->identifier, "a");
  EXPECT_EQ(speech::FindVoice(regions, "en-z"), nullptr);
}

TEST(SpeechVoices, WithoutAChoiceTheLocaleVariantOrTheLanguagesDefault) {
  const auto voices = EspeakLikeVoices();
  const auto id = [&](std::string_view language, std::string_view locale) {
    const speech::Voice* v = speech::DefaultVoice(voices, language, locale);
    return v != nullptr ? v->identifier : std::string("none");
  };
  EXPECT_EQ(id("en", ""), "gmw/en");
  EXPECT_EQ(id("en", "C"), "gmw/en");
  EXPECT_EQ(id("en", "C.UTF-8"), "gmw/en");
  EXPECT_EQ(id("en", "en_US.UTF-8"), "gmw/en-US");
  EXPECT_EQ(id("en", "en_US"), "gmw/en-US");
  EXPECT_EQ(id("en", "en_GB.ISO-8859-1@euro"), "gmw/en");
  EXPECT_EQ(id("en", "en_IE.UTF-8"), "gmw/en");      // no Irish voice
  EXPECT_EQ(id("en", "ja_JP.UTF-8"), "gmw/en");      // another language's locale
  EXPECT_EQ(id("en", "en-us_US"), "gmw/en");         // not a locale's language
  EXPECT_EQ(id("ja", "ja_JP.UTF-8"), "jpx/ja");
  EXPECT_EQ(id("ja", "en_US.UTF-8"), "jpx/ja");
  EXPECT_EQ(id("fr", "fr_FR.UTF-8"), "none");
}

TEST(SpeechVoices, TheUserLocaleFollowsThePosixOrder) {
  test::ScopedEnv all("LC_ALL", "");
  test::ScopedEnv messages("LC_MESSAGES", "");
  test::ScopedEnv lang("LANG", "");
  EXPECT_EQ(speech::UserLocale(), "");
  setenv("LANG", "en_GB.UTF-8", 1);
  EXPECT_EQ(speech::UserLocale(), "en_GB.UTF-8");
  setenv("LC_MESSAGES", "en_US.UTF-8", 1);
  EXPECT_EQ(speech::UserLocale(), "en_US.UTF-8");
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  EXPECT_EQ(speech::UserLocale(), "ja_JP.UTF-8");
}

// espeak-ng as installed: samples of a plausible length, and two voices
// that sound different.
std::vector<std::int16_t> Synthesize(speech::Engine& e, const Utterance& u) {
  std::vector<std::int16_t> out;
  EXPECT_TRUE(e.Speak(u, [&out](std::span<const std::int16_t> s) {
    out.insert(out.end(), s.begin(), s.end());
    return true;
  }));
  return out;
}

double Rms(const std::vector<std::int16_t>& s) {
  double sum = 0;
  for (std::int16_t v : s) sum += static_cast<double>(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size()));
}

TEST(Espeak, SpeaksJapaneseAndEnglishInDifferentVoices) {
  std::string error;
  std::unique_ptr<speech::Engine> e = speech::OpenEspeak(&error);
  if (!e) GTEST_SKIP() << error;
  ASSERT_NE(speech::FindVoice(e->Voices(), "ja"), nullptr);
  ASSERT_NE(speech::FindVoice(e->Voices(), "en-us"), nullptr);
  const double rate = e->SampleRate();
  const auto ja = Synthesize(*e, Say("こんにちは、せかい", "ja"));
  EXPECT_GT(ja.size() / rate, 0.5);
  EXPECT_LT(ja.size() / rate, 5.0);
  EXPECT_GT(Rms(ja), 300);
  const auto us = Synthesize(*e, Say("The quick brown fox", "en-us"));
  const auto scottish = Synthesize(*e, Say("The quick brown fox", "en-gb-scotland"));
  EXPECT_GT(Rms(us), 300);
  EXPECT_NE(us, scottish);
  // Faster speech is shorter.
  const auto fast = Synthesize(*e, Say("The quick brown fox", "en-us", 400));
  EXPECT_LT(fast.size() * 1.5, us.size());
  Utterance missing = Say("x", "no-such-voice");
  EXPECT_FALSE(e->Speak(missing, [](std::span<const std::int16_t>) { return true; }));
}

// espeak-ng's own voice list: names with blanks (its command line shows
// them with '_'), languages with priorities, and text without a chosen
// voice spoken as espeak-ng speaks its language by default, or in the
// locale's variant. (Its samples vary from run to run, so the choice is
// checked, not the sound.)
TEST(Espeak, DefaultVoicesAreEspeaksOwnOrTheLocales) {
  std::string error;
  std::unique_ptr<speech::Engine> e = speech::OpenEspeak(&error);
  if (!e) GTEST_SKIP() << error;
  const auto& voices = e->Voices();
  ASSERT_NE(speech::FindVoice(voices, "English_(America)"), nullptr);
  EXPECT_EQ(speech::FindVoice(voices, "English_(America)")->identifier, "gmw/en-US");
  EXPECT_EQ(speech::FindVoice(voices, "en")->identifier, "gmw/en");
  const speech::Voice* us = speech::FindVoice(voices, "gmw/en-US");
  ASSERT_NE(us, nullptr);
  EXPECT_EQ(us->language, "en-us");
  ASSERT_GE(us->languages.size(), 2u);
  EXPECT_EQ(us->languages[1].language, "en");
  EXPECT_EQ(us->languages[1].priority, 3);

  const auto chosen = [&](Utterance u, std::string_view locale) {
    const speech::Voice* v = speech::SelectVoice(voices, u, locale);
    return v != nullptr ? v->identifier : std::string("none");
  };
  EXPECT_EQ(chosen(Say("Good morning."), "C"), "gmw/en");
  EXPECT_EQ(chosen(Say("Good morning."), "en_US.UTF-8"), "gmw/en-US");
  EXPECT_EQ(chosen(Say("Good morning.", "gmw/en-029"), "en_US.UTF-8"), "gmw/en-029");
  EXPECT_EQ(chosen(Say("おはよう"), "en_US.UTF-8"), "jpx/ja");
  EXPECT_EQ(chosen(Say("x", "no-such-voice"), "C"), "none");
  // What the engine itself speaks follows the same choice.
  EXPECT_TRUE(e->Speak(Say("Good morning."), [](std::span<const std::int16_t>) { return true; }));
}

}  // namespace
}  // namespace vx::test
