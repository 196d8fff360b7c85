#pragma once

#include <ctime>
#include <string>
#include <vector>

// When a schedule wants its backups run, as instants. A slot is one local
// date and time a schedule names (every turn of the hour, or an entry's
// time on the days it applies to). Its instant is the first moment the
// local clock shows that time: in an hour that repeats when the clock goes
// back, its first occurrence; a time the clock jumps over when it goes
// forward falls on the first moment after the jump.
struct Slot {
    std::string key; // the local date and time, "YYYY-MM-DD HH:MM"
    std::time_t instant = 0;

    bool operator==(const Slot&) const = default;
};

// The slots of a schedule of `category` (SCHD_*) with `entries` whose
// instants lie after `after` and not after `until`, oldest first, each
// local date and time once. Entries are read as the scheduler reads them
// (the first 96); one whose hour or minute is out of range names no slot.
std::vector<Slot> ScheduleSlots(const std::string& category, const std::vector<std::string>& entries,
                                std::time_t after, std::time_t until);

// How the history log names a slot's local date and time:
// "Sun, Oct 25, 2026 - 02:30 AM". Empty for a key that is not a slot's.
std::string SlotDueText(const std::string& key);
