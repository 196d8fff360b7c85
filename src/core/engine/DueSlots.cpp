#include "core/engine/DueSlots.h"

#include "core/engine/Scheduler.h"
#include "core/history/TimeTexts.h"
#include "core/store/Definitions.h"
#include "core/store/Numbers.h"
#include "core/store/StoreKeys.h"

#include <algorithm>
#include <set>

namespace {

// A slot as the backup's record keeps it: "YYYY-MM-DD HH:MM=<instant>".
std::string RecordText(const Slot& slot)
{
    return slot.key + "=" + std::to_string(slot.instant);
}

std::vector<Slot> ParseRecords(const std::vector<std::string>& items)
{
    std::vector<Slot> list;
    for (const std::string& item : items) {
        const size_t split = item.rfind('=');
        if (split == std::string::npos)
            continue;
        const long long instant = LeadingInteger(std::string_view(item).substr(split + 1));
        if (instant > 0)
            list.push_back({item.substr(0, split), static_cast<std::time_t>(instant)});
    }
    std::stable_sort(list.begin(), list.end(), [](const Slot& a, const Slot& b) { return a.instant < b.instant; });
    return list;
}

std::set<std::string> Keys(const std::vector<Slot>& list)
{
    std::set<std::string> keys;
    for (const Slot& slot : list)
        keys.insert(slot.key);
    return keys;
}

using ScheduleSlotList = std::vector<std::pair<std::string, std::vector<Slot>>>;

// The slots of a backup's schedules, each local date and time once, oldest
// first.
std::vector<Slot> SlotsOfBackup(const BackupDef& backup, const ScheduleSlotList& bySchedule)
{
    std::vector<Slot> list;
    std::set<std::string> seen;
    for (const std::string& schedule : backup.schedules) {
        for (const auto& [name, scheduleSlots] : bySchedule) {
            if (name != schedule)
                continue;
            for (const Slot& slot : scheduleSlots) {
                if (seen.insert(slot.key).second)
                    list.push_back(slot);
            }
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const Slot& a, const Slot& b) { return a.instant < b.instant; });
    return list;
}

std::vector<std::string> DueScheduleNames(const ScheduleSlotList& bySchedule)
{
    std::vector<std::string> names;
    for (const auto& [name, list] : bySchedule) {
        if (!list.empty() && names.size() < kMaxRunList)
            names.push_back(name);
    }
    return names;
}

} // namespace

std::vector<std::string> SlotEvaluation::BackupNames() const
{
    std::vector<std::string> names;
    for (const DueBackup& backup : backups)
        names.push_back(backup.name);
    return names;
}

std::string MissedRunEntry(const DueBackup& backup)
{
    return "Missed Backup Run: " + backup.name + " - due " + SlotDueText(backup.Latest().key);
}

std::vector<std::string> BackupsUsing(const SettingsStore& store, const NameLists& lists,
                                      const std::vector<std::string>& schedules)
{
    std::vector<std::string> backups;
    for (const std::string& name : lists.Load(NameList::Backups)) {
        bool uses = false;
        for (const std::string& schedule : BackupDef::Load(store, name).schedules) {
            for (const std::string& dueName : schedules) {
                if (schedule == dueName) {
                    uses = true;
                    break;
                }
            }
            if (uses)
                break;
        }
        if (uses && backups.size() < kMaxRunList)
            backups.push_back(name);
    }
    return backups;
}

DueSlots::DueSlots(const SettingsStore& store, const NameLists& lists)
    : store_(store)
    , lists_(lists)
{
}

std::optional<std::time_t> DueSlots::LastEvaluation() const
{
    const std::string text = store_.GetValue(keys::kCountersTable, keys::kLastScheduleEvaluation);
    const long long value = LeadingInteger(text);
    if (value <= 0)
        return std::nullopt;
    return static_cast<std::time_t>(value);
}

std::vector<Slot> DueSlots::SlotsRun(const std::string& backup) const
{
    return ParseRecords(BackupDef::LoadSlotsRun(store_, backup));
}

std::optional<std::time_t> DueSlots::Begin(std::time_t now)
{
    const std::optional<std::time_t> last = LastEvaluation();
    // A time that cannot be stored is evaluated again from the older one:
    // the record of the slots run keeps those slots from running twice.
    (void)store_.SetValue(keys::kCountersTable, keys::kLastScheduleEvaluation, std::to_string(now));
    if (!last || *last - now <= kDay)
        return last;
    // The clock went back by more than a day: the slots it will pass again
    // ran more than a day ago, and run again when it does. Keeping them as
    // run would stop those backups for as long as the step.
    for (const std::string& backup : lists_.Load(NameList::Backups)) {
        std::vector<Slot> list = SlotsRun(backup);
        if (std::erase_if(list, [now](const Slot& slot) { return slot.instant > now - kQuarterHour; }) == 0)
            continue;
        std::vector<std::string> texts;
        for (const Slot& slot : list)
            texts.push_back(RecordText(slot));
        (void)BackupDef::StoreSlotsRun(store_, backup, texts);
    }
    return last;
}

