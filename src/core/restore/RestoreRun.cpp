#include "core/restore/RestoreRun.h"

#include "core/dump/DumpFormat.h"
#include "core/engine/MysqlClient.h"
#include "core/restore/LineReader.h"
#include "core/store/Numbers.h"
#include "core/store/Definitions.h"

#include <errmsg.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr const char* kIndirectPrefix = "VORDA_";
constexpr const char* kSafeCopyPrefix = "SAFE_COPY_";

constexpr const char* kSafeCopyQuestion = "Safe copy not created\r\n\r\nThe source table is either corrupt or "
                                          "does not exist.\r\n\r\nDo you wish to continue?";
constexpr const char* kTerminated = "Restore Terminated";

int BarMaximum(long long value)
{
    if (value < 0)
        return 0;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

} // namespace

// How each failure is reported: the status text on the panel and the Error
// message.
struct RestoreFailure {
    const char* status;
    const char* message;
};

namespace {

constexpr RestoreFailure kConnectFailure {
    "Connection Failed", "The system failed to connect to the designated host. Connection or ISP problem."};
constexpr RestoreFailure kFileFailure {"File Error", "The backup file failed to open."};
constexpr RestoreFailure kCreateFailure {"Table Error", "Backup restore has errored.\r\n\r\nCan not create restore table."};
constexpr RestoreFailure kInsertFailure {"Insertion error", "Backup restore has errored.\r\n\r\nInsertion error."};

} // namespace

std::string RestoreResultWord(RestoreOutcome outcome)
{
    switch (outcome) {
    case RestoreOutcome::Complete:
        return "Complete";
    case RestoreOutcome::Failed:
        return "Failed";
    case RestoreOutcome::Cancelled:
        return "Cancelled";
    case RestoreOutcome::NotStarted:
        break;
    }
    return {};
}

std::string RestoreFinalQuestion(RestoreOutcome outcome)
{
    return "Restore " + RestoreResultWord(outcome) + "\r\n\r\nDo you wish to execute another?";
}

std::string RestoreSessionSqlMode(const std::string& serverMode)
{
    // Modes that would make the server read the file's values differently
    // from how they were written. TRADITIONAL is a group that brings the zero
    // date modes back, so it goes as well (its other members stay listed).
    static const std::vector<std::string> kDropped = {
        "NO_BACKSLASH_ESCAPES", "NO_ZERO_DATE", "NO_ZERO_IN_DATE", "EMPTY_STRING_IS_NULL", "TRADITIONAL",
    };
    std::string mode;
    bool autoValueOnZero = false;
    size_t begin = 0;
    while (begin <= serverMode.size()) {
        size_t end = serverMode.find(',', begin);
        if (end == std::string::npos)
            end = serverMode.size();
        const std::string item = serverMode.substr(begin, end - begin);
        begin = end + 1;
        if (item.empty())
            continue;
        bool dropped = false;
        for (const std::string& d : kDropped)
            dropped = dropped || item == d;
        if (dropped)
            continue;
        autoValueOnZero = autoValueOnZero || item == "NO_AUTO_VALUE_ON_ZERO";
        if (!mode.empty())
            mode += ',';
        mode += item;
    }
    if (!autoValueOnZero)
        mode += mode.empty() ? "NO_AUTO_VALUE_ON_ZERO" : ",NO_AUTO_VALUE_ON_ZERO";
    return mode;
}

RestoreRun::RestoreRun(AppState& state, RunUi& ui)
    : state_(state)
    , ui_(ui)
    , skeleton_(ui, state.clock)
    , pump_(skeleton_.Pump())
{
}

