// The MIDI and music family through the dispatcher.
#include <gtest/gtest.h>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "music/instruments.hpp"
#include "music/music.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"
#include "text/encoding.hpp"

namespace vx::test {
namespace {

class MusicApiTest : public ApiTest {
 protected:
  void SetUp() override {
    for (const char* name : {"T", "C", "N", "V", "L", "I"}) vars.push_back(DeclareLong(name));
    name_var = DeclareString("NM", 64);
    Ready();
  }
  std::int32_t Sys(std::int32_t index) { return values::ReadAsInteger(rt, index); }
  std::int32_t Error() { return Sys(sysvar::G_ERROR); }
  std::string Txt() { return Text(sysvar::G_TXT); }
  std::string RefScore(std::string_view head) {
    Call("MscRefScore", std::string(head) + ", T, C, N, V, L, I");
    if (Error() != 0) return "none";
    return std::to_string(Long(vars[0])) + "/" + std::to_string(Long(vars[1])) + "/" +
           std::to_string(Long(vars[2])) + "/" + std::to_string(Long(vars[3])) + "/" +
           std::to_string(Long(vars[4])) + "@" + std::to_string(Long(vars[5]));
  }

  TempFolder dir;
  ScopedEnv midi{"VEXMORA_MIDI", "record:" + dir.Path("midi.log")};
  std::vector<std::int32_t> vars;
  std::int32_t name_var = 0;
};

TEST_F(MusicApiTest, MidiRefListsInstruments) {
  Call("MIDIRef", "0, 40");
  EXPECT_EQ(text::Cp932ToUtf8(Txt()), " 40. バイオリン\r\n");
  Call("MIDIRef", "0, 128");
  EXPECT_EQ(Txt().size(), music::InstrumentListing(128).size());
  Call("MIDIRef", "1, 3");  // other modes leave G_TXT alone
  EXPECT_EQ(Txt().size(), music::InstrumentListing(128).size());
}

TEST_F(MusicApiTest, ScoreRecordsAddModifyReadAndDelete) {
  Call("MscAddScore", "20, 1, 64, 90, 5");
  Call("MscAddScore", "10, 0, 60, 100, 10");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(RefScore("3, 0, 0"), "10/0/60/100/10@0");
  EXPECT_EQ(RefScore("3, 0, 1"), "20/1/64/90/5@1");
  EXPECT_EQ(RefScore("3, 0, 1"), "none");
  EXPECT_EQ(RefScore("2, 0, 0"), "20/1/64/90/5@1");
  Call("MscModScore", "0, 30, 2, 67, 80, 4");
  EXPECT_EQ(Error(), 0);
  Call("MscModScore", "2, 30, 2, 67, 80, 4");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(RefScore("4, 25, 0"), "30/2/67/80/4@1");  // re-sorted after the change
  Call("MscDelScore", "0, 0, 0, 0, 0, -1");
  EXPECT_EQ(RefScore("-1, 0, 0"), "none");
}

TEST_F(MusicApiTest, ScoreFileRoundTripAndMalformedLines) {
  Call("MscAddScore", "480, 0, 64, 90, 240");
  Call("MscAddScore", "0, 9, 36, 127, 5");
  const std::string file = dir.Path("score.txt");
  Call("MscScoreCmd", "0, \"" + file + "\"");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(dir.Read("score.txt"),
            "TM:0, LG:5, CH:9, NN:36, VL:127,  \r\n"
            "TM:480, LG:240, CH:0, NN:64, VL:90,  \r\n");
  dir.Write("in.txt", "TM:5, LG:1, CH:2, NN:3, VL:4,\r\nTM:1, LG:2, CH:3, NN:4,\r\n" +
                          std::string(400, 'x') + "\nTM:1, LG:1, CH:1, NN:1, VL:1,\n");
  Call("MscScoreCmd", "1, \"" + dir.Path("in.txt") + "\"");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 2);
  EXPECT_EQ(RefScore("-1, 0, 0"), "1/1/1/1/1@0");
  Call("MscScoreCmd", "1, \"" + dir.Path("missing.txt") + "\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(RefScore("-1, 0, 0"), "1/1/1/1/1@0");  // unchanged
}

TEST_F(MusicApiTest, SequenceBuildReadAndSmf) {
  Call("MscAddScore", "10, 3, 60, 100, 5");
  Call("MscMkSeq", "-1, 10, 100, 2");
  EXPECT_EQ(Sys(sysvar::G_WORK1), 2);
  Call("MscRefSeq", "0, 0, 5, T, C, N, V");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Long(vars[1]), 0x93);
  Call("MscRefSeq", "0, 1, 5, T, C, N, V");
  EXPECT_EQ(Error(), 1);
  Call("MscRefSeq", "0, 1, 50, T, C, N, V");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Long(vars[0]), 10);
  EXPECT_EQ(Long(vars[1]), 0x83);
  Call("MscRefSeq", "0, 1, 50, T, C, N, V");
  EXPECT_EQ(Error(), 2);
  Call("MscMkSMF", "\"" + dir.Path("song.mid") + "\"");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(dir.Read("song.mid").substr(0, 4), "MThd");
  Call("MscMkSMF", "\"" + dir.Path("no/such/folder/song.mid") + "\"");
  EXPECT_EQ(Error(), 1);
}

