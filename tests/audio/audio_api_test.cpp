// The sound family through the dispatcher: store arithmetic, AudioCtrl, and
// playback and recording through the file back end.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

#include "api/api_test_support.hpp"
#include "audio/audio_system.hpp"
#include "audio/wav_file.hpp"
#include "engine/messages.hpp"
#include "engine/system_variables.hpp"
#include "graphics/canvas.hpp"
#include "support/temp_folder.hpp"

namespace vx::test {
namespace {

using audio::WAVE_SAMPLES;

class AudioApiTest : public ApiTest {
 protected:
  void SetUp() override {
    n = DeclareLong("N");
    d = DeclareDouble("D");
    l = DeclareDouble("L");
    s = DeclareString("S", 256);
    Ready();
  }
  audio::AudioSystem& A() { return audio::System(rt); }
  std::int16_t& Main(std::int32_t i) { return A().stores.Main()[static_cast<std::size_t>(i)]; }
  std::int16_t& Bank(std::int32_t b, std::int32_t i) {
    return A().stores.Bank(b)[static_cast<std::size_t>(i)];
  }

  // Hands the device notices to the family until `done` or a timeout.
  bool Pump(const std::function<bool()>& done, double seconds = 10.0) {
    return ApiTest::Pump(done, [this](const host::Message& m) { audio::HandleDeviceMessage(rt, m); }, seconds);
  }

