#include "core/dump/BackupFileGrammar.h"

#include "core/dump/DumpFormat.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace dump {

namespace {

constexpr std::string_view kStructureTitle = "--- Table structure for table ";
constexpr std::string_view kDataTitle = "--- Dumping data for table ";
constexpr std::string_view kTotalRows = " - Total rows: ";
constexpr std::string_view kVersion = "-- Software Version: ";

// The header lines; an empty text stands for a line with a value of its own.
const std::string kHyphens(60, '-');
constexpr std::string_view kFixedHeader[] = {
    "",
    "--",
    "--       WARNING - DO NOT MANUALLY EDIT THIS FILE",
    "--          DOING SO WILL CORRUPT THIS BACKUP",
    "--",
    "",
    "",
    "--",
    "-- Host Name / IP Address: ",
    "-- Database Name: ",
    "-- Backup Name: ",
    "-- Backup TimeStamp: ",
    "--",
    "",
};
constexpr int kHeaderLineCount = 14;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// "-- Software Version: " and a version made of digits and dots.
bool IsVersionLine(std::string_view line)
{
    if (!StartsWith(line, kVersion) || line.size() == kVersion.size())
        return false;
    return std::all_of(line.begin() + static_cast<long>(kVersion.size()), line.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

std::string Quoted(const std::string& table)
{
    return QuoteName(table);
}

} // namespace

BackupFileGrammar::BackupFileGrammar(std::size_t maxStatementBytes)
    : maxStatement_(maxStatementBytes)
{
}

bool BackupFileGrammar::InStructure() const
{
    return state_ == State::BeforeCreate || state_ == State::Create;
}

FileLine BackupFileGrammar::Refuse(long long line, std::string reason, bool inStructure)
{
    state_ = State::Failed;
    errorLine_ = line;
    error_ = std::move(reason);
    errorInStructure_ = inStructure;
    return FileLine::Bad;
}

FileLine BackupFileGrammar::FeedOverlong(unsigned long long bytes, unsigned long long limit)
{
    ++lineNumber_;
    if (state_ == State::Failed)
        return FileLine::Bad;
    return Refuse("a line of " + std::to_string(bytes) + " bytes, longer than the " + std::to_string(limit)
                  + " bytes the server accepts in one statement");
}

FileLine BackupFileGrammar::Feed(std::string_view line)
{
    ++lineNumber_;
    switch (state_) {
    case State::Failed:
        return FileLine::Bad;
    case State::Header:
        return HeaderLine(line);
    case State::Between:
        if (!line.empty()) {
            if (tables_ > 0 && ParseRowStatement(line))
                return Refuse("more row statements than the " + rowTotalText_ + " rows the data heading of table "
                              + quotedTable_ + " counts");
            return Refuse("an empty line was expected");
        }
        state_ = State::Opened;
        return FileLine::Blank;
    case State::Opened:
        if (line == "---") {
            state_ = State::Rule1;
            return FileLine::Rule;
        }
        {
            long long tables = 0;
            long long rows = 0;
            if (ParseClosingLine(line, tables, rows)) {
                if (tables != tables_ || rows != rows_)
                    return Refuse("the closing line counts " + std::to_string(tables) + " tables and "
                                  + std::to_string(rows) + " rows, but the file holds " + std::to_string(tables_)
                                  + " tables and " + std::to_string(rows_) + " rows");
                state_ = State::Closed;
                return FileLine::Closing;
            }
        }
        return Refuse("a section heading or the closing line was expected");
    case State::Rule1:
        return TitleLine(line);
    case State::Title:
        if (line != "---")
            return Refuse("\"---\" was expected after a section title");
        state_ = State::Rule2;
        return FileLine::Rule;
    case State::Rule2:
        if (!line.empty())
            return Refuse("an empty line was expected after a section heading");
        state_ = structureTitle_ ? State::BeforeCreate : State::BeforeRows;
        return FileLine::Blank;
    case State::BeforeCreate:
        if (line != "CREATE TABLE " + quotedTable_ + " (")
            return Refuse("\"CREATE TABLE " + quotedTable_ + " (\" was expected");
        statement_.assign(line);
        statementLineStarts_.assign(1, 0);
        statementFirstLine_ = lineNumber_;
        state_ = State::Create;
        return FileLine::CreateStart;
    case State::Create:
        if (line.empty())
            return EndStatement(lineNumber_);
        if (statement_.size() + line.size() > maxStatement_)
            return Refuse("the structure statement of table " + quotedTable_ + " is longer than the limit of "
                          + std::to_string(maxStatement_) + " bytes");
        statementLineStarts_.push_back(statement_.size());
        statement_.append(line);
        return FileLine::CreateMore;
    case State::BeforeRows:
    case State::Rows:
        return RowLine(line);
    case State::Closed:
        return Refuse("a line after the closing line");
    case State::EndGiven:
        return Refuse("a line after the end of the file");
    }
    return Refuse("an unexpected line");
}

FileLine BackupFileGrammar::HeaderLine(std::string_view line)
{
    const int i = headerIndex_;
    // The session time zone line, when there is one, follows the time stamp.
    if (i == 12 && !utcTimestamps_ && line == kSessionTimeZoneLine) {
        utcTimestamps_ = true;
        return FileLine::Header;
    }
    bool ok = false;
    if (i == 0 || i == kHeaderLineCount - 1)
        ok = line == kHyphens;
    else if (i == 5)
        ok = line == "-- Vorda Quendal Suite - MySQL Backup File - Manual"
             || line == "-- Vorda Quendal Suite - MySQL Backup File - Automatic";
    else if (i == 6)
        ok = IsVersionLine(line);
    else if (i >= 8 && i <= 11)
        ok = StartsWith(line, kFixedHeader[i]);
    else
        ok = line == kFixedHeader[i];
    if (!ok)
        return Refuse(i == 0 ? "not the first line of a Vorda backup file"
                             : "header line " + std::to_string(lineNumber_) + " is not that of a Vorda backup file");
    const std::string_view value = i >= 8 && i <= 11 ? line.substr(kFixedHeader[i].size()) : std::string_view();
    switch (i) {
    case 5: header_.kind = line.ends_with("Automatic") ? RunKind::Automatic : RunKind::Manual; break;
    case 8: header_.host.assign(value); break;
    case 9: header_.database.assign(value); break;
    case 10: header_.backupName.assign(value); break;
    case 11: header_.startTimeText.assign(value); break;
    default: break;
    }
    if (++headerIndex_ == kHeaderLineCount) {
        if (expectUtc_ >= 0 && utcTimestamps_ != (expectUtc_ == 1))
            return Refuse("the header's session time zone line differs from the file that was checked");
        state_ = State::Between;
    }
    return FileLine::Header;
}

FileLine BackupFileGrammar::TitleLine(std::string_view line)
{
    if (StartsWith(line, kStructureTitle)) {
        const std::optional<std::string> name = UnquoteName(line.substr(kStructureTitle.size()));
        if (!name)
            return Refuse("a structure heading whose table name is not one backquoted name");
        table_ = *name;
        quotedTable_ = Quoted(table_);
        // The writer gives a table one section; a second one would be
        // restored over the first.
        if (!seenTables_.insert(table_).second)
            return Refuse("a second structure section for table " + quotedTable_);
        structureTitle_ = true;
        dataAllowed_ = false;
        ++tables_;
        state_ = State::Title;
        return FileLine::StructureTitle;
    }
    if (StartsWith(line, kDataTitle)) {
        const std::string_view rest = line.substr(kDataTitle.size());
        // The count is digits only, so the last " - Total rows: " is the one
        // after the name, whatever the name holds.
        const size_t split = rest.rfind(kTotalRows);
        if (split == std::string_view::npos)
            return Refuse("a data heading without its \"Total rows\"");
        const std::optional<std::string> name = UnquoteName(rest.substr(0, split));
        if (!name)
            return Refuse("a data heading whose table name is not one backquoted name");
        const std::string_view count = rest.substr(split + kTotalRows.size());
        long long total = 0;
        if (!ParseCount(count, total) || total == 0)
            return Refuse("a data heading whose \"Total rows\" is not a number of rows");
        if (!dataAllowed_ || *name != table_)
            return Refuse("a data heading that does not follow the structure section of its table");
        dataAllowed_ = false;
        quotedTable_ = Quoted(table_);
        rowTotal_ = rowsLeft_ = total;
        rowTotalText_.assign(count);
        structureTitle_ = false;
        state_ = State::Title;
        return FileLine::DataTitle;
    }
    return Refuse("a section title was expected");
}

FileLine BackupFileGrammar::EndStatement(long long line)
{
    const StructureCheck check = CheckCreateTable(statement_);
    if (!check.Ok()) {
        // The line of the statement where the refusal was found.
        const auto at = std::upper_bound(statementLineStarts_.begin(), statementLineStarts_.end(), check.offset);
        const long long offsetLine = statementFirstLine_ + static_cast<long long>(at - statementLineStarts_.begin()) - 1;
        return Refuse(offsetLine, "the structure statement of table " + quotedTable_ + " is refused: "
                                      + ShapeErrorText(check.error),
                      true);
    }
    if (check.table != table_)
        return Refuse(line, "the structure statement names another table than its heading", true);
    dataAllowed_ = true;
    state_ = State::Opened;
    return FileLine::CreateEnd;
}

FileLine BackupFileGrammar::RowLine(std::string_view line)
{
    const std::optional<RowStatement> row = ParseRowStatement(line);
    if (!row) {
        if (!StartsWith(line, "INSERT INTO "))
            return Refuse("only " + std::to_string(rowTotal_ - rowsLeft_) + " of the " + rowTotalText_
                          + " rows of table " + quotedTable_ + " are in the file");
        return Refuse("not a row statement Vorda writes");
    }
    if (row->quotedTable != quotedTable_)
        return Refuse("a row statement of another table than its data section's");
    row_ = *row;
    ++rows_;
    state_ = --rowsLeft_ == 0 ? State::Between : State::Rows;
    return FileLine::Row;
}

bool BackupFileGrammar::SkipRows()
{
    if (state_ != State::BeforeRows)
        return false;
    lineNumber_ += rowsLeft_;
    rows_ += rowsLeft_;
    rowsLeft_ = 0;
    state_ = State::Between;
    return true;
}

BackupFileGrammar BackupFileGrammar::RowsOf(const std::string& table, long long total, long long linesBefore)
{
    BackupFileGrammar grammar;
    grammar.table_ = table;
    grammar.quotedTable_ = Quoted(table);
    grammar.rowTotal_ = grammar.rowsLeft_ = total;
    grammar.rowTotalText_ = std::to_string(total);
    grammar.lineNumber_ = linesBefore;
    grammar.state_ = total > 0 ? State::BeforeRows : State::Between;
    return grammar;
}

FileLine BackupFileGrammar::FeedEnd()
{
    const long long past = lineNumber_ + 1;
    switch (state_) {
    case State::Failed:
        return FileLine::Bad;
    case State::Create: {
        const FileLine result = EndStatement(past);
        if (result == FileLine::CreateEnd)
            state_ = State::EndGiven;
        return result;
    }
    case State::Header:
        return Refuse(past, lineNumber_ == 0 ? "the file is empty" : "the file ends inside its header", false);
    case State::EndGiven:
        state_ = State::Opened;
        return FileLine::End;
    case State::Between:
    case State::Opened:
    case State::Closed:
        return FileLine::End;
    case State::Rule1:
    case State::Title:
    case State::Rule2:
        return Refuse(past, "the file ends inside a section heading", false);
    case State::BeforeCreate:
        return Refuse(past, "the file ends before the structure statement of table " + quotedTable_, true);
    case State::BeforeRows:
    case State::Rows:
        return Refuse(past, "the file ends after " + std::to_string(rowTotal_ - rowsLeft_) + " of the "
                                + rowTotalText_ + " rows of table " + quotedTable_,
                      false);
    }
    return FileLine::End;
}

} // namespace dump
