#pragma once

#include <string>

struct sqlite3;

// The settings store: named tables of name/value text rows in one SQLite file.
//
// Every operation opens the database file, switches synchronous writing off,
// does its work and closes the file again, so a write is in the file as soon
// as the call returns and nothing is cached between calls. Failures are
// silent: a write that cannot be made stores nothing, a read that cannot be
// made returns the empty text.
class SettingsStore {
public:
    explicit SettingsStore(std::string databasePath);

    // Makes row `name` of `table` hold `value`, creating table and row as needed.
    void SetValue(const std::string& table, const std::string& name, const std::string& value) const;
    // The value of row `name` of `table`; empty when the file, table or row is missing.
    std::string GetValue(const std::string& table, const std::string& name) const;
    // Deletes `table` with all its rows; a missing table is left alone.
    void DropTable(const std::string& table) const;

    // Whether `table` exists in the database (used by start-up checks and tests).
    bool HasTable(const std::string& table) const;

    const std::string& DatabasePath() const { return path_; }

    // Reads one column ("Name" or "Value", case-sensitive) of a row from an
    // open database; any other column text, or a missing row, gives "".
    static std::string ReadRow(sqlite3* db, const std::string& table, const std::string& name,
                               const std::string& column);
    static void WriteRow(sqlite3* db, const std::string& table, const std::string& name,
                         const std::string& value);

private:
    sqlite3* Open(bool createIfMissing) const;

    std::string path_;
};
