#include "core/store/SettingsStore.h"

#include <cerrno>
#include <cstring>
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

// Why the last call on `db` failed with `rc`, in words a person can act on.
// SQLite calls a full disk "database or disk is full" and keeps no system
// error for it; the system's own words are clearer.
std::string Reason(sqlite3* db, int rc)
{
    if ((rc & 0xff) == SQLITE_FULL)
        return std::strerror(ENOSPC);
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const int systemError = db ? sqlite3_system_errno(db) : 0;
    if (systemError != 0)
        text += std::string(" (") + std::strerror(systemError) + ")";
    return text;
}

// Runs `sql`; the reason it failed, or the empty text.
std::string Exec(sqlite3* db, const std::string& sql)
{
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? std::string() : Reason(db, rc);
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

sqlite3* SettingsStore::Open(bool createIfMissing, std::string* error) const
{
    if (createIfMissing) {
        // The database may hold passwords: create it readable by its owner only.
        int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        } else {
            // Nothing can be stored where the file cannot even be made.
            if (error)
                *error = std::strerror(errno);
            return nullptr;
        }
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (createIfMissing ? SQLITE_OPEN_CREATE : 0);
    if (const int rc = sqlite3_open_v2(path_.c_str(), &db, flags, nullptr); rc != SQLITE_OK) {
        if (error)
            *error = Reason(db, rc);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, busyMs_);
    // The pragma is the first statement that reads the file: a file that is
    // not a database fails here.
    if (std::string failure = Exec(db, "PRAGMA synchronous = OFF;"); !failure.empty()) {
        if (error)
            *error = std::move(failure);
        sqlite3_close(db);
        return nullptr;
    }
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

StoreStatus SettingsStore::WriteRow(sqlite3* db, const std::string& table, const std::string& name,
                                   const std::string& value)
{
    if (std::string failure
        = Exec(db, "create table if not exists " + QuoteIdentifier(table) + "(name text primary key,value text)");
        !failure.empty())
        return {std::move(failure)};
    // One statement inserts the row or replaces its value, so a second write
    // of the same name always updates the single row.
    const std::string sql = "insert into " + QuoteIdentifier(table)
        + " values(?,?) on conflict(name) do update set value = excluded.value";
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        BindText(stmt, 1, name);
        BindText(stmt, 2, value);
        rc = sqlite3_step(stmt);
    }
    StoreStatus status;
    if (rc != SQLITE_DONE)
        status.error = Reason(db, rc);
    sqlite3_finalize(stmt);
    return status;
}

StoreStatus SettingsStore::SetValue(const std::string& table, const std::string& name, const std::string& value) const
{
    std::string failure;
    sqlite3* db = Open(true, &failure);
    if (!db)
        return {failure};
    StoreStatus status = WriteRow(db, table, name, value);
    // Without a journal or with synchronous writing off, the close is where
    // a last write may still fail.
    if (const int rc = sqlite3_close(db); rc != SQLITE_OK && status.ok())
        status.error = sqlite3_errstr(rc);
    return status;
}

StoreStatus SettingsStore::SetValues(const std::string& table,
                                     std::initializer_list<std::pair<std::string, std::string>> rows) const
{
    std::string failure;
    sqlite3* db = Open(true, &failure);
    if (!db)
        return {failure};
    StoreStatus status {Exec(db, "BEGIN IMMEDIATE")};
    for (const auto& [name, value] : rows) {
        if (!status)
            break;
        status = WriteRow(db, table, name, value);
    }
    if (status)
        status.error = Exec(db, "COMMIT");
    if (!status)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return status;
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

StoreStatus SettingsStore::DropTable(const std::string& table) const
{
    // Nothing to drop where there is no file.
    if (::access(path_.c_str(), F_OK) != 0 && errno == ENOENT)
        return {};
    std::string failure;
    sqlite3* db = Open(false, &failure);
    if (!db)
        return {failure};
    StoreStatus status {Exec(db, "drop table if exists " + QuoteIdentifier(table))};
    sqlite3_close(db);
    return status;
}

StoreCheck SettingsStore::Check(int waitMs) const
{
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0)
        return errno == ENOENT ? StoreCheck {} : StoreCheck {StoreHealth::Unreadable, std::strerror(errno)};
    if (!S_ISREG(st.st_mode))
        return {StoreHealth::Unreadable, "it is not a regular file"};
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    StoreCheck check;
    sqlite3_stmt* stmt = nullptr;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, waitMs);
        rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &stmt, nullptr);
    }
    if (rc == SQLITE_OK) {
        // One row "ok" for a sound file, otherwise one row per fault found.
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            const std::string first = ColumnText(stmt, 0);
            if (first != "ok")
                check = {StoreHealth::Damaged, first};
        }
    }
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const int primary = rc & 0xff;
        const StoreHealth health = primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? StoreHealth::Locked
            : primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT                   ? StoreHealth::Damaged
                                                                                      : StoreHealth::Unreadable;
        check = {health, Reason(db, rc)};
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return check;
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
