#pragma once

// The order of the lines of a backup file, as Vorda writes it: the 14 header
// lines (15 with the session time zone line after the time stamp, which
// files of earlier versions lack); per table a structure section (heading, then the CREATE TABLE
// statement up to the next empty line) and, when the table has rows, a data
// section (heading with its "Total rows", then exactly that many row
// statements of that table); then an empty line and the closing line.
//
// Lines are fed one by one, without their line ends, in file order; each is
// told what it is, or that it does not belong where it stands (Bad, with the
// line and the reason). The same grammar serves the first pass of a restore,
// which checks the whole file, and the replay, which checks every line again
// before it sends anything: the file may have changed in between.
//
// Row statements go through ParseRowStatement and structure statements
// through CheckCreateTable (SqlShape); nothing else reaches a server.

#include "core/dump/DumpFormat.h"
#include "core/dump/SqlShape.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace dump {

enum class FileLine {
    Header,         // one of the header lines
    Blank,          // an empty line between parts
    Rule,           // "---" around a heading
    StructureTitle, // "--- Table structure for table `T`": Table() is T
    CreateStart,    // "CREATE TABLE `T` (", the first line of the statement
    CreateMore,     // a further line of the statement
    CreateEnd,      // the empty line (or end of file) that ends the statement:
                    // Statement() holds it, checked
    DataTitle,      // "--- Dumping data for table `T` - Total rows: N"
    Row,            // a row statement of the current data section: Row()
    Closing,        // the closing line, its counts matching the file
    Bad,            // does not belong here: ErrorLine(), Error()
    End,            // the end of the file, where a file may end
};

class BackupFileGrammar {
public:
    // Structure statements longer than this are refused (Bad).
    explicit BackupFileGrammar(std::size_t maxStatementBytes = SIZE_MAX);

    // The next line of the file, without its line end. After Bad every
    // further line is Bad.
    FileLine Feed(std::string_view line);
    // The next line was longer than the limit the reader keeps: it is Bad.
    FileLine FeedOverlong(unsigned long long bytes, unsigned long long limit);
    // The end of the file. A structure statement still open ends here:
    // CreateEnd is given first, and the next call gives End (or Bad).
    // Otherwise End where the file may end (Closed() tells whether it
    // reached its closing line), or Bad inside a part.
    FileLine FeedEnd();

    // The file reached its closing line.
    bool Closed() const { return state_ == State::Closed; }
    // The header holds the session time zone line: TIMESTAMP values are
    // UTC and are restored under time_zone '+00:00'; without it, under the
    // server's zone.
    bool UtcTimestamps() const { return utcTimestamps_; }
    // The header must (or must not) hold that line: a file that was checked
    // with one header and is read again with the other is refused at the
    // header's end.
    void ExpectUtcTimestamps(bool utc) { expectUtc_ = utc ? 1 : 0; }
    // The header's values as read (host, database, backup name, time stamp
    // and run kind), once the header lines have been fed.
    const DumpHeader& Header() const { return header_; }
    // Lines fed so far.
    long long LineNumber() const { return lineNumber_; }

    // After Bad: the line (1 is the first; one past the last for the end of
    // the file), a short reason, and whether it lay in a structure section.
    long long ErrorLine() const { return errorLine_; }
    const std::string& Error() const { return error_; }
    bool ErrorInStructure() const { return errorInStructure_; }

    // The table of the current section (undoubled) and its name as written.
    const std::string& Table() const { return table_; }
    const std::string& QuotedTable() const { return quotedTable_; }
    // After CreateEnd: the statement, its lines joined with nothing between
    // them (JoinStatementLines).
    const std::string& Statement() const { return statement_; }
    // After DataTitle: the row total and its text.
    long long RowTotal() const { return rowTotal_; }
    const std::string& RowTotalText() const { return rowTotalText_; }
    // After Row: the parsed statement (views into the line fed).
    const RowStatement& Row() const { return row_; }

    // The next line is the first row of the current data section.
    bool AtRows() const { return state_ == State::BeforeRows; }
    // Takes the row statements of the current data section as read, when
    // another reader reads and checks them (RowsOf): at AtRows, the whole
    // section is passed over; false anywhere else.
    bool SkipRows();
    // A grammar for the `total` row statements of table `table` alone, as
    // they stand after line `linesBefore` of a file: each line fed is a Row
    // of that table or Bad.
    static BackupFileGrammar RowsOf(const std::string& table, long long total, long long linesBefore);

    // Structure sections and row statements so far.
    long long Tables() const { return tables_; }
    long long Rows() const { return rows_; }

private:
    enum class State {
        Header,    // header line headerIndex_
        Between,   // after the header or a data section: an empty line
        Opened,    // after an empty line: "---" or the closing line
        Rule1,     // after "---": a structure or data title
        Title,     // after a title: "---"
        Rule2,     // after "---": an empty line
        BeforeCreate,
        Create,    // inside the structure statement
        BeforeRows,
        Rows,
        Closed,
        Failed,
        EndGiven,  // FeedEnd gave CreateEnd; the next call ends the file
    };

    FileLine HeaderLine(std::string_view line);
    FileLine TitleLine(std::string_view line);
    FileLine RowLine(std::string_view line);
    FileLine EndStatement(long long line);
    FileLine Refuse(long long line, std::string reason, bool inStructure);
    FileLine Refuse(std::string reason) { return Refuse(lineNumber_, std::move(reason), InStructure()); }
    bool InStructure() const;

    std::size_t maxStatement_;
    State state_ = State::Header;
    int headerIndex_ = 0;
    bool utcTimestamps_ = false;
    int expectUtc_ = -1; // -1: either
    bool structureTitle_ = false; // the heading being read is a structure heading
    bool dataAllowed_ = false;    // the table's data section may come next
    long long lineNumber_ = 0;

    std::string table_;
    std::string quotedTable_;
    std::string statement_;
    long long statementFirstLine_ = 0;
    std::vector<std::size_t> statementLineStarts_; // offset in statement_ of each of its lines

    long long rowTotal_ = 0;
    std::string rowTotalText_;
    long long rowsLeft_ = 0;
    RowStatement row_;

    long long tables_ = 0;
    long long rows_ = 0;
    DumpHeader header_;
    // The tables with a structure section so far: a table has one.
    std::unordered_set<std::string> seenTables_;

    long long errorLine_ = 0;
    std::string error_;
    bool errorInStructure_ = false;
};

} // namespace dump