  std::int32_t n, d, l, s;
  TempFolder folder;
};

TEST_F(AudioApiTest, ElementsAndRanges) {
  Call("SetWElem", "10, 500, 3");
  EXPECT_EQ(Main(9), 0);
  EXPECT_EQ(Main(10), 500);
  EXPECT_EQ(Main(12), 500);
  EXPECT_EQ(Main(13), 0);
  Call("GetWElem", "11, N");
  EXPECT_EQ(Long(n), 500);
  Call("GetWElem", "11, N, 0");  // banks are not read by element
  EXPECT_EQ(Long(n), 0);
  Call("GetWElem", "524288, N");
  EXPECT_EQ(Long(n), 0);
  Call("SetWElem", "524286, 7, 10");  // clipped at the end of the store
  EXPECT_EQ(Main(524287), 7);
  Call("SetWElem", "0, 40000, 0");  // count below 1 is 1; beyond 16 bits clamps
  EXPECT_EQ(Main(0), 32767);
  EXPECT_EQ(Main(1), 0);

  Main(20) = 3;
  Main(21) = -3;
  Main(22) = 30000;
  Call("AddWElem", "-1, 20, 23, 0, 0.5");  // truncation toward zero
  EXPECT_EQ(Main(20), 1);
  EXPECT_EQ(Main(21), -1);
  EXPECT_EQ(Main(22), 15000);
  Call("AddWElem", "-1, 22, 23, 20000");
  EXPECT_EQ(Main(22), 32767);
  Call("AddWElem", "8, 22, 23, 1");  // bank 8 fails
  EXPECT_EQ(Main(22), 32767);

  Bank(2, 5) = -100;
  Bank(2, 6) = 250;
  Call("GetWaveLevel", "2, 5, 7, N");
  EXPECT_EQ(Long(n), 350);
  Call("GetWaveLevel", "2, 5, 6, N");  // fewer than two samples
  EXPECT_EQ(Long(n), 0);

  Call("MkWvSlope", "3, 0, 4, 0, 100");
  EXPECT_EQ(Bank(3, 1), 25);
  EXPECT_EQ(Bank(3, 3), 75);
  EXPECT_EQ(Bank(3, 4), 0);
  Call("MkWvSlope", "3, 4, 4, 100, 100");  // empty range: nothing, no division by zero
  EXPECT_EQ(Bank(3, 4), 0);
}

TEST_F(AudioApiTest, CopiesDifferencesAndTheRealWave) {
  Bank(1, 0) = 30000;
  Bank(1, 1) = -30000;
  Bank(4, 0) = 10000;
  Bank(4, 1) = 10000;
  Call("CopyWvBk", "1, 4, 0, 2, 2, 0");  // add, clipped to +-32767
  EXPECT_EQ(Bank(4, 0), 32767);
  EXPECT_EQ(Bank(4, 1), -20000);
  Call("CopyWvBk", "1, 4, 0, 2, 6, 0");  // subtract
  EXPECT_EQ(Bank(4, 0), 2767);
  EXPECT_EQ(Bank(4, 1), 10000);
  Call("CopyWvBk", "1, 5, 0, 2, 1, 10");  // backwards
  EXPECT_EQ(Bank(5, 10), -30000);
  EXPECT_EQ(Bank(5, 11), 30000);

  Main(0) = 0;
  Main(1) = 10;
  Main(2) = 5;
  Main(3) = 25;
  Call("WvDiff", "6, 0, 4");
  EXPECT_EQ(Bank(6, 0), 16000);
  EXPECT_EQ(Bank(6, 1), -8000);
  EXPECT_EQ(Bank(6, 2), 32000);

  Call("SetRealWE", "7, 1000.5");
  Call("GetRealWE", "7, D");
  EXPECT_EQ(Double(d), 1000.5);
  Call("GetRealWE", "524288, D");
  EXPECT_EQ(Double(d), 0.0);
  Call("SetRealWE", "8, -1000");
  Call("WvR2S", "0");  // k below 0.001 counts as 1
  EXPECT_EQ(Main(7), static_cast<std::int16_t>(32760.0 - 32760.0 * 32760.0 / (1000.5 + 32760.0)));
  EXPECT_EQ(Main(8), static_cast<std::int16_t>(-(32760.0 - 32760.0 * 32760.0 / (32760.0 + 1000))));
  EXPECT_EQ(Main(0), 0);
  Call("ClearRWv", "");
  Bank(0, 3) = 200;
  Call("AddBkToReal", "0, 3, 4, 524287");
  Call("GetRealWE", "524287, D");
  EXPECT_EQ(Double(d), 200.0);
  Call("MkWvPls", "100, 4, 10, 2, 10, 0.5");
  Call("GetRealWE", "102, D");  // (sin(pi/2) + 1) * 10
  EXPECT_NEAR(Double(d), 20.0, 1e-9);
  Call("GetRealWE", "112, D");  // the second pulse decays by half
  EXPECT_NEAR(Double(d), 10.0, 1e-9);
}

TEST_F(AudioApiTest, SpectrumTable) {
  Call("SetWSpct", "2, 10, 200");
  Call("SetWSpct", "2, 11, 100");
  Call("GetWSpct", "2, 10, N");
  EXPECT_EQ(Long(n), 200);
  Call("SetWSpct", "500, -4, 9");  // indexes clamp into the table
  EXPECT_EQ(A().stores.Spectrum(169, 0), 9);
  // x = 2300: c = 10, r = 2300 - 2205 = 95; (200 * 125 + 100 * 95) / 220.
  Call("GetWSpctAtWv", "2, 2300, N");
  EXPECT_EQ(Long(n), (200 * 125 + 100 * 95) / 220);
  Call("GetWSpctAtWv", "2, 661500, N");
  EXPECT_EQ(Long(n), 0);
  const std::string path = folder.Path("spectrum.bin");
  Call("SaveSpctF", "\"" + path + "\", 3");
  EXPECT_EQ(folder.Read("spectrum.bin").size(), 9000u);
  Call("ClearWSpc", "-1");
  EXPECT_EQ(A().stores.Spectrum(2, 10), 0);
  Call("LoadSpctF", "\"" + path + "\"");
  EXPECT_EQ(A().stores.Spectrum(2, 10), 200);
}

TEST_F(AudioApiTest, AudioCtrlModes) {
  Call("AudioCtrl", "21, 999");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(A().rec_buffer_samples, 32000);
  Call("AudioCtrl", "22, 1000");
  EXPECT_EQ(A().play_buffer_samples, 1000);
  Call("AudioCtrl", "20, 101, 50");
  EXPECT_EQ(Error(), 1);
  Call("AudioCtrl", "19");
  EXPECT_EQ(Error(), 1);
  Call("AudioCtrl", "10");  // no pair
  EXPECT_EQ(Error(), 1);

  Call("AudioCtrl", "0, 4");
  EXPECT_EQ(Error(), 0);
  Main(100) = 1000;
  Bank(0, 100) = -2000;
  Main(101) = 3;
  Call("AudioCtrl", "6, 100, 0, 2");
  A().length = 4;
  Call("AudioCtrl", "10");
  EXPECT_EQ(Work(1), 1000);
  EXPECT_EQ(Work(2), -2000);
  Call("AudioCtrl", "11, 3, 2");
  EXPECT_EQ(A().pair.left[0], 1500);
  EXPECT_EQ(A().pair.left[1], 4);
  Call("AudioCtrl", "7, -5, 1");  // delete the first sample
  EXPECT_EQ(Work(1), 3);
  EXPECT_EQ(A().pair.left[0], 4);
  Call("AudioCtrl", "5, 0, 200, 10");  // sources past N are skipped
  EXPECT_EQ(Main(200), 4);
  EXPECT_EQ(Main(204), 0);

  // High-pass with a mix of 100 on a full-scale step clips: -1, G_ERROR 1.
  values::SetLong(rt, sysvar::G_WAVE_RATE, 8000);
  for (int i = 0; i < 100; ++i) Main(i) = 32767;
  Call("AudioCtrl", "13, 1000, 100, 1, 100");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Main(0), 32767);
  // Low-pass without a mix: y approaches the input.
  for (int i = 0; i < 100; ++i) Main(i) = 10000;
  Call("AudioCtrl", "12, 125, 0, 1, 100");  // step 1e6 / (125 * 8000) = 1
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Main(0), 10000);
  values::SetLong(rt, sysvar::G_WAVE_RATE, 0);
  Call("AudioCtrl", "12, 125, 0, 1, 100");
  EXPECT_EQ(Error(), 1);

