// The render stream against the file back end: blocks pulled from a source
// reach the device in order, and outputs running at once never write over
// each other's file.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "audio/device.hpp"
#include "audio/wav_file.hpp"
#include "support/temp_folder.hpp"

namespace vx::audio {
namespace {

// Counts samples up from 0, one per sample, so that a lost, repeated or
// reordered block shows in the file.
class CountingSource final : public RenderSource {
 public:
  void Render(std::span<std::int16_t> block) override {
    for (std::int16_t& s : block) s = static_cast<std::int16_t>(next_++ & 0x7FFF);
    blocks.fetch_add(1);
  }
  std::atomic<int> blocks{0};

 private:
  std::uint32_t next_ = 0;
};

std::uint32_t Le32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

DeviceFormat Stereo44k() {
  DeviceFormat f;
  f.Set(44100, true);
  return f;
}

void WaitForBlocks(const CountingSource& source, int n) {
  for (int i = 0; i < 500 && source.blocks.load() < n; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST(RenderStream, PullsBlocksInOrderIntoTheFileDevice) {
  test::TempFolder dir;
  auto backend = MakeFileBackend(dir.Path("out.wav"), "");
  CountingSource source;
  std::uint64_t played = 0;
  {
    RenderStream stream(backend->OpenOutput(Stereo44k()), source, 2);
    WaitForBlocks(source, 4);
    stream.Stop();
    played = stream.FramesPlayed();
    EXPECT_FALSE(stream.Failed());
  }
  const std::string wav = dir.Read("out.wav");
  ASSERT_GE(wav.size(), WAV_HEADER_BYTES);
  EXPECT_EQ(Le32(wav, 24), 44100u);
  const std::uint32_t data = Le32(wav, 42);
  EXPECT_EQ(wav.size(), WAV_HEADER_BYTES + data);
  // Whole blocks, each as rendered: the samples count up without a gap.
  EXPECT_GE(data, 3 * RENDER_BLOCK_FRAMES * 4);
  EXPECT_EQ(data % (RENDER_BLOCK_FRAMES * 4), 0u);
  EXPECT_EQ(played * 4, data);
  for (std::size_t i = 0; i < data / 2; ++i) {
    std::int16_t s;
    std::memcpy(&s, wav.data() + WAV_HEADER_BYTES + 2 * i, 2);
    ASSERT_EQ(s, static_cast<std::int16_t>(i & 0x7FFF)) << "sample " << i;
  }
}

TEST(RenderStream, AFailedDeviceStopsTheStream) {
  class Broken final : public Endpoint {
   public:
    std::int32_t Transfer(std::span<std::int16_t>, const std::atomic<bool>&) override { return -1; }
  };
  CountingSource source;
  RenderStream stream(std::make_unique<Broken>(), source, 2);
  for (int i = 0; i < 500 && !stream.Failed(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(stream.Failed());
  EXPECT_EQ(source.blocks.load(), 1);
  EXPECT_EQ(stream.FramesPlayed(), 0u);
}

TEST(FileBackEnd, OutputsRunningAtOnceWriteFilesOfTheirOwn) {
  test::TempFolder dir;
  auto backend = MakeFileBackend(dir.Path("out.wav"), "");
  {
    auto first = backend->OpenOutput(Stereo44k());
    auto second = backend->OpenOutput(Stereo44k());
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(dir.Exists("out.wav"));
    EXPECT_TRUE(dir.Exists("out-2.wav"));
    std::array<std::int16_t, 4> a{1, 2, 3, 4};
    std::array<std::int16_t, 2> b{5, 6};
    std::atomic<bool> stop{false};
    EXPECT_EQ(first->Transfer(a, stop), 4);
    EXPECT_EQ(second->Transfer(b, stop), 2);
  }
  EXPECT_EQ(Le32(dir.Read("out.wav"), 42), 8u);
  EXPECT_EQ(Le32(dir.Read("out-2.wav"), 42), 4u);
  // Once closed, the name is free again.
  auto again = backend->OpenOutput(Stereo44k());
  ASSERT_TRUE(again);
  EXPECT_EQ(Le32(dir.Read("out.wav"), 42), 0u);
}

// Sound handed over after the device stood idle is played in real time
// again, not written at once to make up for the pause.
TEST(FileBackEnd, AnIdleDeviceStartsAgainInRealTime) {
  test::TempFolder dir;
  auto backend = MakeFileBackend(dir.Path("out.wav"), "");
  DeviceFormat mono;
  mono.Set(8000, false);
  auto out = backend->OpenOutput(mono);
  ASSERT_TRUE(out);
  std::atomic<bool> stop{false};
  std::array<std::int16_t, 400> short_block{};  // 50 ms
  out->Transfer(short_block, stop);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  std::array<std::int16_t, 1600> block{};  // 200 ms
  const auto started = std::chrono::steady_clock::now();
  out->Transfer(block, stop);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
}

}  // namespace
}  // namespace vx::audio
