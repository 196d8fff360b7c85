#pragma once

#include <initializer_list>
#include <string>
#include <utility>

struct sqlite3;

// What became of a write to the settings store: `error` is empty when the
// value is in the file, otherwise the reason it is not ("No space left on
// device", "file is not a database", ...). Several writes of one save are
// joined with Also, which keeps the first failure.
struct [[nodiscard]] StoreStatus {
    std::string error;

    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }
    StoreStatus& Also(const StoreStatus& next)
    {
        if (ok())
            error = next.error;
        return *this;
    }
};

// How the settings file was found at start-up.
enum class StoreHealth {
    Sound,      // readable (or not there yet: a first start)
    Damaged,    // there, but not a database SQLite can read
    Unreadable, // there, but it cannot be opened (rights, input/output error)
    Locked,     // another program holds it locked
};

struct StoreCheck {
    StoreHealth health = StoreHealth::Sound;
    std::string reason; // why it is not sound; empty when it is
};

// The settings store: named tables of name/value text rows in one SQLite file.
//
// Every operation opens the database file, switches synchronous writing off,
// does its work and closes the file again, so a write is in the file as soon
// as the call returns and nothing is cached between calls. A write reports
// whether its value reached the file and, when not, why; a read that cannot
// be made returns the empty text (Check tells a damaged file from an empty one).
class SettingsStore {
public:
    explicit SettingsStore(std::string databasePath);

    // Makes row `name` of `table` hold `value`, creating table and row as needed.
    StoreStatus SetValue(const std::string& table, const std::string& name, const std::string& value) const;
    // Makes several rows of `table` hold their values in one transaction:
    // either every row is stored or, on a failure, none is changed.
    StoreStatus SetValues(const std::string& table,
                          std::initializer_list<std::pair<std::string, std::string>> rows) const;
    // The value of row `name` of `table`; empty when the file, table or row is missing.
    std::string GetValue(const std::string& table, const std::string& name) const;
    // Deletes `table` with all its rows; a missing table is left alone.
    StoreStatus DropTable(const std::string& table) const;

    // Reads the whole file once (SQLite's quick check), waiting at most
    // `waitMs` for another program's lock. A missing file is sound.
    StoreCheck Check(int waitMs) const;

    // How long an operation waits for another program's lock on the file
    // before it gives up (2 s unless set).
    void SetBusyTimeout(int ms) { busyMs_ = ms; }

    // Whether `table` exists in the database (used by start-up checks and tests).
    bool HasTable(const std::string& table) const;

    const std::string& DatabasePath() const { return path_; }

    // Reads one column ("Name" or "Value", case-sensitive) of a row from an
    // open database; any other column text, or a missing row, gives "".
    static std::string ReadRow(sqlite3* db, const std::string& table, const std::string& name,
                               const std::string& column);
    static StoreStatus WriteRow(sqlite3* db, const std::string& table, const std::string& name,
                         const std::string& value);

private:
    sqlite3* Open(bool createIfMissing, std::string* error = nullptr) const;

    std::string path_;
    int busyMs_ = 2000;
};
