#include "core/engine/BackupRun.h"

#include "core/dump/DumpFile.h"
#include "core/dump/SqlShape.h"
#include "core/dump/TableStructure.h"
#include "core/engine/RunSkeleton.h"
#include "core/store/Definitions.h"
#include "core/store/Numbers.h"

#include <optional>
#include <utility>
#include <vector>

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

std::string backuptext::SkippedForRestoreEntry(const std::string& backupName)
{
    return "Backup Skipped: " + backupName + " - Restore Running";
}

namespace {

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
// level, and whether it ends a scheduled sequence. Failures before the tables
// are read end it; later ones let it go on with the next backup.
struct BackupFailure {
    const char* message;
    const char* logPrefix;
    bool verbose;
    bool endsSequence;
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

// The bytes an Indirect restore adds to a row statement (the VORDA_ prefix
// of the table name); a row must fit the server's packet with them.
constexpr unsigned long long kRestoreGrowth = 6;

enum class TableOutcome { Done, Cancelled, Failed };

class RunContext {
public:
    RunContext(AppState& state, RunUi& ui, RunKind kind, std::time_t start)
        : state_(state)
        , silent_(ui)
        , panel_(kind == RunKind::Manual ? ui : silent_)
        , skeleton_(panel_, state.clock)
        , pump_(skeleton_.Pump())
        , kind_(kind)
        , start_(start)
    {
        out_.startTimeText = FormatLocalTime(start, kLongTimeFormat);
    }

    BackupOutcome Run(const std::string& name);

private:
    bool Manual() const { return kind_ == RunKind::Manual; }
    // `message` replaces the failure's own message; `logDetail` follows the
    // name in a scheduled run's log entry.
    void Fail(const BackupFailure& failure, const std::string& message = {}, const std::string& logDetail = {});
    // The server's max_allowed_packet, read once per run (0 when unknown).
    unsigned long long PacketLimit();
    void Release();
    TableOutcome BackUpTable(const std::string& table);
    void Finish(bool completed);