ScheduleSlotList DueSlots::SlotsOfSchedules(std::time_t after, std::time_t until) const
{
    ScheduleSlotList bySchedule;
    for (const std::string& name : lists_.Load(NameList::Schedules)) {
        const ScheduleDef schedule = ScheduleDef::Load(store_, name);
        bySchedule.emplace_back(name, ScheduleSlots(schedule.category, schedule.entries, after, until));
    }
    return bySchedule;
}

SlotEvaluation DueSlots::Evaluate(std::time_t now)
{
    const std::optional<std::time_t> last = Begin(now);
    SlotEvaluation evaluation;
    evaluation.until = now;
    // Without a reference, or with the clock gone back past it, the
    // evaluation covers the quarter hour a tick covers.
    evaluation.after = !last || *last > now ? now - kQuarterHour : std::max(*last, now - kCatchUpWindow);
    const ScheduleSlotList bySchedule = SlotsOfSchedules(evaluation.after, now);
    evaluation.dueSchedules = DueScheduleNames(bySchedule);

    const std::time_t quarter = QuarterHourStart(now);
    for (const std::string& name : BackupsUsing(store_, lists_, evaluation.dueSchedules)) {
        const BackupDef backup = BackupDef::Load(store_, name);
        const std::set<std::string> ran = Keys(ParseRecords(BackupDef::LoadSlotsRun(store_, name)));
        DueBackup due {name, SlotsOfBackup(backup, bySchedule)};
        std::erase_if(due.dueSlots, [&ran](const Slot& slot) { return ran.count(slot.key) > 0; });
        if (due.dueSlots.empty())
            continue;
        due.missed = due.Latest().instant < quarter;
        evaluation.backups.push_back(std::move(due));
    }
    return evaluation;
}

SlotEvaluation DueSlots::CatchUpAtStart(std::time_t now, bool catchUp)
{
    Begin(now);
    SlotEvaluation evaluation;
    evaluation.after = now - kCatchUpWindow;
    evaluation.until = now;
    if (!catchUp)
        return evaluation;
    const ScheduleSlotList bySchedule = SlotsOfSchedules(evaluation.after, now);
    evaluation.dueSchedules = DueScheduleNames(bySchedule);

    for (const std::string& name : BackupsUsing(store_, lists_, evaluation.dueSchedules)) {
        const BackupDef backup = BackupDef::Load(store_, name);
        const std::vector<Slot> ran = SlotsRun(name);
        const std::set<std::string> ranKeys = Keys(ran);
        std::vector<Slot> list = SlotsOfBackup(backup, bySchedule);
        if (list.empty() || ranKeys.count(list.back().key))
            continue;
        // The last run: the most recent slot it ran, or its last completed
        // run, whichever is later. A backup that has never run has nothing
        // to measure from and waits for its next slot.
        std::optional<std::time_t> lastRun = ParseLongTimeText(backup.lastBackup);
        if (!ran.empty() && (!lastRun || ran.back().instant > *lastRun))
            lastRun = ran.back().instant;
        if (!lastRun)
            continue;
        // A last run later than now means the clock went back since: it
        // tells nothing about the slots before now.
        if (*lastRun <= now) {
            if (list.back().instant <= *lastRun)
                continue;
            std::erase_if(list, [&lastRun](const Slot& slot) { return slot.instant <= *lastRun; });
        }
        std::erase_if(list, [&ranKeys](const Slot& slot) { return ranKeys.count(slot.key) > 0; });
        evaluation.backups.push_back({name, std::move(list), true});
    }
    return evaluation;
}

StoreStatus DueSlots::RecordRun(const DueBackup& backup, std::time_t now)
{
    std::vector<Slot> list = SlotsRun(backup.name);
    const std::set<std::string> fresh = Keys(backup.dueSlots);
    std::erase_if(list, [&fresh](const Slot& slot) { return fresh.count(slot.key) > 0; });
    list.insert(list.end(), backup.dueSlots.begin(), backup.dueSlots.end());
    std::stable_sort(list.begin(), list.end(), [](const Slot& a, const Slot& b) { return a.instant < b.instant; });
    // A day of slots answers whether a slot already ran when the clock goes
    // back; the most recent one stays as the backup's last scheduled run.
    std::vector<std::string> texts;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].instant > now - kDay || i + 1 == list.size())
            texts.push_back(RecordText(list[i]));
    }
    return BackupDef::StoreSlotsRun(store_, backup.name, texts);
}