  Call("AudioCtrl", "900");
  EXPECT_EQ(Error(), 0);
  EXPECT_FALSE(A().pair.Exists());
  Call("AudioInfo", "S");
  EXPECT_EQ(Text(s), "Bank count = 8 \r\n");
}

TEST_F(AudioApiTest, PlaybackThroughTheFileBackEnd) {
  const std::string out = folder.Path("played.wav");
  A().backend = audio::MakeFileBackend(out, "");
  for (int i = 0; i < 1500; ++i) Main(i) = static_cast<std::int16_t>(i * 7 - 5000);
  Main(1500) = 999;  // past the end: not played
  Call("AudioCtrl", "22, 1000");
  Call("AudioPlay", "16000, 0, 1500");
  ASSERT_TRUE(A().playing);
  Call("AudioPlay", "16000, 0, 1500");  // already playing: refused, undisturbed
  Call("IsPlayNow", "N");
  EXPECT_EQ(Long(n), 1);
  ASSERT_TRUE(Pump([&] { return !A().playing; }));
  const std::string file = folder.Read("played.wav");
  ASSERT_EQ(file.size(), 46u + 4000u);
  for (int i = 0; i < 2000; ++i) {
    const auto v = static_cast<std::int16_t>(static_cast<std::uint8_t>(file[46 + 2 * i]) |
                                             (static_cast<std::uint8_t>(file[47 + 2 * i]) << 8));
    ASSERT_EQ(v, i < 1500 ? Main(i) : 0) << i;
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(AudioApiTest, StereoPlaybackWithVolumes) {
  const std::string out = folder.Path("stereo.wav");
  A().backend = audio::MakeFileBackend(out, "");
  for (int i = 0; i < 600; ++i) {
    Main(i) = static_cast<std::int16_t>(i * 11 - 3001);
    Bank(0, i) = static_cast<std::int16_t>(-i * 3);
  }
  Call("AudioCtrl", "22, 1000");
  Call("AudioCtrl", "20, 50, 100");
  Call("AudioPlay", "22050, 0, 600, 1");
  ASSERT_TRUE(Pump([&] { return !A().playing; }));
  const std::string file = folder.Read("stereo.wav");
  ASSERT_GE(file.size(), 46u + 2400u);
  auto at = [&](std::size_t k) {
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(file[46 + 2 * k]) |
                                     (static_cast<std::uint8_t>(file[47 + 2 * k]) << 8));
  };
  for (int i = 0; i < 600; ++i) {
    ASSERT_EQ(at(2 * i), Main(i) * 50 / 100) << i;
    ASSERT_EQ(at(2 * i + 1), Bank(0, i)) << i;
  }
}

TEST_F(AudioApiTest, RecordingFromTheFileBackEnd) {
  std::vector<std::int16_t> source(3000);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::int16_t>(i * 5 + 1);
  const std::string in = folder.Path("mic.wav");
  ASSERT_TRUE(audio::SaveWave(in, source, 16, 16000));
  A().backend = audio::MakeFileBackend(folder.Path("unused.wav"), in);
  Call("AudioCtrl", "21, 1000");
  Call("AudioRec", "16000, 100, 1600");
  EXPECT_EQ(Text(sysvar::G_TXT), "waveInGetNumDevs() : 1\r\n");
  ASSERT_TRUE(A().input_open);
  ASSERT_TRUE(Pump([&] { return !A().input_open; }));
  for (int i = 0; i < 1500; ++i) ASSERT_EQ(Main(100 + i), source[static_cast<std::size_t>(i)]) << i;
  EXPECT_EQ(Main(1600), 0);
  Call("AudioCtrl", "1");
  EXPECT_EQ(Work(1), 0);
  EXPECT_EQ(Work(2), 1600);
}

TEST_F(AudioApiTest, LoopRecordingWrapsUntilStopped) {
  std::vector<std::int16_t> source(4000);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::int16_t>(i + 1);
  const std::string in = folder.Path("mic.wav");
  ASSERT_TRUE(audio::SaveWave(in, source, 16, 16000));
  A().backend = audio::MakeFileBackend(folder.Path("unused.wav"), in);
  Call("AudioCtrl", "21, 1000");
  Call("AudioRec", "16000, 0, 1500, 4");
  // Past the end the recording has wrapped to the start and goes on.
  ASSERT_TRUE(Pump([&] { return Main(0) == 2001; }));
  EXPECT_TRUE(A().input_open);
  Call("AudioCtrl", "1");
  EXPECT_EQ(Work(1), 1);
  Call("StopRec", "");
  EXPECT_FALSE(A().input_open);
}

TEST_F(AudioApiTest, DeviceErrorsShowTheirMessage) {
  A().backend = audio::MakeFileBackend(folder.Path("no/such/dir/x.wav"), "");
  Call("AudioPlay", "8000, 0, 10");
  Call("AudioRec", "8000, 0, 10");
  EXPECT_EQ(Text(sysvar::G_TXT), "waveInGetNumDevs() : 0\r\n");
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0], "[msg] waveOutOpen error");
  EXPECT_EQ(window.messages[1], "[msg] error");
  Call("AudioPlay", "8000, 10, 10");  // start >= end: refused without a message
  Call("AudioPlay", "8000, 0, 10, 0, 8");
  EXPECT_EQ(window.messages.size(), 2u);
}

