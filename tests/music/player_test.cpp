// The player driven by a hand-made tick against the recording back end, the
// output's open failure, and FluidSynth rendering into a WAV file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "music/midi_output.hpp"
#include "music/music.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"
#include "text/messages.hpp"

namespace vx::music {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class PlayerTest : public ::testing::Test {
 protected:
  PlayerTest() : music("record:" + dir.Path("midi.log")) {
    music.SetMessageSink([this](std::string_view text) { messages.emplace_back(text); });
  }
  std::vector<std::string> Log() { return Lines(dir.Read("midi.log")); }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) music.Tick();
  }

  test::TempFolder dir;
  Music music;
  std::vector<std::string> messages;
};

TEST_F(PlayerTest, SendsEventsAtTheirTicksInOrder) {
  music.score().Add(MakeRecord(0, 2, 0, 60, 100));
  music.score().Add(MakeRecord(2, 3, 1, 64, 90));
  music.score().Add(MakeRecord(1, 0, kTempoChannel, kTempoNote, 120));  // never a message
  music.BuildSequence({0xFFFFFFFFu, 0, 100, 1.0});
  Ticks(3);  // the clock runs before playing starts
  music.Start(false);
  Ticks(10);
  EXPECT_EQ(Log(), (std::vector<std::string>{"3 90 3C 64", "5 80 3C 00", "5 91 40 5A",
                                             "8 81 40 00"}));
  EXPECT_FALSE(music.Playing());
  EXPECT_TRUE(messages.empty());
}

// Notes of no length still end, after they start, on the same tick.
TEST_F(PlayerTest, ShortNotesAreSentOnThenOff) {
  music.score().Add(MakeRecord(0, 0, 0, 60, 100));
  music.score().Add(MakeRecord(10, 1, 0, 62, 100));
  music.BuildSequence({0xFFFFFFFFu, 0, 65535, 0.5});
  music.Start(false);
  Ticks(8);
  EXPECT_EQ(Log(), (std::vector<std::string>{"0 90 3C 64", "0 80 3C 00", "5 90 3E 64",
                                             "5 80 3E 00"}));
}

TEST_F(PlayerTest, DataBytesBeyondAMidiByteAreHeldAt127) {
  music.AssignSequence({{0, 0x90, 200, 130}, {0, 0xE0, 128, 255}});
  music.Start(false);
  Ticks(2);
  EXPECT_EQ(Log(), (std::vector<std::string>{"0 90 7F 7F", "0 E0 7F 7F"}));
  EXPECT_TRUE(music.Send(0x91, 0x80, 0xFF));
  EXPECT_EQ(Log().back(), "2 91 7F 7F");
}

TEST_F(PlayerTest, LoopingStartsAgainAfterTheLastEvent) {
  music.AssignSequence({{0, 0x90, 60, 100}, {1, 0x80, 60, 0}});
  music.Start(true);
  Ticks(7);
  // Ticks 0 and 1 send, tick 2 finds the end and rewinds, tick 3 is tick 0 again.
  EXPECT_EQ(Log(), (std::vector<std::string>{"0 90 3C 64", "1 80 3C 00", "3 90 3C 64",
                                             "4 80 3C 00", "6 90 3C 64"}));
  EXPECT_TRUE(music.Playing());
}

TEST_F(PlayerTest, StoppingSilencesEveryChannelAndRewinds) {
  music.AssignSequence({{0, 0x90, 60, 100}, {50, 0x80, 60, 0}});
  music.Start(false);
  Ticks(2);
  music.Stop();
  const auto log = Log();
  ASSERT_EQ(log.size(), 17u);
  for (int ch = 0; ch < 16; ++ch) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "2 B%X 7B 00", ch);
    EXPECT_EQ(log[1 + ch], expected);
  }
  Ticks(3);
  EXPECT_EQ(Log().size(), 17u);  // stopped: nothing more
  music.Start(false);
  music.Tick();
  EXPECT_EQ(Log().back(), "5 90 3C 64");  // from event 0 again
}

TEST_F(PlayerTest, ManyEventsAtOneTickAllGoAtOnce) {
  std::vector<SeqEvent> events;
  for (int i = 0; i < 100; ++i) events.push_back({7, 0x90, static_cast<std::uint8_t>(i), 1});
  music.AssignSequence(events);
  music.Start(false);
  Ticks(7);
  EXPECT_TRUE(Log().empty());
  music.Tick();
  EXPECT_EQ(Log().size(), 100u);
}

TEST_F(PlayerTest, VolumeIsRecorded) {
  EXPECT_TRUE(music.SetVolume(0x1234, 0xFFFF));
  EXPECT_EQ(Log(), (std::vector<std::string>{"0 volume 4660 65535"}));
}

TEST(MusicOutput, AnOutputThatCannotOpenIsReportedOncePerRun) {
  Music music("record:/nonexistent-folder/midi.log");
  std::vector<std::string> messages;
  music.SetMessageSink([&](std::string_view text) { messages.emplace_back(text); });
  EXPECT_FALSE(music.Send(0x90, 60, 100));
  EXPECT_FALSE(music.Send(0x90, 60, 100));
  music.AssignSequence({{0, 0x90, 60, 100}});
  music.Start(false);
  music.Tick();
  music.Stop();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], msg::Text(msg::Id::kMidiOpenDefault));
}

