#pragma once

#include "TestSupport.h"
#include "core/state/AppState.h"
#include "core/engine/BackupRun.h"
#include "core/store/Definitions.h"
#include "core/store/StoreKeys.h"

#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test {

// A moment given in UTC (the engine tests run with TZ=UTC).
inline std::time_t Utc(int year, int month, int day, int hour, int minute)
{
    std::tm t {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return timegm(&t);
}

// Stores a connection to `p` (the port as `portText` when given, the
// password saved) and adds it to its list.
inline void DefineConnection(AppState& state, const std::string& name, const ConnectionParams& p,
                             const std::string& portText = {})
{
    ConnectionDef c;
    c.name = name;
    c.host = p.host;
    c.port = portText.empty() ? std::to_string(p.port) : portText;
    c.database = p.database;
    c.user = p.user;
    c.password = p.password;
    c.savePassword = true;
    c.Save(state.store);
    state.nameLists.Add(NameList::Connections, name);
}

// Stores a new backup as the backup editor does (`tables` and `schedules`
// as bar lists) and adds it to its list.
inline void DefineBackup(AppState& state, const std::string& name, const std::string& connection,
                         const std::string& tables, const std::string& schedules = {})
{
    BackupDef b;
    b.name = name;
    b.connection = connection;
    b.tables = SplitBarList(tables);
    b.schedules = SplitBarList(schedules);
    b.Save(state.store);
    BackupDef::StoreNeverProcessed(state.store, name);
    state.nameLists.Add(NameList::Backups, name);
}

// Stores a schedule of `category` with `entries` (a bar list) and adds it to
// its list, raising the total, as the schedule editor does.
inline void DefineSchedule(AppState& state, const std::string& name, const char* category,
                           const std::string& entries)
{
    ScheduleDef s;
    s.name = name;
    s.category = category;
    s.entries = SplitBarList(entries);
    s.Save(state.store);
    state.nameLists.Add(NameList::Schedules, name);
    state.nameLists.RaiseTotal(NameList::Schedules);
}

// A run panel that records everything a run shows and lets a test act at
// the moments a run hands control to the window.
class RecordingUi : public RunUi {
public:
    void SetText(RunField field, const std::string& text) override
    {
        texts.emplace_back(field, text);
        if (onText)
            onText(field, text);
    }
    void SetBarRange(RunBar bar, int maximum) override
    {
        if (range.count(bar))
            closedRanges[bar].emplace_back(range[bar], steps[bar]);
        range[bar] = maximum;
        steps[bar] = 0;
    }
    void StepBar(RunBar bar) override
    {
        ++steps[bar];
        ++totalSteps[bar];
    }
    int ShowMessage(MessageKind kind, const std::string& text) override
    {
        messages.emplace_back(kind, text);
        return 0;
    }
    void Pump() override
    {
        ++pumps;
        if (onPump)
            onPump();
    }
    void SetWaitCursor(bool on) override { cursor.push_back(on); }
    void RunStarted() override { ++started; }
    // Answers from `passwords` (nullopt, as Cancel, when it is empty).
    std::optional<std::string> AskPassword(const std::string& connectionName) override
    {
        askedPasswords.push_back(connectionName);
        if (passwords.empty())
            return std::nullopt;
        std::optional<std::string> answer = passwords.front();
        passwords.erase(passwords.begin());
        return answer;
    }

    // The texts shown in one field, in order.
    std::vector<std::string> Texts(RunField field) const
    {
        std::vector<std::string> shown;
        for (const auto& [f, text] : texts) {
            if (f == field)
                shown.push_back(text);
        }
        return shown;
    }

    std::vector<std::pair<RunField, std::string>> texts;
    std::map<RunBar, int> range;
    std::map<RunBar, int> steps;
    // Each range a bar had before it was set anew, with the steps it took.
    std::map<RunBar, std::vector<std::pair<int, int>>> closedRanges;
    std::map<RunBar, int> totalSteps;
    std::vector<std::pair<MessageKind, std::string>> messages;
    std::vector<bool> cursor;
    int pumps = 0;
    int started = 0;
    std::vector<std::optional<std::string>> passwords;
    std::vector<std::string> askedPasswords;
    std::function<void()> onPump;
    std::function<void(RunField, const std::string&)> onText;
};

// A data directory with its own settings store and log, a fixed clock and
// helpers to define connections and backups.
struct RunFixture {
    TempDataDir dir;
    std::time_t now = 1796609675; // Monday, December 07, 2026 02:14:35 UTC
    AppState state {dir.path(), [this] { return now; }};
    RecordingUi ui;

    void connection(const std::string& name, const ConnectionParams& p, const std::string& portText = {})
    {
        DefineConnection(state, name, p, portText);
    }
    // `tables` and `schedules` as bar lists.
    void backup(const std::string& name, const std::string& connectionName, const std::string& tables,
                const std::string& schedules = {})
    {
        DefineBackup(state, name, connectionName, tables, schedules);
    }
    void schedule(const std::string& name, const char* category, const std::string& entries)
    {
        DefineSchedule(state, name, category, entries);
    }
    BackupOutcome run(const std::string& name, RunKind kind = RunKind::Manual)
    {
        BackupRun r(state, ui);
        r.SetCountMode(countFirst ? BackupRun::CountMode::First : countMode);
        r.SetReadAhead(readAhead);
        return r.Run(name, kind, now);
    }
    // Runs count each table on their own connection before its rows.
    bool countFirst = false;
    // Otherwise, how they count it.
    BackupRun::CountMode countMode = BackupRun::CountMode::WhileReading;
    // Every second table read on a second connection at the same time.
    bool readAhead = true;
    std::string path(const std::string& backupName) const { return BackupFilePath(dir.path(), backupName); }
    std::string file(const std::string& backupName) const { return ReadFile(path(backupName)); }
    // The backup as stored (with its run facts).
    BackupDef saved(const std::string& backupName) const { return BackupDef::Load(state.store, backupName); }
    std::string counter(const char* key) const { return state.store.GetValue(keys::kCountersTable, key); }
    std::vector<std::string> log() const
    {
        std::vector<std::string> texts;
        for (const auto& e : state.log.Entries())
            texts.push_back((e.verbose ? "V " : "S ") + e.message);
        return texts;
    }
};

// The lines of a backup file without their CR LF ends.
inline std::vector<std::string> Lines(const std::string& file)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < file.size()) {
        size_t end = file.find("\r\n", start);
        if (end == std::string::npos)
            end = file.size();
        lines.push_back(file.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// Every row of a query, NULLs kept apart from empty texts.
inline std::vector<std::vector<std::optional<std::string>>> AllRows(MysqlConnection& conn, const std::string& query)
{
    std::vector<std::vector<std::optional<std::string>>> rows;
    if (!conn.Query(query))
        return rows;
    MysqlResult result = conn.StoreResult();
    const unsigned int fields = result.FieldCount();
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = result.FetchRow(&lengths)) {
        std::vector<std::optional<std::string>> values;
        for (unsigned int i = 0; i < fields; ++i)
            values.push_back(row[i] ? std::optional<std::string>(std::string(row[i], lengths[i])) : std::nullopt);
        rows.push_back(std::move(values));
    }
    return rows;
}

// Drops `table` from another connection at the first pump of a run, which
// follows the first table's structure section. A lock held by the run would
// make the drop wait; the short lock timeout turns that into a failure.
inline void DropAtFirstPump(RecordingUi& ui, ScratchDatabase& db, const std::string& table, bool& dropped)
{
    db.exec("SET SESSION lock_wait_timeout = 10");
    ui.onPump = [&db, table, &dropped] {
        if (!dropped) {
            dropped = true;
            db.exec("DROP TABLE " + QuoteIdentifier(table));
        }
    };
}

// Fills `table` (which has an int key `id` and a varchar `v`) with rows 1..n.
inline void FillRows(ScratchDatabase& db, const std::string& table, int n)
{
    if (n > 0)
        db.exec("INSERT INTO " + QuoteIdentifier(table) + " SELECT seq, CONCAT('v', seq) FROM seq_1_to_"
                + std::to_string(n));
}

// Creates tables of an int key `id` and a varchar `v`, each filled with its
// rows 1..n.
inline void CreateFilledTables(ScratchDatabase& db, const std::vector<std::pair<std::string, int>>& tables)
{
    for (const auto& [table, rows] : tables) {
        db.exec("CREATE TABLE " + QuoteIdentifier(table) + " (id int NOT NULL PRIMARY KEY, v varchar(20))");
        FillRows(db, table, rows);
    }
}

} // namespace test
