#include "core/engine/BackupRun.h"

#include "core/dump/BackupCopies.h"
#include "core/dump/DumpFile.h"
#include "core/dump/RestoreNames.h"
#include "core/dump/SqlShape.h"
#include "core/dump/TableDefinition.h"
#include "core/engine/CountAhead.h"
#include "core/engine/RunSkeleton.h"
#include "core/engine/TablePrefetch.h"
#include "core/history/LastFailure.h"
#include "core/state/BackupLock.h"
#include "core/store/Definitions.h"
#include "core/store/Numbers.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>
#include <vector>

#include <unistd.h>

std::string backuptext::RunQuestion(const std::string& name)
{
    return "Backup: " + name + "\n\r\n\rRun this Backup?";
}

std::string backuptext::ExecuteAnotherQuestion(const std::string& resultWord)
{
    return "Backup " + resultWord + "\r\n\r\nDo you wish to execute another?";
}

std::string backuptext::PasswordNotSavedEntry(const std::string& connectionName)
{
    return "Password Not Saved: " + connectionName
        + " - Scheduled backups can only connect with a saved password";
}

std::string backuptext::ConnectionGoneText(const std::string& connectionName)
{
    return "The connection " + connectionName + " no longer exists.";
}

std::string backuptext::SkippedEntry(const std::string& backupName, const std::string& reason)
{
    return "Backup Skipped: " + backupName + " - " + reason;
}

std::string backuptext::SkippedForRestoreEntry(const std::string& backupName)
{
    return SkippedEntry(backupName, kSkipRestore);
}

std::string backuptext::FailedEntry(const std::string& backupName, const std::string& reason)
{
    return "Backup Failed: " + backupName + " - " + reason;
}

namespace {

// "`a`, `b`": names as the messages quote them.
std::string NamesOf(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + dump::QuoteName(name);
    return text;
}

// What an automatic run sees of the window: nothing but the pump.
class PumpOnlyUi : public SilentRunUi {
public:
    explicit PumpOnlyUi(RunUi& inner) : inner_(inner) {}
    void Pump() override { inner_.Pump(); }

private:
    RunUi& inner_;
};

// How each failure is reported: the manual run's error message, the
// scheduled run's log entry (prefix + name + " - Backup Failed") and its
// level, and whether a scheduled run then ends without its finishing step
// (the "Auto Backup Ended" entry). The prefix without its ": " also starts
// the run's reason.
struct BackupFailure {
    const char* message;
    const char* logPrefix;
    bool verbose;
    bool unfinished;
};
constexpr BackupFailure kConnectFailure {backuptext::kConnectFailed, "Host Connect Failure: ", false, true};
constexpr BackupFailure kFileFailure {backuptext::kFileOpenFailed, "File Open Failure: ", true, true};
constexpr BackupFailure kDescribeFailure {backuptext::kTableErrored, "Database table error: ", false, true};
constexpr BackupFailure kColumnsFailure {backuptext::kTableNotFound, "Table not found: ", false, false};
constexpr BackupFailure kCountFailure {backuptext::kTableErrored, "Row Count Failure: ", false, false};
constexpr BackupFailure kPageFailure {backuptext::kTableErrored, "Database table error: ", false, false};
constexpr BackupFailure kLostFailure {backuptext::kTableErrored, "Connection Lost: ", false, false};
// Failures whose message the run builds (name, port, table and limit).
constexpr BackupFailure kNameFailure {"", "Invalid Backup Name: ", false, true};
constexpr BackupFailure kPortFailure {"", "Invalid Port Number: ", false, true};
constexpr BackupFailure kRowTooLongFailure {"", "Row Over Packet Limit: ", false, false};
constexpr BackupFailure kChangedFailure {"", "Table Changed During Backup: ", false, false};
constexpr BackupFailure kStructureFailure {"", "Table Structure Not Restorable: ", false, false};
constexpr BackupFailure kViewFailure {"", "View Not Backed Up: ", false, false};
constexpr BackupFailure kMissingConnectionFailure {"", "Connection Missing: ", false, true};

// The bytes a restore adds to a row statement (its own name for the table);
// a row must fit the server's packet with them.
constexpr unsigned long long kRestoreGrowth = dump::kRestoreNameGrowth;

// Empty: the table has no rows (and no data section). Redo: its data
// section was taken back; the table is counted on the run's own connection
// and read again.
enum class TableOutcome { Done, Empty, Cancelled, Failed, Redo };

// How the row count of a data heading is found: counted on the run's own
// connection before the rows; forecast by the second connection while the
// rows are read (and held back until it comes); or counted as the rows are
// read (written behind room left for the heading).
enum class Count { Exact, Pending, Reading };

class RunContext {
public:
    RunContext(AppState& state, RunUi& ui, RunKind kind, std::time_t start, BackupRun::CountMode countMode,
               bool readAhead)
        : state_(state)
        , silent_(ui)
        , panel_(kind == RunKind::Manual ? ui : silent_)
        , skeleton_(panel_, state.clock)
        , pump_(skeleton_.Pump())
        , kind_(kind)
        , start_(start)
        , countMode_(countMode)
        , readAhead_(readAhead)
    {
        out_.startTimeText = FormatLocalTime(start, kLongTimeFormat);
    }