TEST_F(AudioApiTest, RampsGainsAndBankCopies) {
  Call("MkSinWv", "0, 8, 8, 1000, 0");
  EXPECT_EQ(Main(2), 1000);
  EXPECT_EQ(Main(6), -1000);
  EXPECT_EQ(Main(1), static_cast<std::int16_t>(1000 * std::sin(2 * M_PI / 8)));
  Call("WaveBkUp", "2, 0");
  EXPECT_EQ(Bank(2, 2), 1000);
  Call("StretchWave", "0, 4, 1.0, 0.0");  // gain 1 at 0 down to 0 at 4
  EXPECT_EQ(Main(2), 500);
  EXPECT_EQ(Main(4), 0);
  Call("WaveBkUp", "2, 1");  // back from the bank
  EXPECT_EQ(Main(2), 1000);
  // PrjctWave: [10, 13] times the segment [0, 2] stretched over 4 samples.
  for (int i = 10; i <= 13; ++i) Main(i) = 16384;
  Main(0) = 0;
  Main(1) = 32767;
  Main(2) = 0;
  Call("PrjctWave", "10, 13, 0, 2");
  EXPECT_EQ(Main(10), 0);
  EXPECT_EQ(Main(13), 0);
  EXPECT_GT(Main(11), 8000);
  Bank(1, 0) = 16384;
  Bank(2, 0) = -16384;
  Call("ClearRWv", "");
  Call("MixBkToReal", "1, 2, 0, 1");
  Call("GetRealWE", "0, D");
  EXPECT_EQ(Double(d), -8192.0);
  for (int i = 0; i < 10; ++i) Main(i) = 1000;
  Call("HPFltrRC", "0, 10, 0");  // k = 0: the samples pass
  EXPECT_EQ(Main(9), 1000);
}

TEST_F(AudioApiTest, TonesSpectraAndFilters) {
  values::SetLong(rt, sysvar::G_WAVE_RATE, 8000);
  Call("MkTone", "1, 0, 8000, 1000, 16000");
  EXPECT_EQ(Work(1), 8000);
  Call("SpectAnalyze", "1, 0, 8000, D");
  EXPECT_NEAR(Double(d), 1000.0, 1.0);
  Call("FrqChk", "1, 0, 8000, D");
  EXPECT_NEAR(Double(d), 1000.0, 1.0);
  Call("AnlzWave", "1, 0, 8000");
  EXPECT_NEAR(Work(1), 16000, 2);
  EXPECT_NEAR(Work(2), 16000 / std::sqrt(2.0), 2);
  EXPECT_NEAR(Double(sysvar::G_DBLWK2), 1000.0, 1.0);

  // A spectrogram row peaks at column 1000 * 6000 / 8000 = 750.
  Call("WaveMagToSpc", "3, 1, 0");
  std::int32_t best = 0;
  for (std::int32_t c = 0; c < audio::SPECTRUM_COLUMNS; ++c) {
    if (A().stores.Spectrum(3, c) > A().stores.Spectrum(3, best)) best = c;
  }
  EXPECT_EQ(best, 750);
  EXPECT_NEAR(A().stores.Spectrum(3, 750), 237, 1);  // -6.2 dBFS
  EXPECT_LT(A().stores.Spectrum(3, 300), 40);

  // A low-pass at 200 Hz takes a 1 kHz tone down by about 28 dB.
  Call("LPFltr", "1, 0, 8000, 200");
  EXPECT_EQ(Error(), 0);
  Call("AnlzWave", "1, 4000, 8000");
  EXPECT_LT(Work(1), 16000 / 20);
  Call("HPFltr", "1, 0, 8000, 5000");  // above half the rate: refused
  EXPECT_EQ(Error(), 1);

  // FreqChg by 2: half as long, an octave up.
  Call("MkTone", "2, 0, 8000, 500, 10000");
  Call("FreqChg", "2, 0, 8000, 2, 3, 0");
  EXPECT_EQ(Work(1), 4000);
  Call("SpectAnalyze", "3, 0, 4000, D");
  EXPECT_NEAR(Double(d), 1000.0, 2.0);
  // FreqUp by 12 semitones keeps the length and doubles the pitch.
  Call("FreqUp", "2, 0, 8000, 12");
  Call("SpectAnalyze", "2, 2048, 4096, D");
  EXPECT_NEAR(Double(d), 1000.0, 10.0);
}

