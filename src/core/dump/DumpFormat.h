#pragma once

#include <string>
#include <string_view>
#include <vector>

// The backup file's text, in one place for the backup run that writes it and
// the restore and viewer that read it: a commented header, then per table a
// structure section (CREATE TABLE text) and, when the table has rows, a data
// section with one INSERT line per row. Text is built with "\n" line ends;
// the file stores every line end as CR LF (see DumpFile).

inline constexpr const char* kSoftwareVersion = "2.1.2.4";
// The header line that tells a restore how TIMESTAMP values are written:
// the backup session ran with time_zone '+00:00', so they are UTC. Files
// without it (written by earlier versions) hold them in the server's zone.
inline constexpr const char* kSessionTimeZoneLine = "-- Session Time Zone: +00:00";
// The session time zone of a backup, and of a restore of a file that
// carries the line above.
inline constexpr const char* kSessionTimeZone = "+00:00";
// Lines of the tally for the header, a structure heading with its CREATE
// TABLE line, and a data heading.
inline constexpr long kHeaderLines = 15;
inline constexpr long kStructureTitleLines = 5;
inline constexpr long kStructureHeadingLines = 6;
inline constexpr long kDataHeadingLines = 5;
// Lines of the tally for the end of a complete file: an empty line and the
// closing line.
inline constexpr long kClosingLines = 2;

enum class RunKind { Manual, Automatic };
// "Manual" or "Automatic": the run kind as stored and as written in the header.
const char* RunKindText(RunKind kind);

// "backup_" + name + ".tbk" in the data directory (which ends with '/'),
// and ".tbk.zst" for the compressed form.
std::string BackupFilePath(const std::string& dataDir, const std::string& backupName, bool compressed);
// The backup's current file, which every reader reads: the one of the two
// forms that exists; when both do (a run stopped between moving its file
// in and retiring the other form's), the one written last; when neither
// does, the plain name.
std::string BackupFilePath(const std::string& dataDir, const std::string& backupName);

struct DumpHeader {
    RunKind kind = RunKind::Manual;
    std::string host;
    std::string database;
    std::string backupName;
    std::string startTimeText; // long time form
};

// The 15 header lines: the session time zone line follows the backup's
// time stamp.
std::string HeaderText(const DumpHeader& header);
// The five heading lines of a structure section: an empty line, "---", the
// title naming the table, "---" and an empty line.
std::string StructureTitle(const std::string& table);
// The structure heading and the CREATE TABLE line.
std::string StructureHeading(const std::string& table);
// The five lines before a table's rows.
std::string DataHeading(const std::string& table, const std::string& countText);
// The start of a table's row statements: "INSERT INTO `T` VALUES (", or,
// when the rows name their columns, "INSERT INTO `T` (`a`, `b`) VALUES (".
std::string RowStatementStart(const std::string& table, const std::vector<std::string>& columns = {});
// start + values + ")", each value as AppendValue writes it (NULL bare,
// everything else quoted and escaped), separated by ", ": a row statement
// without its line end.
void AppendRowLine(std::string& out, std::string_view start, char** values, const unsigned long* lengths,
                     unsigned int count);
// "INSERT INTO `T` VALUES (" + values + ")\n".
void AppendRowStatement(std::string& out, const std::string& table, char** values, const unsigned long* lengths,
                        unsigned int count);

// The closing line without its line end:
// "-- End of Backup File - Tables: <tables> - Rows: <rows>". Readers that do
// not know it skip it as a comment.
std::string ClosingLine(long long tables, long long rows);
// The empty line and the closing line that end a complete file.
std::string ClosingText(long long tables, long long rows);
// A count as the file writes it: decimal digits without sign, blanks or
// leading zeros, at most 18 of them. False for anything else.
bool ParseCount(std::string_view text, long long& value);
// The counts of a closing line; false for any other line.
bool ParseClosingLine(std::string_view line, long long& tables, long long& rows);

// The parts of a dump file line that the restore tells apart.
enum class DumpLineKind { Other, CreateTable, InsertInto, DumpingData };

// A CREATE TABLE or INSERT INTO line cut at its table name: `head` is the
// text before the opening backquote ("CREATE TABLE ", "INSERT INTO "),
// `table` the name between the backquotes (a doubled backquote inside stands
// for one), `rest` everything after the closing backquote to the end of the
// line, so backquotes inside the row's values stay where they are.
struct StatementLine {
    std::string_view head;
    std::string table;
    std::string_view rest;
};

// Classifies a line by the first test that matches: a CREATE TABLE line, a
// row statement, a "Dumping data for table" heading. Statements are
// recognised by how the line begins (after blanks), never by text inside it:
// a row whose values hold the words CREATE TABLE is still a row.
DumpLineKind ClassifyDumpLine(std::string_view line);
StatementLine SplitStatementLine(std::string_view line);
// The row total text of a "Dumping data for table" heading: what follows the
// first ':' after the table name, up to the next ':', without leading blanks.
std::string_view RowTotalText(std::string_view line);
// That text's leading integer (0 when there is none).
long long RowTotalOf(std::string_view line);
