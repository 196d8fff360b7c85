#include "core/engine/ScheduleSlots.h"

#include "core/engine/Scheduler.h"
#include "core/history/TimeTexts.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>

namespace {

constexpr std::time_t kDay = 24 * 60 * 60;
// Every zone lies within 14 hours of UTC: a local date and time read as UTC
// is at most this far from its instant.
constexpr std::time_t kZoneReach = 15 * 60 * 60;

std::string SlotKey(const std::tm& date, int hour, int minute)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", date.tm_year + 1900, date.tm_mon + 1, date.tm_mday,
                  hour, minute);
    return text;
}

// Midnight UTC of the local date of `t`.
std::time_t LocalDateAsUtc(std::time_t t)
{
    std::tm local {};
    localtime_r(&t, &local);
    std::tm date {};
    date.tm_year = local.tm_year;
    date.tm_mon = local.tm_mon;
    date.tm_mday = local.tm_mday;
    return timegm(&date);
}

} // namespace

std::vector<Slot> ScheduleSlots(const std::string& category, const std::vector<std::string>& entries,
                                std::time_t after, std::time_t until)
{
    std::vector<Slot> found;
    if (until <= after)
        return found;
    std::vector<EntryTime> times = ScheduleTimesOfDay(category, entries);
    std::erase_if(times, [](const EntryTime& t) { return t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59; });
    if (times.empty())
        return found;

    // Every local date the interval touches, with a day to spare at each
    // end: a slot's instant may lie on another date than its own when the
    // clock jumps at midnight.
    std::set<std::string> seen;
    for (std::time_t day = LocalDateAsUtc(after) - kDay; day <= LocalDateAsUtc(until) + kDay; day += kDay) {
        std::tm date {};
        gmtime_r(&day, &date);
        const ScheduleMoment moment {0, 0, date.tm_wday + 1, date.tm_mday};
        for (const EntryTime& t : times) {
            const std::time_t asUtc = day + t.hour * 3600 + t.minute * 60;
            if (asUtc + kZoneReach <= after || asUtc - kZoneReach > until || !EntryAppliesOn(category, t, moment))
                continue;
            const std::optional<std::time_t> instant
                = FirstLocalInstant(date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, t.hour, t.minute);
            if (!instant || *instant <= after || *instant > until)
                continue;
            std::string key = SlotKey(date, t.hour, t.minute);
            if (seen.insert(key).second)
                found.push_back({std::move(key), *instant});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Slot& a, const Slot& b) {
        return a.instant != b.instant ? a.instant < b.instant : a.key < b.key;
    });
    return found;
}

std::string SlotDueText(const std::string& key)
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int used = 0;
    if (std::sscanf(key.c_str(), "%4d-%2d-%2d %2d:%2d%n", &year, &month, &day, &hour, &minute, &used) != 5
        || static_cast<size_t>(used) != key.size() || hour > 23 || minute > 59)
        return {};
    std::tm fields {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    timegm(&fields); // sets the weekday
    if (fields.tm_mday != day)
        return {};
    fields.tm_hour = hour;
    fields.tm_min = minute;
    return FormatTimeFields(fields, "%a, %b %d, %Y - %I:%M %p");
}
