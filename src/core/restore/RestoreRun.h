#pragma once

#include "core/state/AppState.h"
#include "core/engine/RunSkeleton.h"
#include "core/engine/ConnectionParams.h"
#include "core/engine/RunUi.h"
#include "core/restore/RowSender.h"

#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class LineReader;
class MysqlConnection;
class TableLoader;
class TableSwap;
struct DumpHeader;
struct RestoreFailure;
namespace dump {
class BackupFileGrammar;
struct RowStatement;
} // namespace dump

// The question asked before a file without a closing line is restored.
inline constexpr const char* kUnfinishedFileQuestion
    = "The backup file has no closing line: it was written by an older version of Vorda, or it is "
      "incomplete.\r\n\r\nDo you wish to restore it anyway?";

// Texts of a refused start.
inline constexpr const char* kAnotherRestoreRunning = "Another Restore is Currently Running.\r\n\r\nPlease wait.";
inline constexpr const char* kBackupRunningForRestore =
    "A Backup is Currently Running.\r\n\r\nPlease wait until it has finished before running a restore.";

// The question asked before a file is restored into another database or on
// another host than its header names: "This backup was made from database A
// on host H. Restore it into database B on host K?" (No is the default).
inline constexpr const char* kRestoreTargetQuestionStart = "This backup was made from database ";
std::string RestoreTargetQuestion(const std::string& fromHost, const std::string& fromDatabase,
                                  const std::string& toHost, const std::string& toDatabase);
// Why a backup that has never run restores nothing.
std::string NeverRunText(const std::string& backup);

// How a restore run ended. NotStarted: another restore or a backup was
// running, or the user cancelled the password prompt.
// Declined: a question that asked whether to go on was answered No.
enum class RestoreOutcome { NotStarted, Complete, Failed, Cancelled, Declined };

// "Complete", "Failed", "Cancelled" or "Declined" (empty for NotStarted).
std::string RestoreResultWord(RestoreOutcome outcome);
// The question the Database Backups page asks once a run has ended:
// "Restore <word>\r\n\r\nDo you wish to execute another?".
std::string RestoreFinalQuestion(RestoreOutcome outcome);

struct RestoreReport {
    RestoreOutcome outcome = RestoreOutcome::NotStarted;
    long long rowsInserted = 0; // row statements the server accepted
    long long linesRead = 0;    // lines of the backup file read, continuation lines included
    long long rowsOnSecondConnection = 0; // of rowsInserted, those the second connection sent
};