TEST_F(AudioApiTest, DrawingAWave) {
  Call("MkTone", "-1, 0, 1000, 50, 32000");
  rt.vram.DrawColor() = graphics::Color{0, 0, 255};
  Call("WvDraw", "-1, 0, 1000, 10, 10, 100, 50");
  graphics::Canvas canvas = graphics::Canvas::Current(rt.vram);
  int drawn = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 130; ++x) {
      const bool red = canvas.Get(x, y) == graphics::Color{0, 0, 255};
      drawn += red ? 1 : 0;
      if (red) {
        EXPECT_TRUE(x >= 10 && x < 110 && y >= 10 && y < 60) << x << "," << y;
      }
    }
  }
  EXPECT_GT(drawn, 200);
}

TEST_F(AudioApiTest, StopCounterEndsPlaybackAtTheNextBuffer) {
  A().backend = audio::MakeFileBackend(folder.Path("long.wav"), "");
  Call("AudioCtrl", "22, 1000");
  Call("AudioPlay", "16000, 0, 100000");
  Call("IsPlayNow", "N, 1");
  EXPECT_EQ(Long(n), 1);
  ASSERT_TRUE(Pump([&] { return !A().playing; }));
  // Only the two buffers queued at the start were played.
  EXPECT_EQ(folder.Read("long.wav").size(), 46u + 2u * 2000u);
  Call("IsPlayNow", "N");
  EXPECT_EQ(Long(n), 0);
  EXPECT_EQ(Work(1), 3000);  // the returned buffer was refilled before the stop
}

TEST_F(AudioApiTest, FilesThroughTheApis) {
  values::SetLong(rt, sysvar::G_WAVE_RATE, 8000);
  for (int i = 0; i < 10; ++i) Bank(2, i) = static_cast<std::int16_t>(i * 1000 - 4000);
  const std::string path = folder.Path("b2.wav");
  Call("SaveWaveF", "\"" + path + "\", 0, 10, 16, 2");
  Call("LoadWaveF", "\"" + path + "\", N, 100, -1, 3");  // skip three frames
  EXPECT_EQ(Long(n), 7);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Main(100), -1000);
  Call("LoadWaveF", "\"" + path + "\", N, 0, 8");  // bank 8 fails
  EXPECT_EQ(Long(n), 0);
  Call("SaveWaveF", "\"" + folder.Path("bad.wav") + "\", 5, 4, 16");  // from > to
  EXPECT_FALSE(folder.Exists("bad.wav"));

  Call("GetWaveFInfo", "\"" + path + "\", S");
  EXPECT_EQ(Text(s).substr(0, 40), "(12 bytes)[head(\"RIFF\") size=58 (\"WAVE\")");

  // The pair: load a mono file into both sides, save it as stereo.
  Call("AudioCtrl", "2, \"" + path + "\"");  // no pair yet
  EXPECT_EQ(Error(), 1);
  Call("AudioCtrl", "0, 20");
  Call("AudioCtrl", "2, \"" + path + "\"");
  EXPECT_EQ(Error(), 0);
  Call("AudioCtrl", "1");
  EXPECT_EQ(Work(2), 10);
  EXPECT_EQ(A().pair.right[9], 5000);
  Call("AudioCtrl", "4, \"" + folder.Path("pair.wav") + "\"");
  EXPECT_EQ(Work(1), 10);
  EXPECT_EQ(folder.Read("pair.wav").size(), 46u + 40u);
  Call("AudioCtrl", "2, \"" + folder.Path("missing.wav") + "\"");
  EXPECT_EQ(Error(), 1);

  // SaveWaveFGls keeps the loud middle with 2,205 samples either side.
  std::fill(A().stores.Main().begin(), A().stores.Main().end(), std::int16_t{0});
  for (int i = 10000; i < 10100; ++i) Main(i) = 3000;
  Call("SaveWaveFGls", "\"" + folder.Path("gls.wav") + "\", 0, 30000, 100");
  EXPECT_EQ(folder.Read("gls.wav").size(), 46u + 2u * ((10094 + 2205) - (10005 - 2205)));
}

