#pragma once
// Dates and times as the stored files hold them: TDateTime is a day count since
// 1899-12-30 (day zero) with the time of day as its fraction, and ISO 8601 text.
#include <cstdint>
#include <string>
#include <string_view>

using TDateTime = double;

// False for a date or time outside 0001-01-01 .. 9999-12-31 23:59:59.999 or not on the calendar.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& value);
// Rounded to the millisecond; a value outside the years 1..9999 is clamped to them.
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& msec);

// Reads ISO 8601 text (extended "2019-06-25T10:00:00.5+03:00" or basic "20190625T100000Z" form)
// and converts it to UTC: an offset is applied, a time without a zone counts as UTC, a date
// without a time is midnight. False for anything else.
bool TryISO8601ToDate(std::wstring_view text, TDateTime& utc);
// "YYYY-MM-DDTHH:MM:SS.zzzZ" of a UTC value.
std::wstring DateToISO8601(TDateTime utc);
