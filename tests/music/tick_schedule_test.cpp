// Placing the window's ticks on the frames of a stream the render thread
// fills: where each tick's messages land, what a late or early tick does,
// the order of messages, and the start of the stream.
#include "music/tick_schedule.hpp"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>
#include <vector>

namespace vx::music {
namespace {

constexpr std::uint64_t kTick = 100;  // frames a tick, for round numbers
constexpr std::uint64_t kBlock = 64;

struct Taken {
  std::uint64_t frame;
  int data1;
  bool operator==(const Taken&) const = default;
};

// Renders blocks up to `until`, as the render thread does, and lists what
// each block took.
class Renderer {
 public:
  explicit Renderer(TickSchedule& s) : s_(s) {}
  std::vector<Taken> Until(std::uint64_t until) {
    std::vector<Taken> all;
    while (frame_ < until) {
      const std::size_t n = s_.TakeDue(frame_, frame_ + kBlock, buffer_);
      for (std::size_t i = 0; i < n; ++i) all.push_back({buffer_[i].frame, buffer_[i].data1});
      frame_ += kBlock;
    }
    return all;
  }

 private:
  TickSchedule& s_;
  std::uint64_t frame_ = 0;
  std::array<TimedMessage, TickSchedule::kCapacity> buffer_{};
};

void Note(TickSchedule& s, std::uint32_t tick, int key) {
  ASSERT_TRUE(s.Add(tick, 0x90, static_cast<std::uint8_t>(key), 100));
}

TEST(TickSchedule, TheStreamStartsAtTheFirstTickAndEachTickHasItsFrame) {
  TickSchedule s(kTick);
  Note(s, 7, 1);  // sent before the first tick: the stream's first frame
  s.Tick(7);
  s.WaitForStart();
  EXPECT_TRUE(s.Started());
  Note(s, 7, 2);
  Renderer r(s);
  EXPECT_EQ(r.Until(kBlock), (std::vector<Taken>{{0, 1}, {0, 2}}));
  s.Tick(8);
  Note(s, 8, 3);
  s.Tick(9);  // early: its frame (200) is ahead of the render thread (128)
  Note(s, 9, 4);
  Note(s, 9, 5);
  EXPECT_EQ(r.Until(3 * kBlock), (std::vector<Taken>{{100, 3}}));  // frames 64 to 191
  EXPECT_EQ(r.Until(4 * kBlock), (std::vector<Taken>{{200, 4}, {200, 5}}));
  // A message between ticks is placed at once: where the render thread is.
  Note(s, 10, 6);
  EXPECT_EQ(r.Until(5 * kBlock), (std::vector<Taken>{{256, 6}}));
}

TEST(TickSchedule, ATickLateByMoreThanATickStartsANewReference) {
  TickSchedule s(kTick);
  s.Tick(0);
  s.WaitForStart();
  Renderer r(s);
  r.Until(150);  // rendered to 192: tick 1 (100) is late, but by less than a tick
  s.Tick(1);
  Note(s, 1, 1);
  EXPECT_EQ(r.Until(256), (std::vector<Taken>{{192, 1}}));  // as soon as it can
  s.Tick(2);  // on time again
  Note(s, 2, 2);
  EXPECT_EQ(r.Until(512), (std::vector<Taken>{{256, 2}}));  // its frame 200 is behind: 256
  r.Until(1024);  // the window stalls: tick 3 belongs at 300, the stream is at 1024
  s.Tick(3);
  Note(s, 3, 3);
  s.Tick(4);
  Note(s, 4, 4);
  // Tick 3 is the new reference at 1024; tick 4 follows a tick later.
  EXPECT_EQ(r.Until(1280), (std::vector<Taken>{{1024, 3}, {1124, 4}}));
}

TEST(TickSchedule, ATickFarAheadOfTheStreamStartsANewReference) {
  TickSchedule s(kTick);
  s.Tick(0);
  s.WaitForStart();
  Renderer r(s);
  // Four ticks ahead of the stream still wait for their frames...
  s.Tick(4);
  Note(s, 4, 1);
  EXPECT_EQ(r.Until(512), (std::vector<Taken>{{400, 1}}));
  // ...five ahead mean the clocks drifted: tick 10 is placed where the
  // stream is, and tick 11 a tick after it.
  s.Tick(10);
  Note(s, 10, 2);
  s.Tick(11);
  Note(s, 11, 3);
  EXPECT_EQ(r.Until(768), (std::vector<Taken>{{512, 2}, {612, 3}}));
}

TEST(TickSchedule, MessagesNeverOvertakeEachOther) {
  TickSchedule s(kTick);
  s.Tick(0);
  s.WaitForStart();
  Renderer r(s);
  s.Tick(3);
  Note(s, 3, 1);  // waits for frame 300
  Note(s, 4, 2);  // between ticks, "now": but not before the one above
  EXPECT_EQ(r.Until(1024), (std::vector<Taken>{{300, 1}, {300, 2}}));
}

TEST(TickSchedule, AFullScheduleRefusesAndTakeAllEmptiesItInOrder) {
  TickSchedule s(kTick);
  s.Tick(0);
  s.WaitForStart();
  s.Tick(2);
  for (std::size_t i = 0; i < TickSchedule::kCapacity; ++i) {
    ASSERT_TRUE(s.Add(2, 0x90, static_cast<std::uint8_t>(i & 0x7F), 1));
  }
  EXPECT_FALSE(s.Add(2, 0x90, 1, 1));
  std::array<TimedMessage, 10> some{};
  ASSERT_EQ(s.TakeAll(some), 10u);
  EXPECT_EQ(some[9].data1, 9);
  std::vector<TimedMessage> rest(TickSchedule::kCapacity);
  EXPECT_EQ(s.TakeAll(rest), TickSchedule::kCapacity - 10);
  EXPECT_EQ(rest[0].data1, 10);
  EXPECT_TRUE(s.Add(2, 0x90, 1, 1));
}

TEST(TickSchedule, ABlockTakesNoMoreThanItHasRoomFor) {
  TickSchedule s(kTick);
  s.Tick(0);
  s.WaitForStart();
  for (int i = 0; i < 5; ++i) Note(s, 0, i);
  std::array<TimedMessage, 3> room{};
  EXPECT_EQ(s.TakeDue(0, kBlock, room), 3u);
  EXPECT_EQ(room[2].data1, 2);
  EXPECT_EQ(s.TakeDue(kBlock, 2 * kBlock, room), 2u);
  EXPECT_EQ(room[0].data1, 3);
  EXPECT_EQ(room[0].frame, kBlock);  // held within its block
}

TEST(TickSchedule, WithoutATickAWaitingNoteStartsTheStreamSoon) {
  TickSchedule s(kTick);
  const auto begin = std::chrono::steady_clock::now();
  std::thread sender([&] {
    ASSERT_TRUE(s.Add(0, 0xC0, 5, 0));   // a program change does not hurry it
    ASSERT_TRUE(s.Add(0, 0x90, 60, 0));  // nor a note-on of velocity 0
    ASSERT_TRUE(s.Add(0, 0x90, 60, 90));
  });
  s.WaitForStart();
  const auto waited = std::chrono::steady_clock::now() - begin;
  sender.join();
  EXPECT_LT(waited, TickSchedule::kFirstTickWait);
  EXPECT_GE(waited, TickSchedule::kNoteWait);
  // No tick yet: the first one to come sets the reference where it finds
  // the stream.
  Renderer r(s);
  EXPECT_EQ(r.Until(kBlock).size(), 3u);
  r.Until(640);
  s.Tick(40);
  Note(s, 40, 7);
  s.Tick(41);
  Note(s, 41, 8);
  EXPECT_EQ(r.Until(1024), (std::vector<Taken>{{640, 7}, {740, 8}}));
}

TEST(TickSchedule, ClosingEndsTheWaitForTheFirstTick) {
  TickSchedule s(kTick);
  std::thread closer([&] { s.Close(); });
  s.WaitForStart();  // returns at once, or at most after kFirstTickWait
  closer.join();
  EXPECT_TRUE(s.Started());
}

}  // namespace
}  // namespace vx::music
