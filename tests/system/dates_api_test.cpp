// The date family through the dispatcher.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdio>

#include "api/api_test_support.hpp"
#include "engine/system_variables.hpp"
#include "platform/calendar.hpp"

namespace vx::test {
namespace {

class DatesApiTest : public ApiTest {
 protected:
  void SetUp() override {
    y = DeclareLong("Y", -7);
    m = DeclareLong("M", -7);
    d = DeclareLong("D", -7);
    w = DeclareLong("W", -7);
    x = DeclareDouble("X");
    s = DeclareString("S", 64);
    Ready();
  }
  std::int32_t Status() { return Long(sysvar::G_ERROR); }
  std::int32_t y, m, d, w, x, s;
};

TEST_F(DatesApiTest, SerialsBothWays) {
  Call("Date2Ser", "1601, 1, 1, Y");
  EXPECT_EQ(Long(y), 1);
  EXPECT_EQ(Status(), 0);
  Call("Ser2Date", "1, Y, M, D");
  EXPECT_EQ(Long(y), 1601);
  EXPECT_EQ(Long(m), 1);
  EXPECT_EQ(Long(d), 1);
  Call("Date2Ser", "2000, 2, 29, W");
  Call("Ser2Date", "W, Y, M, D");
  EXPECT_EQ(Long(y), 2000);
  EXPECT_EQ(Long(m), 2);
  EXPECT_EQ(Long(d), 29);
  Call("Date2Ser", "2000, 13, 1, W");
  EXPECT_EQ(Status(), 1);
  Call("Ser2Date", "-5, Y, M, D");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(y), 2000);  // nothing written
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(DatesApiTest, WeekdaysAndMonthLengths) {
  Call("TellWkDay", "1601, 1, 1, W, S");
  EXPECT_EQ(Long(w), 1);
  EXPECT_EQ(Text(s), msg::Text(msg::Id::kMonday));
  EXPECT_EQ(Status(), 0);
  Call("TellWkDay", "2024, 12, 25, W");
  EXPECT_EQ(Long(w), 3);
  Call("TellWkDay", "2024, 0, 25, W, S");
  EXPECT_EQ(Long(w), -1);
  EXPECT_EQ(Status(), 1);
  Call("TellMthDays", "2100, 2, D");
  EXPECT_EQ(Long(d), 28);
  Call("TellMthDays", "2000, 2, D");
  EXPECT_EQ(Long(d), 29);
  Call("TellMthDays", "2000, 13, D");
  EXPECT_EQ(Long(d), 0);
}

TEST_F(DatesApiTest, LocalDateAndTimeAgree) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const time_t before = time(nullptr);
    Call("GetDate", "Y, M, D, W");
    Call("GetDateStr", "S, 1");
    const time_t after = time(nullptr);
    if (before != after) continue;  // a second ticked over in between
    struct tm local {};
    localtime_r(&before, &local);
    EXPECT_EQ(Long(y), local.tm_year + 1900);
    EXPECT_EQ(Long(m), local.tm_mon + 1);
    EXPECT_EQ(Long(d), local.tm_mday);
    EXPECT_EQ(Long(w), local.tm_wday);
    char expected[96];
    std::snprintf(expected, sizeof expected, "%d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    EXPECT_EQ(Text(s), expected);
    Call("GetDateStr", "S");
    EXPECT_EQ(Text(s), std::string(expected, 10));
    return;
  }
  FAIL() << "the clock kept moving";
}

TEST_F(DatesApiTest, TimeOfDayOutputsMayBeLeftOut) {
  Call("GetTime", ", M");
  EXPECT_GE(Long(m), 0);
  EXPECT_LE(Long(m), 59);
  EXPECT_EQ(Long(y), -7);
  EXPECT_FALSE(rt.error.Raised());
}

TEST_F(DatesApiTest, MillisecondCountInLongOrDouble) {
  Call("GetMilCnt", "X");
  const double exact = static_cast<double>(api::calendar::MillisecondsSinceBoot());
  EXPECT_LE(Double(x), exact);
  EXPECT_GT(Double(x), exact - 5000);
  Call("GetMilCnt", "Y");
  // A long variable holds the low 32 bits of the same count.
  const std::uint32_t wrapped = static_cast<std::uint32_t>(Long(y));
  const std::uint32_t low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(Double(x)));
  EXPECT_LT(wrapped - low, 5000u);
}

TEST_F(DatesApiTest, TimeCards) {
  Call("CalcTmCard", "\"8:57\", \"17:32\", M, 60, 15");
  EXPECT_EQ(Status(), 0);
  EXPECT_EQ(Long(m), 450);
  EXPECT_EQ(Text(sysvar::G_TXT), "7:30");
  EXPECT_EQ(Long(sysvar::G_WORK1), 540);
  EXPECT_EQ(Long(sysvar::G_WORK2), 1050);
  Call("CalcTmCard", "\"22:05\", \"6:00\", M");
  EXPECT_EQ(Long(m), 475);
  EXPECT_EQ(Text(sysvar::G_TXT), "7:55");
  Call("CalcTmCard", "\"x\", \"6:00\", M");
  EXPECT_EQ(Status(), 1);
  EXPECT_EQ(Long(m), 475);
}

TEST_F(DatesApiTest, SleepWaitsAtLeastThatLong) {
  const auto start = std::chrono::steady_clock::now();
  Call("Sleep", "30");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  Call("Sleep", "-100");  // nothing to wait for
  EXPECT_FALSE(rt.error.Raised());
}

}  // namespace
}  // namespace vx::test