TEST_F(AudioApiTest, PlaySoundPlaysAFileAndLeavesTheStores) {
  std::vector<std::int16_t> samples(800);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 40 - 16000);
  const std::string in = folder.Path("chime.wav");
  ASSERT_TRUE(audio::SaveWave(in, samples, 16, 16000));
  A().backend = audio::MakeFileBackend(folder.Path("out.wav"), "");
  Main(0) = 123;
  Call("PlaySound", "\"" + in + "\", 1");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(folder.Read("out.wav"), folder.Read("chime.wav"));
  EXPECT_EQ(Main(0), 123);
  Call("PlaySound", "\"" + folder.Path("none.wav") + "\"");
  EXPECT_EQ(Error(), 1);
}

// The rate in a written header (bytes 24-27).
std::uint32_t HeaderRate(const std::string& file) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(file.at(24 + i))) << (8 * i);
  return v;
}

TEST_F(AudioApiTest, WritersUse22050HzWhileTheRateIsNotSet) {
  for (std::int32_t rate : {0, -5}) {
    values::SetLong(rt, sysvar::G_WAVE_RATE, rate);
    Call("SaveWaveF", "\"" + folder.Path("a.wav") + "\", 0, 10, 16");
    Call("SaveWaveF", "\"" + folder.Path("b.wav") + "\", 0, 10, 8");
    Call("SaveWaveFGls", "\"" + folder.Path("c.wav") + "\", 0, 10, 0");
    Call("AudioCtrl", "0, 10");
    Call("AudioCtrl", "4, \"" + folder.Path("d.wav") + "\"");
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) {
      const std::string file = folder.Read(name);
      ASSERT_GE(file.size(), 46u) << name;
      EXPECT_EQ(HeaderRate(file), 22050u) << name << " at " << rate;
    }
    // bytes per second follow the rate: 16-bit mono 44,100, stereo 88,200.
    EXPECT_EQ(HeaderRate(folder.Read("a.wav").substr(4)), 44100u);
    EXPECT_EQ(HeaderRate(folder.Read("d.wav").substr(4)), 88200u);
  }
  values::SetLong(rt, sysvar::G_WAVE_RATE, 8000);
  Call("SaveWaveF", "\"" + folder.Path("a.wav") + "\", 0, 10, 16");
  EXPECT_EQ(HeaderRate(folder.Read("a.wav")), 8000u);
}

TEST_F(AudioApiTest, LoadWaveFRefusesWhatItCannotReadWithAReason) {
  values::SetLong(rt, sysvar::G_WAVE_RATE, 16000);
  Main(0) = 9;
  folder.Write("empty.wav", "");
  folder.Write("eleven.wav", std::string("RIFF\0\0\0\0WAV", 11));
  for (const char* name : {"empty.wav", "eleven.wav"}) {
    values::SetLong(rt, n, 5);
    Call("LoadWaveF", "\"" + folder.Path(name) + "\", N");
    EXPECT_EQ(Long(n), 0) << name;
    EXPECT_EQ(Error(), 1) << name;
    EXPECT_EQ(Text(sysvar::G_ERR_TXT), "not a WAV file: shorter than its 12-byte header") << name;
  }
  Call("LoadWaveF", "\"" + folder.Path("none.wav") + "\", N");
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(Text(sysvar::G_ERR_TXT).empty());
  Call("LoadWaveF", "\"" + folder.Path("none.wav") + "\", N, 0, 8");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "no such bank: 8");
  EXPECT_EQ(Main(0), 9);
  EXPECT_EQ(Long(sysvar::G_WAVE_RATE), 16000);  // a refused file sets no rate
  // A file that loads clears the reason.
  std::vector<std::int16_t> samples = {1, 2, 3};
  ASSERT_TRUE(audio::SaveWave(folder.Path("good.wav"), samples, 16, 11025));
  Call("LoadWaveF", "\"" + folder.Path("good.wav") + "\", N");
  EXPECT_EQ(Long(n), 3);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "");
  EXPECT_EQ(Long(sysvar::G_WAVE_RATE), 11025);
}