    AppState& state_;
    PumpOnlyUi silent_;
    RunUi& panel_;
    RunSkeleton skeleton_;
    ThrottledPump& pump_;
    const RunKind kind_;
    const std::time_t start_;
    BackupOutcome out_;
    std::string backup_; // B: the definition's name, used for the file, header and log
    MysqlConnection conn_;
    DumpFile file_;
    std::string line_;
    std::vector<ColumnDescription> columns_;
    std::vector<KeyColumn> keys_;
    std::optional<unsigned long long> packetLimit_;
};

// Gives back the connection and the temporary file. The running flag is
// cleared by Run once everything, messages included, is done.
void RunContext::Release()
{
    out_.status = RunStatus::Failed;
    if (out_.serverError.empty() && conn_.Initialised())
        out_.serverError = conn_.ErrorText();
    conn_.Abort();
    file_.Discard();
    conn_.Close();
    skeleton_.WaitCursorOff();
}

void RunContext::Fail(const BackupFailure& failure, const std::string& message, const std::string& logDetail)
{
    Release();
    if (Manual()) {
        panel_.ShowMessage(MessageKind::Error, message.empty() ? std::string(failure.message) : message);
        return;
    }
    out_.endsSequence = failure.endsSequence;
    state_.log.AppendEntry(failure.verbose, failure.logPrefix + backup_ + logDetail + " - Backup Failed");
    if (!failure.endsSequence)
        state_.log.AppendEntry(true, "Auto Backup Ended: " + backup_ + " - Elapsed Time: " + skeleton_.ElapsedText());
}

BackupOutcome RunContext::Run(const std::string& name)
{
    const auto refuse = [this](const char* message) {
        out_.status = RunStatus::Refused;
        out_.endsSequence = !Manual();
        if (Manual())
            panel_.ShowMessage(MessageKind::Alert, message);
        return out_;
    };
    if (state_.backupRunning)
        return refuse(backuptext::kAnotherRunning);
    if (state_.restoreRunning)
        return refuse(backuptext::kRestoreRunning);

    const BackupDef definition = BackupDef::Load(state_.store, name);
    const ConnectionDef connection = ConnectionDef::Load(state_.store, definition.connection);
    ConnectionParams params = connection.Params();
    const bool passwordMissing = !connection.savePassword;
    if (passwordMissing && Manual()) {
        // Asked for before anything starts; used for this connect only.
        std::optional<std::string> typed = panel_.AskPassword(definition.connection);
        if (!typed) {
            out_.status = RunStatus::NotStarted;
            return out_;
        }
        params.password = std::move(*typed);
        // Other runs may have started and ended while the prompt was open.
        if (state_.backupRunning)
            return refuse(backuptext::kAnotherRunning);
        if (state_.restoreRunning)
            return refuse(backuptext::kRestoreRunning);
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
        out_.endsSequence = !Manual();
        state_.log.AppendEntry(true, "MySQL Initialization Failure: " + backup_);
        return out_;
    }
    if (!connection.PortRefusal().empty()) {
        Fail(kPortFailure, connection.PortRefusal());
        return out_;
    }
    if (passwordMissing && !Manual()) {
        // Nobody can be asked for it; connecting with an empty password
        // would fail every time.
        Fail(kConnectFailure);
        state_.log.AppendEntry(false, backuptext::PasswordNotSavedEntry(definition.connection));
        return out_;
    }
    // The window stays alive while the server works on one long call (the
    // connect, the row count of a large table, the first rows of a stream).
    conn_.SetWaitHook([this] { pump_.Always(); });
    // All tables are read inside one consistent snapshot, so rows that other
    // clients change during the run neither appear half-way nor vanish. The
    // long write timeout keeps the server from dropping a streamed table
    // while the window waits for the user (a question box during a pump).
    if (!conn_.Connect(params) || !conn_.Query("SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ")
        || !conn_.Query("START TRANSACTION WITH CONSISTENT SNAPSHOT")) {
        Fail(kConnectFailure);
        return out_;
    }
    conn_.Query("SET SESSION net_write_timeout = 3600");
    panel_.SetText(RunField::RunStatus, "Connected");

    if (!file_.Open(BackupFilePath(state_.paths.dataDir, backup_))) {
        Fail(kFileFailure);
        return out_;
    }
    file_.Write(HeaderText({kind_, params.host, params.database, backup_, out_.startTimeText}));
    out_.lineTally = kHeaderLines;

    for (const std::string& table : tables) {
        const TableOutcome t = BackUpTable(table);
        if (t == TableOutcome::Failed)
            return out_;
        if (t == TableOutcome::Cancelled)
            break;
    }
    if (!state_.backupCancelRequested) {
        // The closing line tells a restore that the file is complete.
        file_.Write(ClosingText(static_cast<long long>(tables.size()), static_cast<long long>(out_.rowsWritten)));
        out_.lineTally += kClosingLines;
    }
    Finish(!state_.backupCancelRequested);
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

TableOutcome RunContext::BackUpTable(const std::string& table)
{
    const std::string quoted = QuoteIdentifier(table);
    file_.Write(StructureHeading(table));
    out_.lineTally += kStructureHeadingLines;
    if (!ReadTableStructure(conn_, table, columns_, keys_)) {
        Fail(kDescribeFailure);
        return TableOutcome::Failed;
    }
    const SectionText section = BuildColumnText(columns_, keys_);
    file_.Write(section.text);
    out_.lineTally += section.lines;
    // The structure took a few round trips; let the window breathe.
    pump_.Always();

    if (!conn_.Query("show columns from " + quoted)) {
        Fail(kColumnsFailure);
        return TableOutcome::Failed;
    }
    (void)conn_.StoreResult();

    std::string countText;
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
    const long long rows = LeadingInteger(countText);
    if (rows == 0)
        return state_.backupCancelRequested ? TableOutcome::Cancelled : TableOutcome::Done;

    const long long pages = rows / kPageSize; // P: pages 0..P are read
    const long long step = pages / 7;
    panel_.SetBarRange(RunBar::CurrentTable, static_cast<int>(pages + 1));
    panel_.SetText(RunField::RunStatus, "Backing up " + table);
    panel_.SetText(RunField::TableMembers, countText + " rows");
    panel_.SetText(RunField::CurrentMember, "0");
    file_.Write(DataHeading(table, countText));
    out_.lineTally += kDataHeadingLines;
    panel_.StepBar(RunBar::Overall);

    // A row statement the server would refuse on a restore makes the
    // backup useless: it fails the run instead.
    const unsigned long long packet = PacketLimit();
    unsigned long long longest = 0;

    // The table is streamed in one statement and cut into pages of 100 rows
    // on this side: time stays linear in the rows and memory flat.
    if (!conn_.Query("select * from " + quoted)) {
        Fail(kPageFailure);
        return TableOutcome::Failed;
    }
    long long rowsRead = 0;
    enum class Stream { Ended, Cancelled, Refused, Lost, WriteFailed, TooLong, Changed } stream = Stream::Ended;
    {
        MysqlResult result = conn_.UseResult();
        const unsigned int fields = result.FieldCount();
        bool streamEnded = !result;
        if (!result && conn_.ErrorNumber() != 0)
            stream = Stream::Refused;
        for (long long p = 0; result && p <= pages; ++p) {
            panel_.SetText(RunField::CurrentMember, std::to_string(p * kPageSize));
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
                if (++rowsRead > rows) {
                    stream = Stream::Changed;
                    break;
                }
                line_.clear();
                AppendRowStatement(line_, table, row, lengths, fields);
                // Without its line end.
                if (packet != 0 && line_.size() - 1 + kRestoreGrowth >= packet) {
                    longest = line_.size() - 1;
                    stream = Stream::TooLong;
                    break;
                }
                file_.Write(line_);
                ++out_.lineTally;
                ++out_.rowsWritten;
                pump_.Maybe();
            }
            if (stream == Stream::Lost || stream == Stream::TooLong || stream == Stream::Changed)
                break;
            if (file_.Failed()) {
                stream = Stream::WriteFailed;
                break;
            }
            skeleton_.ShowElapsedIfNewSecond();
            pump_.Always();
            if (state_.backupCancelRequested) {
                stream = Stream::Cancelled;
                break;
            }
            panel_.StepBar(RunBar::CurrentTable);
            if (p == step || p == 2 * step || p == 3 * step || p == 4 * step || p == 5 * step || p == 6 * step)
                panel_.StepBar(RunBar::Overall);
        }
        // A run that stops early does not wait for the rest of a large table:
        // the connection is cut (the run closes it anyway) before the result
        // is released, which would otherwise read every remaining row.
        if (!streamEnded && stream != Stream::Ended)
            conn_.Abort();
    }
    if (stream == Stream::Ended && rowsRead != rows)
        stream = Stream::Changed;
    const std::string quotedName = dump::QuoteName(table);
    switch (stream) {
    case Stream::Ended:
        break;
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
        Fail(kRowTooLongFailure,
             "The table " + quotedName + " holds a row that could not be restored: its row statement of "
                 + std::to_string(longest) + " bytes is longer than the server's packet limit (max_allowed_packet) of "
                 + std::to_string(packet) + " bytes.\r\n\r\nThe backup failed; the previous backup file was kept.",
             " - Table: " + table);
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
    panel_.StepBar(RunBar::Overall);
    pump_.Always();
    if (state_.backupCancelRequested)
        return TableOutcome::Cancelled;
    return TableOutcome::Done;
}

void RunContext::Finish(bool completed)
{
    conn_.Close();
    skeleton_.ShowEnd();

    // The file reaches the disk (a large one takes a while) while the window
    // stays alive.
    if (completed && !PumpWhile(pump_, [this] { return file_.Commit(); })) {
        Fail(kFileFailure);
        return;
    }
    file_.Discard();

    const CInputOutput& store = state_.store;
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
    if (Manual())
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
        RunContext run(state_, ui_, kind, startTime);
        outcome = run.Run(name);
    }
    // Cleared only now that the run has fully returned (a refused run never
    // took the flag: the run that holds it keeps it).
    if (outcome.status != RunStatus::Refused && outcome.status != RunStatus::NotStarted)
        state_.backupRunning = false;
    return outcome;
}
