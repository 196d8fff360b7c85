#pragma once

#include "core/state/AppState.h"
#include "core/dump/DumpFormat.h"
#include "core/engine/RunUi.h"

#include <ctime>
#include <string>

// Texts the Execute page and the run show.
namespace backuptext {
inline constexpr const char* kAnotherRunning = "Another Backup is Currently Running.\r\n\r\nPlease wait.";
inline constexpr const char* kNoneSelected = "No backup entry has been selected.";
inline constexpr const char* kConnectFailed = "The system failed to connect to the designated host.";
inline constexpr const char* kFileOpenFailed = "The backup file failed to open.";
inline constexpr const char* kTableErrored = "The database table errored.";
inline constexpr const char* kTableNotFound = "The system could not locate the requested table.";
inline constexpr const char* kCancelQuestion = "A Backup is Currently Running.\r\n\r\nDo you wish to terminate it?";
// A backup and a restore never run at the same time.
inline constexpr const char* kRestoreRunning =
    "A Restore is Currently Running.\r\n\r\nPlease wait until it has finished before running a backup.";
// The log entries of a scheduled run whose connection has no saved password:
// "Host Connect Failure: <backup> - Backup Failed", then this one.
std::string PasswordNotSavedEntry(const std::string& connectionName);
// "The connection <c> no longer exists.": a run (backup or restore) of a
// backup whose connection was deleted fails with it.
std::string ConnectionGoneText(const std::string& connectionName);
// Why a scheduled run was not started ("Backup Skipped: <name> - <reason>").
inline constexpr const char* kSkipAnotherBackup = "Another Backup Running";
inline constexpr const char* kSkipRestore = "Restore Running";
inline constexpr const char* kSkipBackupElsewhere = "Backup Running in Another Process";
inline constexpr const char* kSkipRestoreElsewhere = "Restore Running in Another Process";
inline constexpr const char* kSkipCancelled = "Cancelled";
// "Backup Skipped: <name> - <reason>"
std::string SkippedEntry(const std::string& backupName, const std::string& reason);
// What a scheduled sequence logs for each due backup while a restore runs.
std::string SkippedForRestoreEntry(const std::string& backupName);
// "Backup Failed: <name> - <reason>", what a failed manual run logs.
std::string FailedEntry(const std::string& backupName, const std::string& reason);
// "Backup: <name>\n\r\n\rRun this Backup?"
std::string RunQuestion(const std::string& name);
// "Backup <Complete|Cancelled>\r\n\r\nDo you wish to execute another?"
std::string ExecuteAnotherQuestion(const std::string& resultWord);
} // namespace backuptext

// Rows are read and shown in pages of this many.
inline constexpr int kPageSize = 100;

enum class RunStatus {
    Completed, // the file is in place and the outcome stored
    Cancelled,  // cancel was requested during the run; the previous file stays
    Failed,     // a connection, file or query failure; nothing stored
    Refused,    // another run of it (or any run in this process) was going; nothing done
    NotStarted, // the user cancelled the password prompt; nothing done
};

struct BackupOutcome {
    RunStatus status = RunStatus::Failed;
    // Why a run failed or was refused, on one line: the failure's name, the
    // table or limit concerned and the server's text ("Host Connect Failure
    // - Access denied ..."), or a refusal's skip reason (kSkip...).
    std::string reason;
    std::string backupName;    // the definition's IDC_CNSB_NAME
    std::string startTimeText; // long time form, as in the header and the store
    std::string resultWord;    // "Complete" or "Cancelled"; empty otherwise
    std::string listRowText;   // what the Execute page shows in the run's "Last Backup" cell
    std::string lastBackup;    // LAST_BACKUP as stored after the run
    long long lineTally = 0;
    unsigned long long rowsWritten = 0;
    // Tables whose rows the second connection read (see SetReadAhead).
    int tablesReadAhead = 0;
    std::string serverError; // the server's text for a failure, when there is one
};

// One backup run, started by the user (Manual) or by the scheduler
// (Automatic). A manual run reports to its page through `ui`; an automatic
// run touches no text, bar, cursor or message box and only lets the window
// breathe through `ui.Pump()`. The run sets backupRunning and clears it on
// every path just before it returns; setting backupCancelRequested from
// outside (or sequenceStopRequested, for an automatic run) cancels it at the
// next page or table, or at once while it waits for the server. A manual run
// of a connection whose password was not saved asks for it
// (RunUi::AskPassword) before it starts; a scheduled one fails to connect.
//
// The run holds the backup's BackupLock from its start to its end: a run of
// the same backup, or a restore of it, in another process refuses it as a
// run in this process would. A failure is logged (a manual run's as "Backup
// Failed: <name> - <reason>") and kept as the last failure. A completed run
// keeps the previous backup file as an older copy (BackupRotation) and
// removes the copies beyond the keepCopies setting; a failed or cancelled
// run changes no file.
class BackupRun {
public:
    BackupRun(AppState& state, RunUi& ui);

    // Runs backup `name` (its record name) of kind `kind`; `startTime` is
    // when the run was asked for. The run works on its own copy of the name,
    // whatever happens to the caller's text while events are pumped.
    BackupOutcome Run(std::string name, RunKind kind, std::time_t startTime);

    // How a table's row count, which its data heading carries, is found:
    // - WhileReading (the default): the rows are counted as they are read
    //   and held in a spool file until the table ends; the server reads the
    //   table once, and the count is the rows written;
    // - Ahead: counted on a second connection while the rows are read (and
    //   held until the count comes), checked against the rows read;
    // - First: counted on the run's own connection before the rows.
    enum class CountMode { WhileReading, Ahead, First };
    void SetCountMode(CountMode mode) { countMode_ = mode; }
    // Counted while read (the default), every second table is read on a
    // second connection that shares the run's snapshot, while the run reads
    // the one before it (TablePrefetch); the file is the same either way.
    // Off: the run's connection reads every table.
    void SetReadAhead(bool on) { readAhead_ = on; }

private:
    AppState& state_;
    RunUi& ui_;
    CountMode countMode_ = CountMode::WhileReading;
    bool readAhead_ = true;
};
