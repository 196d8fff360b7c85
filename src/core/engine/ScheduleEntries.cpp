#include "core/engine/ScheduleEntries.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

std::vector<std::string> MakeTimes()
{
    std::vector<std::string> times;
    for (int i = 1; i <= 96; ++i) {
        const int minutes = (i * 15) % (24 * 60);
        const int hour = minutes / 60;
        const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d %s", hour12, minutes % 60, hour < 12 ? "AM" : "PM");
        times.emplace_back(text);
    }
    return times;
}

std::vector<std::string> MakeDays()
{
    std::vector<std::string> days;
    for (int day = 1; day <= 31; ++day) {
        const char* suffix = "th";
        if (day % 10 == 1 && day != 11)
            suffix = "st";
        else if (day % 10 == 2 && day != 12)
            suffix = "nd";
        else if (day % 10 == 3 && day != 13)
            suffix = "rd";
        days.push_back(std::to_string(day) + suffix);
    }
    return days;
}

} // namespace

const std::vector<std::string>& ScheduleTimes()
{
    static const std::vector<std::string> times = MakeTimes();
    return times;
}

const std::vector<std::string>& ScheduleWeekdays()
{
    static const std::vector<std::string> weekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};
    return weekdays;
}

const std::vector<std::string>& ScheduleDays()
{
    static const std::vector<std::string> days = MakeDays();
    return days;
}

std::string HourlyEntry()
{
    return "Every Turn of the Hour";
}

std::string DailyEntry(const std::string& time)
{
    return "Time: " + time;
}

std::string WeeklyEntry(const std::string& weekday, const std::string& time)
{
    return "Day: " + weekday + " - Time: " + time;
}

std::string MonthlyEntry(const std::string& day, const std::string& time)
{
    return "Date: " + day + " - Time: " + time;
}

bool EntrySortsBefore(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}