TEST_F(MusicApiTest, SendAndVolumeReachTheOutput) {
  Call("MIDISend", "144, 60, 200");
  Call("MIDISend", "64, 1, 1");  // not a status byte: nothing sent
  Call("MIDIVol", "70000, -1");
  EXPECT_EQ(dir.Read("midi.log"), "0 90 3C 7F\n0 volume 65535 0\n");
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(MusicApiTest, NoDeviceMessageOnceWithItsCaption) {
  ScopedEnv broken("VEXMORA_MIDI", "record:" + dir.Path("no/folder/log"));
  Call("MIDISend", "144, 60, 1");  // the subsystem starts with the broken choice
  Call("MIDISend", "144, 60, 1");
  Call("MIDIVol", "1, 1");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], "[" + Message(msg::Id::kCaptionMessageJa) + "] " +
                                    Message(msg::Id::kMidiOpenDefault));
}

TEST_F(MusicApiTest, ChordsAndAnalysis) {
  Call("MscBldCode", "7, 0, T, NM");
  EXPECT_EQ(Long(vars[0]), (1 << 7) | (1 << 11) | (1 << 2));
  EXPECT_EQ(Text(name_var), "MAJOR ");
  Call("MscBldCode", "0, 14, T, NM");
  EXPECT_EQ(Long(vars[0]), 0);
  EXPECT_EQ(Text(name_var), "");
  Call("MscAddScore", "0, 0, 67, 100, 10");
  Call("MscAddScore", "0, 0, 71, 100, 10");
  Call("MscAddScore", "0, 0, 74, 100, 10");
  Call("MscAddScore", "10, 0, 60, 100, 10");
  Call("MscAddScore", "10, 0, 64, 100, 10");
  Call("MscAddScore", "10, 0, 69, 100, 10");
  Call("MscAnalize", "-1, 0, 10");
  EXPECT_EQ(Txt(), "MAJOR  T:7;C:0\r\n");
  EXPECT_EQ(Error(), 0);
  Call("MscMain", "-1, 0, 30, 10");
  EXPECT_EQ(Txt(), "MAJOR  T:0;C:7\r\nMINOR  T:10;C:9\r\n");
  Call("ToneLocation", "-1, 0, 20");
  EXPECT_EQ(Txt(), "C  T:0;C:6\r\nG  T:7;C:6\r\n");
  Call("MscAnalize", "-1, 100, 10");
  EXPECT_EQ(Txt(), "No hit code.\r\n");
  EXPECT_EQ(Error(), 1);
}

// Channel 10 plays drums: an open hi-hat (46) is no A#, unless the script
// asks for the percussion channel with the optional last argument.
TEST_F(MusicApiTest, PercussionLeftOutOfTheAnalysesUnlessAsked) {
  Call("MscAddScore", "0, 0, 60, 100, 10");
  Call("MscAddScore", "0, 0, 64, 100, 10");
  Call("MscAddScore", "0, 0, 67, 100, 10");
  Call("MscAddScore", "0, 9, 46, 100, 10");
  Call("MscAnalize", "-1, 0, 10");
  EXPECT_EQ(Txt(), "MAJOR  T:0;C:0\r\n");
  Call("MscAnalize", "-1, 0, 10, 0");
  EXPECT_EQ(Txt(), "MAJOR  T:0;C:0\r\n");
  Call("MscAnalize", "-1, 0, 10, 1");
  EXPECT_EQ(Txt(), "7th    T:0;C:2\r\n");
  Call("ToneLocation", "-1, 0, 10");
  EXPECT_EQ(Txt(), "C  T:0;C:3\r\nF  T:5;C:3\r\nG  T:7;C:3\r\n");
  Call("ToneLocation", "-1, 0, 10, 1");
  EXPECT_EQ(Txt(), "F  T:5;C:4\r\n");
  Call("MscMain", "-1, 0, 10, 10");
  EXPECT_EQ(Txt(), "MAJOR  T:0;C:0\r\n");
  Call("MscMain", "-1, 0, 10, 10, 1");
  EXPECT_EQ(Txt(), "7th    T:0;C:0\r\n");
  // The drums alone: nothing to name unless asked.
  Call("MscAnalize", "0x200, 0, 10");
  EXPECT_EQ(Txt(), "No hit code.\r\n");
  EXPECT_EQ(Error(), 1);
}

TEST_F(MusicApiTest, DeleteRangeTakesItsHighestNote) {
  Call("MscAddScore", "0, 0, 60, 100, 10");
  Call("MscAddScore", "0, 0, 72, 100, 10");
  Call("MscAddScore", "0, 0, 73, 100, 10");
  Call("MscDelScore", "-1, 0, 10, 60, 72, 0");
  EXPECT_EQ(Sys(sysvar::G_WORK1), 2);
  EXPECT_EQ(RefScore("-1, 0, 0"), "0/0/73/100/10@0");
  EXPECT_EQ(RefScore("-1, 0, 1"), "none");
}

TEST_F(MusicApiTest, ScoreFileFieldsWithLeadingZeros) {
  dir.Write("padded.txt", "TM:0000000010, LG:1, CH:0, NN:61, VL:1,\r\n"
                          "TM:00020, LG:0000000000002, CH:00, NN:062, VL:0000000127,\r\n");
  Call("MscScoreCmd", "1, \"" + dir.Path("padded.txt") + "\"");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Sys(sysvar::G_WORK1), 2);
  EXPECT_EQ(RefScore("-1, 0, 0"), "10/0/61/1/1@0");
  EXPECT_EQ(RefScore("-1, 0, 1"), "20/0/62/127/2@1");
}

}  // namespace
}  // namespace vx::test
