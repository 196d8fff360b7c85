#include "core/engine/Scheduler.h"

#include "core/state/WaitingFileLock.h"

#include "core/engine/ScheduleEntries.h"
#include "core/history/LastFailure.h"
#include "core/store/Numbers.h"
#include "core/store/Definitions.h"

#include <algorithm>
#include <utility>

namespace {

// Cuts `text` at every `separator`, skipping empty pieces.
std::vector<std::string> SplitAt(const std::string& text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string Piece(const std::vector<std::string>& pieces, size_t i)
{
    return i < pieces.size() ? pieces[i] : std::string();
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Hour, minute and suffix from the hour piece and the rest ("15 AM").
void ParseTime(const std::string& hourPiece, const std::string& rest, EntryTime& time)
{
    const std::vector<std::string> parts = SplitAt(rest, ' ');
    time.minute = LeadingInt(Piece(parts, 0));
    time.hour = HourOfDay(LeadingInt(hourPiece), Piece(parts, 1));
}

// "<Word>: <name> - Time: hh:mm AM": the time and the name.
EntryTime ParseNamedEntry(const std::string& entry)
{
    const std::vector<std::string> pieces = SplitAt(entry, ':');
    EntryTime time;
    ParseTime(Piece(pieces, 2), Piece(pieces, 3), time);
    const std::string middle = Piece(pieces, 1);
    time.name = Trimmed(middle.substr(0, middle.find('-')));
    return time;
}

} // namespace

ScheduleMoment MomentFromLocalTime(const std::tm& local)
{
    return {local.tm_min, local.tm_hour, local.tm_wday + 1, local.tm_mday};
}

int HourOfDay(int hour, const std::string& suffix)
{
    if (suffix == "AM" && hour == 12)
        return 0;
    if (suffix == "PM" && hour >= 1 && hour <= 11)
        return hour + 12;
    return hour;
}

EntryTime ParseDailyEntry(const std::string& entry)
{
    const std::vector<std::string> pieces = SplitAt(entry, ':');
    EntryTime time;
    ParseTime(Piece(pieces, 1), Piece(pieces, 2), time);
    return time;
}

EntryTime ParseWeeklyEntry(const std::string& entry)
{
    EntryTime time = ParseNamedEntry(entry);
    time.weekday = kUnknownWeekday;
    const std::vector<std::string>& weekdays = ScheduleWeekdays();
    for (size_t i = 0; i < weekdays.size() && time.weekday == kUnknownWeekday; ++i) {
        if (time.name == weekdays[i])
            time.weekday = static_cast<int>(i) + 1;
    }
    return time;
}

EntryTime ParseMonthlyEntry(const std::string& entry)
{
    EntryTime time = ParseNamedEntry(entry);
    time.day = kUnknownDay;
    const std::vector<std::string>& days = ScheduleDays();
    for (size_t i = 0; i < days.size() && time.day == kUnknownDay; ++i) {
        if (time.name == days[i])
            time.day = static_cast<int>(i) + 1;
    }
    return time;
}

std::vector<EntryTime> ScheduleTimesOfDay(const std::string& category, const std::vector<std::string>& entries)
{
    std::vector<EntryTime> times;
    if (category == ScheduleDef::kHourly) {
        for (int hour = 0; hour < 24; ++hour) {
            EntryTime turn;
            turn.hour = hour;
            times.push_back(turn);
        }
        return times;
    }
    const bool daily = category == ScheduleDef::kDaily;
    const bool weekly = category == ScheduleDef::kWeekly;
    if (!daily && !weekly && category != ScheduleDef::kMonthly)
        return times;
    const size_t count = std::min(entries.size(), kMaxScheduleEntries);
    for (size_t i = 0; i < count; ++i) {
        const std::string& entry = entries[i];
        times.push_back(daily ? ParseDailyEntry(entry) : weekly ? ParseWeeklyEntry(entry) : ParseMonthlyEntry(entry));
    }
    return times;
}

bool EntryAppliesOn(const std::string& category, const EntryTime& time, const ScheduleMoment& moment)
{
    if (category == ScheduleDef::kWeekly)
        return time.weekday == moment.weekday;
    if (category == ScheduleDef::kMonthly)
        return time.day == moment.day;
    return true;
}

bool ScheduleIsDue(const std::string& category, const std::vector<std::string>& entries, const ScheduleMoment& m)
{
    for (const EntryTime& t : ScheduleTimesOfDay(category, entries)) {
        if (t.hour == m.hour && t.minute == m.minute && EntryAppliesOn(category, t, m))
            return true;
    }
    return false;
}

Scheduler::Scheduler(AppState& state, RunUi& pumpUi, std::function<void(bool)> showIndicator)
    : state_(state)
    , ui_(pumpUi)
    , showIndicator_(std::move(showIndicator))
{
}

std::vector<std::string> Scheduler::EvaluateDueSchedules(const ScheduleMoment& moment) const
{
    std::vector<std::string> due;
    for (const std::string& name : state_.nameLists.Load(NameList::Schedules)) {
        const ScheduleDef schedule = ScheduleDef::Load(state_.store, name);
        if (ScheduleIsDue(schedule.category, schedule.entries, moment) && due.size() < kMaxRunList)
            due.push_back(name);
    }
    return due;
}

std::vector<std::string> Scheduler::CollectDueBackups(const std::vector<std::string>& dueSchedules) const
{
    return BackupsUsing(state_.store, state_.nameLists, dueSchedules);
}

void Scheduler::RunSequence(const std::vector<std::string>& backups,
                            const std::map<std::string, std::string>& leadEntries)
{
    outcomes_.clear();
    state_.sequenceStopRequested = false;
    state_.runKind = "Automatic";
    if (showIndicator_)
        showIndicator_(true);
    state_.selectedName.clear();
    for (const std::string& name : backups) {
        state_.selectedName = name;
        if (name.empty())
            break;
        if (const auto lead = leadEntries.find(name); lead != leadEntries.end())
            state_.log.AppendEntry(false, lead->second);
        if (state_.sequenceStopRequested) {
            Skip(name, backuptext::kSkipCancelled);
            continue;
        }
        BackupRun run(state_, ui_);
        outcomes_.push_back(run.Run(name, RunKind::Automatic, state_.clock()));
        const BackupOutcome& outcome = outcomes_.back();
        if (outcome.status == RunStatus::Refused)
            Skip(name, outcome.reason);
        else if (outcome.status == RunStatus::Failed)
            Notify(name, outcome.reason);
        // A stop asked for during the run holds for the whole sequence, even
        // when the run had passed its last check.
        const bool ran = outcome.status != RunStatus::Refused && outcome.status != RunStatus::NotStarted;
        if (outcome.status == RunStatus::Cancelled || (ran && state_.backupCancelRequested))
            state_.sequenceStopRequested = true;
    }
    if (showIndicator_)
        showIndicator_(false);
    state_.runKind = "Manual";
    state_.log.logChanged = true;
}

void Scheduler::Skip(const std::string& name, const std::string& reason)
{
    state_.log.AppendEntry(false, backuptext::SkippedEntry(name, reason));
    if (reason == backuptext::kSkipCancelled)
        return;
    StoreLastFailure(state_.store, {name, FormatLocalTime(state_.clock(), kLongTimeFormat), "Skipped - " + reason});
    Notify(name, "Skipped - " + reason);
}

void Scheduler::Notify(const std::string& name, const std::string& reason)
{
    if (onFailure_)
        onFailure_({name, reason, state_.clock()});
}

bool Scheduler::StartedAnyRun() const
{
    for (const BackupOutcome& outcome : outcomes_) {
        if (outcome.status != RunStatus::Refused)
            return true;
    }
    return false;
}

void Scheduler::RunDue(DueSlots& book, const SlotEvaluation& due)
{
    outcomes_.clear();
    if (due.backups.empty())
        return;
    std::map<std::string, std::string> missed;
    for (const DueBackup& backup : due.backups) {
        if (backup.missed)
            missed[backup.name] = MissedRunEntry(backup);
    }
    RunSequence(due.BackupNames(), missed);
    // A slot counts as run once its backup's run has started. A backup that
    // did not start (another run was going, or the sequence stopped before
    // it) keeps its slot open for the catch-up at the next start.
    for (const BackupOutcome& outcome : outcomes_) {
        if (outcome.status == RunStatus::Refused || outcome.status == RunStatus::NotStarted)
            continue;
        for (const DueBackup& backup : due.backups) {
            if (backup.name == outcome.backupName)
                book.RecordRun(backup, state_.clock());
        }
    }
}

int Scheduler::Tick()
{
    if (state_.sequenceBusy)
        return 0;
    // Another process evaluating right now (the window and the timer of
    // vorda run-due): this evaluation waits for it, so each one starts where
    // the other ended and no slot falls in both. When the lock cannot be
    // had, nothing is evaluated: the next tick covers this one's slots.
    WaitingFileLock lock;
    if (!lock.Acquire(EvaluationLockPath(state_.paths.dataDir), kEvaluationWaitMs))
        return 0;
    state_.sequenceBusy = true;
    DueSlots book(state_.store, state_.nameLists);
    const SlotEvaluation due = book.Evaluate(state_.clock());
    lock.Release();
    RunDue(book, due);
    state_.sequenceBusy = false;
    return static_cast<int>(due.dueSchedules.size());
}

std::string Scheduler::EvaluationLockPath(const std::string& dataDir)
{
    return dataDir + "vorda_schedule.lck";
}

void Scheduler::EvaluateStart()
{
    WaitingFileLock lock;
    lock.Acquire(EvaluationLockPath(state_.paths.dataDir), kEvaluationWaitMs);
    startEvaluation_ = DueSlots(state_.store, state_.nameLists).CatchUpAtStart(state_.clock(), state_.settings().catchUp);
}

int Scheduler::CatchUpAtStart()
{
    if (state_.sequenceBusy)
        return 0;
    if (!startEvaluation_)
        EvaluateStart();
    const SlotEvaluation due = std::move(*startEvaluation_);
    startEvaluation_ = SlotEvaluation {};
    state_.sequenceBusy = true;
    DueSlots book(state_.store, state_.nameLists);
    RunDue(book, due);
    state_.sequenceBusy = false;
    return static_cast<int>(due.backups.size());
}
