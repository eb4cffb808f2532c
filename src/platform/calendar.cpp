#include "platform/calendar.hpp"

#include <time.h>

#include <array>
#include <cstdio>
#include <limits>

namespace vx::api::calendar {
namespace {

constexpr std::array<std::int32_t, 12> kMonthDays = {31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};

// Division rounding toward minus infinity, so that years before 1601 count
// the same way as the years after it.
constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t DaysBeforeMonth(std::int64_t year, std::int32_t month) {
  std::int64_t days = 0;
  for (std::int32_t m = 1; m < month; ++m) days += MonthDays(year, m);
  return days;
}

}  // namespace

bool IsLeapYear(std::int64_t year) { return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0); }

std::int32_t MonthDays(std::int64_t year, std::int32_t month) {
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kMonthDays[month - 1];
}

std::optional<std::int32_t> DateToSerial(std::int64_t year, std::int32_t month, std::int64_t day) {
  if (month < 1 || month > 12) return std::nullopt;
  // Years this far out would overflow the 64-bit arithmetic below; their
  // serials are far outside the 32-bit range anyway.
  constexpr std::int64_t kYearLimit = std::int64_t{1} << 40;
  if (year > kYearLimit || year < -kYearLimit || day > kYearLimit || day < -kYearLimit)
    return std::nullopt;
  const std::int64_t y = year - EPOCH_YEAR;
  const std::int64_t serial = 365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) +
                              DaysBeforeMonth(year, month) + day;
  if (serial < std::numeric_limits<std::int32_t>::min() ||
      serial > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(serial);
}

std::optional<Date> SerialToDate(std::int32_t serial) {
  if (serial < 0) return std::nullopt;
  std::int64_t rest = std::int64_t{serial} - 1;  // -1 for serial 0
  const std::int64_t cycles400 = FloorDiv(rest, DAYS_PER_400_YEARS);
  rest -= cycles400 * DAYS_PER_400_YEARS;
  // The last day of a 400-year cycle (and of a 4-year cycle) belongs to the
  // cycle's last century (year), not to a fifth one.
  const std::int64_t cycles100 = std::min<std::int64_t>(rest / DAYS_PER_100_YEARS, 3);
  rest -= cycles100 * DAYS_PER_100_YEARS;
  const std::int64_t cycles4 = rest / DAYS_PER_4_YEARS;
  rest -= cycles4 * DAYS_PER_4_YEARS;
  const std::int64_t years = std::min<std::int64_t>(rest / 365, 3);
  rest -= years * 365;
  const std::int64_t year = EPOCH_YEAR + 400 * cycles400 + 100 * cycles100 + 4 * cycles4 + years;
  std::int32_t month = 1;
  while (month < 12 && rest >= MonthDays(year, month)) rest -= MonthDays(year, month++);
  return Date{static_cast<std::int32_t>(year), month, static_cast<std::int32_t>(rest + 1)};
}

std::optional<std::int32_t> Weekday(std::int64_t year, std::int32_t month, std::int64_t day) {
  const std::optional<std::int32_t> serial = DateToSerial(year, month, day);
  if (!serial) return std::nullopt;
  return static_cast<std::int32_t>(((std::int64_t{*serial} % 7) + 7) % 7);
}

DateTime LocalNow() {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  DateTime t;
  t.date = Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.weekday = local.tm_wday;
  return t;
}

std::string FormatDateTime(const DateTime& t, bool with_time) {
  char text[96];
  if (with_time) {
    std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", t.date.year, t.date.month,
                  t.date.day, t.hour, t.minute, t.second);
  } else {
    std::snprintf(text, sizeof text, "%d/%02d/%02d", t.date.year, t.date.month, t.date.day);
  }
  return text;
}

std::uint64_t MillisecondsSinceBoot() {
  timespec ts{};
  if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0) clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

std::optional<std::int32_t> ParseClockTime(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::int32_t parts[3] = {0, 0, 0};
  int count = 0;
  std::size_t i = 0;
  while (count < 3) {
    const std::size_t start = i;
    std::int32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
      value = value * 10 + (text[i++] - '0');
    if (i == start) return std::nullopt;
    parts[count++] = value;
    if (i == text.size()) break;
    if (text[i++] != ':') return std::nullopt;
  }
  if (i != text.size() || count < 2) return std::nullopt;
  if (parts[0] > 48 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

std::optional<TimeCard> CalcTimeCard(std::string_view clock_in, std::string_view clock_out,
                                     std::int32_t break_minutes, std::int32_t unit) {
  const std::optional<std::int32_t> in = ParseClockTime(clock_in);
  std::optional<std::int32_t> out = ParseClockTime(clock_out);
  if (!in || !out || break_minutes < 0 || unit > MINUTES_PER_DAY) return std::nullopt;
  if (*out < *in) *out += MINUTES_PER_DAY * 60;
  const std::int32_t step = std::max(unit, 1) * 60;
  TimeCard card;
  const std::int32_t start = (*in + step - 1) / step * step;
  const std::int32_t end = *out / step * step;
  card.start_minutes = start / 60;
  card.end_minutes = end / 60;
  card.worked_minutes = std::max(0, (end - start) / 60 - break_minutes);
  return card;
}

}  // namespace vx::api::calendar
