#pragma once

#include "core/restore/BackupFileCheck.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// Turns a backup file into a script of standard SQL that the mariadb (or
// mysql) client runs as it is: `mariadb db < script.sql`. A backup file is
// not such a script: its statements end at line ends, without ";", and its
// "---" heading lines are no comments to the client.
//
// The script sets the connection's character set (utf8mb4, as every backup
// session reads), the file's time zone ('+00:00' for a file whose header
// says its TIMESTAMP values are UTC; the server's own for an older file),
// a sql_mode that reads backslash escapes and keeps a 0 in an
// AUTO_INCREMENT column, and foreign-key checks off; then, per table,
// DROP TABLE IF EXISTS and the file's CREATE TABLE, then its rows as
// multi-row INSERTs; and at the end puts the session's settings back. Every
// statement ends with ";" and a line end.
//
// Only a checked file is turned into a script: the whole file is checked
// first (BackupFileCheck), and every line again as it is written out, so
// nothing but the statements Vorda writes reaches the script.
class SqlScript {
public:
    // The largest multi-row INSERT: well within the client's and server's
    // default packet limit (16 MiB). A single row longer than it makes a
    // statement of its own.
    static constexpr std::size_t kInsertBytes = std::size_t(1) << 20;

    // Receives the script's text piece by piece; false stops the writing
    // (the output could not be written).
    using Sink = std::function<bool(std::string_view)>;

    // `prefix` (empty, or a name of letters, digits and underscores) puts
    // the tables beside the originals: each table is created as prefix +
    // its name, its constraints are named prefix + their names, and
    // references to the file's other tables point at their prefixed copies.
    explicit SqlScript(std::string prefix = {});

    // The first pass: reads the whole file at `path`. A file that cannot be
    // opened comes back Damaged with line 0 and reason "cannot be opened".
    FileCheckResult Check(const std::string& path);

    // Writes the script of the file Check read (which must not be Damaged).
    // Returns the empty text when the whole script was written; otherwise
    // why it stopped (the file changed since the check, a name grew too
    // long for the prefix, the output could not be written).
    std::string Write(const Sink& sink);

    // Whether `prefix` may prefix table names.
    static bool IsValidPrefix(const std::string& prefix);

private:
    std::string prefix_;
    std::string path_;
    FileCheckResult check_;
};
