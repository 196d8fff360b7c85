#include "RestoreTestSupport.h"

#include "core/store/Definitions.h"

#include <QTest>

namespace test {

void RecordingRunUi::SetText(RunField field, const std::string& text)
{
    texts[field].push_back(text);
    if (onText)
        onText(field, text);
}

void RecordingRunUi::SetBarRange(RunBar bar, int maximum)
{
    bars[bar].push_back({maximum, 0});
}

void RecordingRunUi::StepBar(RunBar bar)
{
    auto& list = bars[bar];
    if (list.empty())
        list.push_back({-1, 0}); // stepped before any range was set
    ++list.back().steps;
}

int RecordingRunUi::ShowMessage(MessageKind kind, const std::string& text)
{
    messages.push_back({kind, text});
    if (answers.empty())
        return 0;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::string RecordingRunUi::Last(RunField field)
{
    const auto& list = texts[field];
    return list.empty() ? std::string() : list.back();
}

bool RecordingRunUi::Showed(RunField field, const std::string& text)
{
    for (const std::string& t : texts[field])
        if (t == text)
            return true;
    return false;
}

std::string CrLf(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

std::vector<std::string> WithClosingLine(std::vector<std::string> lines)
{
    long long tables = 0;
    long long rows = 0;
    for (const std::string& line : lines) {
        tables += line.rfind("--- Table structure for table ", 0) == 0;
        rows += line.rfind("INSERT INTO ", 0) == 0;
    }
    lines.push_back("");
    lines.push_back("-- End of Backup File - Tables: " + std::to_string(tables) + " - Rows: " + std::to_string(rows));
    return lines;
}

std::vector<std::string> DumpHeaderLines(const std::string& backupName, const std::string& database)
{
    const std::string rule(60, '-');
    return {
        rule,
        "--",
        "--       WARNING - DO NOT MANUALLY EDIT THIS FILE",
        "--          DOING SO WILL CORRUPT THIS BACKUP",
        "--",
        "-- Vorda Quendal Suite - MySQL Backup File - Manual",
        "-- Software Version: 2.1.2.4",
        "--",
        "-- Host Name / IP Address: 127.0.0.1",
        "-- Database Name: " + database,
        "-- Backup Name: " + backupName,
        "-- Backup TimeStamp: " + std::string(kDumpTimeStamp),
        "--",
        rule,
    };
}

std::string DumpValue(const std::optional<std::string>& value)
{
    if (!value)
        return "NULL";
    std::string out = "'";
    for (char c : *value) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\'': out += "\\'"; break;
        case '"': out += "\\\""; break;
        case '\0': out += "\\0"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\x1a': out += "\\Z"; break;
        default: out += c;
        }
    }
    return out + "'";
}

std::string DumpRow(const std::string& table, const std::vector<std::optional<std::string>>& values)
{
    std::string row = "INSERT INTO `" + table + "` VALUES (";
    for (size_t i = 0; i < values.size(); ++i)
        row += (i ? ", " : "") + DumpValue(values[i]);
    return row + ")";
}

std::string HexLiteral(const std::optional<std::string>& value)
{
    if (!value)
        return "NULL";
    static const char* digits = "0123456789ABCDEF";
    std::string out = "X'";
    for (unsigned char c : *value) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "'";
}

std::vector<std::string> TableRows(ScratchDatabase& db, const std::string& table, const std::string& order)
{
    return QueryRows(db, "SELECT * FROM " + QuoteIdentifier(table) + " ORDER BY " + order);
}

std::vector<std::string> QueryRows(ScratchDatabase& db, const std::string& query)
{
    std::vector<std::string> rows;
    MysqlConnection& conn = db.sql();
    if (!conn.Query(query)) {
        QTest::qFail(("cannot read: " + query + ": " + conn.ErrorText()).c_str(), __FILE__, __LINE__);
        return rows;
    }
    MysqlResult result = conn.StoreResult();
    const unsigned int fields = result.FieldCount();
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = result.FetchRow(&lengths)) {
        std::string text;
        for (unsigned int i = 0; i < fields; ++i) {
            text += i ? "|" : "";
            text += row[i] ? HexLiteral(std::string(row[i], lengths[i])) : "NULL";
        }
        rows.push_back(text);
    }
    return rows;
}