RestoreReport RestoreRun::Run(std::string name)
{
    const auto refused = [this] {
        if (state_.restoreRunning) {
            ui_.ShowMessage(MessageKind::Alert, kAnotherRestoreRunning);
            return true;
        }
        if (state_.backupRunning) {
            ui_.ShowMessage(MessageKind::Alert, kBackupRunningForRestore);
            return true;
        }
        return false;
    };
    if (refused())
        return {};

    const BackupDef definition = BackupDef::Load(state_.store, name);
    const ConnectionDef connection = ConnectionDef::Load(state_.store, definition.connection);
    ConnectionParams params = connection.Params();
    if (!connection.savePassword) {
        // Used for this connect only, never stored.
        std::optional<std::string> typed = ui_.AskPassword(definition.connection);
        if (!typed)
            return {};
        params.password = std::move(*typed);
        // Runs may have started and ended while the prompt was open.
        if (refused())
            return {};
    }

    state_.restoreRunning = true;
    state_.restoreCancelRequested = false;
    ui_.RunStarted();

    report_ = {};
    absolute_ = state_.settings().restoreMode == RestoreMode::Absolute;
    safeCopy_ = state_.settings().safeCopy;
    haveRowTotal_ = false;
    rowTotal_ = countedLines_ = insertedInTable_ = uncommittedRows_ = 0;
    lastTable_.clear();
    lastTarget_.clear();

    skeleton_.ShowStart(name, "Manual");

    const std::string& logName = definition.name;
    const long long lineCount = LeadingInteger(definition.lineCount);

    ui_.SetText(RunField::RunStatus, "Attempting to Connect");
    state_.log.AppendEntry(false, "Restore Started: " + logName);
    skeleton_.WaitCursorOn();

    bool failed = false;
    {
        MysqlConnection conn;
        // The window stays alive while the server works on one long call
        // (connecting, a large INSERT, a COMMIT).
        conn.SetWaitHook([this] { pump_.Always(); });
        if (!conn.Initialised()) {
            // Without a client handle nothing can be done at all (the library
            // could not even allocate one).
            std::fprintf(stderr, "%d: %s \n", CR_OUT_OF_MEMORY, "MySQL client ran out of memory");
            std::exit(1);
        }
        if (!conn.Connect(params) || !PrepareSession(conn)) {
            Fail(kConnectFailure);
            failed = true;
        } else {
            ui_.SetText(RunField::RunStatus, "Connected");
            LineReader reader;
            if (!reader.Open(BackupFilePath(state_.paths.dataDir, name))) {
                Fail(kFileFailure);
                failed = true;
            } else {
                ui_.SetBarRange(RunBar::Overall, BarMaximum(lineCount));
                failed = ReplayFile(conn, reader) == LineResult::Failed;
                reader.Close();
            }
        }
    }

    skeleton_.ShowEnd();

    if (failed) {
        ui_.SetText(RunField::RunMode, kTerminated);
        ui_.SetText(RunField::RunStatus, "Restore Failed");
        state_.log.AppendEntry(false, "Restore Failed: " + logName);
        report_.outcome = RestoreOutcome::Failed;
    } else if (!state_.restoreCancelRequested) {
        ui_.SetText(RunField::RunStatus, "Restore Complete");
        state_.log.AppendEntry(false, "Restore Successful: " + logName);
        report_.outcome = RestoreOutcome::Complete;
    } else {
        ui_.SetText(RunField::RunStatus, "Restore Cancelled");
        state_.log.AppendEntry(false, "Restore Cancelled: " + logName);
        report_.outcome = RestoreOutcome::Cancelled;
    }
    state_.restoreRunning = false;
    return report_;
}

bool RestoreRun::PrepareSession(MysqlConnection& conn)
{
    if (!conn.Query("SELECT @@SESSION.sql_mode, @@SESSION.max_allowed_packet"))
        return false;
    std::string serverMode;
    {
        MysqlResult result = conn.StoreResult();
        MYSQL_ROW row = result.FetchRow();
        if (!row)
            return false;
        serverMode = row[0] ? row[0] : "";
        const long long packet = row[1] ? LeadingInteger(row[1]) : 0;
        maxPacket_ = packet > 0 ? static_cast<unsigned long long>(packet) : 0;
    }
    return conn.Query("SET SESSION sql_mode = '" + conn.Escape(RestoreSessionSqlMode(serverMode))
                      + "', SESSION foreign_key_checks = 0, SESSION autocommit = 0");
}

RestoreRun::LineResult RestoreRun::ReplayFile(MysqlConnection& conn, LineReader& reader)
{
    std::string line;
    while (reader.Next(line)) {
        ++report_.linesRead;
        ui_.StepBar(RunBar::Overall);
        if (line.empty())
            continue;
        if (haveRowTotal_ && countedLines_ < rowTotal_) {
            ++countedLines_;
            ui_.StepBar(RunBar::CurrentTable);
            ui_.SetText(RunField::CurrentMember, std::to_string(insertedInTable_));
        }
        LineResult result = LineResult::Ok;
        switch (ClassifyDumpLine(line)) {
        case DumpLineKind::CreateTable:
            result = HandleCreate(conn, reader, line);
            break;
        case DumpLineKind::InsertInto:
            result = HandleInsert(conn, line, reader.Overlong());
            break;
        case DumpLineKind::DumpingData:
            HandleDumpingData(line);
            break;
        case DumpLineKind::Other:
            break;
        }
        if (result == LineResult::Failed)
            return result;
        skeleton_.ShowElapsedIfNewSecond();
        // Events are let through at most every 15 ms, but the stop request
        // is looked at after every line.
        pump_.Maybe();
        if (state_.restoreCancelRequested)
            break;
    }
    if (reader.Failed()) {
        Commit(conn);
        Fail(kFileFailure);
        return LineResult::Failed;
    }
    if (!Commit(conn)) {
        Fail(kInsertFailure);
        return LineResult::Failed;
    }
    return LineResult::Ok;
}

