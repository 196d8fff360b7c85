#include "cli/Commands.h"

#include "cli/CliUi.h"
#include "core/dump/BackupCompression.h"
#include "core/dump/BackupCopies.h"
#include "core/dump/DumpFormat.h"
#include "core/engine/BackupRun.h"
#include "core/engine/Scheduler.h"
#include "core/restore/RestoreRun.h"
#include "core/restore/SqlScript.h"
#include "core/state/AppState.h"
#include "core/state/StartupCore.h"
#include "core/store/Definitions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <map>
#include <set>
#include <sys/stat.h>

namespace cli {

namespace {

struct CommandHelp {
    const char* name;
    const char* synopsis;
    const char* summary;
    const char* details;
};

// Every command's own help. Options common to all: --data-dir DIR, --help.
constexpr CommandHelp kCommands[] = {
    {"backup", "backup NAME...", "runs the named backups",
     "Runs each named backup, one after the other, as the Execute page does. A table's rows are shown as\n"
     "they are read. A connection whose password was not saved asks for it on the terminal (without\n"
     "echo); without a terminal the backup does not run. Ends with 1 when any backup did not complete.\n"},
    {"restore", "restore NAME --mode indirect|absolute [--safe-copy] [--copy STAMP] [--yes]", "restores a backup",
     "Restores backup NAME's file into its connection's database, as the Database Backups page does.\n"
     "  --mode absolute        replaces the tables, all or nothing\n"
     "  --mode indirect        builds VORDA_<table> beside each table and leaves the table alone\n"
     "  --safe-copy            (absolute) keeps each replaced table as SAFE_COPY_<table>\n"
     "  --copy STAMP           restores the older copy YYYYMMDD-HHMMSS (see `vorda list`)\n"
     "Every question is answered No unless its option answers it Yes:\n"
     "  --yes                     \"Run this Restore?\"\n"
     "  --accept-unfinished       a file without its closing line (older version, or cut short)\n"
     "  --accept-other-database   a file made from another database or host than the connection's\n"
     "  --accept-no-safe-copy     a table that gets no safe copy because the database lacks it\n"},
    {"check", "check NAME|FILE [--copy STAMP]", "checks a backup file whole",
     "Reads the whole backup file of backup NAME (or the file FILE) as a restore checks it first, and\n"
     "prints the verdict: complete, unfinished (no closing line: an older version wrote it, or it was\n"
     "cut short) or damaged, and why. Ends with 0 only for a complete file.\n"
     "  --copy STAMP           checks the older copy YYYYMMDD-HHMMSS of backup NAME\n"},
    {"list", "list [--json]", "lists connections, backups and schedules",
     "Prints the connections, the backups with their last run, file size, older copies and schedules,\n"
     "and the schedules.\n"
     "  --json                 as one JSON object instead\n"},
    {"run-due", "run-due", "runs the backups whose scheduled time has come",
     "Runs the backups due since the last evaluation of the schedules, exactly as the window's quarter-\n"
     "hour timer does: each slot once, slots missed while nothing evaluated them made up once and logged\n"
     "as missed. The window and this command share that record and never both run one slot. Failures\n"
     "are logged, and shown as desktop notifications when a session bus is there. The systemd user\n"
     "timer vorda-run-due.timer runs it every quarter hour (see `vorda schedule`).\n"},
    {"log", "log [--tail N]", "prints the history log",
     "Prints the history log, oldest entry first, each with its time.\n"
     "  --tail N               only the newest N entries\n"},
    {"sql", "sql NAME|FILE [--prefix P] [--copy STAMP] [--accept-unfinished]",
     "writes a backup file as an SQL script to standard output",
     "Checks the backup file of backup NAME (or the file FILE) and writes it to standard output as a\n"
     "script the mariadb or mysql client runs as it is, for example\n"
     "  vorda sql shop | mariadb -h HOST -u USER -p DATABASE\n"
     "The script drops and creates each table and inserts its rows.\n"
     "  --prefix P             creates the tables as P<table> beside the originals instead\n"
     "  --copy STAMP           the older copy YYYYMMDD-HHMMSS of backup NAME\n"
     "  --accept-unfinished    also a file without its closing line\n"},
    {"schedule", "schedule enable|disable|status", "switches the systemd timer for scheduled backups",
     "Scheduled backups without the window: `enable` starts the systemd user timer vorda-run-due.timer,\n"
     "which runs `vorda run-due` every quarter hour (and at start for a time missed while the computer\n"
     "was off), `disable` stops it, `status` tells whether it is on and when it runs next. On a server\n"
     "nobody logs in to, `loginctl enable-linger` lets the timer run without a login.\n"},
};

const CommandHelp* FindCommand(std::string_view word)
{
    for (const CommandHelp& c : kCommands) {
        if (word == c.name)
            return &c;
    }
    return nullptr;
}

void Print(std::FILE* file, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

void Error(Io& io, const std::string& text)
{
    Print(io.err, OneLine(text) + "\n");
}

// A command's words: options with values ("--mode absolute" or
// "--mode=absolute"), flags, and the other words in order.
struct Words {
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    std::vector<std::string> positional;
    std::string error;

    std::string Get(const std::string& name) const
    {
        const auto found = options.find(name);
        return found == options.end() ? std::string() : found->second;
    }
    bool Has(const std::string& name) const { return options.count(name) || flags.count(name); }
};

Words Parse(const std::vector<std::string>& words, std::set<std::string> valued, std::set<std::string> flags)
{
    valued.insert("--data-dir");
    flags.insert("--help");
    Words parsed;
    bool onlyPositional = false;
    for (size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        if (onlyPositional || word.size() < 2 || word[0] != '-') {
            parsed.positional.push_back(word);
            continue;
        }
        if (word == "--") {
            onlyPositional = true;
            continue;
        }
        if (word == "-h")
            word = "--help";
        std::string value;
        bool hasValue = false;
        if (const size_t eq = word.find('='); eq != std::string::npos) {
            value = word.substr(eq + 1);
            word.resize(eq);
            hasValue = true;
        }
        if (valued.count(word)) {
            if (!hasValue) {
                if (i + 1 >= words.size()) {
                    parsed.error = word + " needs a value";
                    return parsed;
                }
                value = words[++i];
            }
            parsed.options[word] = value;
        } else if (flags.count(word) && !hasValue) {
            parsed.flags.insert(word);
        } else {
            parsed.error = "unknown option " + word;
            return parsed;
        }
    }
    return parsed;
}

std::string Help(const CommandHelp& c)
{
    return std::string("Usage: vorda ") + c.synopsis + " [--data-dir DIR]\n\n" + c.details
           + "  --data-dir DIR         the data folder (default: ~/.local/share/Tesmo/Vorda Quendal System/)\n"
             "  -h, --help             this help\n"
             "Exit status: 0 done, 1 failed, 2 wrong use.\n";
}

// Prints the help on standard output, or the wrong use and the help on
// standard error.
int Usage(Io& io, const CommandHelp& c, const std::string& error = {})
{
    if (error.empty()) {
        Print(io.out, Help(c));
        return kDone;
    }
    Print(io.err, "vorda " + std::string(c.name) + ": " + error + "\n" + Help(c));
    return kWrongUse;
}

// The data folder of the command, created (private) when missing.
std::string DataDir(const Words& words, const Io& io)
{
    std::string dir = words.Has("--data-dir") ? words.Get("--data-dir") : io.dataDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    EnsurePrivateDirectory(dir);
    return dir;
}

// The settings, totals and history log of the data folder, loaded.
struct Session {
    AppState state;
    Session(const std::string& dir, const Clock& clock)
        : state(dir, clock)
    {
        state.config.LoadConfiguration();
        state.log.Load();
    }
};

bool IsBackup(AppState& state, const std::string& name)
{
    return IsValidName(name) && state.nameLists.Contains(NameList::Backups, name);
}

// Why `name` is not found: a settings file that cannot be read is said as
// such, not taken for one without the backup.
std::string NoBackupText(const AppState& state, const std::string& name)
{
    const StoreCheck check = state.store.Check(5000);
    switch (check.health) {
    case StoreHealth::Sound: break;
    case StoreHealth::Damaged: return "The settings file " + state.paths.dbPath + " is damaged: " + check.reason + ".";
    case StoreHealth::Locked:
        return "The settings file " + state.paths.dbPath + " is locked by another program: " + check.reason + ".";
    case StoreHealth::Unreadable:
        return "The settings file " + state.paths.dbPath + " cannot be read: " + check.reason + ".";
    }
    return "There is no backup named \"" + name + "\".";
}

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

long long FileBytes(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size) : -1;
}

// The file a NAME|FILE argument means: the current file of backup NAME (or
// its older copy `stamp`), otherwise the file FILE. Empty after an error
// line; `wrongUse` tells a usage error from a missing file.
std::string ResolveFile(Io& io, AppState& state, const std::string& word, const std::string& stamp, bool& wrongUse)
{
    wrongUse = false;
    if (IsBackup(state, word)) {
        if (stamp.empty()) {
            const std::string path = BackupFilePath(state.paths.dataDir, word);
            if (!IsRegularFile(path)) {
                Error(io, "There is no backup file of backup " + word + " (backup_" + word + ".tbk).");
                return {};
            }
            return path;
        }
        if (!IsCopyStamp(stamp)) {
            wrongUse = true;
            Error(io, "--copy takes a stamp YYYYMMDD-HHMMSS, not \"" + stamp + "\"");
            return {};
        }
        // An older copy of either form, plain or compressed.
        for (const BackupFileEntry& copy : ListBackupCopies(state.paths.dataDir, word)) {
            if (copy.stamp == stamp)
                return copy.path;
        }
        Error(io, "Backup " + word + " has no older copy " + stamp + ".");
        return {};
    }
    if (!stamp.empty()) {
        wrongUse = true;
        Error(io, "--copy needs the name of a backup; there is no backup named \"" + word + "\"");
        return {};
    }
    if (!IsRegularFile(word)) {
        Error(io, "There is no backup and no file named \"" + word + "\".");
        return {};
    }
    return word;
}

// ---------------------------------------------------------------------------

int Backup(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("backup");
    const Words w = Parse(args, {}, {});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (w.positional.empty())
        return Usage(io, help, "name at least one backup");
    Session session(DataDir(w, io), io.clock);
    AppState& state = session.state;
    int status = kDone;
    for (const std::string& name : w.positional) {
        if (!IsBackup(state, name)) {
            Error(io, NoBackupText(state, name));
            status = kFailed;
            continue;
        }
        CliUi ui(io);
        ui.OnStop([&state] { state.backupCancelRequested = true; });
        state.selectedName = name;
        BackupRun run(state, ui);
        const BackupOutcome outcome = run.Run(name, RunKind::Manual, state.clock());
        ui.Finish();
        switch (outcome.status) {
        case RunStatus::Completed:
            Print(io.out, "Backup Complete: " + name + " - " + std::to_string(outcome.rowsWritten) + " rows\n");
            continue;
        case RunStatus::Cancelled:
            Print(io.out, "Backup Cancelled: " + name + "\n");
            break;
        case RunStatus::NotStarted: {
            const BackupDef backup = BackupDef::Load(state.store, name);
            Error(io, "The password of connection " + backup.connection
                          + " was not saved, and no terminal is there to ask for it: backup " + name + " did not run.");
            break;
        }
        case RunStatus::Failed:
        case RunStatus::Refused:
            // The run has shown its message.
            break;
        }
        status = kFailed;
        if (io.stopRequested && io.stopRequested())
            break;
    }
    return status;
}

int Restore(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("restore");
    const Words w = Parse(args, {"--mode", "--copy"},
                          {"--safe-copy", "--yes", "--accept-unfinished", "--accept-other-database",
                           "--accept-no-safe-copy"});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (w.positional.size() != 1)
        return Usage(io, help, "name one backup");
    const std::string mode = w.Get("--mode");
    if (mode != "indirect" && mode != "absolute")
        return Usage(io, help, "--mode is indirect or absolute");
    Session session(DataDir(w, io), io.clock);
    AppState& state = session.state;
    const std::string name = w.positional[0];
    if (!IsBackup(state, name)) {
        Error(io, NoBackupText(state, name));
        return kFailed;
    }
    std::string file;
    if (w.Has("--copy")) {
        bool wrongUse = false;
        file = ResolveFile(io, state, name, w.Get("--copy"), wrongUse);
        if (file.empty())
            return wrongUse ? kWrongUse : kFailed;
    }

    CliUi ui(io);
    const std::string question = "Restore: " + name + "\n\r\n\rRun this Restore?";
    ui.Answer(question, w.flags.count("--yes") > 0, "--yes");
    ui.Answer(kUnfinishedFileQuestion, w.flags.count("--accept-unfinished") > 0, "--accept-unfinished");
    ui.AnswerStartingWith(kRestoreTargetQuestionStart, w.flags.count("--accept-other-database") > 0,
                          "--accept-other-database");
    ui.AnswerStartingWith("Safe copy not created", w.flags.count("--accept-no-safe-copy") > 0,
                          "--accept-no-safe-copy");
    if (ui.ShowMessage(MessageKind::YesNo, question) != 1)
        return kFailed;

    // For this run only; the stored settings stay as they are.
    state.settings().restoreMode = mode == "absolute" ? RestoreMode::Absolute : RestoreMode::Indirect;
    state.settings().safeCopy = w.flags.count("--safe-copy") > 0;
    state.selectedName = name;
    ui.OnStop([&state] { state.restoreCancelRequested = true; });
    RestoreRun run(state, ui);
    if (!file.empty())
        run.SetFile(file);
    const RestoreReport report = run.Run(name);
    ui.Finish();
    switch (report.outcome) {
    case RestoreOutcome::Complete:
        Print(io.out, "Restore Complete: " + name + " - " + std::to_string(report.rowsInserted) + " rows\n");
        return kDone;
    case RestoreOutcome::NotStarted: {
        const BackupDef backup = BackupDef::Load(state.store, name);
        if (!ConnectionDef::Load(state.store, backup.connection).savePassword && !io.askPassword)
            Error(io, "The password of connection " + backup.connection
                          + " was not saved, and no terminal is there to ask for it: nothing was restored.");
        return kFailed;
    }
    case RestoreOutcome::Cancelled:
        Print(io.out, "Restore Cancelled: " + name + "\n");
        return kFailed;
    case RestoreOutcome::Declined:
        // A question answered No: nothing was restored, nothing failed.
        Print(io.out, "Restore Declined: " + name + "\n");
        return kFailed;
    case RestoreOutcome::Failed:
        return kFailed;
    }
    return kFailed;
}

const char* VerdictWord(FileCheckResult::Verdict verdict)
{
    switch (verdict) {
    case FileCheckResult::Verdict::Complete:
        return "complete";
    case FileCheckResult::Verdict::Unfinished:
        return "unfinished";
    case FileCheckResult::Verdict::Damaged:
    case FileCheckResult::Verdict::Cancelled:
        break;
    }
    return "damaged";
}

int Check(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("check");
    const Words w = Parse(args, {"--copy"}, {});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (w.positional.size() != 1)
        return Usage(io, help, "name one backup or file");
    Session session(DataDir(w, io), io.clock);
    bool wrongUse = false;
    const std::string path = ResolveFile(io, session.state, w.positional[0], w.Get("--copy"), wrongUse);
    if (path.empty())
        return wrongUse ? kWrongUse : kFailed;
    SqlScript script;
    const FileCheckResult result = script.Check(path);
    std::string line = path + ": " + VerdictWord(result.verdict) + " - ";
    const std::string counts
        = std::to_string(result.tables.size()) + " tables, " + std::to_string(result.rows) + " rows";
    switch (result.verdict) {
    case FileCheckResult::Verdict::Complete:
        line += "backup " + result.header.backupName + " of " + result.header.startTimeText + ", " + counts;
        break;
    case FileCheckResult::Verdict::Unfinished:
        line += "the file has no closing line: it was written by an older version of Vorda, or it is incomplete; "
                + counts;
        break;
    case FileCheckResult::Verdict::Damaged:
    case FileCheckResult::Verdict::Cancelled:
        line += result.line > 0 ? "line " + std::to_string(result.line) + ": " + result.reason
                                : "the file " + result.reason;
        break;
    }
    Print(io.out, OneLine(line) + "\n");
    return result.verdict == FileCheckResult::Verdict::Complete ? kDone : kFailed;
}

int Sql(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("sql");
    const Words w = Parse(args, {"--prefix", "--copy"}, {"--accept-unfinished"});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (w.positional.size() != 1)
        return Usage(io, help, "name one backup or file");
    const std::string prefix = w.Get("--prefix");
    if (w.Has("--prefix") && (prefix.empty() || !SqlScript::IsValidPrefix(prefix)))
        return Usage(io, help, "--prefix takes letters, digits and underscores");
    Session session(DataDir(w, io), io.clock);
    bool wrongUse = false;
    const std::string path = ResolveFile(io, session.state, w.positional[0], w.Get("--copy"), wrongUse);
    if (path.empty())
        return wrongUse ? kWrongUse : kFailed;
    SqlScript script(prefix);
    const FileCheckResult result = script.Check(path);
    if (result.verdict != FileCheckResult::Verdict::Complete && result.verdict != FileCheckResult::Verdict::Unfinished) {
        Error(io, result.line > 0 ? BackupFileCheck::DamagedMessage(result)
                                  : std::string(backuptext::kFileOpenFailed));
        return kFailed;
    }
    if (result.verdict == FileCheckResult::Verdict::Unfinished) {
        CliUi ui(io);
        ui.Answer(kUnfinishedFileQuestion, w.flags.count("--accept-unfinished") > 0, "--accept-unfinished");
        if (ui.ShowMessage(MessageKind::YesNo, kUnfinishedFileQuestion) != 1)
            return kFailed;
    }
    const std::string error = script.Write([&io](std::string_view text) {
        return std::fwrite(text.data(), 1, text.size(), io.out) == text.size();
    });
    if (std::fflush(io.out) != 0 && error.empty()) {
        Error(io, "vorda sql: the script could not be written");
        return kFailed;
    }
    if (!error.empty()) {
        Error(io, "vorda sql: " + error);
        return kFailed;
    }
    return kDone;
}

QJsonArray JsonList(const std::vector<std::string>& items)
{
    QJsonArray list;
    for (const std::string& item : items)
        list.append(QString::fromStdString(item));
    return list;
}

int List(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("list");
    const Words w = Parse(args, {}, {"--json"});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (!w.positional.empty())
        return Usage(io, help, "unexpected argument " + w.positional[0]);
    Session session(DataDir(w, io), io.clock);
    AppState& state = session.state;
    const auto q = [](const std::string& text) { return QString::fromStdString(text); };

    QJsonArray connections;
    for (const std::string& name : state.nameLists.Load(NameList::Connections)) {
        const ConnectionDef c = ConnectionDef::Load(state.store, name);
        connections.append(QJsonObject {{"name", q(name)},
                                        {"description", q(c.description)},
                                        {"host", q(c.host)},
                                        {"port", q(c.port)},
                                        {"database", q(c.database)},
                                        {"user", q(c.user)},
                                        {"passwordSaved", c.savePassword}});
    }
    QJsonArray backups;
    for (const std::string& name : state.nameLists.Load(NameList::Backups)) {
        const BackupDef b = BackupDef::Load(state.store, name);
        const bool ran = !b.lastBackup.empty() && b.lastBackup != BackupDef::kNeverProcessed;
        QJsonObject backup {{"name", q(name)},
                            {"description", q(b.description)},
                            {"connection", q(b.connection)},
                            {"tables", JsonList(b.tables)},
                            {"schedules", JsonList(b.schedules)},
                            {"lastRun", ran ? QJsonValue(q(b.lastBackup)) : QJsonValue()}};
        QJsonArray copies;
        if (IsValidName(name)) {
            const std::string file = BackupFilePath(state.paths.dataDir, name);
            const zfile::FileSizes sizes = zfile::SizesOf(file);
            backup.insert("file", q(file));
            backup.insert("fileBytes", sizes.fileBytes >= 0 ? QJsonValue(static_cast<double>(sizes.fileBytes)) : QJsonValue());
            backup.insert("textBytes", sizes.textBytes >= 0 ? QJsonValue(static_cast<double>(sizes.textBytes)) : QJsonValue());
            backup.insert("compressed", sizes.compressed);
            for (const BackupFileEntry& copy : ListBackupCopies(state.paths.dataDir, name))
                copies.append(QJsonObject {{"stamp", q(copy.stamp)},
                                           {"file", q(copy.path)},
                                           {"fileBytes", static_cast<double>(FileBytes(copy.path))}});
        }
        backup.insert("olderCopies", copies);
        backups.append(backup);
    }
    QJsonArray schedules;
    for (const std::string& name : state.nameLists.Load(NameList::Schedules)) {
        const ScheduleDef s = ScheduleDef::Load(state.store, name);
        schedules.append(QJsonObject {{"name", q(name)},
                                      {"description", q(s.description)},
                                      {"category", q(s.category)},
                                      {"entries", JsonList(s.entries)}});
    }

    if (w.flags.count("--json")) {
        const QJsonObject all {{"connections", connections}, {"backups", backups}, {"schedules", schedules}};
        Print(io.out, QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString());
        return kDone;
    }
    const auto s = [](const QJsonValue& v) { return v.toString().toStdString(); };
    const auto joined = [](const QJsonArray& list) {
        std::string text;
        for (const QJsonValue& v : list)
            text += (text.empty() ? "" : ", ") + v.toString().toStdString();
        return text.empty() ? std::string("none") : text;
    };
    std::string text = "Connections:\n";
    for (const QJsonValue& v : connections) {
        const QJsonObject c = v.toObject();
        text += "  " + s(c["name"]) + ": " + s(c["user"]) + "@" + s(c["host"]) + ":" + s(c["port"]) + "/"
                + s(c["database"]) + (c["passwordSaved"].toBool() ? "" : " (password not saved)") + "\n";
    }
    text += "Backups:\n";
    for (const QJsonValue& v : backups) {
        const QJsonObject b = v.toObject();
        text += "  " + s(b["name"]) + ": connection " + s(b["connection"]) + ", "
                + std::to_string(b["tables"].toArray().size()) + " tables, schedules: " + joined(b["schedules"].toArray())
                + "\n    last run: " + (b["lastRun"].isNull() ? std::string("never") : s(b["lastRun"]));
        if (!b["fileBytes"].isNull() && b.contains("fileBytes"))
            text += ", file: " + std::to_string(static_cast<long long>(b["fileBytes"].toDouble())) + " bytes";
        else
            text += ", no file";
        const QJsonArray copies = b["olderCopies"].toArray();
        if (!copies.isEmpty()) {
            text += ", older copies:";
            for (const QJsonValue& c : copies)
                text += " " + s(c.toObject()["stamp"]);
        }
        text += "\n";
    }
    text += "Schedules:\n";
    for (const QJsonValue& v : schedules) {
        const QJsonObject c = v.toObject();
        text += "  " + s(c["name"]) + ": " + s(c["category"]) + ", " + joined(c["entries"].toArray()) + "\n";
    }
    Print(io.out, text);
    return kDone;
}

int RunDue(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("run-due");
    const Words w = Parse(args, {}, {});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (!w.positional.empty())
        return Usage(io, help, "unexpected argument " + w.positional[0]);
    Session session(DataDir(w, io), io.clock);
    AppState& state = session.state;
    CliUi ui(io);
    // A stop (systemd stopping the service, Ctrl-C) stops the whole
    // sequence: the run going is cancelled, the rest skipped.
    ui.OnStop([&state] {
        state.sequenceStopRequested = true;
        state.backupCancelRequested = true;
    });
    Scheduler scheduler(state, ui);
    int notices = 0;
    scheduler.SetFailureHandler([&](const FailureNotice& notice) {
        Error(io, "Backup failed: " + notice.backupName + " - " + notice.reason);
        if (state.settings().notifyFailure && io.notify && io.notify("Backup failed: " + notice.backupName, notice.reason))
            ++notices;
    });
    scheduler.Tick();
    int status = kDone;
    for (const BackupOutcome& outcome : scheduler.LastOutcomes()) {
        if (outcome.status == RunStatus::Completed)
            Print(io.out, "Backup Complete: " + outcome.backupName + " - " + std::to_string(outcome.rowsWritten)
                              + " rows\n");
        else
            status = kFailed;
        if (outcome.status == RunStatus::Cancelled)
            Print(io.out, "Backup Cancelled: " + outcome.backupName + "\n");
    }
    if (state.sequenceStopRequested)
        status = kFailed;
    return status;
}

int Log(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("log");
    const Words w = Parse(args, {"--tail"}, {});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (!w.positional.empty())
        return Usage(io, help, "unexpected argument " + w.positional[0]);
    size_t tail = HistoryLog::kCapacity;
    if (w.Has("--tail")) {
        const std::string text = w.Get("--tail");
        if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
            return Usage(io, help, "--tail takes a number of entries");
        tail = static_cast<size_t>(std::stoul(text));
    }
    Session session(DataDir(w, io), io.clock);
    const std::vector<HistoryEntry>& entries = session.state.log.Entries();
    std::string text;
    for (size_t i = entries.size() > tail ? entries.size() - tail : 0; i < entries.size(); ++i)
        text += entries[i].timestamp + ": " + OneLine(entries[i].message) + "\n";
    Print(io.out, text);
    return kDone;
}

int Schedule(const std::vector<std::string>& args, Io& io)
{
    const CommandHelp& help = *FindCommand("schedule");
    const Words w = Parse(args, {}, {});
    if (!w.error.empty() || w.flags.count("--help"))
        return Usage(io, help, w.error);
    if (w.positional.size() != 1)
        return Usage(io, help, "say enable, disable or status");
    const std::string& action = w.positional[0];
    std::vector<std::string> call;
    if (action == "enable" || action == "disable")
        call = {action, "--now", kTimerUnit};
    else if (action == "status")
        call = {"show", kTimerUnit, "--property=UnitFileState,ActiveState,NextElapseUSecRealtime,LastTriggerUSec"};
    else
        return Usage(io, help, "say enable, disable or status, not " + action);
    if (!io.systemctl) {
        Error(io, "systemctl is not available here.");
        return kFailed;
    }
    std::string output;
    if (io.systemctl(call, output) != 0) {
        Error(io, "systemctl --user could not " + action + " " + kTimerUnit + ".");
        return kFailed;
    }
    if (action != "status") {
        Print(io.out, std::string("Scheduled backups without the window are ")
                          + (action == "enable" ? "on: " : "off: ") + kTimerUnit + " is "
                          + (action == "enable" ? "enabled and started.\n" : "disabled and stopped.\n"));
        return kDone;
    }
    std::map<std::string, std::string> values;
    size_t begin = 0;
    while (begin < output.size()) {
        size_t end = output.find('\n', begin);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(begin, end - begin);
        if (const size_t eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
        begin = end + 1;
    }
    const auto shown = [&values](const char* key) {
        const std::string& v = values[key];
        return v.empty() || v == "n/a" ? std::string("-") : v;
    };
    Print(io.out, std::string(kTimerUnit) + ": " + shown("UnitFileState") + ", " + shown("ActiveState")
                      + "\nNext run: " + shown("NextElapseUSecRealtime") + "\nLast run: " + shown("LastTriggerUSec")
                      + "\n");
    return kDone;
}

using CommandFunction = int (*)(const std::vector<std::string>&, Io&);
const std::map<std::string_view, CommandFunction>& Functions()
{
    static const std::map<std::string_view, CommandFunction> functions = {
        {"backup", Backup}, {"restore", Restore}, {"check", Check}, {"list", List},
        {"run-due", RunDue}, {"log", Log},         {"sql", Sql},     {"schedule", Schedule},
    };
    return functions;
}

} // namespace

bool IsCommand(std::string_view word)
{
    return FindCommand(word) != nullptr;
}

bool IsCommandLine(const std::vector<std::string>& words)
{
    size_t i = 0;
    while (i < words.size()) {
        if (words[i] == "--data-dir")
            i += 2;
        else if (words[i].starts_with("--data-dir="))
            i += 1;
        else
            break;
    }
    return i < words.size() && IsCommand(words[i]);
}

std::string CommandSummary()
{
    std::string text = "Commands (each without a window; `vorda COMMAND --help` tells more):\n";
    for (const CommandHelp& c : kCommands) {
        std::string line = std::string("  ") + c.synopsis;
        text += line + "\n      " + c.summary + "\n";
    }
    return text;
}

int Run(const std::vector<std::string>& words, Io& io)
{
    // "--data-dir DIR" may stand before the command as well.
    std::vector<std::string> leading;
    size_t i = 0;
    while (i < words.size() && (words[i] == "--data-dir" || words[i].starts_with("--data-dir="))) {
        const bool joined = words[i] != "--data-dir";
        if (!joined && i + 1 >= words.size()) {
            Print(io.err, "vorda: --data-dir needs a value\n");
            return kWrongUse;
        }
        leading.push_back(words[i]);
        if (!joined)
            leading.push_back(words[i + 1]);
        i += joined ? 1 : 2;
    }
    if (i >= words.size() || !IsCommand(words[i])) {
        Print(io.err, "vorda: " + (i < words.size() ? "unknown command " + words[i] : std::string("no command"))
                          + "\n" + CommandSummary());
        return kWrongUse;
    }
    std::vector<std::string> args(words.begin() + static_cast<long>(i) + 1, words.end());
    args.insert(args.begin(), leading.begin(), leading.end());
    return Functions().at(words[i])(args, io);
}

} // namespace cli