bool TableExists(ScratchDatabase& db, const std::string& table)
{
    return db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '"
                     + db.sql().Escape(table) + "'")
        == "1";
}

std::vector<std::string> DatabaseSnapshot(ScratchDatabase& db)
{
    MysqlConnection& conn = db.sql();
    std::vector<std::string> tables;
    if (!conn.Query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                    "ORDER BY BINARY TABLE_NAME")) {
        QTest::qFail(("cannot list tables: " + conn.ErrorText()).c_str(), __FILE__, __LINE__);
        return {};
    }
    {
        MysqlResult result = conn.StoreResult();
        while (MYSQL_ROW row = result.FetchRow())
            tables.emplace_back(row[0]);
    }
    std::vector<std::string> snapshot;
    for (const std::string& table : tables) {
        std::string entry = "table " + table;
        for (const std::string& query :
             {"SHOW CREATE TABLE " + QuoteIdentifier(table), "CHECKSUM TABLE " + QuoteIdentifier(table) + " EXTENDED"}) {
            if (!conn.Query(query)) {
                QTest::qFail((query + ": " + conn.ErrorText()).c_str(), __FILE__, __LINE__);
                return {};
            }
            MysqlResult result = conn.StoreResult();
            MYSQL_ROW row = result.FetchRow();
            entry += "\n";
            entry += row && row[1] ? row[1] : "(none)";
        }
        snapshot.push_back(entry);
    }
    return snapshot;
}

RestoreFixture::RestoreFixture(const std::string& prefix, Clock clock)
    : state(dir.path(), std::move(clock))
    , db(prefix)
    , name("nightly")
{
    const ConnectionParams p = db.params();
    ConnectionDef site;
    site.name = "site";
    site.host = p.host;
    site.port = std::to_string(p.port);
    site.database = p.database;
    site.user = p.user;
    site.password = p.password;
    site.savePassword = true;
    site.Save(state.store);
    state.nameLists.Add(NameList::Connections, site.name);
    BackupDef backup;
    backup.name = name;
    backup.connection = "site";
    backup.Save(state.store);
    state.nameLists.Add(NameList::Backups, name);
    // The run that wrote the files of DumpHeaderLines.
    BackupDef::StoreLastBackup(state.store, name, kDumpTimeStamp);
    state.selectedName = name;
    SetMode(RestoreMode::Indirect, false);
}

void RestoreFixture::WriteDump(const std::string& bytes, long long lineCount)
{
    WriteFile(DumpPath(), bytes);
    // The backup's last run wrote this file: its record holds the file's time.
    const std::string stamp = "\r\n-- Backup TimeStamp: ";
    if (const size_t at = bytes.find(stamp); at != std::string::npos) {
        const size_t begin = at + stamp.size();
        BackupDef::StoreLastBackup(state.store, name, bytes.substr(begin, bytes.find('\r', begin) - begin));
    }
    if (lineCount < 0)
        lineCount = std::count(bytes.begin(), bytes.end(), '\n');
    BackupDef::StoreLineCount(state.store, name, lineCount);
}

void RestoreFixture::WriteDump(const std::vector<std::string>& lines)
{
    WriteDump(CrLf(WithClosingLine(lines)));
}

void RestoreFixture::SetMode(RestoreMode mode, bool safeCopy)
{
    state.settings().restoreMode = mode;
    state.settings().safeCopy = safeCopy;
}

std::string RestoreFixture::LastLog() const
{
    const auto& entries = state.log.Entries();
    return entries.empty() ? std::string() : entries.back().message;
}

} // namespace test
