// Building the sequence from the score, tempo marks, reading it back and
// the Standard MIDI File.
#include "music/sequence.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/temp_folder.hpp"

namespace vx::music {
namespace {

std::vector<SeqEvent> Build(Score& s, std::uint32_t mask, int from, int length, double factor) {
  Sequence q;
  q.Build(s, {mask, from, length, factor});
  return q.Events();
}

TEST(SequenceBuild, NoteOnAndOffScaledFromTheStart) {
  Score s;
  s.Add(MakeRecord(10, 5, 3, 60, 100));
  const auto e = Build(s, 0xFFFF, 10, 100, 2);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0], (SeqEvent{0, 0x93, 60, 100}));
  EXPECT_EQ(e[1], (SeqEvent{10, 0x83, 60, 0}));
}

TEST(SequenceBuild, NoteOffPrecedesNoteOnAtTheSameTime) {
  Score s;
  s.Add(MakeRecord(0, 10, 0, 60, 100));
  s.Add(MakeRecord(10, 10, 0, 62, 100));
  const auto e = Build(s, 1, 0, 100, 1);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[1], (SeqEvent{10, 0x80, 60, 0}));
  EXPECT_EQ(e[2], (SeqEvent{10, 0x90, 62, 100}));
}

// A note whose off falls on the tick of its own on (length 0, or shortened
// below a tick by the factor) must still end: its off follows its on.
TEST(SequenceBuild, ANoteOfNoLengthEndsAfterItStarts) {
  Score s;
  s.Add(MakeRecord(0, 0, 0, 60, 100));
  s.Add(MakeRecord(10, 1, 0, 62, 100));  // 5 to 5.5 at half speed
  const auto e = Build(s, 0xFFFF, 0, 65535, 0.5);
  EXPECT_EQ(e, (std::vector<SeqEvent>{{0, 0x90, 60, 100},
                                      {0, 0x80, 60, 0},
                                      {5, 0x90, 62, 100},
                                      {5, 0x80, 62, 0}}));
}

TEST(SequenceBuild, AShortNoteEndsItselfNotItsNeighbours) {
  Score s;
  s.Add(MakeRecord(0, 10, 0, 60, 100));  // ends at 10, where the next starts
  s.Add(MakeRecord(10, 0, 0, 60, 90));   // the same key, no length
  s.Add(MakeRecord(10, 5, 0, 60, 80));   // and again, held
  s.Add(MakeRecord(10, 0, 1, 64, 70));   // another channel
  const auto e = Build(s, 0xFFFF, 0, 100, 1);
  EXPECT_EQ(e, (std::vector<SeqEvent>{{0, 0x90, 60, 100},
                                      {10, 0x80, 60, 0},   // the first note's end
                                      {10, 0x90, 60, 90},
                                      {10, 0x80, 60, 0},   // straight after its own start
                                      {10, 0x90, 60, 80},  // so the held one sounds
                                      {10, 0x91, 64, 70},
                                      {10, 0x81, 64, 0},
                                      {15, 0x80, 60, 0}}));
  // At the last tick both ends of a note are held at 65535, in order.
  Score late;
  late.Add(MakeRecord(65000, 100, 2, 70, 1));
  EXPECT_EQ(Build(late, 0xFFFF, 0, 65536, 2),
            (std::vector<SeqEvent>{{65535, 0x92, 70, 1}, {65535, 0x82, 70, 0}}));
}

TEST(SequenceBuild, NoteAndVelocityAboveAMidiByteAreHeldAt127) {
  Score s;
  s.Add(MakeRecord(0, 4, 0, 200, 130));
  s.Add(MakeRecord(1, 4, 0, 127, 128));
  s.Add(MakeRecord(2, 0, 17, 200, 255));  // a control record keeps its bytes
  const auto e = Build(s, 0xFFFFFFFFu, 0, 100, 1);
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[0], (SeqEvent{0, 0x90, 127, 127}));
  EXPECT_EQ(e[1], (SeqEvent{1, 0x90, 127, 127}));
  EXPECT_EQ(e[2], (SeqEvent{2, 17, 200, 255}));
  EXPECT_EQ(e[3], (SeqEvent{4, 0x80, 127, 0}));
}

