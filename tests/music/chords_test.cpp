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

// Every entry of the table, on C: a slip in one interval or one name shows.
TEST(ChordTable, EveryEntryOnC) {
  struct Entry {
    const char* name;
    std::uint16_t mask;
  };
  constexpr auto bits = [](std::initializer_list<int> intervals) {
    std::uint16_t m = 0;
    for (int i : intervals) m = static_cast<std::uint16_t>(m | (1u << i));
    return m;
  };
  const Entry table[kChordTypes] = {
      {"MAJOR ", bits({0, 4, 7})},      {"MINOR ", bits({0, 3, 7})},
      {"7th   ", bits({0, 4, 7, 10})},  {"m7th  ", bits({0, 3, 7, 10})},
      {"dim   ", bits({0, 3, 6, 9})},   {"sus4  ", bits({0, 5, 7})},
      {"mM7   ", bits({0, 3, 7, 11})},  {"9     ", bits({0, 2, 4, 7})},
      {"maj7  ", bits({0, 4, 7, 11})},  {"m7-5  ", bits({0, 3, 6, 10})},
      {"+5    ", bits({0, 4, 8})},      {"m9    ", bits({0, 2, 3, 7})},
      {"-5    ", bits({0, 4, 6})},      {"7sus4 ", bits({0, 5, 7, 10})},
  };
  for (int t = 0; t < kChordTypes; ++t) {
    EXPECT_EQ(BuildChord(0, t)->name, table[t].name) << t;
    EXPECT_EQ(BuildChord(0, t)->mask, table[t].mask) << t;
  }
  // The same masks as numbers, so that the helper above cannot hide a slip.
  EXPECT_EQ(BuildChord(0, 4)->mask, 0x249);
  EXPECT_EQ(BuildChord(0, 9)->mask, 0x449);
  EXPECT_EQ(BuildChord(0, 13)->mask, 0x4A1);
  // On another root every interval moves with it, wrapping past B.
  EXPECT_EQ(BuildChord(10, 7)->mask, (1 << 10) | (1 << 0) | (1 << 2) | (1 << 5));  // Bb C D F
  EXPECT_EQ(BuildChord(11, 6)->mask, (1 << 11) | (1 << 2) | (1 << 6) | (1 << 10));  // B D F# A#
}

// Each chord, on each root, is found again from its own notes, and an exact
// hit never names a chord with another note set.
TEST(ChordAnalysis, EveryChordIsFoundFromItsNotes) {
  for (int root = 0; root < kPitchClasses; ++root) {
    for (int type = 0; type < kChordTypes; ++type) {
      const std::uint16_t mask = BuildChord(root, type)->mask;
      const auto hits = FindChords(mask);
      bool found = false;
      for (const ChordHit& h : hits) {
        EXPECT_EQ(BuildChord(h.root, h.type)->mask, mask) << root << "/" << type;
        found = found || (h.root == root && h.type == type);
      }
      EXPECT_TRUE(found) << "root " << root << " type " << type;
    }
  }
  // C D E G A# is no chord; of those inside it the four-note ones win,
  // roots ascending, then types in table order.
  const auto hits = FindChords(0x495);
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hits[0].root, 0);
  EXPECT_EQ(hits[0].type, 2);   // C 7th (C E G A#)
  EXPECT_EQ(hits[1].root, 0);
  EXPECT_EQ(hits[1].type, 7);   // C 9 (C D E G)
  EXPECT_EQ(hits[2].root, 4);
  EXPECT_EQ(hits[2].type, 9);   // E m7-5 (E G A# D)
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

TEST(KeyAnalysis, PercussionIsNoPitchUnlessAskedFor) {
  Score s;
  s.Add(MakeRecord(0, 10, 0, 60, 100));
  s.Add(MakeRecord(0, 10, kPercussionChannel, 42, 100));  // a closed hi-hat, not an F#
  s.Add(MakeRecord(0, 10, 8, 64, 100));
  s.Add(MakeRecord(0, 10, 10, 67, 100));
  const auto pitched = NotesIn(s, {0xFFFFFFFFu, 0, 10});
  ASSERT_EQ(pitched.size(), 3u);
  EXPECT_EQ(PitchClassesOf(pitched), 0x091);
  NoteWindow with_drums{0xFFFFFFFFu, 0, 10, true};
  EXPECT_EQ(NotesIn(s, with_drums).size(), 4u);
  with_drums.channel_mask = 1u << kPercussionChannel;  // the mask still selects
  ASSERT_EQ(NotesIn(s, with_drums).size(), 1u);
  EXPECT_EQ(NotesIn(s, with_drums)[0].note, 42);
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