TEST_F(AudioApiTest, SuccessClearsTheReasonOfAnEarlierFailure) {
  values::SetLong(rt, sysvar::G_WAVE_RATE, 8000);
  Call("MkTone", "1, 0, 8000, 1000, 16000");
  const auto stale = [&] {
    values::WriteText(rt, sysvar::G_ERR_TXT, "stale");
    values::SetLong(rt, sysvar::G_ERROR, 7);
  };
  const auto cleared = [&](const char* what) {
    EXPECT_EQ(Error(), 0) << what;
    EXPECT_EQ(Text(sysvar::G_ERR_TXT), "") << what;
  };
  stale();
  Call("SpectAnalyze", "1, 0, 8000, D");
  cleared("SpectAnalyze");
  stale();
  Call("AnlzWave", "1, 0, 8000");
  cleared("AnlzWave");
  stale();
  Call("MkWaveSPC", "1, 0, 100, 2");
  cleared("MkWaveSPC");
  stale();
  Call("WaveMagToSpc", "0, 1, 0");
  cleared("WaveMagToSpc");
  // Failures say why.
  Call("SpectAnalyze", "1, 0, 3, D");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "fewer than 4 samples to analyse");
  Call("MkWaveSPC", "8, 0, 100");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "no such bank: 8");
  Call("WaveMagToSpc", "0, 9, 0");
  EXPECT_EQ(Error(), 1);
  Call("AnlzWave", "1, 10, 10");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "an empty range");

  Call("AudioCtrl", "10");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "no buffer pair (AudioCtrl mode 0 makes one)");
  Call("AudioCtrl", "3");
  cleared("AudioCtrl");
  Call("AudioCtrl", "19");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "no such mode: 19");
  Call("AudioCtrl", "20, 101, 0");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "volumes are 0 to 100 percent");
  Call("AudioCtrl", "0, 0");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "cannot allocate a buffer pair of 0 samples");
  Call("AudioCtrl", "0, 16");
  cleared("AudioCtrl 0");
  values::SetLong(rt, sysvar::G_WAVE_RATE, 0);
  Call("AudioCtrl", "12, 100, 0, 0");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "G_WAVE_RATE is not set");
  values::SetLong(rt, sysvar::G_WAVE_RATE, 8000);
  for (int i = 0; i < 16; ++i) A().pair.left[static_cast<std::size_t>(i)] = 32767;
  A().length = 16;
  Call("AudioCtrl", "13, 1000, 100, 0");
  EXPECT_EQ(Error(), 1);
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "the mixed result clipped");
  Call("AudioCtrl", "2, \"" + folder.Path("none.wav") + "\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(Text(sysvar::G_ERR_TXT).empty());

  A().backend = audio::MakeFileBackend(folder.Path("out.wav"), "");
  Call("PlaySound", "\"" + folder.Path("none.wav") + "\"");
  EXPECT_EQ(Error(), 1);
  EXPECT_FALSE(Text(sysvar::G_ERR_TXT).empty());
  folder.Write("adpcm.wav", std::string("RIFF\x26\0\0\0WAVEfmt \x10\0\0\0\x02\0\x01\0\x40\x1f\0\0\0\0\0\0\x01\0\x04\0data\x02\0\0\0ab", 46));
  Call("PlaySound", "\"" + folder.Path("adpcm.wav") + "\"");
  EXPECT_EQ(Text(sysvar::G_ERR_TXT), "unsupported WAV format: Microsoft ADPCM (format 0x0002)");
  std::vector<std::int16_t> samples(100, 1000);
  ASSERT_TRUE(audio::SaveWave(folder.Path("chime.wav"), samples, 16, 8000));
  Call("PlaySound", "\"" + folder.Path("chime.wav") + "\", 1");
  cleared("PlaySound");
}

TEST_F(AudioApiTest, PlaySoundPlaysOtherCodingsAndStereo) {
  // 24-bit stereo plays as 16-bit stereo, interleaved, rounded.
  std::string data;
  for (std::int32_t v : {256, -256, 384, 383}) data += std::string(reinterpret_cast<const char*>(&v), 3);
  std::string file = "RIFF" + std::string("\0\0\0\0", 4) + "WAVEfmt " + std::string("\x10\0\0\0\x01\0\x02\0\x40\x1f\0\0\0\0\0\0\x06\0\x18\0", 20) +
                     "data" + std::string("\x0c\0\0\0", 4) + data;
  file[4] = static_cast<char>(file.size() - 8);
  folder.Write("s24.wav", file);
  A().backend = audio::MakeFileBackend(folder.Path("out.wav"), "");
  Call("PlaySound", "\"" + folder.Path("s24.wav") + "\", 1");
  EXPECT_EQ(Error(), 0);
  const std::string out = folder.Read("out.wav");
  ASSERT_EQ(out.size(), 46u + 8u);
  EXPECT_EQ(out.substr(22, 2), std::string("\x02\0", 2));  // stereo
  auto at = [&](std::size_t k) {
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(out[46 + 2 * k]) | (static_cast<std::uint8_t>(out[47 + 2 * k]) << 8));
  };
  EXPECT_EQ(at(0), 1);
  EXPECT_EQ(at(1), -1);
  EXPECT_EQ(at(2), 2);
  EXPECT_EQ(at(3), 1);
}