TEST(SequenceBuild, RangeAndMaskSelectRecords) {
  Score s;
  s.Add(MakeRecord(5, 1, 0, 1, 1));    // before from
  s.Add(MakeRecord(10, 1, 0, 2, 1));
  s.Add(MakeRecord(10, 1, 1, 3, 1));   // channel not selected
  s.Add(MakeRecord(19, 1, 0, 4, 1));
  s.Add(MakeRecord(20, 1, 0, 5, 1));   // at from + length
  const auto e = Build(s, 1, 10, 10, 1);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].data1, 2);
  EXPECT_EQ(e[3].data1, 4);
}

TEST(SequenceBuild, ControlRecordsAreOneEventEach) {
  Score s;
  s.Add(MakeRecord(4, 50, kTempoChannel, kTempoNote, 150));
  const auto e = Build(s, 0xFFFFFFFFu, 0, 100, 3);
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0], (SeqEvent{12, 16, 1, 150}));
}

TEST(SequenceBuild, LateTimesClampInsteadOfWrapping) {
  Score s;
  s.Add(MakeRecord(40000, 30000, 0, 60, 100));
  const auto e = Build(s, 1, 0, 65536, 1);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].time, 40000);
  EXPECT_EQ(e[1].time, 65535);  // 70000 would have wrapped to 4464
  const auto scaled = Build(s, 1, 0, 65536, 10);
  EXPECT_EQ(scaled[0].time, 65535);
}

TEST(SequenceBuild, CapacityDropsTheExtraEvents) {
  Score s;
  for (std::size_t i = 0; i < kScoreCapacity; ++i) s.Add(MakeRecord(i % 1000, 1, 0, 60, 100));
  EXPECT_EQ(Build(s, 1, 0, 65536, 1).size(), kSequenceCapacity);
  Score odd;  // a note-on that fills the last place loses its note-off
  for (std::size_t i = 0; i < kScoreCapacity; ++i) odd.Add(MakeRecord(1, 1, 16, 0, 0));
  for (int i = 0; i < 10; ++i) odd.Add(MakeRecord(2, 1, 0, 60, 1));
}

TEST(SequenceTempo, MarksStretchTheGapsAfterThem) {
  Score s;
  s.Add(MakeRecord(0, 10, 0, 60, 100));
  s.Add(MakeRecord(10, 10, 0, 62, 100));
  s.Add(MakeRecord(10, 0, kTempoChannel, kTempoNote, 200));
  Sequence q;
  q.Build(s, {1, 0, 100, 1.0});  // note events only: 0 on, 10 off, 10 on, 20 off
  q.ApplyTempo(s, 0, 1.0);
  ASSERT_EQ(q.Size(), 4u);
  EXPECT_EQ(q.Events()[0].time, 0);
  EXPECT_EQ(q.Events()[1].time, 20);  // the mark at 10 is in force from this event
  EXPECT_EQ(q.Events()[2].time, 20);
  EXPECT_EQ(q.Events()[3].time, 40);
}

TEST(SequenceRef, FoundNotYetAndEnd) {
  Sequence q;
  q.Assign({{0, 0x90, 1, 1}, {5, 0x90, 2, 1}, {9, 0x80, 2, 0}});
  SeqEvent e;
  EXPECT_EQ(q.Next(3, true, 100, e), SeqRef::kFound);
  EXPECT_EQ(e.data1, 2);
  EXPECT_EQ(q.Next(3, false, 9, e), SeqRef::kNotYet);
  EXPECT_EQ(q.Next(3, false, 9, e), SeqRef::kNotYet);  // not consumed
  EXPECT_EQ(q.Next(3, false, 10, e), SeqRef::kFound);
  EXPECT_EQ(e.time, 9);
  EXPECT_EQ(q.Next(3, false, 10, e), SeqRef::kEnd);
  EXPECT_EQ(q.Next(0, true, 1, e), SeqRef::kFound);
  EXPECT_EQ(e.data1, 1);
}

