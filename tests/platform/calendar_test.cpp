#include "platform/calendar.hpp"

#include <gtest/gtest.h>

namespace vx::api::calendar {
namespace {

TEST(CalendarTest, SerialOfKnownDates) {
  EXPECT_EQ(DateToSerial(1601, 1, 1), 1);
  EXPECT_EQ(DateToSerial(1601, 12, 31), 365);
  EXPECT_EQ(DateToSerial(1602, 1, 1), 366);
  // 1 January 1970 is day 134775 of the 1601 count.
  EXPECT_EQ(DateToSerial(1970, 1, 1), 134775);
  EXPECT_EQ(DateToSerial(2000, 3, 1).value() - DateToSerial(2000, 2, 28).value(), 2);
  EXPECT_EQ(DateToSerial(1900, 3, 1).value() - DateToSerial(1900, 2, 28).value(), 1);
  EXPECT_FALSE(DateToSerial(2000, 13, 1));
  EXPECT_FALSE(DateToSerial(2000, 0, 1));
  EXPECT_FALSE(DateToSerial(2147483647, 12, 31));
}

TEST(CalendarTest, DaysOutsideTheMonthCarryOver) {
  EXPECT_EQ(DateToSerial(2024, 1, 32), DateToSerial(2024, 2, 1));
  EXPECT_EQ(DateToSerial(2024, 3, 0), DateToSerial(2024, 2, 29));
}

TEST(CalendarTest, SerialToDateOfFirstAndZero) {
  auto d = SerialToDate(1);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->year, 1601);
  EXPECT_EQ(d->month, 1);
  EXPECT_EQ(d->day, 1);
  d = SerialToDate(0);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->year, 1600);
  EXPECT_EQ(d->month, 12);
  EXPECT_EQ(d->day, 31);
  EXPECT_FALSE(SerialToDate(-1));
}

TEST(CalendarTest, RoundTripsAcrossLeapYearsAndCycleEnds) {
  struct Case {
    int y, m, d;
  };
  for (const Case c : {Case{2000, 2, 29}, Case{2000, 12, 31}, Case{2400, 12, 31}, Case{1700, 2, 28},
                       Case{1700, 3, 1}, Case{2004, 12, 31}, Case{2003, 12, 31}, Case{1604, 12, 31},
                       Case{2100, 2, 28}, Case{9999, 12, 31}}) {
    const auto serial = DateToSerial(c.y, c.m, c.d);
    ASSERT_TRUE(serial);
    const auto back = SerialToDate(*serial);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->year, c.y) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(back->month, c.m) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(back->day, c.d) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST(CalendarTest, EverySerialOfFourCenturiesRoundTrips) {
  int year = 1601, month = 1, day = 1;
  for (std::int32_t serial = 1; serial <= DAYS_PER_400_YEARS * 2 + 10; ++serial) {
    const auto d = SerialToDate(serial);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->year, year);
    ASSERT_EQ(d->month, month);
    ASSERT_EQ(d->day, day) << serial;
    ASSERT_EQ(DateToSerial(year, month, day), serial);
    if (++day > MonthDays(year, month)) {
      day = 1;
      if (++month > 12) month = 1, ++year;
    }
  }
}

TEST(CalendarTest, Weekdays) {
  EXPECT_EQ(Weekday(1601, 1, 1), 1);   // Monday
  EXPECT_EQ(Weekday(1970, 1, 1), 4);   // Thursday
  EXPECT_EQ(Weekday(2000, 2, 29), 2);  // Tuesday
  EXPECT_EQ(Weekday(2024, 12, 25), 3);
  EXPECT_EQ(Weekday(1600, 12, 31), 0);  // the Sunday before day 1
  EXPECT_FALSE(Weekday(2024, 13, 1));
}

TEST(CalendarTest, MonthLengths) {
  EXPECT_EQ(MonthDays(2100, 2), 28);
  EXPECT_EQ(MonthDays(2000, 2), 29);
  EXPECT_EQ(MonthDays(1900, 2), 28);
  EXPECT_EQ(MonthDays(2024, 2), 29);
  EXPECT_EQ(MonthDays(2023, 4), 30);
  EXPECT_EQ(MonthDays(2023, 12), 31);
  EXPECT_EQ(MonthDays(2023, 13), 0);
  EXPECT_EQ(MonthDays(2023, 0), 0);
}

TEST(CalendarTest, DateTextForms) {
  DateTime t;
  t.date = {2024, 3, 7};
  t.hour = 9;
  t.minute = 5;
  t.second = 1;
  EXPECT_EQ(FormatDateTime(t, false), "2024/03/07");
  EXPECT_EQ(FormatDateTime(t, true), "2024/03/07 09:05:01");
}

TEST(CalendarTest, ClockTimes) {
  EXPECT_EQ(ParseClockTime("8:30"), 8 * 3600 + 30 * 60);
  EXPECT_EQ(ParseClockTime(" 17:45:10 "), 17 * 3600 + 45 * 60 + 10);
  EXPECT_EQ(ParseClockTime("26:00"), 26 * 3600);
  EXPECT_FALSE(ParseClockTime("8"));
  EXPECT_FALSE(ParseClockTime("8:60"));
  EXPECT_FALSE(ParseClockTime("49:00"));
  EXPECT_FALSE(ParseClockTime("8:30:"));
  EXPECT_FALSE(ParseClockTime("a:30"));
  EXPECT_FALSE(ParseClockTime(""));
}

TEST(CalendarTest, TimeCardRoundsInUpAndOutDown) {
  auto card = CalcTimeCard("8:57", "17:32", 60, 15);
  ASSERT_TRUE(card);
  EXPECT_EQ(card->start_minutes, 9 * 60);
  EXPECT_EQ(card->end_minutes, 17 * 60 + 30);
  EXPECT_EQ(card->worked_minutes, 450);
  card = CalcTimeCard("22:00", "6:00", 0, 1);  // across midnight
  ASSERT_TRUE(card);
  EXPECT_EQ(card->worked_minutes, 480);
  card = CalcTimeCard("9:00", "9:20", 60, 0);  // break longer than the work
  ASSERT_TRUE(card);
  EXPECT_EQ(card->worked_minutes, 0);
  EXPECT_FALSE(CalcTimeCard("9:00", "x", 0, 1));
  EXPECT_FALSE(CalcTimeCard("9:00", "10:00", -5, 1));
}

TEST(CalendarTest, BootClockAdvances) {
  const auto a = MillisecondsSinceBoot();
  EXPECT_GT(a, 0u);
  EXPECT_GE(MillisecondsSinceBoot(), a);
}

}  // namespace
}  // namespace vx::api::calendar
