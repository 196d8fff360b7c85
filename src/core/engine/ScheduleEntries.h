#pragma once

#include <string>
#include <vector>

// The texts of schedule entries: what the schedule editor offers and stores,
// and what the scheduler parses (Scheduler.h). Both sides use these lists,
// so an entry the editor can make is always one the scheduler reads back.

// The 96 quarter hours of a day in 12-hour form, in picker order: "12:15 AM",
// "12:30 AM", ..., "11:45 AM", "12:00 PM" (noon), ..., "11:45 PM", and last
// "12:00 AM" (midnight). Time i is (i + 1) * 15 minutes past midnight.
const std::vector<std::string>& ScheduleTimes();
// "Sunday" to "Saturday": weekday numbers 1 to 7.
const std::vector<std::string>& ScheduleWeekdays();
// The English ordinals "1st" to "31st": days of the month 1 to 31.
const std::vector<std::string>& ScheduleDays();

// The entry texts of the four categories.
// "Every Turn of the Hour"
std::string HourlyEntry();
// "Time: " + time, e.g. "Time: 08:15 AM"
std::string DailyEntry(const std::string& time);
// "Day: " + weekday + " - Time: " + time, e.g. "Day: Monday - Time: 11:45 PM"
std::string WeeklyEntry(const std::string& weekday, const std::string& time);
// "Date: " + day + " - Time: " + time, e.g. "Date: 1st - Time: 12:15 AM"
std::string MonthlyEntry(const std::string& day, const std::string& time);

// The order of a schedule's entry list: by text, letter case ignored
// (ASCII), so "Time: 01:00 PM" comes before "Time: 12:15 AM".
bool EntrySortsBefore(const std::string& a, const std::string& b);
