#pragma once

#include <ctime>
#include <functional>
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