RestoreRun::LineResult RestoreRun::HandleCreate(MysqlConnection& conn, LineReader& reader, std::string_view line)
{
    // The previous table ends here.
    if (!Commit(conn)) {
        Fail(kInsertFailure);
        return LineResult::Failed;
    }
    const StatementLine parts = SplitStatementLine(line);
    bool cut = reader.Overlong();
    // The rest of the statement: every following line up to the first empty
    // one, joined without separators (column lines begin with two blanks).
    std::string tail(parts.rest);
    std::string next;
    while (reader.Next(next)) {
        ++report_.linesRead;
        if (next.empty())
            break;
        cut = cut || reader.Overlong();
        tail += next;
    }

    if (absolute_ && safeCopy_ && !MakeSafeCopy(conn, parts.table))
        return LineResult::Failed;

    const std::string target = Target(parts.table);
    conn.Query("DROP TABLE " + target); // a table that does not exist yet is fine
    if (cut || !Execute(conn, std::string(parts.head) + target + tail)) {
        Fail(kCreateFailure);
        return LineResult::Failed;
    }
    pump_.Always();
    return LineResult::Ok;
}

bool RestoreRun::MakeSafeCopy(MysqlConnection& conn, const std::string& table)
{
    const std::string copy = QuoteIdentifier(kSafeCopyPrefix + table);
    const std::string source = QuoteIdentifier(table);
    conn.Query("DROP TABLE " + copy);
    // The copy takes the table's own structure, not the one in the file: the
    // table may have changed since the backup, and the copy is there to keep
    // its rows exactly as they are now.
    conn.Query("CREATE TABLE " + copy + " LIKE " + source);
    if (conn.Query("INSERT INTO " + copy + " SELECT * FROM " + source) && Commit(conn))
        return true;
    conn.Query("DROP TABLE " + copy);
    return ui_.ShowMessage(MessageKind::YesNo, kSafeCopyQuestion) == 1;
}

RestoreRun::LineResult RestoreRun::HandleInsert(MysqlConnection& conn, std::string_view line, bool cut)
{
    ++insertedInTable_;
    const StatementLine parts = SplitStatementLine(line);
    if (parts.table != lastTable_ || lastTarget_.empty()) {
        lastTable_ = parts.table;
        lastTarget_ = Target(parts.table);
    }
    statement_.assign(parts.head);
    statement_ += lastTarget_;
    statement_.append(parts.rest);
    if (cut || !Execute(conn, statement_)) {
        Commit(conn);
        Fail(kInsertFailure);
        return LineResult::Failed;
    }
    ++report_.rowsInserted;
    if (++uncommittedRows_ >= kRowsPerCommit && !Commit(conn)) {
        Fail(kInsertFailure);
        return LineResult::Failed;
    }
    return LineResult::Ok;
}

void RestoreRun::HandleDumpingData(std::string_view line)
{
    haveRowTotal_ = true;
    rowTotal_ = RowTotalOf(line);
    countedLines_ = 0;
    insertedInTable_ = 0;
    ui_.SetBarRange(RunBar::CurrentTable, BarMaximum(rowTotal_));
    ui_.SetText(RunField::TableMembers, std::string(RowTotalText(line)));
    ui_.SetText(RunField::CurrentMember, "0");
}

bool RestoreRun::Execute(MysqlConnection& conn, const std::string& sql)
{
    if (maxPacket_ != 0 && sql.size() >= maxPacket_)
        return false;
    return conn.Query(sql);
}

bool RestoreRun::Commit(MysqlConnection& conn)
{
    uncommittedRows_ = 0;
    return conn.Query("COMMIT");
}

void RestoreRun::Fail(const RestoreFailure& failure)
{
    ui_.SetText(RunField::RunMode, kTerminated);
    ui_.SetText(RunField::RunStatus, failure.status);
    ui_.ShowMessage(MessageKind::Error, failure.message);
}

std::string RestoreRun::Target(const std::string& table) const
{
    return QuoteIdentifier(absolute_ ? table : kIndirectPrefix + table);
}
