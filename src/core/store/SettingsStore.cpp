#include "core/store/SettingsStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace {

// Table names are made by the program from validated definition names, but
// they are still written as quoted identifiers (SQLite's own %w quoting, an
// embedded double quote doubled) so no name can change the meaning of a
// statement. SQLite stores the name without the quotes.
std::string QuoteIdentifier(const std::string& name)
{
    char* quoted = sqlite3_mprintf("\"%w\"", name.c_str());
    std::string text = quoted ? quoted : "";
    sqlite3_free(quoted);
    return text;
}

void Exec(sqlite3* db, const std::string& sql)
{
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

void BindText(sqlite3_stmt* stmt, int index, const std::string& text)
{
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, column));
    const int size = sqlite3_column_bytes(stmt, column);
    return text ? std::string(text, static_cast<size_t>(size)) : std::string();
}

} // namespace

SettingsStore::SettingsStore(std::string databasePath)
    : path_(std::move(databasePath))
{
}

sqlite3* SettingsStore::Open(bool createIfMissing) const
{
    if (createIfMissing) {
        // The database may hold passwords: create it readable by its owner only.
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (createIfMissing ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path_.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 2000);
    Exec(db, "PRAGMA synchronous = OFF;");
    return db;
}

std::string SettingsStore::ReadRow(sqlite3* db, const std::string& table, const std::string& name,
                                  const std::string& column)
{
    std::string foundName;
    std::string foundValue;
    const std::string sql = "select name, value from " + QuoteIdentifier(table) + " where name = ?";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        BindText(stmt, 1, name);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            foundName = ColumnText(stmt, 0);
            foundValue = ColumnText(stmt, 1);
        }
    }
    sqlite3_finalize(stmt);
    if (column == "Name")
        return foundName;
    if (column == "Value")
        return foundValue;
    return {};
}

void SettingsStore::WriteRow(sqlite3* db, const std::string& table, const std::string& name,
                            const std::string& value)
{
    Exec(db, "create table if not exists " + QuoteIdentifier(table) + "(name text primary key,value text)");
    // One statement inserts the row or replaces its value, so a second write
    // of the same name always updates the single row.
    const std::string sql = "insert into " + QuoteIdentifier(table)
        + " values(?,?) on conflict(name) do update set value = excluded.value";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        BindText(stmt, 1, name);
        BindText(stmt, 2, value);
        sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
}

void SettingsStore::SetValue(const std::string& table, const std::string& name, const std::string& value) const
{
    sqlite3* db = Open(true);
    if (!db)
        return;
    WriteRow(db, table, name, value);
    sqlite3_close(db);
}

std::string SettingsStore::GetValue(const std::string& table, const std::string& name) const
{
    // A read never creates the database file: a missing file reads as empty.
    sqlite3* db = Open(false);
    if (!db)
        return {};
    std::string value = ReadRow(db, table, name, "Value");
    sqlite3_close(db);
    return value;
}

void SettingsStore::DropTable(const std::string& table) const
{
    sqlite3* db = Open(false);
    if (!db)
        return;
    Exec(db, "drop table if exists " + QuoteIdentifier(table));
    sqlite3_close(db);
}

bool SettingsStore::HasTable(const std::string& table) const
{
    sqlite3* db = Open(false);
    if (!db)
        return false;
    bool found = false;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select 1 from sqlite_master where type = 'table' and name = ?", -1, &stmt,
                           nullptr) == SQLITE_OK) {
        BindText(stmt, 1, table);
        found = sqlite3_step(stmt) == SQLITE_ROW;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return found;
}
