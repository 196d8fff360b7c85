#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>

// Time texts are always formatted in the C locale, whatever the user's
// locale: stored values, dump headers and schedule entries rely on English
// weekday, month and AM/PM texts.
inline constexpr const char* kLongTimeFormat = "%A, %B %d, %Y - %I:%M:%S %p";
inline constexpr const char* kShortTimeFormat = "%a, %b %d, %Y - %I:%M:%S %p";

// Source of the current time; tests inject a fixed or stepping clock.
using Clock = std::function<std::time_t()>;
Clock SystemClock();

// Local time `t` formatted with strftime conversion letters in the C locale;
// the empty text when the conversion or the formatting fails.
std::string FormatLocalTime(std::time_t t, const char* format);
// Elapsed seconds as "HH:MM:SS" (hours keep counting past 23).
std::string FormatElapsed(long long seconds);

// Milliseconds from the local time `now` to the next quarter hour
// (minute 0, 15, 30 or 45, second 0). At hh:mm:00 on a quarter hour the next
// tick is a full 15 minutes away.
int QuarterHourDelayMs(std::time_t now);
// The local quarter hour `now` lies in: `now` less its seconds and the minutes
// past minute 0, 15, 30 or 45.
std::time_t QuarterHourStart(std::time_t now);

// Broken-down time fields formatted like FormatLocalTime (the fields are
// taken as they are; tm_wday must be set for %a and %A).
std::string FormatTimeFields(const std::tm& fields, const char* format);
// The instant a long-form text ("Monday, December 07, 2026 - 02:14:35 AM")
// names in local time; nothing for any other text. In an hour that repeats
// when the clock goes back, the text names its first occurrence.
std::optional<std::time_t> ParseLongTimeText(const std::string& text);
// The first instant at which the local clock shows the given date and time
// (month 1-12, seconds 0-59); nothing for a date that does not exist. In an
// hour that repeats, its first occurrence; a time the clock jumps over when
// it goes forward gives the first instant after the jump.
std::optional<std::time_t> FirstLocalInstant(int year, int month, int day, int hour, int minute, int second = 0);