TEST_F(AudioApiTest, SpectAnalyzeFindsAPeakBetweenBins) {
  // 1000.3 Hz over 8,000 samples lies 0.3 bins from bin 1000 at 8 kHz and
  // 0.21 bins from bin 363 at 22,050 Hz; a full-scale-ratio tone of 16000
  // is -6.227 dBFS wherever it falls.
  const double level = 20 * std::log10(16000.0 / 32768.0);
  for (std::int32_t rate : {8000, 22050, 44100}) {
    values::SetLong(rt, sysvar::G_WAVE_RATE, rate);
    for (double f : {1000.3, 1000.5, 1000.0, 97.77, 3210.9}) {
      Call("MkTone", "1, 0, 8000, " + std::to_string(f) + ", 16000");
      Call("SpectAnalyze", "1, 0, 8000, D, L");
      EXPECT_NEAR(Double(d), f, 0.005) << f << " Hz at " << rate;
      EXPECT_NEAR(Double(l), level, 0.02) << f << " Hz at " << rate;
      EXPECT_NEAR(Work(1), f * 8000 / rate, 0.5001) << f << " Hz at " << rate;
      Call("AnlzWave", "1, 0, 8000");
      EXPECT_NEAR(Double(sysvar::G_DBLWK2), f, 0.005) << f << " Hz at " << rate;
    }
  }
  // A length that FFTW does not take fast (a prime) is padded: the same
  // answers.
  values::SetLong(rt, sysvar::G_WAVE_RATE, 8000);
  Call("MkTone", "1, 0, 7919, 1234.56, 16000");
  Call("SpectAnalyze", "1, 0, 7919, D, L");
  EXPECT_NEAR(Double(d), 1234.56, 0.005);
  EXPECT_NEAR(Double(l), level, 0.02);
  EXPECT_EQ(Work(1), std::lround(1234.56 * 7919 / 8000));
}

// A tone's frequency measured two ways (the spectrum peak, the zero
// crossings), its level at the peak and its RMS.
struct Measured {
  double peak_hz, crossing_hz, level_db, rms;
};

TEST_F(AudioApiTest, FreqUpShiftsByTheSemitonesAndKeepsTheLevel) {
  values::SetLong(rt, sysvar::G_WAVE_RATE, 22050);
  auto measure = [&](std::int32_t bank) {
    Call("SpectAnalyze", std::to_string(bank) + ", 11025, 22050, D, L");
    Measured m{Double(d), 0, Double(l), 0};
    Call("FrqChk", std::to_string(bank) + ", 11025, 33075, D");
    m.crossing_hz = Double(d);
    Call("AnlzWave", std::to_string(bank) + ", 11025, 33075");
    m.rms = Work(2);
    return m;
  };
  auto cents = [](double got, double want) { return 1200.0 * std::log2(got / want); };
  for (double semitones : {12.0, -12.0, 7.0, -5.0, 0.5}) {
    Call("MkTone", "2, 0, 44100, 440, 16000");
    const Measured clean = measure(2);
    Call("FreqUp", "2, 0, 44100, " + std::to_string(semitones));
    const Measured shifted = measure(2);
    const double want = 440.0 * std::pow(2.0, semitones / 12.0);
    EXPECT_NEAR(cents(shifted.peak_hz, want), 0.0, 5.0) << semitones;
    EXPECT_NEAR(cents(shifted.crossing_hz, want), 0.0, 5.0) << semitones;
    EXPECT_NEAR(shifted.level_db, clean.level_db, 0.5) << semitones;
    EXPECT_NEAR(20 * std::log10(shifted.rms / clean.rms), 0.0, 0.5) << semitones;
  }
  // The length is kept and the rest of the bank is left alone.
  Call("MkTone", "2, 0, 50000, 440, 16000");
  Bank(2, 1999) = 1234;
  const std::int16_t past = Bank(2, 44100);
  Call("FreqUp", "2, 2000, 44100, 3");
  EXPECT_EQ(Bank(2, 1999), 1234);
  EXPECT_EQ(Bank(2, 44100), past);
  Call("FrqChk", "2, 40000, 44000, D");
  EXPECT_NEAR(cents(Double(d), 440 * std::pow(2.0, 0.25)), 0.0, 5.0);
}

TEST_F(AudioApiTest, FreqUpMatchesSoxPitch) {
  if (std::system("sox --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
  // sox's pitch effect on the same tone, as a reference for the level.
  values::SetLong(rt, sysvar::G_WAVE_RATE, 22050);
  Call("MkTone", "-1, 0, 44100, 330, 12000");
  Call("SaveWaveF", "\"" + folder.Path("tone.wav") + "\", 0, 44100, 16");
  ASSERT_EQ(std::system(("sox " + folder.Path("tone.wav") + " " + folder.Path("sox.wav") + " pitch 700 2> /dev/null").c_str()), 0);
  Call("LoadWaveF", "\"" + folder.Path("sox.wav") + "\", N, 0, 3");
  Call("FreqUp", "-1, 0, 44100, 7");
  Call("SpectAnalyze", "3, 11025, 22050, D, L");
  const double sox_hz = Double(d), sox_db = Double(l);
  Call("SpectAnalyze", "-1, 11025, 22050, D, L");
  EXPECT_NEAR(1200 * std::log2(Double(d) / sox_hz), 0.0, 5.0);
  EXPECT_NEAR(Double(l), sox_db, 0.5);
}

}  // namespace
}  // namespace vx::test
