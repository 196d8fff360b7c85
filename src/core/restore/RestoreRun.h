#pragma once

#include "core/state/AppState.h"
#include "core/engine/RunSkeleton.h"
#include "core/engine/RunUi.h"

#include <ctime>
#include <string>
#include <string_view>

class LineReader;
class MysqlConnection;
struct RestoreFailure;

// Texts of a refused start.
inline constexpr const char* kAnotherRestoreRunning = "Another Restore is Currently Running.\r\n\r\nPlease wait.";
inline constexpr const char* kBackupRunningForRestore =
    "A Backup is Currently Running.\r\n\r\nPlease wait until it has finished before running a restore.";

// How a restore run ended. NotStarted: another restore or a backup was
// running, or the user cancelled the password prompt.
enum class RestoreOutcome { NotStarted, Complete, Failed, Cancelled };

// "Complete", "Failed" or "Cancelled" (empty for NotStarted).
std::string RestoreResultWord(RestoreOutcome outcome);
// The question the Database Backups page asks once a run has ended:
// "Restore <word>\r\n\r\nDo you wish to execute another?".
std::string RestoreFinalQuestion(RestoreOutcome outcome);

struct RestoreReport {
    RestoreOutcome outcome = RestoreOutcome::NotStarted;
    long long rowsInserted = 0; // row statements the server accepted
    long long linesRead = 0;    // lines of the backup file read, continuation lines included
};

// The sql_mode of a restore session, made from the server's: the file's
// values are read with backslash escapes, zero dates are values like any
// other, an empty text stays an empty text, and a 0 in an AUTO_INCREMENT
// column stays 0 instead of being renumbered. Strictness stays the server's.
std::string RestoreSessionSqlMode(const std::string& serverMode);

// One restore of a backup's dump file into the database of the backup's
// connection, from the confirmed start to the outcome. The Database Backups
// page asks "Run this Restore?" first, then calls Run; afterwards it asks
// RestoreFinalQuestion and makes its page request. The run reports to the
// page through RunUi; it is cancelled by setting state.restoreCancelRequested,
// which it looks at after every line. restoreRunning is held from the start
// until the run returns. A connection whose password was not saved is asked
// for it (RunUi::AskPassword) before the run starts.
//
// Absolute mode replaces each table of the file (after copying it to
// SAFE_COPY_<table> when safe copies are on); Indirect mode builds
// VORDA_<table> beside it and leaves the table alone.
//
// The session writes with autocommit off and foreign-key checks off, and
// commits at the end of every table, every kRowsPerCommit rows and before any
// outcome is reported, so rows already sent are kept when a run fails or is
// cancelled.
class RestoreRun {
public:
    static constexpr long long kRowsPerCommit = 10000;

    RestoreRun(AppState& state, RunUi& ui);

    // Restores backup `name` (its record and its file backup_<name>.tbk).
    // The run keeps its own copy of the name.
    RestoreReport Run(std::string name);

private:
    enum class LineResult { Ok, Failed };

    bool PrepareSession(MysqlConnection& conn);
    LineResult ReplayFile(MysqlConnection& conn, LineReader& reader);
    LineResult HandleCreate(MysqlConnection& conn, LineReader& reader, std::string_view line);
    LineResult HandleInsert(MysqlConnection& conn, std::string_view line, bool cut);
    void HandleDumpingData(std::string_view line);
    bool MakeSafeCopy(MysqlConnection& conn, const std::string& table);
    // Sends a statement the run needs to succeed; refuses one longer than the
    // server's packet limit without sending it (the server would drop the
    // connection and with it the rows not yet committed).
    bool Execute(MysqlConnection& conn, const std::string& sql);
    bool Commit(MysqlConnection& conn);
    void Fail(const RestoreFailure& failure);
    std::string Target(const std::string& table) const;

    AppState& state_;
    RunUi& ui_;
    RunSkeleton skeleton_;
    ThrottledPump& pump_;
    RestoreReport report_;
    bool absolute_ = true;
    bool safeCopy_ = false;
    unsigned long long maxPacket_ = 0;
    std::string statement_;
    std::string lastTable_;  // the table of the previous row statement
    std::string lastTarget_; // and its quoted target name
    // Row progress of the current table.
    bool haveRowTotal_ = false;
    long long rowTotal_ = 0;
    long long countedLines_ = 0;
    long long insertedInTable_ = 0;
    long long uncommittedRows_ = 0;
};
