#include "core/restore/RestoreRun.h"

#include "core/dump/BackupCopies.h"
#include "core/dump/BackupFileGrammar.h"
#include "core/dump/DumpFormat.h"
#include "core/dump/RestoreNames.h"
#include "core/dump/SqlShape.h"
#include "core/engine/BackupRun.h"
#include "core/engine/MysqlClient.h"
#include "core/history/LastFailure.h"
#include "core/restore/BackupFileCheck.h"
#include "core/restore/LineReader.h"
#include "core/restore/TableLoader.h"
#include "core/restore/TableSwap.h"
#include "core/store/Numbers.h"
#include "core/store/Definitions.h"
#include "core/state/BackupLock.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr const char* kIndirectPrefix = "VORDA_";

constexpr const char* kSafeCopyQuestion = "Safe copy not created\r\n\r\nThe source table is either corrupt or "
                                          "does not exist.\r\n\r\nDo you wish to continue?";
constexpr const char* kTerminated = "Restore Terminated";
// What an Absolute restore's failure adds: it fails before its swap.
constexpr const char* kNothingChanged = "\r\n\r\nNothing was changed.";
// How many names a history entry lists before it counts the rest.
constexpr size_t kNamesInEntry = 20;

// "`a`, `b`, `c`", at most kNamesInEntry of them, then "and <n> more".
std::string NamesText(const std::vector<std::string>& names, bool quoted = true)
{
    std::string text;
    for (size_t i = 0; i < names.size() && i < kNamesInEntry; ++i)
        text += (i ? ", " : "") + (quoted ? dump::QuoteName(names[i]) : names[i]);
    if (names.size() > kNamesInEntry)
        text += " and " + std::to_string(names.size() - kNamesInEntry) + " more";
    return text;
}

// The first letter of a sentence in capitals.
std::string Sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

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
// A file that fails the check, or a backup record whose name cannot name
// its file; the message says which.
constexpr RestoreFailure kFileRefused {"File Error", ""};

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
    case RestoreOutcome::Declined:
        return "Declined";
    case RestoreOutcome::NotStarted:
        break;
    }
    return {};
}

std::string RestoreFinalQuestion(RestoreOutcome outcome)
{
    return "Restore " + RestoreResultWord(outcome) + "\r\n\r\nDo you wish to execute another?";
}

RestoreRun::RestoreRun(AppState& state, RunUi& ui)
    : state_(state)
    , ui_(ui)
    , skeleton_(ui, state.clock)
    , pump_(skeleton_.Pump())
{
}

std::string RestoreTargetQuestion(const std::string& fromHost, const std::string& fromDatabase,
                                  const std::string& toHost, const std::string& toDatabase)
{
    return "This backup was made from database " + fromDatabase + " on host " + fromHost
        + ". Restore it into database " + toDatabase + " on host " + toHost + "?";
}

