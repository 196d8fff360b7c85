#pragma once

#include "core/state/AppState.h"
#include "core/engine/BackupRun.h"
#include "core/engine/DueSlots.h"
#include "core/engine/RunUi.h"

#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The moment a tick looks at: minute 0-59, hour 0-23, weekday 1 (Sunday)
// to 7 (Saturday), day of month 1-31.
struct ScheduleMoment {
    int minute = 0;
    int hour = 0;
    int weekday = 1;
    int day = 1;
};
ScheduleMoment MomentFromLocalTime(const std::tm& local);

// A parsed schedule entry. A weekday name that is not known gives 8 and an
// ordinal that is not known gives 32, which match no day.
struct EntryTime {
    int hour = 0; // 0-23 after the AM/PM rule
    int minute = 0;
    int weekday = 0;
    int day = 0;
    std::string name; // the weekday or ordinal text of the entry
};
inline constexpr int kUnknownWeekday = 8;
inline constexpr int kUnknownDay = 32;
// A schedule is read for at most 96 entries; the due schedules and the due
// backups of one tick are at most 1000 each.
inline constexpr size_t kMaxScheduleEntries = 96;
inline constexpr size_t kMaxRunList = 1000;

// "Time: hh:mm AM"
EntryTime ParseDailyEntry(const std::string& entry);
// "Day: <weekday> - Time: hh:mm PM"
EntryTime ParseWeeklyEntry(const std::string& entry);
// "Date: <ordinal> - Time: hh:mm AM"
EntryTime ParseMonthlyEntry(const std::string& entry);
// 12 AM is hour 0; 1 PM to 11 PM add 12; 12 PM stays 12; anything else stands.
int HourOfDay(int hour, const std::string& suffix);

// The times of day a schedule of `category` (SCHD_*) names, as the
// scheduler reads its entries: at most 96, each parsed by its category's
// rule; an hourly schedule names every turn of the hour and its entries are
// not read. Empty for an unknown category.
std::vector<EntryTime> ScheduleTimesOfDay(const std::string& category, const std::vector<std::string>& entries);
// Whether a time of day of a schedule of `category` applies on the day of
// `moment`: weekly ones on their weekday, monthly ones on their day of the
// month, the others every day.
bool EntryAppliesOn(const std::string& category, const EntryTime& time, const ScheduleMoment& moment);
// Whether a schedule of `category` (SCHD_*) with `entries` is due at `moment`.
bool ScheduleIsDue(const std::string& category, const std::vector<std::string>& entries, const ScheduleMoment& moment);

// A scheduled backup that failed or was skipped, for the desktop notice.
struct FailureNotice {
    std::string backupName;
    std::string reason; // the run's reason; "Skipped - <reason>" for a skip
    std::time_t when = 0;
};

// The scheduled runs: at every quarter-hour tick, the slots of the schedules
// that fell due since the last evaluation (DueSlots), the backups that use
// them, and those backups run one after the other. A backup that makes up
// a missed slot is logged as "Missed Backup Run: <name> - due <time>" first.
// The window owns the timer and the automatic-run indicator; it calls Tick
// (and CatchUpAtStart once at start) and is told through `showIndicator`
// when a sequence starts and ends.
class Scheduler {
public:
    Scheduler(AppState& state, RunUi& pumpUi, std::function<void(bool shown)> showIndicator = {});

    // Told of every scheduled backup that fails or is skipped for a reason
    // other than a stop request, as soon as it has.
    void SetFailureHandler(std::function<void(const FailureNotice&)> handler) { onFailure_ = std::move(handler); }

    // The lock file that keeps the evaluations of several processes on one
    // data folder apart, and how long an evaluation waits for it.
    static std::string EvaluationLockPath(const std::string& dataDir);
    static constexpr int kEvaluationWaitMs = 10000;

    // One tick: unless a sequence is already busy, evaluates the schedules
    // between the last evaluation and now (the state's clock) and runs the
    // due backups. Returns the number of schedules with due slots.
    int Tick();
    // At start: finds the backups that missed their last slot while the
    // program was not running, when the setting "Run scheduled backups
    // missed while Vorda was not running" is on (DueSlots::CatchUpAtStart),
    // and starts the next evaluation from now. The window calls it as it
    // starts and runs what it found once it is up.
    void EvaluateStart();
    // Runs what EvaluateStart found (evaluating first if it has not been
    // called), unless a sequence is busy. Returns the number of backups
    // caught up.
    int CatchUpAtStart();

    // The names of the schedules due at `moment`, in schedule-list order.
    std::vector<std::string> EvaluateDueSchedules(const ScheduleMoment& moment) const;
    // The backups that use any of the due schedules, each once, in
    // backup-list order.
    std::vector<std::string> CollectDueBackups(const std::vector<std::string>& dueSchedules) const;
    // Runs every backup in order, whatever the others do: a failure is
    // logged by its run and the sequence goes on. A backup that cannot start
    // (a restore or another backup running here, a run of it in another
    // process) is logged as "Backup Skipped: <name> - <reason>". A stop
    // request (sequenceStopRequested, or a cancel of one of its runs) ends
    // the sequence: each backup not yet run is logged as skipped, Cancelled.
    // `leadEntries` holds, per backup, an entry logged just before its own
    // (the missed-run entry of a backup that makes up a missed slot).
    void RunSequence(const std::vector<std::string>& backups,
                     const std::map<std::string, std::string>& leadEntries = {});

    // Outcomes of the runs of the last sequence, in order.
    const std::vector<BackupOutcome>& LastOutcomes() const { return outcomes_; }
    // Whether the last sequence started at least one backup run (a run that
    // found another one going did not start).
    bool StartedAnyRun() const;

private:
    // Logs the missed runs, runs the due backups and notes the slots of
    // every run that started.
    void RunDue(DueSlots& book, const SlotEvaluation& due);
    // Logs the skip, keeps it as the last failure and, unless it was asked
    // for, tells the failure handler.
    void Skip(const std::string& name, const std::string& reason);
    void Notify(const std::string& name, const std::string& reason);

    AppState& state_;
    RunUi& ui_;
    std::function<void(bool)> showIndicator_;
    std::function<void(const FailureNotice&)> onFailure_;
    std::vector<BackupOutcome> outcomes_;
    std::optional<SlotEvaluation> startEvaluation_;
};