// One restore of a backup's dump file into the database of the backup's
// connection, from the confirmed start to the outcome. The Database Backups
// page asks "Run this Restore?" first, then calls Run; afterwards it asks
// RestoreFinalQuestion and makes its page request. The run reports to the
// page through RunUi; it is cancelled by setting state.restoreCancelRequested,
// which it looks at after every line. restoreRunning is held from the start
// until the run returns. A connection whose password was not saved is asked
// for it (RunUi::AskPassword) before the run starts.
//
// Nothing is touched before the whole file has been checked
// (BackupFileCheck): a damaged file fails the run, and a file without its
// closing line is restored only when the user agrees. Only the file the
// backup's own last run wrote is restored (its header names the backup and
// the time of that run); a backup that has never run, or whose connection
// no longer exists, restores nothing. A file made from another database or
// host than the connection names now is restored only when the user agrees
// (the history logs the answer). The replay checks every line again and
// sends only row statements and structure statements of the shapes Vorda
// writes.
//
// Absolute mode is all or nothing (TableSwap): every table of the file is
// built and filled under a scratch name, each is checked against the rows
// the file holds, and one RENAME TABLE swaps them all in at once; the
// originals become safe copies (SAFE_COPY_<table>, SAFE_COPY_2_<table>, ...,
// an existing copy is never touched) or are dropped. A failure or a stop
// before the swap leaves every table as it was, and says so. Indirect mode
// builds VORDA_<table> beside each table, with VORDA_ constraint names and
// references to the file's other tables pointing at their VORDA_ copies,
// and leaves the table alone.
//
// A file whose header carries the session time zone line is restored under
// time_zone '+00:00', as it was written, so TIMESTAMP values come back as
// the same instants whatever the server's zone; a file without it (from an
// earlier version) is restored under the server's zone, as it was written.
//
// The session writes with autocommit off and foreign-key checks off, and
// commits at the end of every table, every kRowsPerCommit rows and before any
// outcome is reported, so rows already sent are kept when an Indirect run
// fails or is cancelled (an Absolute run drops its scratch tables then).
//
// A large InnoDB table is created without its plain secondary keys, which
// one ALTER TABLE adds once its rows are in (before the next table, and
// before any outcome is reported), so the table ends as its structure says.
//
// The rows of a large table may go on a second connection (TableLoader)
// while the run builds and fills the next table on its own: the server
// writes two tables at once. The panel follows the run's own tables, and the
// other's at the end if it is still being filled. A refused row or a failure
// there fails the run as one here would; a stop stops both.
//
// Consecutive row statements of one table with the same column list go to
// the server as one multi-row INSERT of at most kBatchBytes (and a quarter
// of the server's packet limit), under a strict sql_mode so that the batch
// stops at the first row one line at a time would refuse or store
// differently. A batch the server refuses is sent again one row at a time
// under the session's own mode, from its first row that is not in the table
// (a transactional table takes none of a refused statement; of any other,
// the count of its rows tells): the failing line, the rows before it, the
// texts and the outcome are those of one line at a time. The rows' bar steps
// follow once they are in; "Current Member" and the stop request are looked
// at as each line is read, and a stop sends what was read before it ends.
class RestoreRun {
public:
    static constexpr long long kRowsPerCommit = RowSender::kRowsPerCommit;
    static constexpr size_t kBatchBytes = RowSender::kBatchBytes;

    RestoreRun(AppState& state, RunUi& ui);

    // Rows go in batches of at most `bytes` (and a quarter of the packet
    // limit); 0 sends every row on its own, one line at a time.
    void SetRowBatchBytes(size_t bytes) { batchBytes_ = bytes; }

    // Tables of at least `rows` rows get their plain secondary keys once
    // their rows are in (DeferPlainKeys); 0 keeps every key in its CREATE
    // TABLE.
    static constexpr long long kDeferKeysFromRows = 10000;
    void SetKeyDeferralRows(long long rows) { deferKeysFromRows_ = rows; }
    // Tables of at least `rows` rows may have their rows sent on a second
    // connection while the run goes on with the next (TableLoader); 0 sends
    // everything on the run's connection.
    void SetSecondConnectionRows(long long rows) { parallelFromRows_ = rows; }
    // The file to restore instead of the backup's current one: one of its
    // older copies (BackupCopies). Empty (the default): the current file.
    // A path that is neither fails the run.
    void SetFile(std::string path) { file_ = std::move(path); }

    // Restores backup `name` (its record and its file backup_<name>.tbk, or
    // the file given to SetFile). The run keeps its own copy of the name.
    // It holds the backup's BackupLock throughout: a run of the same backup
    // in another process refuses it. A failure is logged as "Restore Failed:
    // <name> - <reason>" and kept as the last failure; the log entries of a
    // run on an older copy name the copy.
    RestoreReport Run(std::string name);

private:
    enum class LineResult { Ok, Failed };

