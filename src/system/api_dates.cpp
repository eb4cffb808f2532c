// The date family: day serial numbers from 1 January 1601, weekdays and
// month lengths, the local clock, the boot clock, time cards and Sleep.
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/runtime.hpp"
#include "platform/calendar.hpp"
#include "text/messages.hpp"

namespace vx::api {
namespace {

constexpr msg::Id kWeekdayNames[7] = {msg::Id::kSunday,    msg::Id::kMonday,   msg::Id::kTuesday,
                                      msg::Id::kWednesday, msg::Id::kThursday, msg::Id::kFriday,
                                      msg::Id::kSaturday};

void WriteIfGiven(Call& call, std::int32_t out, std::int32_t value) {
  if (out >= 0) call.WriteInt(out, value);
}

void Date2Ser(Call& call) {
  const std::int32_t year = call.Int(0);
  const std::int32_t month = call.Int(1);
  const std::int32_t day = call.Int(2);
  const std::int32_t out = call.Resource(3);
  if (out < 0) return;
  const auto serial = calendar::DateToSerial(year, month, day);
  if (!serial) return call.SetError(1);
  call.WriteInt(out, *serial);
  call.SetError(0);
}

void Ser2Date(Call& call) {
  const std::int32_t serial = call.Int(0);
  const std::int32_t year = call.Resource(1);
  const std::int32_t month = call.Resource(2);
  const std::int32_t day = call.Resource(3);
  if (year < 0 || month < 0 || day < 0) return;
  const auto date = calendar::SerialToDate(serial);
  if (!date) return call.SetError(1);
  call.WriteInt(year, date->year);
  call.WriteInt(month, date->month);
  call.WriteInt(day, date->day);
  call.SetError(0);
}

void TellWkDay(Call& call) {
  const std::int32_t year = call.Int(0);
  const std::int32_t month = call.Int(1);
  const std::int32_t day = call.Int(2);
  const std::int32_t out = call.Resource(3);
  const std::int32_t name = call.OptResource(4);
  if (out < 0) return;
  const auto weekday = calendar::Weekday(year, month, day);
  if (!weekday) {
    call.WriteInt(out, -1);
    return call.SetError(1);
  }
  call.WriteInt(out, *weekday);
  if (name >= 0) call.WriteText(name, msg::Text(kWeekdayNames[*weekday]));
  call.SetError(0);
}

void TellMthDays(Call& call) {
  const std::int32_t year = call.Int(0);
  const std::int32_t month = call.Int(1);
  const std::int32_t out = call.Resource(2);
  if (out < 0) return;
  call.WriteInt(out, calendar::MonthDays(year, month));
}

void GetMilCnt(Call& call) {
  const std::int32_t out = call.OptResource(0);
  if (out < 0) return;
  const std::uint64_t ms = calendar::MillisecondsSinceBoot();
  // A double variable takes the whole count; anything else the 32-bit tick
  // count, which wraps after 49.7 days like the system's own.
  if (call.rt().program.Resource(out).kind == R_KD_VAL_DOUBLE)
    call.WriteDouble(out, static_cast<double>(ms));
  else
    call.WriteInt(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(ms)));
}

void GetTime(Call& call) {
  const std::int32_t hour = call.OptResource(0);
  const std::int32_t minute = call.OptResource(1);
  const std::int32_t second = call.OptResource(2);
  const calendar::DateTime now = calendar::LocalNow();
  WriteIfGiven(call, hour, now.hour);
  WriteIfGiven(call, minute, now.minute);
  WriteIfGiven(call, second, now.second);
}

void GetDate(Call& call) {
  const std::int32_t year = call.OptResource(0);
  const std::int32_t month = call.OptResource(1);
  const std::int32_t day = call.OptResource(2);
  const std::int32_t weekday = call.OptResource(3);
  const calendar::DateTime now = calendar::LocalNow();
  WriteIfGiven(call, year, now.date.year);
  WriteIfGiven(call, month, now.date.month);
  WriteIfGiven(call, day, now.date.day);
  WriteIfGiven(call, weekday, now.weekday);
}

void GetDateStr(Call& call) {
  const std::int32_t out = call.Resource(0);
  const std::int32_t form = call.OptInt(1, 0);
  if (out < 0) return;
  call.WriteText(out, calendar::FormatDateTime(calendar::LocalNow(), form == 1));
}

// CalcTmCard clock-in, clock-out, R minutes, [break minutes], [rounding].
void CalcTmCard(Call& call) {
  std::string& clock_in = call.Small(0);
  std::string& clock_out = call.Small(1);
  call.String(0, clock_in);
  call.String(1, clock_out);
  const std::int32_t out = call.Resource(2);
  const std::int32_t break_minutes = call.OptInt(3, 0);
  const std::int32_t unit = call.OptInt(4, 1);
  if (out < 0) return;
  const auto card = calendar::CalcTimeCard(clock_in, clock_out, break_minutes, unit);
  if (!card) return call.SetError(1);
  call.WriteInt(out, card->worked_minutes);
  call.SetTxt(std::to_string(card->worked_minutes / 60) + ":" +
              (card->worked_minutes % 60 < 10 ? "0" : "") +
              std::to_string(card->worked_minutes % 60));
  call.SetWork(1, card->start_minutes);
  call.SetWork(2, card->end_minutes);
  call.SetError(0);
}

void Sleep(Call& call) {
  const std::int32_t ms = call.Int(0);
  if (ms <= 0) return;
  timespec rest{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

constexpr Registration kDateApis[] = {
    {Id("Date2Ser"), Date2Ser},     {Id("Ser2Date"), Ser2Date},
    {Id("TellWkDay"), TellWkDay},   {Id("TellMthDays"), TellMthDays},
    {Id("GetMilCnt"), GetMilCnt},   {Id("GetTime"), GetTime},
    {Id("GetDate"), GetDate},       {Id("GetDateStr"), GetDateStr},
    {Id("CalcTmCard"), CalcTmCard}, {Id("Sleep"), Sleep},
};

}  // namespace

void RegisterDateApis(Registry& registry) { registry.AddAll(kDateApis); }

}  // namespace vx::api