    BackupOutcome Run(const std::string& name);

private:
    bool Manual() const { return kind_ == RunKind::Manual; }
    // Whether the user (or the menu page, or the exit) asked the run to
    // stop; looked at after every page, every table, while a count is
    // awaited and while the server is waited for.
    bool CancelRequested() const
    {
        return state_.backupCancelRequested || (!Manual() && state_.sequenceStopRequested);
    }
    // `message` replaces the failure's own message; `logDetail` follows the
    // name in a scheduled run's log entry.
    void Fail(const BackupFailure& failure, const std::string& message = {}, const std::string& logDetail = {});
    // The server's max_allowed_packet, read once per run (0 when unknown).
    unsigned long long PacketLimit();
    void Release();
    TableOutcome BackUpTable(const std::string& table, size_t index);
    // Writes the data section of table `index` of the list. With a count that
    // is still pending the rows are held back until it comes; counted while
    // read, they follow room left for the heading.
    TableOutcome BackUpRows(const std::string& table, size_t index, std::string countText, Count count);
    // The server's estimate of a table's rows (0 when it has none): the
    // page progress of a table counted while it is read goes by it until the
    // count is known.
    long long EstimatedRows(const std::string& table);
    // Writes the data section of table `index` from the spool the second
    // connection read it into; Redo when it has none for it (or its columns
    // differ), and the table is read here.
    TableOutcome BackUpSpooled(const std::string& table, size_t index);
    void FailRowTooLong(const std::string& table, unsigned long long length, unsigned long long packet);
    // Waits for table `index`'s forecast count, letting the window breathe;
    // Pending when the run was cancelled meanwhile.
    CountAhead::State AwaitCount(size_t index, std::string& countText);
    void Finish(bool completed);
    // Keeps `reason` as the run's reason and as the last failure.
    void RecordFailure(const std::string& reason);