std::string NeverRunText(const std::string& backup)
{
    return "The backup " + backup + " has never run, so there is no backup file of its own to restore.\r\n\r\n"
           "Run the backup first.";
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
    // A deleted connection is not asked for its password: the run fails.
    const bool connectionExists = state_.nameLists.Contains(NameList::Connections, definition.connection);
    const ConnectionDef connection = ConnectionDef::Load(state_.store, definition.connection);
    ConnectionParams params = connection.Params();
    if (connectionExists && !connection.savePassword) {
        // Used for this connect only, never stored.
        std::optional<std::string> typed = ui_.AskPassword(definition.connection);
        if (!typed)
            return {};
        params.password = std::move(*typed);
        // Runs may have started and ended while the prompt was open.
        if (refused())
            return {};
    }
    // A run of this backup in another process holds its lock.
    BackupLock lock;
    if (IsValidName(name)) {
        const BackupLock::Result held = lock.Acquire(state_.paths.dataDir, name, BackupLock::Use::Restore);
        if (held == BackupLock::Result::HeldByRestore || held == BackupLock::Result::HeldByBackup) {
            ui_.ShowMessage(MessageKind::Alert,
                            held == BackupLock::Result::HeldByRestore ? kAnotherRestoreRunning : kBackupRunningForRestore);
            return {};
        }
    }

    // The per-backup lock of the run is taken here, before anything of the
    // backup is read or written.

    state_.restoreRunning = true;
    state_.restoreCancelRequested = false;
    ui_.RunStarted();

    report_ = {};
    absolute_ = state_.settings().restoreMode == RestoreMode::Absolute;
    safeCopy_ = state_.settings().safeCopy;
    haveRowTotal_ = false;
    rowTotal_ = countedLines_ = insertedInTable_ = 0;
    fileTables_.clear();
    fileTableRows_.clear();
    deferredKeys_.clear();
    expectClosed_ = false;
    utcTimestamps_ = false;
    declined_ = false;
    swap_ = nullptr;
    swapped_ = false;
    backupName_ = name;
    lastBackup_ = definition.lastBackup;
    targetHost_ = connection.host;
    targetDatabase_ = connection.database;
    resultEntries_.clear();

    skeleton_.ShowStart(name, "Manual");

    // A record whose stored name is unsound is logged under its list name.
    // A run on an older copy says which one in each of its entries.
    const std::string copyNote = file_.empty() ? std::string() : " - Copy: " + file_.substr(file_.find_last_of('/') + 1);
    const std::string logName = (definition.HasSoundName(name) ? definition.name : name) + copyNote;
    logName_ = logName;
    const std::string path = file_.empty() ? BackupFilePath(state_.paths.dataDir, name) : file_;
    failReason_.clear();
    const long long lineCount = LeadingInteger(definition.lineCount);

    ui_.SetText(RunField::RunStatus, "Attempting to Connect");
    state_.log.AppendEntry(false, "Restore Started: " + logName);
    skeleton_.WaitCursorOn();

    bool failed = false;
    {
        MysqlConnection conn;
        RowSender sender(conn);
        sender_ = &sender;
        // Declared after the connection: its thread ends before the
        // connection closes.
        TableLoader loader;
        loader_ = &loader;
        loaderParams_ = params;
        loaderTried_ = false;
        loaderFailure_ = nullptr;
        loaderReported_ = true;
        // The window stays alive while the server works on one long call
        // (connecting, a large INSERT, a COMMIT).
        conn.SetWaitHook([this] { pump_.Always(); });
        if (!conn.Initialised()) {
            // Without a client handle nothing can be done at all (the library
            // could not even allocate one).
            ReportNoClientHandle();
            std::exit(1);
        }
        if (!definition.HasSoundName(name)) {
            Fail(kFileRefused, DamagedBackupNameText(name) + "\r\n\r\nNothing was restored.");
            failed = true;
        } else if (!connectionExists) {
            Fail(kConnectFailure, backuptext::ConnectionGoneText(definition.connection));
            failed = true;
        } else if (definition.lastBackup.empty() || definition.lastBackup == BackupDef::kNeverProcessed) {
            // Whatever file lies under its name, this backup did not write it.
            Fail(kFileRefused, NeverRunText(name));
            failed = true;
        } else if (!connection.PortRefusal().empty()) {
            Fail(kConnectFailure, connection.PortRefusal());
            failed = true;
        } else if (!conn.Connect(params) || !PrepareSession()) {
            Fail(kConnectFailure);
            failed = true;
        } else {
            ui_.SetText(RunField::RunStatus, "Connected");
            // An older copy must be one of this backup's files.
            if (!IsBackupFileOf(state_.paths.dataDir, name, path)) {
                Fail(kFileFailure);
                failed = true;
            } else {
                failed = RestoreFile(conn, path, lineCount) == LineResult::Failed;
            }
        }
    }

    sender_ = nullptr;
    loader_ = nullptr;
    loaderParams_ = {};
    skeleton_.ShowEnd();

    // What an Absolute restore did to the database: nothing before its swap.
    if (absolute_ && !swapped_)
        resultEntries_.insert(resultEntries_.begin(), "Restore Result: " + logName + " - nothing was changed");
    for (const std::string& entry : resultEntries_)
        state_.log.AppendEntry(false, entry);
    if (failed && failReason_.empty()) {
        // A question answered No (a file without its closing line, a safe
        // copy that could not be made) ends the run without a Fail: the
        // user chose it, nothing went wrong.
        ui_.SetText(RunField::RunMode, kTerminated);
        ui_.SetText(RunField::RunStatus, "Restore Declined");
        state_.log.AppendEntry(false, "Restore Declined: " + logName);
        report_.outcome = RestoreOutcome::Declined;
    } else if (failed) {
        ui_.SetText(RunField::RunMode, kTerminated);
        ui_.SetText(RunField::RunStatus, "Restore Failed");
        state_.log.AppendEntry(false, "Restore Failed: " + logName + " - " + failReason_);
        // The failure itself is in the history log whether or not this is stored.
        (void)StoreLastFailure(state_.store,
                               {name, FormatLocalTime(state_.clock(), kLongTimeFormat), "Restore Failed - " + failReason_});
        report_.outcome = RestoreOutcome::Failed;
    } else if (swapped_ || (!declined_ && !state_.restoreCancelRequested)) {
        // A stop asked for after the swap comes too late: the tables are in.
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

bool RestoreRun::PrepareSession()
{
    if (!sender_->PrepareSession(batchBytes_))
        return false;
    maxPacket_ = sender_->MaxPacket();
    return true;
}

RestoreRun::LineResult RestoreRun::RestoreFile(MysqlConnection& conn, const std::string& path, long long lineCount)
{
    // The longest line the file may hold: a statement the server takes in
    // one packet (one byte of it is the command), once the restore has put
    // its own table name in: VORDA_ before it (Indirect), or a scratch name
    // in its place (Absolute).
    const size_t growth = absolute_ ? dump::kRestoreNameGrowth : std::char_traits<char>::length(kIndirectPrefix);
    size_t maxStatement = LineReader::kDefaultMaxLine;
    if (maxPacket_ > growth + 1 && maxPacket_ - growth - 1 < maxStatement)
        maxStatement = static_cast<size_t>(maxPacket_ - growth - 1);
    LineReader reader(maxStatement, LineReader::LongLines::Refuse);
    if (!reader.Open(path)) {
        Fail(kFileFailure);
        return LineResult::Failed;
    }

    ui_.SetText(RunField::RunStatus, "Checking Backup File");
    BackupFileCheck check(maxStatement, [this] {
        skeleton_.ShowElapsedIfNewSecond();
        pump_.Maybe();
        return !state_.restoreCancelRequested;
    });
    const FileCheckResult result = check.Run(reader);
    switch (result.verdict) {
    case FileCheckResult::Verdict::Cancelled:
        return LineResult::Ok;
    case FileCheckResult::Verdict::Damaged:
        Fail(kFileRefused, BackupFileCheck::DamagedMessage(result));
        return LineResult::Failed;
    case FileCheckResult::Verdict::Unfinished:
    case FileCheckResult::Verdict::Complete:
        break;
    }
    // Only the files this backup's runs wrote are restored: its current file
    // is the one its last run wrote, and an older copy names the backup in
    // its header. A file left under its name by a deleted backup of the same
    // name, or put there by hand, is not.
    const bool olderCopy = path != BackupFilePath(state_.paths.dataDir, backupName_);
    if (result.header.backupName != backupName_ || (!olderCopy && result.header.startTimeText != lastBackup_)) {
        Fail(kFileRefused, "The file " + path.substr(path.find_last_of('/') + 1) + " was not written by the last run of backup "
                               + backupName_ + ": it holds backup \"" + result.header.backupName + "\" of "
                               + result.header.startTimeText + ", and the backup last ran on " + lastBackup_
                               + ".\r\n\r\nNothing was restored.");
        return LineResult::Failed;
    }
    if (result.verdict == FileCheckResult::Verdict::Unfinished
        && ui_.ShowMessage(MessageKind::YesNo, kUnfinishedFileQuestion) != 1)
        return LineResult::Failed;
    if (state_.restoreCancelRequested)
        return LineResult::Ok;
    if (!ConfirmTarget(result.header))
        return LineResult::Ok;
    expectClosed_ = result.verdict == FileCheckResult::Verdict::Complete;
    // TIMESTAMP values are read in the zone they were written in.
    utcTimestamps_ = result.utcTimestamps;
    if (utcTimestamps_ && !conn.Query(std::string("SET SESSION time_zone = '") + kSessionTimeZone + "'")) {
        Fail(kConnectFailure);
        return LineResult::Failed;
    }
    fileTables_.insert(result.tables.begin(), result.tables.end());
    fileRowSpans_.clear();
    lastTableWithRows_.clear();
    for (size_t i = 0; i < result.tables.size() && i < result.tableRows.size(); ++i) {
        fileTableRows_[result.tables[i]] = result.tableRows[i];
        if (i < result.rowsBegin.size() && i < result.rowsEnd.size())
            fileRowSpans_[result.tables[i]] = {result.rowsBegin[i], result.rowsEnd[i]};
        if (result.tableRows[i] > 0)
            lastTableWithRows_ = result.tables[i];
    }
    path_ = path;
    maxStatement_ = maxStatement;

    TableSwap swap(conn);
    if (const std::string refusal = swap.Begin(); !refusal.empty()) {
        Fail(kCreateFailure,
             "Backup restore has errored.\r\n\r\n" + Sentence(refusal) + "\r\n\r\nNothing was restored.");
        return LineResult::Failed;
    }
    if (absolute_) {
        if (const std::string refusal = swap.Plan(result.tables, result.tableRows, safeCopy_); !refusal.empty()) {
            Fail(kCreateFailure, "Backup restore has errored.\r\n\r\n" + Sentence(refusal) + kNothingChanged);
            return LineResult::Failed;
        }
        swap_ = &swap;
        // With safe copies on, a table the database does not hold has none.
        if (safeCopy_) {
            for (size_t i = 0; i < swap.NewTables().size(); ++i) {
                if (ui_.ShowMessage(MessageKind::YesNo, kSafeCopyQuestion) != 1)
                    return LineResult::Failed;
            }
        }
    }

    ui_.SetText(RunField::RunStatus, "Connected");
    if (!reader.Rewind()) {
        Fail(kFileFailure);
        return LineResult::Failed;
    }
    ui_.SetBarRange(RunBar::Overall, BarMaximum(lineCount));
    LineResult replayed = ReplayFile(conn, reader);
    // A run that failed leaves no table half sent on the second connection.
    if (loader_ && !loader_->Idle())
        WaitForLoader(true);
    if (loader_) {
        report_.rowsInserted += loader_->RowsInserted();
        report_.rowsOnSecondConnection = loader_->RowsInserted();
    }
    // Rows an Indirect run keeps after a failure keep the table's keys.
    if (!absolute_ && !deferredKeys_.empty())
        AddDeferredKeys(conn);
    if (absolute_) {
        if (replayed == LineResult::Ok && !state_.restoreCancelRequested)
            replayed = SwapTables(conn);
        swap.DropScratch(); // nothing after the swap
    }
    swap_ = nullptr;
    return replayed;
}

bool RestoreRun::ConfirmTarget(const DumpHeader& header)
{
    if (header.host == targetHost_ && header.database == targetDatabase_)
        return true;
    const std::string places = "from database " + header.database + " on host " + header.host + " into database "
        + targetDatabase_ + " on host " + targetHost_;
    const bool yes = ui_.ShowMessage(MessageKind::YesNo,
                                     RestoreTargetQuestion(header.host, header.database, targetHost_, targetDatabase_))
        == 1;
    state_.log.AppendEntry(false, std::string(yes ? "Restore Into Another Database Confirmed: "
                                                  : "Restore Into Another Database Declined: ")
                                      + logName_ + " - " + places);
    declined_ = !yes;
    return yes;
}

RestoreRun::LineResult RestoreRun::SwapTables(MysqlConnection& conn)
{
    TableSwap& swap = *swap_;
    sender_->UseBatchMode(false);
    ui_.SetText(RunField::RunStatus, "Replacing Tables");
    pump_.Always();
    std::string refusal = swap.Prepare();
    // The last moment a stop is heeded.
    if (refusal.empty() && state_.restoreCancelRequested)
        return LineResult::Ok;
    if (refusal.empty())
        refusal = swap.Swap();
    if (!refusal.empty()) {
        Fail(kCreateFailure, "Backup restore has errored.\r\n\r\n" + Sentence(refusal));
        return LineResult::Failed;
    }
    swapped_ = true;
    const std::vector<std::string> problems = swap.Finish();

    std::string entry = "Restore Result: " + logName_ + " - ";
    const std::vector<std::string> replaced = swap.ReplacedTables();
    const std::vector<std::string> created = swap.NewTables();
    if (!replaced.empty())
        entry += "tables replaced: " + NamesText(replaced);
    if (!created.empty())
        entry += std::string(replaced.empty() ? "" : "; ") + "tables created: " + NamesText(created);
    const std::vector<std::string> copies = swap.SafeCopies();
    if (!copies.empty())
        entry += "; previous rows kept: " + NamesText(copies, false);
    resultEntries_.push_back(entry);
    for (const std::string& problem : problems)
        resultEntries_.push_back("Restore Problem: " + logName_ + " - " + problem);
    if (!problems.empty()) {
        std::string text = "The restored tables are in place, but:";
        for (const std::string& problem : problems)
            text += "\r\n\r\n" + Sentence(problem);
        text += "\r\n\r\nThe previous rows are kept: " + NamesText(copies, false) + ".";
        ui_.ShowMessage(MessageKind::Alert, text);
    }
    return LineResult::Ok;
}

RestoreRun::LineResult RestoreRun::ReplayFile(MysqlConnection& conn, LineReader& reader)
{
    using dump::FileLine;
    dump::BackupFileGrammar grammar(reader.MaxLine());
    grammar.ExpectUtcTimestamps(utcTimestamps_);
    auto failBadLine = [&] {
        sender_->Commit();
        Fail(grammar.ErrorInStructure() ? kCreateFailure : kInsertFailure);
        return LineResult::Failed;
    };
    std::string line;
    bool cancelled = false;
    // After every line that is not part of a CREATE TABLE statement: the
    // elapsed time, events at most every 15 ms, and the stop request.
    auto afterLine = [&] {
        skeleton_.ShowElapsedIfNewSecond();
        pump_.Maybe();
        PollLoader();
        cancelled = state_.restoreCancelRequested;
    };
    while (!cancelled && !loaderFailure_ && reader.Next(line)) {
        ++report_.linesRead;
        const FileLine kind
            = reader.Overlong() ? grammar.FeedOverlong(reader.LineBytes(), reader.MaxLine()) : grammar.Feed(line);
        if (kind == FileLine::Row) {
            if (QueueRow(grammar.Row()) == LineResult::Failed)
                return LineResult::Failed;
            afterLine();
            continue;
        }
        // Whatever the line is, the rows read before it go in first.
        if (FlushRows() == LineResult::Failed)
            return LineResult::Failed;
        // The lines after CREATE TABLE belong to its statement: they are not
        // counted on the bar, and the empty line that ends it sends it.
        if (kind == FileLine::CreateMore)
            continue;
        if (kind == FileLine::CreateEnd) {
            if (CreateTable(conn, grammar) == LineResult::Failed)
                return LineResult::Failed;
            pump_.Always();
            cancelled = state_.restoreCancelRequested;
            continue;
        }
        ui_.StepBar(RunBar::Overall);
        if (kind == FileLine::Bad)
            return failBadLine();
        // The rows of a large table may go on the second connection.
        if (kind == FileLine::Blank && grammar.AtRows()) {
            const HandOver handed = HandOverRows(reader, grammar);
            if (handed == HandOver::Failed)
                return LineResult::Failed;
            if (handed == HandOver::Done) {
                afterLine();
                continue;
            }
        }
        if (line.empty())
            continue;
        if (haveRowTotal_ && countedLines_ < rowTotal_) {
            ++countedLines_;
            ui_.StepBar(RunBar::CurrentTable);
            ui_.SetText(RunField::CurrentMember, std::to_string(insertedInTable_));
        }
        switch (kind) {
        case FileLine::CreateStart:
            // The previous table ends here.
            if (!sender_->Commit()) {
                Fail(kInsertFailure);
                return LineResult::Failed;
            }
            if (!AddDeferredKeys(conn)) {
                Fail(kCreateFailure);
                return LineResult::Failed;
            }
            break;
        case FileLine::DataTitle:
            HandleDumpingData(grammar);
            break;
        default:
            break;
        }
        afterLine();
    }
    // The rows read before the end, or before the stop request, go in, and
    // so do those of the table on the second connection.
    if (FlushRows() == LineResult::Failed)
        return LineResult::Failed;
    if (WaitForLoader(cancelled) == LineResult::Failed)
        return LineResult::Failed;
    if (reader.Failed()) {
        sender_->Commit();
        Fail(kFileFailure);
        return LineResult::Failed;
    }
    if (!cancelled) {
        FileLine end = grammar.FeedEnd();
        if (end == FileLine::CreateEnd) {
            if (CreateTable(conn, grammar) == LineResult::Failed)
                return LineResult::Failed;
            pump_.Always();
            end = grammar.FeedEnd();
        }
        // A file that lost its end since it was checked.
        if (end == FileLine::Bad || (expectClosed_ && !grammar.Closed()))
            return failBadLine();
    }
    if (!sender_->Commit()) {
        Fail(kInsertFailure);
        return LineResult::Failed;
    }
    if (!AddDeferredKeys(conn)) {
        Fail(kCreateFailure);
        return LineResult::Failed;
    }
    return LineResult::Ok;
}

RestoreRun::LineResult RestoreRun::CreateTable(MysqlConnection& conn, const dump::BackupFileGrammar& grammar)
{
    const std::string& table = grammar.Table();
    const std::string& statement = grammar.Statement();
    const std::string target = Target(table);
    sender_->UseBatchMode(false);

    if (!absolute_) {
        // Beside the originals: constraint names take the prefix (a database
        // holds one constraint of a name), and references to the file's own
        // tables point at their VORDA_ copies.
        const dump::StructureRewrite rewrite = dump::RewriteCreateTable(
            statement, kIndirectPrefix + table, kIndirectPrefix,
            [this](const std::string& referenced) -> std::optional<std::string> {
                if (fileTables_.count(referenced))
                    return kIndirectPrefix + referenced;
                return std::nullopt;
            });
        if (!rewrite.Ok()) {
            Fail(kCreateFailure);
            return LineResult::Failed;
        }
        conn.Query("DROP TABLE " + target); // a table that does not exist yet is fine
        if (!ExecuteCreate(conn, table, target, rewrite.statement)) {
            Fail(kCreateFailure);
            return LineResult::Failed;
        }
        return LineResult::Ok;
    }

    // Beside the original, under its scratch name: nothing original is
    // touched before the swap.
    const std::optional<std::string> scratch = swap_->ScratchStatement(table, statement);
    if (!scratch || !ExecuteCreate(conn, table, target, *scratch)) {
        Fail(kCreateFailure);
        return LineResult::Failed;
    }
    return LineResult::Ok;
}

bool RestoreRun::ExecuteCreate(MysqlConnection& conn, const std::string& table, const std::string& target,
                               const std::string& statement)
{
    deferredKeys_.clear();
    const auto rows = fileTableRows_.find(table);
    if (deferKeysFromRows_ <= 0 || rows == fileTableRows_.end() || rows->second < deferKeysFromRows_)
        return sender_->Execute(statement);
    const dump::KeyDeferral split = dump::DeferPlainKeys(statement);
    if (!sender_->Execute(split.createStatement))
        return false;
    if (!split.addKeys.empty())
        deferredKeys_ = "ALTER TABLE " + target + " " + split.addKeys;
    return true;
}

bool RestoreRun::AddDeferredKeys(MysqlConnection& conn)
{
    if (deferredKeys_.empty())
        return true;
    const std::string alter = std::move(deferredKeys_);
    deferredKeys_.clear();
    sender_->UseBatchMode(false);
    return sender_->Execute(alter);
}

RestoreRun::LineResult RestoreRun::QueueRow(const dump::RowStatement& row)
{
    if (!sender_->Takes(row) && FlushRows() == LineResult::Failed)
        return LineResult::Failed;
    if (sender_->BatchEmpty()) {
        batchFirstMember_ = insertedInTable_;
        batchTableSteps_ = 0;
    }
    // What the panel shows as the line is read; the bars step once the row
    // is in (FlushRows).
    if (haveRowTotal_ && countedLines_ < rowTotal_) {
        ++countedLines_;
        ++batchTableSteps_;
        ui_.SetText(RunField::CurrentMember, std::to_string(insertedInTable_));
    }
    ++insertedInTable_;
    sender_->Add(row);
    return LineResult::Ok;
}

RestoreRun::LineResult RestoreRun::FlushRows()
{
    if (sender_->BatchEmpty())
        return LineResult::Ok;
    RowSender::RowHooks hooks;
    hooks.before = [this](size_t i) {
        ui_.StepBar(RunBar::Overall);
        if (i < batchTableSteps_)
            ui_.StepBar(RunBar::CurrentTable);
    };
    hooks.after = [this](size_t i, bool alone) {
        ++report_.rowsInserted;
        // Stepping the bars for thousands of rows, or sending them one by
        // one, takes a while: the window breathes meanwhile.
        if (alone || (i & 63) == 0)
            pump_.Maybe();
    };
    if (sender_->Flush(hooks))
        return LineResult::Ok;
    if (const long long i = sender_->FailedRow(); i >= 0) {
        // The panel as one line at a time leaves it at this line.
        if (i + 1 < static_cast<long long>(batchTableSteps_))
            ui_.SetText(RunField::CurrentMember, std::to_string(batchFirstMember_ + i));
        insertedInTable_ = batchFirstMember_ + i + 1;
    }
    Fail(kInsertFailure);
    return LineResult::Failed;
}

void RestoreRun::HandleDumpingData(const dump::BackupFileGrammar& grammar)
{
    haveRowTotal_ = true;
    rowTotal_ = grammar.RowTotal();
    countedLines_ = 0;
    insertedInTable_ = 0;
    sender_->StartTable(Target(grammar.Table()),
                        swap_ ? swap_->ScratchName(grammar.Table()) : kIndirectPrefix + grammar.Table());
    ui_.TableStarted(grammar.Table());
    ui_.SetBarRange(RunBar::CurrentTable, BarMaximum(rowTotal_));
    ui_.SetText(RunField::TableMembers, grammar.RowTotalText());
    ui_.SetText(RunField::CurrentMember, "0");
}

RestoreRun::HandOver RestoreRun::HandOverRows(LineReader& reader, dump::BackupFileGrammar& grammar)
{
    const std::string& table = grammar.Table();
    const auto span = fileRowSpans_.find(table);
    // A table on its own, or the last with rows, has nothing to go beside;
    // a section not where the check found it is read here, and checked.
    if (parallelFromRows_ <= 0 || grammar.RowTotal() < parallelFromRows_ || table == lastTableWithRows_
        || span == fileRowSpans_.end() || span->second.first != reader.Consumed() || !LoaderReady())
        return HandOver::No;
    TableLoader::Job job;
    job.path = path_;
    job.maxLine = maxStatement_;
    job.begin = span->second.first;
    job.end = span->second.second;
    job.linesBefore = grammar.LineNumber();
    job.table = table;
    job.rows = grammar.RowTotal();
    job.quotedTarget = Target(table);
    job.targetName = swap_ ? swap_->ScratchName(table) : kIndirectPrefix + table;
    job.addKeys = std::move(deferredKeys_);
    deferredKeys_.clear();
    // The rows an Indirect run keeps keep their keys.
    job.keysAfterStop = !absolute_;
    loader_->Start(std::move(job));
    loaderStepped_ = 0;
    loaderShown_ = false;
    loaderReported_ = false;
    ui_.TableGoesBeside(table);
    if (!reader.SkipTo(span->second.second) || !grammar.SkipRows()) {
        Fail(kFileFailure);
        return HandOver::Failed;
    }
    report_.linesRead += grammar.RowTotal();
    haveRowTotal_ = false;
    return HandOver::Done;
}

bool RestoreRun::LoaderReady()
{
    if (!loader_->Connected()) {
        if (loaderTried_)
            return false;
        loaderTried_ = true;
        if (!loader_->Connect(loaderParams_, batchBytes_, utcTimestamps_))
            return false;
    }
    if (!loader_->Idle())
        return false;
    PollLoader();
    return !loaderFailure_;
}

void RestoreRun::PollLoader()
{
    if (!loader_ || !loader_->Connected())
        return;
    // Idle is read first: the rows counted after it are all of the table.
    const bool idle = loader_->Idle();
    const long long in = loader_->RowsIn();
    for (; loaderStepped_ < in; ++loaderStepped_) {
        ui_.StepBar(RunBar::Overall);
        if (loaderShown_)
            ui_.StepBar(RunBar::CurrentTable);
    }
    if (loaderShown_)
        ui_.SetText(RunField::CurrentMember, std::to_string(in));
    if (!idle || loaderFailure_ || loaderReported_)
        return;
    loaderReported_ = true;
    switch (loader_->LastOutcome()) {
    case TableLoader::Outcome::Done:
        ui_.TableDoneBeside(loader_->LastJob().table, in);
        break;
    case TableLoader::Outcome::Stopped:
        break;
    case TableLoader::Outcome::RowRefused:
    case TableLoader::Outcome::BadFile:
        loaderFailure_ = &kInsertFailure;
        break;
    case TableLoader::Outcome::KeysFailed:
        loaderFailure_ = &kCreateFailure;
        break;
    case TableLoader::Outcome::Unreadable:
        loaderFailure_ = &kFileFailure;
        break;
    }
}

RestoreRun::LineResult RestoreRun::WaitForLoader(bool stop)
{
    if (!loader_ || !loader_->Connected())
        return LineResult::Ok;
    if (!loader_->Idle()) {
        // Nothing of this connection stays open while the other one works:
        // its keys may wait for this session's locks.
        sender_->Commit();
        if (stop)
            loader_->Stop();
        // With nothing else to do, the panel follows the table being loaded.
        if (!loaderShown_ && !stop) {
            const TableLoader::Job& job = loader_->LastJob();
            ui_.TableStarted(job.table);
            ui_.SetBarRange(RunBar::CurrentTable, BarMaximum(job.rows));
            ui_.SetText(RunField::TableMembers, std::to_string(job.rows));
            for (long long i = 0; i < loaderStepped_; ++i)
                ui_.StepBar(RunBar::CurrentTable);
            loaderShown_ = true;
        }
        while (!loader_->Wait(std::chrono::milliseconds(15))) {
            skeleton_.ShowElapsedIfNewSecond();
            PollLoader();
            pump_.Always();
            if (state_.restoreCancelRequested)
                loader_->Stop();
        }
    }
    PollLoader();
    if (!loaderFailure_)
        return LineResult::Ok;
    sender_->Commit();
    // A run that failed already has said why.
    if (failReason_.empty())
        Fail(*loaderFailure_);
    return LineResult::Failed;
}

void RestoreRun::Fail(const RestoreFailure& failure, const std::string& message)
{
    failReason_ = failure.status;
    ui_.SetText(RunField::RunMode, kTerminated);
    ui_.SetText(RunField::RunStatus, failure.status);
    std::string text = message.empty() ? std::string(failure.message) : message;
    // An Absolute restore fails before its swap, whatever it had built.
    if (swap_ && !swapped_)
        text += kNothingChanged;
    ui_.ShowMessage(MessageKind::Error, text);
}

std::string RestoreRun::Target(const std::string& table) const
{
    return QuoteIdentifier(swap_ ? swap_->ScratchName(table) : kIndirectPrefix + table);
}