    bool PrepareSession();
    // Opens and checks the file, then replays it (and, in Absolute mode,
    // swaps the tables in).
    LineResult RestoreFile(MysqlConnection& conn, const std::string& path, long long lineCount);
    // Asks before a file lands in another database or on another host than
    // its header names; false when the user says No.
    bool ConfirmTarget(const DumpHeader& header);
    LineResult ReplayFile(MysqlConnection& conn, LineReader& reader);
    LineResult CreateTable(MysqlConnection& conn, const dump::BackupFileGrammar& grammar);
    // Absolute mode, once every scratch table is filled: the checks, the
    // swap and what follows it.
    LineResult SwapTables(MysqlConnection& conn);
    // Adds a row to the batch, sending the batch first when the row cannot
    // join it.
    LineResult QueueRow(const dump::RowStatement& row);
    // Sends the batch (see the class comment).
    LineResult FlushRows();
    void HandleDumpingData(const dump::BackupFileGrammar& grammar);
    // Adds the keys the current table was created without, in one ALTER
    // TABLE; true when there were none.
    bool AddDeferredKeys(MysqlConnection& conn);
    // Creates `target` for file table `table`, without its plain secondary
    // keys when the table is large enough for that to pay.
    bool ExecuteCreate(MysqlConnection& conn, const std::string& table, const std::string& target,
                       const std::string& statement);
    enum class HandOver { No, Done, Failed };
    // At the first row of a data section: hands the section to the loader
    // when it is free and the table large enough, and passes over its lines.
    HandOver HandOverRows(LineReader& reader, dump::BackupFileGrammar& grammar);
    // The loader is connected (it connects once, when first wanted), idle,
    // and its last table went well.
    bool LoaderReady();
    // Steps the bars for the loader's rows and notes how its table ended.
    void PollLoader();
    // Waits for the loader's table, asking it to stop first when `stop`;
    // Failed when it failed (and says so).
    LineResult WaitForLoader(bool stop);
    void Fail(const RestoreFailure& failure, const std::string& message = {});
    std::string Target(const std::string& table) const;

    AppState& state_;
    RunUi& ui_;
    std::string file_;       // an older copy to restore, or empty
    std::string failReason_; // the status of the failure that ended the run
    RunSkeleton skeleton_;
    ThrottledPump& pump_;
    RestoreReport report_;
    bool absolute_ = true;
    bool safeCopy_ = false;
    unsigned long long maxPacket_ = 0;
    size_t batchBytes_ = kBatchBytes;
    RowSender* sender_ = nullptr; // the run's connection's, while it runs
    TableLoader* loader_ = nullptr; // the second connection, while it runs
    ConnectionParams loaderParams_;
    bool loaderTried_ = false;
    const RestoreFailure* loaderFailure_ = nullptr; // how the loader's table failed
    long long loaderStepped_ = 0; // rows of the loader's table stepped on the bars
    bool loaderShown_ = false;    // the panel shows the loader's table
    bool loaderReported_ = true;  // how the loader's last table ended is known
    long long parallelFromRows_ = kDeferKeysFromRows;
    std::string path_;            // the file being restored
    size_t maxStatement_ = 0;     // its longest allowed line
    // Where each table's rows lie in the file, and the last table with rows.
    std::unordered_map<std::string, std::pair<long long, long long>> fileRowSpans_;
    std::string lastTableWithRows_;
    long long batchFirstMember_ = 0; // rows of the table before the batch
    size_t batchTableSteps_ = 0;     // rows of the batch that step the table bar
    std::unordered_set<std::string> fileTables_; // the tables the file holds
    std::unordered_map<std::string, long long> fileTableRows_; // and the rows of each
    long long deferKeysFromRows_ = kDeferKeysFromRows;
    std::string deferredKeys_; // the ALTER TABLE that adds the current table's keys, or empty
    bool expectClosed_ = false; // the check found the closing line
    bool utcTimestamps_ = false; // the file's TIMESTAMP values are UTC
    bool declined_ = false;     // the user did not want another database
    TableSwap* swap_ = nullptr; // Absolute mode, once planned
    bool swapped_ = false;      // the tables are in
    std::string backupName_;
    std::string logName_;
    std::string lastBackup_;    // LAST_BACKUP of the backup's record
    std::string targetHost_;    // the connection's host and database
    std::string targetDatabase_;
    std::vector<std::string> resultEntries_; // history entries before the outcome
    // Row progress of the current table.
    bool haveRowTotal_ = false;
    long long rowTotal_ = 0;
    long long countedLines_ = 0;
    long long insertedInTable_ = 0;
};
