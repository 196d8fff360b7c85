#pragma once

#include "core/engine/MysqlClient.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The backup file: a commented header, then per table a structure section
// (CREATE TABLE text) and, when the table has rows, a data section with one
// INSERT line per row. Text is built with "\n" line ends; the file stores
// every line end as CR LF.

inline constexpr const char* kSoftwareVersion = "2.1.2.4";
inline constexpr int kPageSize = 100;
inline constexpr long kHeaderLines = 14;
inline constexpr long kDataHeadingLines = 5;

enum class RunKind { Manual, Automatic };
// "Manual" or "Automatic": the run kind as stored and as written in the header.
const char* RunKindText(RunKind kind);

// "backup_" + name + ".tbk" in the data directory (which ends with '/').
std::string BackupFilePath(const std::string& dataDir, const std::string& backupName);

struct DumpHeader {
    RunKind kind = RunKind::Manual;
    std::string host;
    std::string database;
    std::string backupName;
    std::string startTimeText; // long time form
};

// The 14 header lines.
std::string HeaderText(const DumpHeader& header);

// One column as the structure section writes it.
struct ColumnDescription {
    std::string field;
    std::string type;
    std::string null;  // "NO" or "YES"
    std::string key;   // "PRI", "UNI", "MUL" or ""
    std::string extra; // "auto_increment", "on update current_timestamp()", ...
    // The default as it goes into the column line; none gives no clause.
    std::optional<std::string> defaultValue;
    // An expression default (current_timestamp(), b'1', (1 + 2), ...) is
    // written as it is; a literal default in apostrophes, escaped.
    bool defaultIsExpression = false;
};

// One row of the server's key list (SHOW KEYS), in the server's order.
struct KeyColumn {
    std::string keyName;
    bool unique = false;
    int seqInIndex = 1;
    std::string column;
    std::optional<unsigned> subPart; // prefix length of an indexed text column
    std::string indexType;           // "BTREE", "HASH", "FULLTEXT", "SPATIAL"
};

// How a column's default is written, from what the server shows: the
// `describe` default (none when the column has no default), the default of
// information_schema.COLUMNS (none when unknown), whether that one quotes
// literals, and the column's type and Extra text.
struct ResolvedDefault {
    std::optional<std::string> value;
    bool isExpression = false;
};
ResolvedDefault ResolveDefault(const std::optional<std::string>& describeDefault,
                               const std::optional<std::string>& schemaDefault, bool schemaQuotesLiterals,
                               const std::string& type, const std::string& extra);
// The Extra text as CREATE TABLE accepts it: without "DEFAULT_GENERATED",
// which some servers show for expression defaults but do not accept back.
std::string CleanExtra(const std::string& extra);

// A text in the form of a SQL string literal ('...' with '' or backslash
// escapes) as the value it stands for.
std::string DecodeSqlLiteral(const std::string& literal);

// The structure heading and the CREATE TABLE line (6 lines of the tally).
std::string StructureHeading(const std::string& table);
inline constexpr long kStructureHeadingLines = 6;

struct SectionText {
    std::string text;
    long lines = 0; // what the line tally adds for it
};
// The column lines, key lines and the closing ")". A primary key gets one
// line naming all its columns in key order; a plain key's line carries the
// prefix length or the FULLTEXT/SPATIAL kind of its index.
SectionText BuildColumnText(const std::vector<ColumnDescription>& columns, const std::vector<KeyColumn>& keys);

// The five lines before a table's rows.
std::string DataHeading(const std::string& table, const std::string& countText);

// Appends a value as the row statements write it: NULL for a SQL NULL,
// otherwise in apostrophes with backslash, apostrophe, double quote, NUL,
// line feed, carriage return and Ctrl-Z escaped, over its full length.
// The result depends on the bytes alone (no character set, no server mode).
void AppendValue(std::string& out, const char* data, size_t length);
// "INSERT INTO `T` VALUES (" + values + ")\n".
void AppendRowStatement(std::string& out, const std::string& table, char** values, const unsigned long* lengths,
                        unsigned int count);

// The backup file being written: a private temporary file beside the final
// one, buffered, with CR LF line ends. Commit moves it into place; anything
// else (Discard, or destruction without Commit) removes it and leaves the
// previous backup file untouched.
class DumpFile {
public:
    DumpFile() = default;
    ~DumpFile();
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    // Creates the temporary file (mode 0600) beside `finalPath`.
    bool Open(const std::string& finalPath);
    bool IsOpen() const { return fd_ >= 0; }
    // Writes a piece of text; every "\n" becomes CR LF.
    void Write(const std::string& piece);
    // Flushes, syncs and renames the file into place. False (and the
    // temporary file removed) when any write failed.
    bool Commit();
    void Discard();

    const std::string& TempPath() const { return tempPath_; }
    bool Failed() const { return failed_; }

private:
    void Flush();

    int fd_ = -1;
    bool failed_ = false;
    std::string finalPath_;
    std::string tempPath_;
    std::string buffer_;
};

// Reads what the structure section of `table` needs from the server: the
// `describe` rows, the key list and the defaults of information_schema.
// False when the server refuses `describe` (or the key list).
bool ReadTableStructure(MysqlConnection& conn, const std::string& table, std::vector<ColumnDescription>& columns,
                        std::vector<KeyColumn>& keys);
