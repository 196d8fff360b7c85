#pragma once

#include "core/engine/ScheduleSlots.h"
#include "core/store/NameLists.h"
#include "core/store/SettingsStore.h"

#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A backup that an evaluation found due.
struct DueBackup {
    std::string name;
    // Its slots that fell due and that it has not run, oldest first.
    std::vector<Slot> dueSlots;
    // Every one of them lies before the quarter hour of the evaluation: the
    // run was missed (the program was not running, the computer slept, the
    // clock jumped, a sequence went on past them) and is made up now.
    bool missed = false;

    const Slot& Latest() const { return dueSlots.back(); }
};

// What one evaluation found: the schedules with slots in the interval, and
// the backups that use any of them, each once, in backup-list order.
struct SlotEvaluation {
    std::time_t after = 0; // the interval: after this instant ...
    std::time_t until = 0; // ... up to and including this one
    std::vector<std::string> dueSchedules;
    std::vector<DueBackup> backups;

    std::vector<std::string> BackupNames() const;
};

// "Missed Backup Run: <name> - due <slot's local date and time>", logged
// before the usual entries of a run that makes up a missed slot.
std::string MissedRunEntry(const DueBackup& backup);

// The backups, in backup-list order and each once, that use any of the
// `schedules` (names compared exactly).
std::vector<std::string> BackupsUsing(const SettingsStore& store, const NameLists& lists,
                                      const std::vector<std::string>& schedules);

// The slot rules of the scheduled runs, over what the settings store keeps
// between evaluations: the instant of the last evaluation and, per backup,
// the slots it ran within the last day. Every process working on one data
// folder reads and writes the same facts, so they agree on what is due.
//
// - A slot is due when its instant falls between the last evaluation and
//   now: each slot runs once per local occurrence, whenever the evaluations
//   come, and the slots of a gap (sleep, a clock step, a long sequence) run
//   once, at once, marked missed. A gap reaches back at most 7 days.
// - When the clock went back, so does the reference: the evaluation looks
//   back one quarter hour from now, and a slot the backup already ran (the
//   same local date and time) within the last day does not run again. After
//   a step back of more than a day, the slots the clock will pass again ran
//   more than a day ago and run again.
class DueSlots {
public:
    static constexpr std::time_t kQuarterHour = 15 * 60;
    static constexpr std::time_t kDay = 24 * 60 * 60;
    // How far back a gap or a start catches up.
    static constexpr std::time_t kCatchUpWindow = 7 * kDay;

    DueSlots(const SettingsStore& store, const NameLists& lists);

    // An evaluation at `now` (a tick): the slots due since the last one,
    // without those each backup already ran. Stores `now` as the last
    // evaluation.
    SlotEvaluation Evaluate(std::time_t now);

    // The evaluation at start. With `catchUp`, a backup whose most recent
    // slot within the last 7 days is later than its last run (the most
    // recent slot it ran, or its last completed run) runs once, marked
    // missed; a backup that has never run is not caught up. Either way the
    // next evaluation starts from `now`, which is stored.
    SlotEvaluation CatchUpAtStart(std::time_t now, bool catchUp);

    // Notes that `backup`'s run for its due slots has started, at `now`.
    // Slots older than a day are forgotten (the most recent is kept).
    // Fails when the record could not be stored.
    StoreStatus RecordRun(const DueBackup& backup, std::time_t now);

    // The last evaluation, when one is stored.
    std::optional<std::time_t> LastEvaluation() const;
    // The slots a backup is known to have run, oldest first.
    std::vector<Slot> SlotsRun(const std::string& backup) const;

private:
    // Reads the last evaluation, stores `now` in its place and forgets the
    // slots the clock will pass again when it went back by more than a day.
    // Gives what was stored before.
    std::optional<std::time_t> Begin(std::time_t now);
    // The slots in (after, until] of every schedule in the list, by name.
    std::vector<std::pair<std::string, std::vector<Slot>>> SlotsOfSchedules(std::time_t after,
                                                                           std::time_t until) const;

    const SettingsStore& store_;
    const NameLists& lists_;
};
