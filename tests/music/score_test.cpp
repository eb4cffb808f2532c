// The score: records, deletion, order, the reading cursor and score files.
#include "music/score.hpp"

#include <gtest/gtest.h>

#include "music/instruments.hpp"
#include "text/encoding.hpp"

namespace vx::music {
namespace {

NoteRecord R(int time, int channel, int note, int velocity = 100, int length = 10) {
  return MakeRecord(time, length, channel, note, velocity);
}

TEST(InstrumentTable, EntriesArePaddedNumbersAndShiftJisNames) {
  EXPECT_EQ(text::Cp932ToUtf8(InstrumentEntry(0)), "  0. ｸﾞﾗﾝﾄﾞ･ﾋﾟｱﾉ[Drm:STD]");
  EXPECT_EQ(InstrumentEntry(0).substr(5, 2), "\xB8\xDE");  // half-width ｸﾞ, one byte each
  EXPECT_EQ(text::Cp932ToUtf8(InstrumentEntry(36)), " 36. スラップバス１");
  EXPECT_EQ(InstrumentEntry(87), " 87. Bass&Ld");
  EXPECT_EQ(InstrumentEntry(127), "127. Gunshot");
  EXPECT_EQ(text::Cp932ToUtf8(InstrumentEntry(5)), "  5. El.ﾋﾟｱﾉ 2");
  EXPECT_EQ(InstrumentEntry(128), "");
  EXPECT_EQ(InstrumentEntry(-1), "");
  for (int p = 0; p < kProgramCount; ++p) {
    const std::string e = InstrumentEntry(p);
    EXPECT_GT(e.size(), 5u) << p;
    EXPECT_EQ(e.find('?'), std::string::npos) << p;  // every name converts
  }
}

TEST(InstrumentTable, ListingIsOneEntryOrAllWithLineEnds) {
  EXPECT_EQ(InstrumentListing(127), "127. Gunshot\r\n");
  const std::string all = InstrumentListing(128);
  std::size_t lines = 0;
  for (std::size_t at = all.find("\r\n"); at != std::string::npos; at = all.find("\r\n", at + 2)) {
    ++lines;
  }
  EXPECT_EQ(lines, 128u);
  EXPECT_EQ(InstrumentListing(5000), all);
  EXPECT_TRUE(all.ends_with("127. Gunshot\r\n"));
  EXPECT_EQ(InstrumentListing(-3), "");
}

TEST(Score, AddingClearsTheSortedFlagAndReadersSortStably) {
  Score s;
  EXPECT_TRUE(s.Add(R(20, 0, 60)));
  EXPECT_TRUE(s.Add(R(10, 1, 61)));
  EXPECT_TRUE(s.Add(R(10, 2, 62)));
  EXPECT_FALSE(s.Sorted());
  s.EnsureSorted();
  ASSERT_EQ(s.Size(), 3u);
  EXPECT_EQ(s.Records()[0].note, 61);
  EXPECT_EQ(s.Records()[1].note, 62);
  EXPECT_EQ(s.Records()[2].note, 60);
}

TEST(Score, ValuesClampToTheirFields) {
  const NoteRecord r = MakeRecord(70000, -5, 300, -1, 1000);
  EXPECT_EQ(r.time, 65535);
  EXPECT_EQ(r.length, 0);
  EXPECT_EQ(r.channel, 255);
  EXPECT_EQ(r.note, 0);
  EXPECT_EQ(r.velocity, 255);
}

TEST(Score, CapacityIsEnforced) {
  Score s;
  for (std::size_t i = 0; i < kScoreCapacity; ++i) ASSERT_TRUE(s.Add(R(1, 0, 60)));
  EXPECT_FALSE(s.Add(R(1, 0, 60)));
  EXPECT_EQ(s.Size(), kScoreCapacity);
}

TEST(Score, ModifyChecksTheIndexAndClearsTheSortedFlag) {
  Score s;
  s.Add(R(0, 0, 60));
  s.Add(R(5, 0, 62));
  s.EnsureSorted();
  EXPECT_TRUE(s.Modify(0, R(9, 0, 64)));
  EXPECT_FALSE(s.Sorted());
  EXPECT_FALSE(s.Modify(2, R(0, 0, 0)));
  s.EnsureSorted();
  EXPECT_EQ(s.Records()[1].note, 64);
}

TEST(Score, DeleteRemovesTheRangeAndKeepsIndexesDense) {
  Score s;
  s.Add(R(0, 0, 60));
  s.Add(R(10, 0, 61));
  s.Add(R(10, 1, 62));   // other channel
  s.Add(R(12, 0, 90));   // note out of range
  s.Add(R(20, 0, 63));   // after the range
  s.Add(R(20, 1, 64));
  const std::size_t gone = s.Delete({0b01, 10, 10, 0, 80}, false);
  EXPECT_EQ(gone, 1u);
  EXPECT_EQ(s.Size(), 5u);
  EXPECT_FALSE(s.Sorted());
}

TEST(Score, DeleteWithModeOneClosesTheGapOfTheSelectedChannels) {
  Score s;
  s.Add(R(0, 0, 60));
  s.Add(R(10, 0, 61));
  s.Add(R(25, 0, 62));
  s.Add(R(25, 1, 63));
  s.Delete({0b01, 10, 10, 0, 127}, true);
  s.EnsureSorted();
  ASSERT_EQ(s.Size(), 3u);
  EXPECT_EQ(s.Records()[0].time, 0);
  EXPECT_EQ(s.Records()[1].time, 15);  // channel 0 moved earlier
  EXPECT_EQ(s.Records()[1].note, 62);
  EXPECT_EQ(s.Records()[2].time, 25);  // channel 1 stays
}

// Notes from low to high inclusive, times from `from` up to but not
// including from + length: each bound is met exactly once here.
TEST(Score, DeleteBoundsNotesInclusiveTimesHalfOpen) {
  Score s;
  s.Add(R(10, 0, 60));  // the lowest note: gone
  s.Add(R(10, 0, 64));  // the highest note: gone
  s.Add(R(10, 0, 59));  // below
  s.Add(R(10, 0, 65));  // above
  s.Add(R(9, 0, 62));   // before from
  s.Add(R(19, 0, 62));  // the last tick inside: gone
  s.Add(R(20, 0, 62));  // from + length
  EXPECT_EQ(s.Delete({0b1, 10, 10, 60, 64}, false), 3u);
  s.EnsureSorted();
  std::vector<int> left;
  for (const NoteRecord& r : s.Records()) left.push_back(r.time * 1000 + r.note);
  EXPECT_EQ(left, (std::vector<int>{9062, 10059, 10065, 20062}));
}

TEST(Score, ClosingTheGapMovesRecordsFromTheRangesEnd) {
  Score s;
  s.Add(R(15, 0, 90));  // inside the range but not deleted (note): stays
  s.Add(R(20, 0, 61));  // at the end: moves
  s.Add(R(21, 0, 62));
  s.Add(R(5, 0, 63));   // before: stays
  EXPECT_EQ(s.Delete({0b1, 10, 10, 0, 80}, true), 0u);
  s.EnsureSorted();
  std::vector<int> times;
  for (const NoteRecord& r : s.Records()) times.push_back(r.time);
  EXPECT_EQ(times, (std::vector<int>{5, 10, 11, 15}));
}

TEST(Score, ChannelsAboveThirtyOneAreNeverSelected) {
  EXPECT_TRUE(ChannelSelected(0x80000000u, 31));
  EXPECT_FALSE(ChannelSelected(0xFFFFFFFFu, 32));
  EXPECT_FALSE(ChannelSelected(0xFFFFFFFFu, 33));  // no wrap onto channel 1
  Score s;
  s.Add(R(0, 33, 60));
  s.Add(R(0, 1, 60));
  EXPECT_EQ(s.Delete({0xFFFFFFFFu, 0, 100, 0, 127}, false), 1u);
  EXPECT_EQ(s.Records()[0].channel, 33);
}

TEST(Score, NextWalksSelectedRecordsFromATime) {
  Score s;
  s.Add(R(30, 1, 3));
  s.Add(R(10, 0, 1));
  s.Add(R(20, 1, 2));
  s.Add(R(40, 0, 4));
  auto i = s.Next(0b10, 15, true);
  ASSERT_TRUE(i);
  EXPECT_EQ(s.Records()[*i].note, 2);
  i = s.Next(0b10, 15, false);
  ASSERT_TRUE(i);
  EXPECT_EQ(s.Records()[*i].note, 3);
  EXPECT_FALSE(s.Next(0b10, 15, false));
  EXPECT_FALSE(s.Next(0b10, 15, false));
  i = s.Next(0b10, 15, true);  // starting again
  ASSERT_TRUE(i);
  EXPECT_EQ(s.Records()[*i].note, 2);
}

TEST(ScoreText, WritesOneLinePerRecordInTimeOrder) {
  Score s;
  s.Add(R(480, 0, 64, 90, 240));
  s.Add(R(0, 9, 36, 127, 5));
  EXPECT_EQ(s.ToText(),
            "TM:0, LG:5, CH:9, NN:36, VL:127,  \r\n"
            "TM:480, LG:240, CH:0, NN:64, VL:90,  \r\n");
}

TEST(ScoreText, ReadingSkipsMalformedLinesAndRoundTrips) {
  Score s;
  s.Add(R(480, 0, 64, 90, 240));
  s.Add(R(0, 16, 1, 150, 0));
  s.Add(R(65535, 255, 255, 255, 65535));
  const std::string text = s.ToText();
  Score back;
  EXPECT_EQ(back.FromText("junk\r\n" + text + "TM:1, LG:2, CH:3, NN:4,\r\n"), 3u);
  EXPECT_EQ(back.Records(), s.Records());
}

TEST(ScoreText, LineRules) {
  EXPECT_TRUE(ParseScoreLine("TM:1, LG:2, CH:3, NN:4, VL:5,"));
  EXPECT_TRUE(ParseScoreLine("TM: 1,LG:2,   CH:3, NN:+4, VL:5, trailing"));
  EXPECT_FALSE(ParseScoreLine("TM:1, LG:2, CH:3, NN:4, VL:5"));  // the last comma
  EXPECT_FALSE(ParseScoreLine("TM:1, LG:2, CH:3, NN:4,"));      // no VL
  EXPECT_FALSE(ParseScoreLine(" TM:1, LG:2, CH:3, NN:4, VL:5,"));
  EXPECT_FALSE(ParseScoreLine("TM:1, LG:2, CH:3, VL:5, NN:4,"));
  EXPECT_FALSE(ParseScoreLine("TM:-1, LG:2, CH:3, NN:4, VL:5,"));
  EXPECT_FALSE(ParseScoreLine("TM:65536, LG:2, CH:3, NN:4, VL:5,"));
  EXPECT_FALSE(ParseScoreLine("TM:1, LG:2, CH:256, NN:4, VL:5,"));
  EXPECT_FALSE(ParseScoreLine("TM:99999999999999999999, LG:2, CH:3, NN:4, VL:5,"));
  EXPECT_FALSE(ParseScoreLine("TM:, LG:2, CH:3, NN:4, VL:5,"));
  // "%ld" reads any number of leading zeros.
  const auto padded = ParseScoreLine("TM:0000000010, LG:1, CH:0, NN:61, VL:1,");
  ASSERT_TRUE(padded);
  EXPECT_EQ(*padded, MakeRecord(10, 1, 0, 61, 1));
  const auto wide = ParseScoreLine("TM:00000000000000000065535, LG:0000000000000, CH:000000000255, "
                                   "NN:-0000000000, VL:+00000000007,");
  ASSERT_TRUE(wide);
  EXPECT_EQ(*wide, MakeRecord(65535, 0, 255, 0, 7));
  EXPECT_FALSE(ParseScoreLine("TM:00000000000000000065536, LG:1, CH:0, NN:61, VL:1,"));
  EXPECT_FALSE(ParseScoreLine("TM:1, LG:1, CH:0000000256, NN:61, VL:1,"));
  EXPECT_FALSE(ParseScoreLine("TM:1, LG:1, CH:0, NN:61, VL:-0000000001,"));
  EXPECT_FALSE(ParseScoreLine("TM:1, LG:1, CH:0, NN:61, VL:18446744073709551617,"));
  EXPECT_FALSE(ParseScoreLine(""));
  const std::string long_line = "TM:1, LG:2, CH:3, NN:4, VL:5," + std::string(300, ' ');
  Score s;
  EXPECT_EQ(s.FromText(long_line + "\nTM:7, LG:2, CH:3, NN:4, VL:5,\n"), 1u);
  EXPECT_EQ(s.Records()[0].time, 7);
}

TEST(ScoreText, ReadingStopsAtTheCapacity) {
  std::string text;
  for (std::size_t i = 0; i < kScoreCapacity + 10; ++i) text += "TM:1, LG:2, CH:3, NN:4, VL:5,\n";
  Score s;
  EXPECT_EQ(s.FromText(text), kScoreCapacity);
}

}  // namespace
}  // namespace vx::music
