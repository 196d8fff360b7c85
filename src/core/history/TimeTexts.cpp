#include "core/history/TimeTexts.h"

#include <clocale>
#include <cstdio>
#include <locale.h>

namespace {

locale_t CLocale()
{
    static locale_t handle = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return handle;
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
