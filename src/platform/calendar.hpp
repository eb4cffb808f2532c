#pragma once
// The calendar of the date functions: day serial numbers counted from
// 1 January 1601 (day 1) in the Gregorian calendar, applied to every year,
// weekdays, month lengths, local clock readings and time-card arithmetic.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::api::calendar {

inline constexpr std::int64_t EPOCH_YEAR = 1601;
inline constexpr std::int32_t DAYS_PER_400_YEARS = 146097;
inline constexpr std::int32_t DAYS_PER_100_YEARS = 36524;
inline constexpr std::int32_t DAYS_PER_4_YEARS = 1461;
inline constexpr std::int32_t MINUTES_PER_DAY = 24 * 60;

struct Date {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
};

struct DateTime {
  Date date;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
  std::int32_t weekday = 0;  // 0 Sunday
};

bool IsLeapYear(std::int64_t year);
// Days of the month; 0 for a month outside 1 to 12.
std::int32_t MonthDays(std::int64_t year, std::int32_t month);

// The serial of a date. The day may fall outside the month (day 0 is the
// last day of the month before, day 32 of January is 1 February), so date
// arithmetic works. Nullopt for a month outside 1 to 12 or a serial beyond
// the 32-bit range.
std::optional<std::int32_t> DateToSerial(std::int64_t year, std::int32_t month, std::int64_t day);
// The date of a serial; nullopt for a negative serial (0 is 31 December 1600).
std::optional<Date> SerialToDate(std::int32_t serial);
// 0 Sunday to 6 Saturday (1 January 1601 is a Monday); nullopt when
// DateToSerial has no result.
std::optional<std::int32_t> Weekday(std::int64_t year, std::int32_t month, std::int64_t day);

// The local date and time now.
DateTime LocalNow();
// "%d/%02d/%02d", and with `with_time` " %02d:%02d:%02d" behind it.
std::string FormatDateTime(const DateTime& t, bool with_time);

// Milliseconds since the system started (the boot clock, suspend included).
std::uint64_t MillisecondsSinceBoot();

// A clock time of the day "H:MM" or "H:MM:SS" (hours 0 to 48, so a night
// shift can run past midnight) as seconds; nullopt when malformed.
std::optional<std::int32_t> ParseClockTime(std::string_view text);

struct TimeCard {
  std::int32_t worked_minutes = 0;
  std::int32_t start_minutes = 0;  // clock-in after rounding, minutes of the day
  std::int32_t end_minutes = 0;    // clock-out after rounding
};
// Worked time between clock-in and clock-out: the clock-in is rounded up and
// the clock-out down to `unit` minutes (1 or less: whole minutes), a
// clock-out before the clock-in is taken as the next day, and the break is
// subtracted; a break longer than the time worked gives 0.
std::optional<TimeCard> CalcTimeCard(std::string_view clock_in, std::string_view clock_out,
                                     std::int32_t break_minutes, std::int32_t unit);

}  // namespace vx::api::calendar
