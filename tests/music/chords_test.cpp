// The chord table and the chord and key analysis over it.
#include "music/chords.hpp"

#include <gtest/gtest.h>

namespace vx::music {
namespace {

TEST(ChordTable, MasksAreIntervalsAboveTheRootModTwelve) {
  EXPECT_EQ(BuildChord(0, 0)->mask, 0x091);   // C E G
  EXPECT_EQ(BuildChord(0, 0)->name, "MAJOR ");
  EXPECT_EQ(BuildChord(9, 1)->mask, (1 << 9) | (1 << 0) | (1 << 4));  // A C E
  EXPECT_EQ(BuildChord(7, 2)->mask, (1 << 7) | (1 << 11) | (1 << 2) | (1 << 5));  // G B D F
  EXPECT_EQ(BuildChord(12, 0)->mask, BuildChord(0, 0)->mask);
  EXPECT_EQ(BuildChord(-1, 0)->mask, BuildChord(11, 0)->mask);
  EXPECT_EQ(BuildChord(0, 13)->name, "7sus4 ");
  EXPECT_FALSE(BuildChord(0, 14));
  EXPECT_FALSE(BuildChord(0, -1));
  for (int t = 0; t < kChordTypes; ++t) EXPECT_EQ(BuildChord(0, t)->name.size(), 6u) << t;
}

TEST(ChordTable, Rotation) {
  EXPECT_EQ(RotatePitchClasses(kMajorScaleMask, 0), kMajorScaleMask);
  EXPECT_EQ(RotatePitchClasses(0x001, 11), 0x800);
  EXPECT_EQ(RotatePitchClasses(0x800, 1), 0x001);
}

std::vector<NoteRecord> Notes(std::initializer_list<int> pitches) {
  std::vector<NoteRecord> notes;
  for (int p : pitches) notes.push_back(MakeRecord(0, 10, 0, p, 100));
  return notes;
}

TEST(ChordAnalysis, ExactChordsFirst) {
  const auto hits = FindChords(PitchClassesOf(Notes({60, 64, 67, 72})));
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].root, 0);
  EXPECT_EQ(hits[0].type, 0);
  // C E G A is both C6-less-a-name and A m7: the table has A m7th.
  const auto am7 = FindChords(PitchClassesOf(Notes({57, 60, 64, 67})));
  ASSERT_EQ(am7.size(), 1u);
  EXPECT_EQ(am7[0].root, 9);
  EXPECT_EQ(am7[0].type, 3);
  // dim chords are symmetric: four roots name the same notes.
  EXPECT_EQ(FindChords(PitchClassesOf(Notes({60, 63, 66, 69}))).size(), 4u);
}

TEST(ChordAnalysis, LargestContainedChordsWhenNoneIsExact) {
  // C E G plus a D# and an F#: C major is inside, so is C -5 (C E F#).
  const auto hits = FindChords(PitchClassesOf(Notes({60, 64, 67, 63, 66})));
  ASSERT_FALSE(hits.empty());
  for (const ChordHit& h : hits) {
    const std::uint16_t set = PitchClassesOf(Notes({60, 64, 67, 63, 66}));
    EXPECT_EQ(BuildChord(h.root, h.type)->mask & set, BuildChord(h.root, h.type)->mask);
  }
  EXPECT_TRUE(FindChords(0).empty());
  EXPECT_TRUE(FindChords(PitchClassesOf(Notes({60, 61}))).empty());
}

TEST(KeyAnalysis, KeysWhoseScaleHoldsTheNotes) {
  const auto c = FindKeys(Notes({60, 62, 64, 65, 67, 69, 71}));
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].tonic, 0);
  EXPECT_EQ(c[0].notes_in_scale, 7);
  const auto triad = FindKeys(Notes({60, 64, 67}));  // C, F and G major hold C E G
  ASSERT_EQ(triad.size(), 3u);
  EXPECT_EQ(triad[0].tonic, 0);
  EXPECT_EQ(triad[1].tonic, 5);
  EXPECT_EQ(triad[2].tonic, 7);
  // A chromatic run fits no key: the best ones hold 7 of 12.
  std::vector<NoteRecord> all;
  for (int p = 60; p < 72; ++p) all.push_back(MakeRecord(0, 1, 0, p, 1));
  const auto best = FindKeys(all);
  EXPECT_EQ(best.size(), 12u);
  EXPECT_EQ(best[0].notes_in_scale, 7);
  EXPECT_TRUE(FindKeys({}).empty());
}

TEST(KeyAnalysis, WindowTakesSoundingNotesOfSelectedChannels) {
  Score s;
  s.Add(MakeRecord(0, 20, 0, 60, 100));   // sounds into the window
  s.Add(MakeRecord(5, 2, 0, 61, 100));    // over before it
  s.Add(MakeRecord(12, 0, 0, 62, 100));   // length 0 counts at its start
  s.Add(MakeRecord(12, 5, 1, 63, 100));   // channel not selected
  s.Add(MakeRecord(12, 5, 16, 64, 100));  // control record
  s.Add(MakeRecord(20, 5, 0, 65, 100));   // after the window
  const auto notes = NotesIn(s, {0xFFFFFFFDu, 10, 10});
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].note, 60);
  EXPECT_EQ(notes[1].note, 62);
}

TEST(ChordReport, LineFormat) {
  EXPECT_EQ(HitLine("MAJOR ", 7, 0), "MAJOR  T:7;C:0\r\n");
  EXPECT_EQ(kNoHit, "No hit code.\r\n");
}

}  // namespace
}  // namespace vx::music