TEST(SequenceSmf, HeaderAndTrackBytes) {
  Sequence q;
  q.Assign({{0, 0x90, 60, 100}, {0, 16, 1, 100}, {2, 0x80, 60, 0}, {20, 0xC0, 5, 0}});
  const std::string smf = q.ToSmf();
  const std::string expected_header("MThd\0\0\0\6\0\0\0\1\0\x64MTrk", 18);
  EXPECT_EQ(smf.substr(0, 18), expected_header);
  const std::string track = smf.substr(22);
  const std::string expected_track(
      "\0\xFF\x51\x03\x04\x93\xE0"  // tempo 300000
      "\0\x90\x3C\x64"
      "\x14\x80\x3C\x00"            // 20 file ticks later
      "\x81\x34\xC0\x05"            // 180 file ticks later, program change has one data byte
      "\0\xFF\x2F\0",
      23);
  EXPECT_EQ(track, expected_track);
  EXPECT_EQ(static_cast<unsigned char>(smf[21]), expected_track.size());
}

std::string RunMidicsv(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("midicsv " + path + " 2>&1").c_str(), "r"),
                                             pclose);
  std::string out;
  char buffer[512];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}

TEST(SequenceSmf, DataBytesAboveOneTwentySevenAreHeldNotWrapped) {
  Sequence q;
  q.Assign({{0, 0x90, 200, 130}, {0, 0xB0, 128, 255}});
  const std::string track = q.ToSmf().substr(22);
  EXPECT_EQ(track.substr(7, 8), std::string("\0\x90\x7F\x7F\0\xB0\x7F\x7F", 8));
}

TEST(SequenceSmf, ReadBackByMidicsv) {
  if (std::system("command -v midicsv >/dev/null 2>&1") != 0) GTEST_SKIP() << "midicsv missing";
  Score s;
  s.Add(MakeRecord(0, 10, 0, 60, 100));
  s.Add(MakeRecord(10, 5, 9, 36, 127));
  s.Add(MakeRecord(200, 1000, 1, 72, 64));
  Sequence q;
  q.Build(s, {0xFFFF, 0, 65536, 1.0});
  test::TempFolder dir;
  dir.Write("song.mid", q.ToSmf());
  EXPECT_EQ(RunMidicsv(dir.Path("song.mid")),
            "0, 0, Header, 0, 1, 100\n"
            "1, 0, Start_track\n"
            "1, 0, Tempo, 300000\n"
            "1, 0, Note_on_c, 0, 60, 100\n"
            "1, 100, Note_off_c, 0, 60, 0\n"
            "1, 100, Note_on_c, 9, 36, 127\n"
            "1, 150, Note_off_c, 9, 36, 0\n"
            "1, 2000, Note_on_c, 1, 72, 64\n"
            "1, 12000, Note_off_c, 1, 72, 0\n"
            "1, 12000, End_track\n"
            "0, 0, End_of_file\n");
  // A note of no length, and values beyond a MIDI byte.
  Score short_notes;
  short_notes.Add(MakeRecord(0, 0, 0, 60, 100));
  short_notes.Add(MakeRecord(10, 1, 0, 200, 130));
  q.Build(short_notes, {0xFFFF, 0, 65536, 0.5});
  dir.Write("short.mid", q.ToSmf());
  EXPECT_EQ(RunMidicsv(dir.Path("short.mid")),
            "0, 0, Header, 0, 1, 100\n"
            "1, 0, Start_track\n"
            "1, 0, Tempo, 300000\n"
            "1, 0, Note_on_c, 0, 60, 100\n"
            "1, 0, Note_off_c, 0, 60, 0\n"
            "1, 50, Note_on_c, 0, 127, 127\n"
            "1, 50, Note_off_c, 0, 127, 0\n"
            "1, 50, End_track\n"
            "0, 0, End_of_file\n");
}

}  // namespace
}  // namespace vx::music
