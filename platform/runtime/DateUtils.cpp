#include "platform/runtime/DateUtils.h"

#include <cmath>
#include <cwchar>

namespace {

constexpr std::int64_t MsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

const std::int64_t DayZeroUnix = DaysFromCivil(1899, 12, 30);
const std::int64_t MinMs = (DaysFromCivil(1, 1, 1) - DayZeroUnix) * MsPerDay;
const std::int64_t MaxMs = (DaysFromCivil(10000, 1, 1) - DayZeroUnix) * MsPerDay - 1;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Milliseconds since day zero. Before day zero the fraction is the time of day of the
// (negative) day, not a signed part of the count: -1.25 is 1899-12-29 06:00.
std::int64_t ToMs(TDateTime v) {
  double days = std::trunc(v);
  double frac = std::fabs(v - days);
  return static_cast<std::int64_t>(days) * MsPerDay + std::llround(frac * MsPerDay);
}

TDateTime FromMs(std::int64_t ms) {
  std::int64_t days = ms >= 0 ? ms / MsPerDay : -((-ms + MsPerDay - 1) / MsPerDay);
  std::int64_t rest = ms - days * MsPerDay;  // 0 .. MsPerDay-1
  double frac = static_cast<double>(rest) / MsPerDay;
  return days < 0 ? static_cast<double>(days) - frac : static_cast<double>(days) + frac;
}

struct TReader {
  std::wstring_view s;
  size_t i = 0;
  bool End() const { return i >= s.size(); }
  wchar_t Peek() const { return End() ? 0 : s[i]; }
  bool Eat(wchar_t c) {
    if (Peek() != c) return false;
    ++i;
    return true;
  }
  bool Digits(int count, int& value) {
    value = 0;
    for (int k = 0; k < count; ++k) {
      wchar_t c = Peek();
      if (c < L'0' || c > L'9') return false;
      value = value * 10 + (c - L'0');
      ++i;
    }
    return true;
  }
  bool DigitNext() const { return Peek() >= L'0' && Peek() <= L'9'; }
};

}  // namespace

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  std::int64_t ms = (DaysFromCivil(year, month, day) - DayZeroUnix) * MsPerDay +
                    ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
  value = FromMs(ms);
  return true;
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec) {
  std::int64_t ms = std::isfinite(value) ? ToMs(std::fmax(std::fmin(value, 3e6), -1e6)) : 0;
  if (ms < MinMs) ms = MinMs;
  if (ms > MaxMs) ms = MaxMs;
  std::int64_t days = ms >= 0 ? ms / MsPerDay : -((-ms + MsPerDay - 1) / MsPerDay);
  std::int64_t rest = ms - days * MsPerDay;
  CivilFromDays(days + DayZeroUnix, year, month, day);
  msec = static_cast<int>(rest % 1000);
  rest /= 1000;
  second = static_cast<int>(rest % 60);
  rest /= 60;
  minute = static_cast<int>(rest % 60);
  hour = static_cast<int>(rest / 60);
}

bool TryISO8601ToDate(std::wstring_view text, TDateTime& utc) {
  TReader r{text};
  int y, mo, d, h = 0, mi = 0, sec = 0;
  double frac = 0;
  if (!r.Digits(4, y)) return false;
  bool extended = r.Eat(L'-');
  if (!r.Digits(2, mo)) return false;
  if (extended && !r.Eat(L'-')) return false;
  if (!r.Digits(2, d)) return false;
  std::int64_t offsetMin = 0;
  if (!r.End()) {
    if (!r.Eat(L'T') && !r.Eat(L't')) return false;
    if (!r.Digits(2, h)) return false;
    bool colon = r.Eat(L':');
    if (colon || r.DigitNext()) {
      if (!r.Digits(2, mi)) return false;
      bool colon2 = colon ? r.Eat(L':') : false;
      if ((colon && colon2) || (!colon && r.DigitNext())) {
        if (!r.Digits(2, sec)) return false;
        if (r.Eat(L'.') || r.Eat(L',')) {
          if (!r.DigitNext()) return false;
          double scale = 0.1;
          while (r.DigitNext()) {
            frac += (r.Peek() - L'0') * scale;
            scale /= 10;
            ++r.i;
          }
        }
      }
    }
    if (r.Eat(L'Z') || r.Eat(L'z')) {
    } else if (r.Peek() == L'+' || r.Peek() == L'-') {
      int sign = r.Peek() == L'-' ? -1 : 1;
      ++r.i;
      int oh, om = 0;
      if (!r.Digits(2, oh)) return false;
      if (r.Eat(L':')) {
        if (!r.Digits(2, om)) return false;
      } else if (r.DigitNext() && !r.Digits(2, om)) {
        return false;
      }
      if (oh > 23 || om > 59) return false;
      offsetMin = sign * (oh * 60LL + om);
    }
    if (!r.End()) return false;
  }
  TDateTime local;
  if (!TryEncodeDateTime(y, mo, d, h, mi, sec, 0, local)) return false;
  std::int64_t ms = ToMs(local) + std::llround(frac * 1000) - offsetMin * 60000;
  if (ms < MinMs || ms > MaxMs) return false;
  utc = FromMs(ms);
  return true;
}

std::wstring DateToISO8601(TDateTime utc) {
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(utc, y, mo, d, h, mi, s, ms);
  wchar_t buf[40];
  swprintf(buf, 40, L"%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", y, mo, d, h, mi, s, ms);
  return buf;
}