    AppState& state_;
    PumpOnlyUi silent_;
    RunUi& panel_;
    RunSkeleton skeleton_;
    ThrottledPump& pump_;
    const RunKind kind_;
    const std::time_t start_;
    const BackupRun::CountMode countMode_;
    const bool readAhead_;
    BackupOutcome out_;
    BackupLock lock_;
    std::string backup_; // B: the definition's name, used for the file, header and log
    // Follows the failure's name in the run's reason, when the failure has
    // no server text (a password that was not saved).
    std::string reasonDetail_;
    MysqlConnection conn_;
    CountAhead countAhead_;
    TablePrefetch prefetch_;
    DumpFile file_;
    dump::TableDefinition definition_;
    std::optional<unsigned long long> packetLimit_;
    // "Table Members:" shows "Waiting" (as it does when the run starts).
    bool membersWaiting_ = true;
};

// Gives back the connection and the temporary file. The running flag is
// cleared by Run once everything, messages included, is done.
void RunContext::Release()
{
    countAhead_.Stop();
    prefetch_.Stop();
    out_.status = RunStatus::Failed;
    if (out_.serverError.empty() && conn_.Initialised())
        out_.serverError = conn_.ErrorText();
    conn_.Abort();
    file_.Discard();
    conn_.Close();
    skeleton_.WaitCursorOff();
}

void RunContext::RecordFailure(const std::string& reason)
{
    out_.reason = reason;
    StoreLastFailure(state_.store, {backup_, FormatLocalTime(state_.clock(), kLongTimeFormat), reason});
}

void RunContext::Fail(const BackupFailure& failure, const std::string& message, const std::string& logDetail)
{
    // A server call cut short by a stop request is a cancel, not a failure.
    if (conn_.StoppedByRequest()) {
        Finish(false);
        return;
    }
    Release();
    std::string prefix = failure.logPrefix;
    if (prefix.size() >= 2 && prefix.compare(prefix.size() - 2, 2, ": ") == 0)
        prefix.resize(prefix.size() - 2);
    std::string reason = prefix + logDetail;
    if (!reasonDetail_.empty())
        reason += " - " + reasonDetail_;
    else if (!out_.serverError.empty())
        reason += " - " + out_.serverError;
    RecordFailure(reason);
    if (Manual()) {
        state_.log.AppendEntry(false, backuptext::FailedEntry(backup_, reason));
        panel_.ShowMessage(MessageKind::Error, message.empty() ? std::string(failure.message) : message);
        return;
    }
    state_.log.AppendEntry(failure.verbose, failure.logPrefix + backup_ + logDetail + " - Backup Failed");
    if (!failure.unfinished)
        state_.log.AppendEntry(true, "Auto Backup Ended: " + backup_ + " - Elapsed Time: " + skeleton_.ElapsedText());
}

BackupOutcome RunContext::Run(const std::string& name)
{
    const auto refuse = [this](const char* message, const char* reason) {
        out_.status = RunStatus::Refused;
        out_.reason = reason;
        if (Manual())
            panel_.ShowMessage(MessageKind::Alert, message);
        return out_;
    };
    if (state_.backupRunning)
        return refuse(backuptext::kAnotherRunning, backuptext::kSkipAnotherBackup);
    if (state_.restoreRunning)
        return refuse(backuptext::kRestoreRunning, backuptext::kSkipRestore);

    const BackupDef definition = BackupDef::Load(state_.store, name);
    const ConnectionDef connection = ConnectionDef::Load(state_.store, definition.connection);
    // A deleted connection is not asked for its password: the run fails.
    const bool connectionExists = state_.nameLists.Contains(NameList::Connections, definition.connection);
    ConnectionParams params = connection.Params();
    const bool passwordMissing = !connection.savePassword;
    if (connectionExists && passwordMissing && Manual()) {
        // Asked for before anything starts; used for this connect only.
        std::optional<std::string> typed = panel_.AskPassword(definition.connection);
        if (!typed) {
            out_.status = RunStatus::NotStarted;
            return out_;
        }
        params.password = std::move(*typed);
        // Other runs may have started and ended while the prompt was open.
        if (state_.backupRunning)
            return refuse(backuptext::kAnotherRunning, backuptext::kSkipAnotherBackup);
        if (state_.restoreRunning)
            return refuse(backuptext::kRestoreRunning, backuptext::kSkipRestore);
    }
    // Runs of this backup in other processes hold its lock. (A record whose
    // name could not name a file fails below without one.)
    if (definition.HasSoundName(name)) {
        switch (lock_.Acquire(state_.paths.dataDir, name, BackupLock::Use::Backup)) {
        case BackupLock::Result::HeldByBackup:
            return refuse(backuptext::kAnotherRunning, backuptext::kSkipBackupElsewhere);
        case BackupLock::Result::HeldByRestore:
            return refuse(backuptext::kRestoreRunning, backuptext::kSkipRestoreElsewhere);
        case BackupLock::Result::Acquired:
        case BackupLock::Result::Failed: // no lock file: the backup file cannot be written either
            break;
        }
    }

    state_.backupRunning = true;
    state_.backupCancelRequested = false;
    panel_.RunStarted();

    skeleton_.ShowStart(name, RunKindText(kind_), start_);

    backup_ = definition.name;
    out_.backupName = backup_;
    // The file is named after the backup: a record whose name could reach
    // outside the data directory, or another backup's file, is not run (and
    // is logged under its list name).
    const bool soundName = definition.HasSoundName(name);
    if (!soundName)
        backup_ = out_.backupName = name;

    if (Manual()) {
        panel_.SetText(RunField::RunStatus, "Attempting to Connect");
        state_.log.AppendEntry(false, "Manual Backup Started: " + backup_);
    } else {
        state_.log.AppendEntry(false, "Auto Backup Executed: " + backup_);
    }

    if (!soundName) {
        Fail(kNameFailure, DamagedBackupNameText(name) + "\r\n\r\nThe backup was not run.");
        return out_;
    }

    // Every table the backup lists is backed up, however many there are.
    const std::vector<std::string>& tables = definition.tables;
    panel_.SetBarRange(RunBar::Overall, static_cast<int>(8 * tables.size()));
    skeleton_.WaitCursorOn();

    if (!conn_.Initialised()) {
        Release();
        RecordFailure("MySQL Initialization Failure");
        state_.log.AppendEntry(true, "MySQL Initialization Failure: " + backup_);
        if (Manual())
            state_.log.AppendEntry(false, backuptext::FailedEntry(backup_, out_.reason));
        return out_;
    }
    if (!connectionExists) {
        // The reason (history, notice, last failure) says which connection.
        reasonDetail_ = backuptext::ConnectionGoneText(definition.connection);
        Fail(kMissingConnectionFailure, backuptext::ConnectionGoneText(definition.connection));
        if (!Manual())
            state_.log.AppendEntry(false, backuptext::ConnectionGoneText(definition.connection));
        return out_;
    }
    if (!connection.PortRefusal().empty()) {
        Fail(kPortFailure, connection.PortRefusal());
        return out_;
    }
    if (passwordMissing && !Manual()) {
        // Nobody can be asked for it; connecting with an empty password
        // would fail every time.
        reasonDetail_ = "the password of connection " + definition.connection + " was not saved";
        Fail(kConnectFailure);
        state_.log.AppendEntry(false, backuptext::PasswordNotSavedEntry(definition.connection));
        return out_;
    }
    // The window stays alive while the server works on one long call (the
    // connect, the row count of a large table, the first rows of a stream).
    conn_.SetWaitHook([this] { pump_.Always(); });
    // A stop request (Cancel, the menu's question, the exit) does not wait
    // for a long server call to end.
    conn_.StopWhen([this] { return CancelRequested(); });
    // All tables are read inside one consistent snapshot, so rows that other
    // clients change during the run neither appear half-way nor vanish. The
    // long write timeout keeps the server from dropping a streamed table
    // while the window waits for the user (a question box during a pump).
    const std::string isolation = "SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ";
    const std::string session = std::string("SET SESSION net_write_timeout = 3600, SESSION sql_quote_show_create = 1, "
                                            "SESSION sql_mode = '', SESSION time_zone = '")
        + kSessionTimeZone + "'";
    if (!conn_.Connect(params) || !conn_.Query(isolation)) {
        Fail(kConnectFailure);
        return out_;
    }
    // The row counts are taken on a second connection, whose snapshot
    // starts right after this one's (see CountAhead); without it, on this one.
    const bool countAhead = countMode_ == BackupRun::CountMode::Ahead && countAhead_.Connect(params);
    // Counted while read, every second table is read on a second connection
    // at the same time. Its snapshot must be this one's: both start while
    // commits are held back for a moment. Without the privilege for that,
    // this connection reads every table.
    std::string unlock;
    if (readAhead_ && countMode_ == BackupRun::CountMode::WhileReading && tables.size() > 1
        && prefetch_.Connect(params, {isolation, session})
        && conn_.Query("SET SESSION lock_wait_timeout = 5")) {
        if (conn_.Query("BACKUP STAGE START") && conn_.Query("BACKUP STAGE BLOCK_COMMIT"))
            unlock = "BACKUP STAGE END";
        else if (conn_.Query("BACKUP STAGE END"), conn_.Query("FLUSH TABLES WITH READ LOCK"))
            unlock = "UNLOCK TABLES";
    }
    if (!conn_.Query("START TRANSACTION WITH CONSISTENT SNAPSHOT")) {
        Fail(kConnectFailure);
        return out_;
    }
    const bool shared = !unlock.empty() && prefetch_.StartSnapshot();
    if ((!unlock.empty() && !conn_.Query(unlock)) || (prefetch_.Connected() && !conn_.Query("SET SESSION lock_wait_timeout = DEFAULT"))) {
        Fail(kConnectFailure);
        return out_;
    }
    if (!shared)
        prefetch_.Stop();
    if (!countAhead || !countAhead_.Start())
        countAhead_.Stop();
    // SHOW CREATE TABLE prints the definition as the restore reads it:
    // backquoted names and every option, whatever the server's own sql_mode
    // (ANSI_QUOTES, NO_TABLE_OPTIONS and the like would change it).
    // TIMESTAMP values (and defaults) are read as UTC, the same in every zone
    // and every hour (a local time repeats when the clock goes back); the
    // file's header says so, and a restore reads them back the same way. A
    // run that cannot read them so does not go on.
    if (!conn_.Query(session)) {
        Fail(kConnectFailure);
        return out_;
    }
    panel_.SetText(RunField::RunStatus, "Connected");

    // A view is not a table: a restore would bring its rows back as one.
    // The run fails before anything is written.
    if (const auto views = dump::ViewsAmong(conn_, tables); views && !views->empty()) {
        Fail(kViewFailure,
             "The backup names " + std::string(views->size() == 1 ? "the view " : "the views ")
                 + NamesOf(*views) + ", which " + (views->size() == 1 ? "is not a table" : "are not tables")
                 + ": edit the backup and leave " + (views->size() == 1 ? "it" : "them")
                 + " out.\r\n\r\nThe backup failed; the previous backup file was kept.",
             " - View: " + views->front());
        return out_;
    }

    // The form the setting asks for; the other form's current file is
    // retired when this one is moved in (Finish).
    if (!file_.Open(BackupFilePath(state_.paths.dataDir, backup_, state_.settings().compress))) {
        Fail(kFileFailure);
        return out_;
    }
    file_.Write(HeaderText({kind_, params.host, params.database, backup_, out_.startTimeText}));
    out_.lineTally = kHeaderLines;
    if (shared) {
        std::vector<std::pair<size_t, std::string>> ahead;
        for (size_t i = 1; i < tables.size(); i += 2)
            ahead.emplace_back(i, tables[i]);
        const unsigned long long packet = PacketLimit();
        prefetch_.Start(std::move(ahead), state_.paths.dataDir,
                        packet > kRestoreGrowth ? packet - kRestoreGrowth : 0);
    }

    for (size_t i = 0; i < tables.size(); ++i) {
        const TableOutcome t = BackUpTable(tables[i], i);
        if (t == TableOutcome::Failed)
            return out_;
        if (t == TableOutcome::Cancelled)
            break;
    }
    if (!CancelRequested()) {
        // The closing line tells a restore that the file is complete.
        file_.Write(ClosingText(static_cast<long long>(tables.size()), static_cast<long long>(out_.rowsWritten)));
        out_.lineTally += kClosingLines;
    }
    Finish(!CancelRequested());
    return out_;
}

unsigned long long RunContext::PacketLimit()
{
    if (!packetLimit_) {
        packetLimit_ = 0;
        if (conn_.Query("SELECT @@SESSION.max_allowed_packet")) {
            MysqlResult result = conn_.StoreResult();
            MYSQL_ROW row = result.FetchRow();
            if (row && row[0] && LeadingInteger(row[0]) > 0)
                packetLimit_ = static_cast<unsigned long long>(LeadingInteger(row[0]));
        }
    }
    return *packetLimit_;
}

TableOutcome RunContext::BackUpTable(const std::string& table, size_t index)
{
    const std::string quoted = QuoteIdentifier(table);
    // A structure the restore would refuse makes the backup useless: it
    // fails the run instead.
    const unsigned long long packet = PacketLimit();
    std::string refusal;
    switch (dump::ReadTableDefinition(conn_, table, packet > kRestoreGrowth + 1 ? packet - kRestoreGrowth - 1 : 0,
                                      definition_, refusal)) {
    case dump::DefinitionRead::Ok:
        break;
    case dump::DefinitionRead::Refused:
        Fail(kDescribeFailure);
        return TableOutcome::Failed;
    case dump::DefinitionRead::Unrestorable:
        Fail(kStructureFailure,
             "The structure of table " + dump::QuoteName(table) + " cannot be written so that a restore accepts it: "
                 + refusal + ".\r\n\r\nThe backup failed; the previous backup file was kept.",
             " - Table: " + table);
        return TableOutcome::Failed;
    }
    file_.Write(StructureTitle(table));
    file_.Write(definition_.structure);
    out_.lineTally += definition_.tallyLines;
    // The structure took a few round trips; let the window breathe.
    pump_.Always();

    if (!conn_.Query("show columns from " + quoted)) {
        Fail(kColumnsFailure);
        return TableOutcome::Failed;
    }
    {
        MysqlResult columns = conn_.StoreResult();
        dump::ReadRowColumns(columns, definition_);
    }

    // The count comes from the rows as they are read, or from the second
    // connection when it is there (a forecast, checked against the rows
    // read), otherwise from this one.
    std::string countText;
    TableOutcome t = TableOutcome::Redo;
    if (prefetch_.Reads(index))
        t = BackUpSpooled(table, index);
    if (t == TableOutcome::Redo && countMode_ == BackupRun::CountMode::WhileReading)
        t = BackUpRows(table, index, countText, Count::Reading);
    else if (t == TableOutcome::Redo && countAhead_.Active())
        t = BackUpRows(table, index, countText, Count::Pending);
    if (t == TableOutcome::Redo) {
        countText.clear();
        if (conn_.Query("select count(*) from " + quoted)) {
            MysqlResult count = conn_.StoreResult();
            MYSQL_ROW row = count.FetchRow();
            if (row && row[0])
                countText = row[0];
        }
        if (countText.empty()) {
            Fail(kCountFailure);
            return TableOutcome::Failed;
        }
        t = LeadingInteger(countText) == 0 ? TableOutcome::Empty : BackUpRows(table, index, countText, Count::Exact);
    }
    if (t == TableOutcome::Empty)
        return CancelRequested() ? TableOutcome::Cancelled : TableOutcome::Done;
    if (t != TableOutcome::Done)
        return t;
    panel_.StepBar(RunBar::Overall);
    pump_.Always();
    if (CancelRequested())
        return TableOutcome::Cancelled;
    return TableOutcome::Done;
}

long long RunContext::EstimatedRows(const std::string& table)
{
    long long estimate = 0;
    if (conn_.Query("SELECT TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '"
                    + conn_.Escape(table) + "'")) {
        MysqlResult result = conn_.StoreResult();
        MYSQL_ROW row = result.FetchRow();
        if (row && row[0])
            estimate = std::max(0LL, LeadingInteger(row[0]));
    }
    return estimate;
}

void RunContext::FailRowTooLong(const std::string& table, unsigned long long length, unsigned long long packet)
{
    Fail(kRowTooLongFailure,
         "The table " + dump::QuoteName(table) + " holds a row that could not be restored: its row statement of "
             + std::to_string(length) + " bytes is longer than the server's packet limit (max_allowed_packet) of "
             + std::to_string(packet) + " bytes.\r\n\r\nThe backup failed; the previous backup file was kept.",
         " - Table: " + table);
}

TableOutcome RunContext::BackUpSpooled(const std::string& table, size_t index)
{
    TablePrefetch::Spool spool;
    TablePrefetch::State state = TablePrefetch::State::Pending;
    for (;;) {
        state = prefetch_.Take(index, ThrottledPump::kInterval, spool);
        if (state != TablePrefetch::State::Pending)
            break;
        skeleton_.ShowElapsedIfNewSecond();
        pump_.Always();
        if (CancelRequested())
            return TableOutcome::Cancelled;
    }
    if (state != TablePrefetch::State::Ready)
        return TableOutcome::Redo;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer {spool.fd};
    // Read under another definition than the one just written (the table
    // changed between the two reads): read again here.
    if (spool.rowColumns != definition_.rowColumns)
        return TableOutcome::Redo;
    if (spool.firstLong != 0) {
        FailRowTooLong(table, spool.firstLong, PacketLimit());
        return TableOutcome::Failed;
    }
    ++out_.tablesReadAhead;
    if (spool.rows == 0)
        return TableOutcome::Empty;

    // The heading with the count, then the rows as read.
    const std::string countText = std::to_string(spool.rows);
    const long long pages = spool.rows / kPageSize;
    const long long step = pages / 7;
    panel_.SetBarRange(RunBar::CurrentTable, static_cast<int>(std::min<long long>(pages + 1, INT_MAX)));
    panel_.TableStarted(table);
    panel_.SetText(RunField::RunStatus, "Backing up " + table);
    // The members wait for their count as they do for a table read here.
    if (!membersWaiting_)
        panel_.SetText(RunField::TableMembers, "Waiting");
    panel_.SetText(RunField::TableMembers, countText + " rows");
    membersWaiting_ = false;
    panel_.SetText(RunField::CurrentMember, "0");
    out_.lineTally += kDataHeadingLines;
    panel_.StepBar(RunBar::Overall);
    file_.Write(DataHeading(table, countText));
    PumpWhile(pump_, [this, &spool] {
        file_.AppendFile(spool.fd, spool.bytes);
        return true;
    });
    if (file_.Failed()) {
        Fail(kFileFailure);
        return TableOutcome::Failed;
    }
    out_.lineTally += spool.rows;
    out_.rowsWritten += static_cast<unsigned long long>(spool.rows);
    // The pages, each shown and stepped as a page read here would be.
    for (long long p = 0; p <= pages; ++p) {
        panel_.SetText(RunField::CurrentMember, std::to_string(p * kPageSize));
        skeleton_.ShowElapsedIfNewSecond();
        pump_.Always();
        if (CancelRequested())
            return TableOutcome::Cancelled;
        panel_.StepBar(RunBar::CurrentTable);
        if (p == step || p == 2 * step || p == 3 * step || p == 4 * step || p == 5 * step || p == 6 * step)
            panel_.StepBar(RunBar::Overall);
    }
    return TableOutcome::Done;
}

CountAhead::State RunContext::AwaitCount(size_t index, std::string& countText)
{
    for (;;) {
        const CountAhead::State state = countAhead_.Wait(index, ThrottledPump::kInterval, countText);
        if (state != CountAhead::State::Pending)
            return state;
        skeleton_.ShowElapsedIfNewSecond();
        pump_.Always();
        if (CancelRequested())
            return CountAhead::State::Pending;
    }
}

TableOutcome RunContext::BackUpRows(const std::string& table, size_t index, std::string countText, Count count)
{
    const std::string quoted = QuoteIdentifier(table);
    // A row statement the server would refuse on a restore makes the
    // backup useless: it fails the run instead.
    const unsigned long long packet = PacketLimit();
    unsigned long long longest = 0;
    const std::string rowStart = RowStatementStart(table, definition_.rowColumns);

    // Where the data section begins, for taking it back.
    const unsigned long long mark = file_.Mark();
    const long long tallyMark = out_.lineTally;
    const unsigned long long rowsMark = out_.rowsWritten;

    // Counted while read: the page progress goes by the server's estimate
    // until the count is known, and the heading's room in the file is left
    // for a count of as many digits as the estimate has (a count of other
    // length moves the rows once they are all written).
    const long long estimate = count == Count::Reading ? EstimatedRows(table) : 0;
    // Without a place to hold the rows, this connection counts.
    const bool held = count == Count::Pending || count == Count::Reading;
    bool holding = held
        && (count == Count::Reading ? file_.Reserve(DataHeading(table, std::to_string(std::max(estimate, 1LL))))
                                    : file_.Hold());
    if (held && !holding)
        return TableOutcome::Redo;
    long long rows = holding ? -1 : LeadingInteger(countText);
    bool provisional = false;
    int overallSteps = 0;

    // The panel's page progress: pages 0 .. rows / 100, each shown as it
    // begins and stepped once read; while the rows are held, it is shown
    // once the count has come, and while they are counted as read, against
    // the estimate.
    long long pages = 0;
    long long step = 0;
    auto showHeading = [&] {
        pages = rows / kPageSize;
        step = pages / 7;
        panel_.SetBarRange(RunBar::CurrentTable, static_cast<int>(pages + 1));
        panel_.TableStarted(table);
        panel_.SetText(RunField::RunStatus, "Backing up " + table);
        panel_.SetText(RunField::TableMembers, countText + " rows");
        membersWaiting_ = false;
        panel_.SetText(RunField::CurrentMember, "0");
        out_.lineTally += kDataHeadingLines;
        panel_.StepBar(RunBar::Overall);
    };
    // Counted while read, once the first row has come: the table's members
    // are "Waiting" for their count, and the pages are shown as they are
    // read against the estimate.
    auto showProvisionalHeading = [&] {
        provisional = true;
        pages = estimate / kPageSize;
        step = pages / 7;
        panel_.SetBarRange(RunBar::CurrentTable, static_cast<int>(std::min<long long>(pages + 1, INT_MAX)));
        panel_.TableStarted(table);
        panel_.SetText(RunField::RunStatus, "Backing up " + table);
        if (!membersWaiting_)
            panel_.SetText(RunField::TableMembers, "Waiting");
        membersWaiting_ = true;
        panel_.SetText(RunField::CurrentMember, "0");
        panel_.StepBar(RunBar::Overall);
    };
    auto showPage = [&](long long p) { panel_.SetText(RunField::CurrentMember, std::to_string(p * kPageSize)); };
    // The overall bar steps at pages s, 2s .. 6s (s = pages / 7, one step at
    // most per page): six times, or once when the table has fewer than 7
    // pages. Against an estimate, it steps no more than the pages read
    // prove (the first step, and six once page 7 has been read).
    auto pageDone = [&](long long p) {
        panel_.StepBar(RunBar::CurrentTable);
        if ((p == step || p == 2 * step || p == 3 * step || p == 4 * step || p == 5 * step || p == 6 * step)
            && (!provisional || overallSteps < (p >= 7 ? 6 : 1))) {
            panel_.StepBar(RunBar::Overall);
            ++overallSteps;
        }
    };
    if (!holding && rows > 0) {
        showHeading();
        file_.Write(DataHeading(table, countText));
    }

    // The table is streamed in one statement and cut into pages of 100 rows
    // on this side: time stays linear in the rows and memory flat.
    if (!conn_.Query("select " + RowSelectList(definition_.rowColumns) + " from " + quoted)) {
        Fail(kPageFailure);
        return TableOutcome::Failed;
    }
    // This connection holds the table now: the second one counts it.
    if (count == Count::Pending)
        countAhead_.Count(index, table);
    long long rowsRead = 0;
    // Misforecast: the forecast count is not the snapshot's (or never came).
    enum class Stream { Going, Cancelled, Refused, Lost, WriteFailed, TooLong, Changed, Misforecast };
    Stream stream = Stream::Going;
    {
        MysqlResult result = conn_.UseResult();
        const unsigned int fields = result.FieldCount();
        bool streamEnded = !result;
        if (!result && conn_.ErrorNumber() != 0)
            stream = Stream::Refused;
        // The forecast count has come: the heading and the held rows go in,
        // and the pages read so far are shown, each as a page read now would
        // be (the window breathes and a stop request is looked at after it).
        auto release = [&](long long pagesRead) {
            rows = LeadingInteger(countText);
            if (rowsRead > rows || (streamEnded && rowsRead != rows)) {
                stream = Stream::Misforecast;
                return;
            }
            holding = false;
            if (rows == 0) {
                file_.Release({});
                return;
            }
            showHeading();
            // The held rows are copied behind the heading while the window
            // breathes: a large table holds tens of megabytes by then.
            const std::string heading = DataHeading(table, countText);
            PumpWhile(pump_, [this, &heading] {
                file_.Release(heading);
                return true;
            });
            for (long long q = 0; q < pagesRead; ++q) {
                showPage(q);
                skeleton_.ShowElapsedIfNewSecond();
                pump_.Always();
                if (CancelRequested()) {
                    stream = Stream::Cancelled;
                    return;
                }
                pageDone(q);
            }
        };
        // Counted while read, every row is read: the count is the rows read.
        // The heading, now known, goes in before the held rows, and the
        // panel shows the count and every page read.
        auto settle = [&] {
            holding = false;
            rows = rowsRead;
            countText = std::to_string(rows);
            if (rows == 0) {
                file_.FillReserved({});
                return;
            }
            pages = rows / kPageSize;
            panel_.SetText(RunField::TableMembers, countText + " rows");
            membersWaiting_ = false;
            panel_.SetBarRange(RunBar::CurrentTable, static_cast<int>(std::min<long long>(pages + 1, INT_MAX)));
            // A step may repaint the bar: the window gets its turn meanwhile.
            for (long long q = 0; q <= pages && q < INT_MAX; ++q) {
                panel_.StepBar(RunBar::CurrentTable);
                pump_.Maybe();
            }
            for (; overallSteps < (pages / 7 == 0 ? 1 : 6); ++overallSteps)
                panel_.StepBar(RunBar::Overall);
            out_.lineTally += kDataHeadingLines;
            // Written in place; when the rows must move, the window breathes
            // meanwhile.
            const std::string heading = DataHeading(table, countText);
            PumpWhile(pump_, [this, &heading] {
                file_.FillReserved(heading);
                return true;
            });
        };
        for (long long p = 0; result && stream == Stream::Going;) {
            if (holding && streamEnded && count == Count::Reading) {
                settle();
                break;
            }
            if (holding && streamEnded) {
                // Every row is read; the heading waits for its count.
                const CountAhead::State state = AwaitCount(index, countText);
                if (state == CountAhead::State::Ready)
                    release(p);
                else
                    stream = state == CountAhead::State::Failed ? Stream::Misforecast : Stream::Cancelled;
                continue;
            }
            if (!holding && rows == 0) {
                // A forecast of no rows: any row proves it wrong.
                unsigned long* lengths = nullptr;
                if (result.FetchRow(&lengths))
                    stream = Stream::Misforecast;
                else if (conn_.ErrorNumber() != 0)
                    stream = Stream::Lost;
                streamEnded = stream == Stream::Going;
                break;
            }
            if (!holding && p > pages)
                break;
            if (!holding || provisional)
                showPage(p);
            for (int inPage = 0; !streamEnded && inPage < kPageSize; ++inPage) {
                unsigned long* lengths = nullptr;
                MYSQL_ROW row = result.FetchRow(&lengths);
                if (!row) {
                    streamEnded = true;
                    if (conn_.ErrorNumber() != 0)
                        stream = Stream::Lost;
                    break;
                }
                // The data heading counts the rows: a row beyond the count
                // would make the file disagree with it.
                if (++rowsRead > rows && !holding) {
                    stream = count == Count::Exact ? Stream::Changed : Stream::Misforecast;
                    break;
                }
                if (rowsRead == 1 && count == Count::Reading) {
                    showProvisionalHeading();
                    showPage(p);
                }
                AppendRowLine(file_.StartLine(), rowStart, row, lengths, fields);
                const size_t length = file_.EndLine();
                if (packet != 0 && length + kRestoreGrowth >= packet) {
                    longest = length;
                    stream = Stream::TooLong;
                    break;
                }
                ++out_.lineTally;
                ++out_.rowsWritten;
                // Events wait at most about 15 ms; the clock is looked at
                // every few rows.
                if ((rowsRead & 15) == 0)
                    pump_.Maybe();
            }
            if (stream != Stream::Going)
                break;
            if (file_.Failed()) {
                stream = Stream::WriteFailed;
                break;
            }
            skeleton_.ShowElapsedIfNewSecond();
            pump_.Always();
            if (CancelRequested()) {
                stream = Stream::Cancelled;
                break;
            }
            if (!holding || provisional)
                pageDone(p);
            ++p;
            if (holding && count == Count::Pending) {
                switch (countAhead_.Poll(index, countText)) {
                case CountAhead::State::Ready:
                    release(p);
                    break;
                case CountAhead::State::Failed:
                    stream = Stream::Misforecast;
                    break;
                case CountAhead::State::Pending:
                    break;
                }
            }
        }
        // A run that stops early does not wait for the rest of a large table:
        // the connection is cut (the run closes it anyway) before the result
        // is released, which would otherwise read every remaining row. A
        // misforecast table is read again on this connection: the rest of
        // its rows are read (and dropped) as the result is released.
        if (!streamEnded && stream != Stream::Going && stream != Stream::Misforecast)
            conn_.Abort();
    }
    if (stream == Stream::Going && rowsRead != rows)
        stream = count == Count::Exact ? Stream::Changed : Stream::Misforecast;
    const std::string quotedName = dump::QuoteName(table);
    switch (stream) {
    case Stream::Going:
        break;
    case Stream::Misforecast:
        file_.RewindTo(mark);
        out_.lineTally = tallyMark;
        out_.rowsWritten = rowsMark;
        return TableOutcome::Redo;
    case Stream::Cancelled:
        return TableOutcome::Cancelled;
    case Stream::Refused:
        Fail(kPageFailure);
        return TableOutcome::Failed;
    case Stream::Lost:
        Fail(kLostFailure);
        return TableOutcome::Failed;
    case Stream::WriteFailed:
        Fail(kFileFailure);
        return TableOutcome::Failed;
    case Stream::TooLong:
        FailRowTooLong(table, longest, packet);
        return TableOutcome::Failed;
    case Stream::Changed:
        Fail(kChangedFailure,
             "The table " + quotedName + " changed while it was backed up: " + countText + " rows were counted, "
                 + (rowsRead > rows ? std::string("but more were read") : "but " + std::to_string(rowsRead) + " were read")
                 + ".\r\n\r\nThe backup failed; the previous "
                   "backup file was kept.",
             " - Table: " + table);
        return TableOutcome::Failed;
    }
    return rows == 0 ? TableOutcome::Empty : TableOutcome::Done;
}

void RunContext::Finish(bool completed)
{
    countAhead_.Stop();
    prefetch_.Stop();
    conn_.Close();
    skeleton_.ShowEnd();

    // The file reaches the disk (a large one takes a while) while the window
    // stays alive. The previous file stays as an older copy, linked under its
    // copy name before the new one replaces it, so a backup file is there at
    // every moment.
    if (completed) {
        BackupRotation rotation(state_.paths.dataDir, backup_);
        const int keep = state_.settings().keepCopies;
        if (keep > 0)
            rotation.KeepCurrent();
        const std::string written = file_.FinalPath();
        if (!PumpWhile(pump_, [this] { return file_.Commit(); })) {
            rotation.Undo();
            Fail(kFileFailure);
            return;
        }
        rotation.RetireOtherForm(written);
        rotation.Prune(keep);
    }
    file_.Discard();

    const SettingsStore& store = state_.store;
    if (completed) {
        out_.status = RunStatus::Completed;
        out_.resultWord = "Complete";
        out_.listRowText = out_.startTimeText;
        panel_.SetText(RunField::RunStatus, "Backup Complete");
        BackupDef::StoreLastBackup(store, backup_, out_.startTimeText);
    } else {
        // The previous backup file is still in place, so LAST_BACKUP and
        // LINE_COUNT keep describing it.
        out_.status = RunStatus::Cancelled;
        out_.resultWord = "Cancelled";
        out_.listRowText = "Backup Cancelled";
        panel_.SetText(RunField::RunStatus, "Backup Cancelled");
    }
    if (Manual() || !completed)
        state_.log.AppendEntry(false, (completed ? "Backup Successful: " : "Backup Cancelled: ") + backup_);
    state_.nameLists.StoreLastRun({backup_, out_.startTimeText, RunKindText(kind_)});
    if (completed)
        BackupDef::StoreLineCount(store, backup_, out_.lineTally);
    if (!Manual())
        state_.log.AppendEntry(true, "Auto Backup Ended: " + backup_ + " - Elapsed Time: " + skeleton_.ElapsedText());
    out_.lastBackup = BackupDef::Load(store, backup_).lastBackup;
}

} // namespace

BackupRun::BackupRun(AppState& state, RunUi& ui)
    : state_(state)
    , ui_(ui)
{
}

BackupOutcome BackupRun::Run(std::string name, RunKind kind, std::time_t startTime)
{
    BackupOutcome outcome;
    {
        RunContext run(state_, ui_, kind, startTime, countMode_, readAhead_);
        outcome = run.Run(name);
    }
    // Cleared only now that the run has fully returned (a refused run never
    // took the flag: the run that holds it keeps it).
    if (outcome.status != RunStatus::Refused && outcome.status != RunStatus::NotStarted)
        state_.backupRunning = false;
    return outcome;
}