TEST(MusicOutput, UnknownBackEndAndMissingSoundFontMessages) {
  Music unknown("carrier-pigeon");
  std::string shown;
  unknown.SetMessageSink([&](std::string_view text) { shown = text; });
  unknown.Send(0x90, 1, 1);
  EXPECT_EQ(shown, msg::Text(msg::Id::kMidiOpenInvalParam));

  test::ScopedEnv font("VEXMORA_SOUNDFONT", "/nonexistent.sf2");
  Music fluid("fluidsynth");
  fluid.SetMessageSink([&](std::string_view text) { shown = text; });
  fluid.Send(0x90, 1, 1);
  EXPECT_EQ(shown, msg::Text(msg::Id::kMidiNoDevice));
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

TEST(FluidSynthFile, RendersAudibleSoundOfTheRightLength) {
  if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI sound font installed";
  test::TempFolder dir;
  {
    Music music("fluidsynth:file:" + dir.Path("out.wav"));
    music.AssignSequence({{0, 0x90, 60, 120}, {20, 0x80, 60, 0}});
    music.Start(false);
    for (int i = 0; i < 33; ++i) music.Tick();  // 33 ticks: 990 ms
  }
  const std::string wav = dir.Read("out.wav");
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32(wav, 24), 44100u);
  // The ticks from opening (the first note at tick 0) to the end, 32 x 30 ms,
  // and a second of release.
  const std::uint32_t frames = 32 * 1323 + 44100;
  EXPECT_EQ(Le32(wav, 40), frames * 4);
  EXPECT_EQ(wav.size(), 44 + frames * 4);
  EXPECT_EQ(Le32(wav, 4), 36 + frames * 4);
  // Loud while the note sounds (0.1-0.5 s), near silence a while after.
  auto peak = [&](double from_s, double to_s) {
    int p = 0;
    for (std::size_t f = static_cast<std::size_t>(from_s * 44100);
         f < static_cast<std::size_t>(to_s * 44100); ++f) {
      std::int16_t s;
      std::memcpy(&s, wav.data() + 44 + f * 4, 2);
      p = std::max(p, std::abs(static_cast<int>(s)));
    }
    return p;
  };
  EXPECT_GT(peak(0.1, 0.5), 1000);
  EXPECT_LT(peak(1.6, 1.9), peak(0.1, 0.5) / 10);
}

// The synthesizer plays through the sound back ends: with the file back end
// what it played lands in VEXMORA_AUDIO_OUT, in real time. The stream starts
// with the first tick after the output opened, so that the sound of a tick
// lies where the tick falls: the note of tick 0 at the file's start, though
// the window was busy for a while after opening.
TEST(FluidSynthDevice, PlaysIntoTheFileBackEndFromTheFirstTick) {
  if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI sound font installed";
  test::TempFolder dir;
  test::ScopedEnv audio("VEXMORA_AUDIO", "file");
  test::ScopedEnv out("VEXMORA_AUDIO_OUT", dir.Path("device.wav"));
  const auto start = std::chrono::steady_clock::now();
  {
    Music music("fluidsynth");
    ASSERT_TRUE(music.Send(0xC0, 0, 0));
    music.AssignSequence({{0, 0x90, 64, 120}, {10, 0x80, 64, 0}});
    music.Start(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // no tick yet
    for (int i = 0; i < 15; ++i) {
      music.Tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    }
  }  // closing lets the release ring out
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string wav = dir.Read("device.wav");
  ASSERT_GE(wav.size(), 46u);
  EXPECT_EQ(Le32(wav, 24), 44100u);
  const std::uint32_t frames = Le32(wav, 42) / 4;
  EXPECT_EQ(wav.size(), 46 + std::size_t{frames} * 4);
  // Real time from the first tick: about the ticks' 450 ms and the release.
  EXPECT_GE(frames, 0.3 * 44100);
  EXPECT_LE(frames, (seconds - 0.1) * 44100);
  auto sample = [&](std::size_t f) {
    std::int16_t s;
    std::memcpy(&s, wav.data() + 46 + f * 4, 2);
    return std::abs(static_cast<int>(s));
  };
  std::size_t onset = 0;
  while (onset < frames && sample(onset) <= 1000) ++onset;
  // The note starts within the stream's first blocks (a 512-frame block is
  // 11.6 ms), not 150 ms in, where the window's first tick came.
  EXPECT_LT(onset, 2048u);
}

// With no tick at all (a script waiting in a Sleep), a note still starts
// the stream itself, after a short wait, and sounds at once.
TEST(FluidSynthDevice, WithoutTicksANoteStartsTheStream) {
  if (FindSoundFont().empty()) GTEST_SKIP() << "no General MIDI sound font installed";
  test::TempFolder dir;
  test::ScopedEnv audio("VEXMORA_AUDIO", "file");
  test::ScopedEnv out("VEXMORA_AUDIO_OUT", dir.Path("device.wav"));
  {
    Music music("fluidsynth");
    ASSERT_TRUE(music.Send(0x90, 64, 120));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    music.Send(0x80, 64, 0);
  }
  const std::string wav = dir.Read("device.wav");
  ASSERT_GE(wav.size(), 46u);
  const std::uint32_t frames = Le32(wav, 42) / 4;
  ASSERT_GE(frames, 0.2 * 44100);
  int peak = 0;
  for (std::size_t f = 0; f < static_cast<std::size_t>(0.1 * 44100); ++f) {
    std::int16_t s;
    std::memcpy(&s, wav.data() + 46 + f * 4, 2);
    peak = std::max(peak, std::abs(static_cast<int>(s)));
  }
  EXPECT_GT(peak, 1000);
}

}  // namespace
}  // namespace vx::music
