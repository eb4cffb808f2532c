// The speaking thread with a scripted synthesizer on the silent device:
// order, notices, cancelling, a full queue, a missing device; then voice
// matching, and espeak-ng itself where it is installed.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/device.hpp"
#include "engine/messages.hpp"
#include "speech/speech.hpp"

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
    voices_ = {{"Japanese", "ja", "jpx/ja", 1},
               {"English_(America)", "en-us", "gmw/en-US", 1},
               {"English_(Great_Britain)", "en-gb", "gmw/en", 1}};
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
  const std::vector<speech::Voice> voices = {{"Japanese", "ja", "jpx/ja", 1},
                                             {"English_(Great_Britain)", "en-gb", "gmw/en", 1},
                                             {"English_(America)", "en-us", "gmw/en-US", 1}};
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

}  // namespace
}  // namespace vx::test
