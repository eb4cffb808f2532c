// A long label asks its display to keep the window alive, paced by the
// clock, and nothing runs in between.
#include "engine/keep_alive.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "engine/delivery.hpp"
#include "support/script_fixture.hpp"

namespace vx {
namespace {

using Clock = std::chrono::steady_clock;

// Records when it was asked, and may offer an event as the window would.
struct WatchingDisplay : Display {
  explicit WatchingDisplay(Runtime& runtime) : rt(runtime) {}
  void RequestRedraw(int, int, int, int) override {}
  void PaintNow(int, int, int, int) override {}
  void ClientSize(int* w, int* h) override { *w = 640, *h = 480; }
  void KeepAlive() override {
    times.push_back(Clock::now());
    lock_held.push_back(rt.run.lock.Held());
    if (offer_label) host::OfferByName(rt, "Other");
  }
  Runtime& rt;
  bool offer_label = false;
  std::vector<Clock::time_point> times;
  std::vector<bool> lock_held;
};

class KeepAlive : public test::ScriptTest {
 protected:
  void SetUp() override { rt.display = &display; }
  void TearDown() override { rt.display = nullptr; }
  WatchingDisplay display{rt};
};

// Loops of API calls for about MS milliseconds; `Other` counts its runs.
constexpr const char* kLongLabel = R"(
Data double START 0
Data double NOW 0
Data long SPAN 0
Data long OTHER 0
Data long SEEN 0
:Initial
ENDP
:Long
CALL GetMilCnt START
NOW = START
while NOW - START < SPAN
  CALL GetMilCnt NOW
  SEEN = OTHER
endwhile
ENDP
:Slow
CALL GetMilCnt START
NOW = START
while NOW - START < SPAN
  CALL Sleep 20
  CALL GetMilCnt NOW
endwhile
ENDP
:Other
OTHER = OTHER + 1
ENDP
)";

TEST_F(KeepAlive, ALongLabelIsPacedAndAShortOneNeverAsks) {
  ASSERT_EQ(Load(kLongLabel), 1);
  values::SetLong(rt, Index("SPAN"), 5);
  Run("Long");
  EXPECT_TRUE(display.times.empty()) << "a label of 5 ms kept its window alive";

  values::SetLong(rt, Index("SPAN"), 400);
  const Clock::time_point start = Clock::now();
  Run("Long");
  ASSERT_GE(display.times.size(), 2u);
  EXPECT_GE(display.times.front() - start, std::chrono::milliseconds(KEEP_ALIVE_AFTER_MS));
  for (std::size_t i = 1; i < display.times.size(); ++i) {
    EXPECT_GE(display.times[i] - display.times[i - 1], std::chrono::milliseconds(KEEP_ALIVE_EVERY_MS));
  }
  for (const bool held : display.lock_held) EXPECT_TRUE(held);
}

// Statements of 20 ms each: the clock is looked at often enough still.
TEST_F(KeepAlive, SlowStatementsStillKeepTheWindowAlive) {
  ASSERT_EQ(Load(kLongLabel), 1);
  values::SetLong(rt, Index("SPAN"), 600);
  Run("Slow");
  EXPECT_GE(display.times.size(), 3u);
}

// An event offered during a keep-alive finds the engine busy: its label is
// queued and runs only after the long label.
TEST_F(KeepAlive, NoLabelRunsDuringTheLabel) {
  ASSERT_EQ(Load(kLongLabel), 1);
  values::SetLong(rt, Index("SPAN"), 300);
  display.offer_label = true;
  Run("Long");
  ASSERT_FALSE(display.times.empty());
  EXPECT_EQ(Long("SEEN"), 0);
  EXPECT_EQ(Long("OTHER"), 0);
  EXPECT_EQ(rt.session.pending_labels.Count(), static_cast<int>(display.times.size()));
  host::RunOnePendingLabel(rt);
  EXPECT_EQ(Long("OTHER"), 1);
}

}  // namespace
}  // namespace vx
