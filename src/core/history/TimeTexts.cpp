#include "core/history/TimeTexts.h"

#include <array>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace {

locale_t CLocale()
{
    static locale_t handle = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return handle;
}

// Local date and time fields as one number that grows with them.
long long FieldsOrder(long long year, int month, int day, int hour, int minute, int second)
{
    return ((((year * 13 + month) * 32 + day) * 24 + hour) * 60 + minute) * 60 + second;
}

std::optional<long long> LocalOrder(std::time_t t)
{
    std::tm local {};
    if (!localtime_r(&t, &local))
        return std::nullopt;
    return FieldsOrder(local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec);
}

} // namespace

Clock SystemClock()
{
    return [] { return std::time(nullptr); };
}

std::string FormatLocalTime(std::time_t t, const char* format)
{
    std::tm local {};
    if (!localtime_r(&t, &local))
        return {};
    char buffer[128];
    const size_t n = strftime_l(buffer, sizeof buffer, format, &local, CLocale());
    return std::string(buffer, n);
}

std::string FormatTimeFields(const std::tm& fields, const char* format)
{
    char buffer[128];
    const size_t n = strftime_l(buffer, sizeof buffer, format, &fields, CLocale());
    return std::string(buffer, n);
}

std::string FormatElapsed(long long seconds)
{
    if (seconds < 0)
        seconds = 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return buffer;
}

int QuarterHourDelayMs(std::time_t now)
{
    std::tm local {};
    int m = -1;
    int s = -1;
    if (localtime_r(&now, &local)) {
        m = local.tm_min;
        s = local.tm_sec;
    }
    const int d = ((15 * (m / 15 + 1)) - m) * 60 - s;
    return d * 1000;
}

std::time_t QuarterHourStart(std::time_t now)
{
    std::tm local {};
    if (!localtime_r(&now, &local))
        return now;
    return now - (local.tm_min % 15) * 60 - local.tm_sec;
}

std::optional<std::time_t> FirstLocalInstant(int year, int month, int day, int hour, int minute, int second)
{
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 59)
        return std::nullopt;
    // A date that exists comes back unchanged from the calendar.
    std::tm date {};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    const std::time_t asUtc = timegm(&date) + hour * 3600 + minute * 60 + second;
    if (date.tm_mday != day || date.tm_mon != month - 1)
        return std::nullopt;
    const long long target = FieldsOrder(year, month, day, hour, minute, second);

    // The time read as standard time and as summer time: each that really
    // shows these fields is an occurrence, and the earlier one is first.
    std::optional<std::time_t> first;
    for (int dst : {0, 1}) {
        std::tm t {};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = dst;
        const std::time_t r = mktime(&t);
        if (LocalOrder(r) == target && (!first || r < *first))
            first = r;
    }
    if (first)
        return first;

    // The clock jumps over this time: the first instant shown later. Local
    // time runs forward around a jump, and every zone lies within 14 hours
    // of UTC, so the instant lies in this window and halving it finds it.
    std::time_t before = asUtc - 15 * 3600;
    std::time_t after = asUtc + 15 * 3600;
    const std::optional<long long> low = LocalOrder(before);
    const std::optional<long long> high = LocalOrder(after);
    if (!low || !high || *low >= target || *high <= target)
        return std::nullopt;
    while (after - before > 1) {
        const std::time_t middle = before + (after - before) / 2;
        const std::optional<long long> order = LocalOrder(middle);
        if (!order)
            return std::nullopt;
        (*order > target ? after : before) = middle;
    }
    return after;
}

std::optional<std::time_t> ParseLongTimeText(const std::string& text)
{
    static constexpr std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",
                                                           "May",     "June",     "July",      "August",
                                                           "September", "October", "November", "December"};
    char weekday[16] = {};
    char monthName[16] = {};
    char suffix[3] = {};
    int day = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%15[A-Za-z], %15[A-Za-z] %2d, %4d - %2d:%2d:%2d %2[AMP]%n", weekday, monthName,
                    &day, &year, &hour, &minute, &second, suffix, &used)
            != 8
        || static_cast<size_t>(used) != text.size() || hour < 1 || hour > 12)
        return std::nullopt;
    int month = 0;
    for (size_t i = 0; i < kMonths.size() && month == 0; ++i) {
        if (std::strcmp(monthName, kMonths[i]) == 0)
            month = static_cast<int>(i) + 1;
    }
    if (month == 0 || (std::strcmp(suffix, "AM") != 0 && std::strcmp(suffix, "PM") != 0))
        return std::nullopt;
    hour = hour % 12 + (suffix[0] == 'P' ? 12 : 0);
    return FirstLocalInstant(year, month, day, hour, minute, second);
}
