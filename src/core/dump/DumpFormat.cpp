#include "core/dump/DumpFormat.h"

#include "core/dump/SqlShape.h"
#include "core/dump/ValueEscaping.h"
#include "core/store/Numbers.h"

#include <sys/stat.h>

namespace {

const std::string kHyphens(60, '-');

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view SkipBlanks(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return text.substr(i);
}

} // namespace

const char* RunKindText(RunKind kind)
{
    return kind == RunKind::Automatic ? "Automatic" : "Manual";
}

std::string BackupFilePath(const std::string& dataDir, const std::string& backupName, bool compressed)
{
    return dataDir + "backup_" + backupName + (compressed ? ".tbk.zst" : ".tbk");
}

std::string BackupFilePath(const std::string& dataDir, const std::string& backupName)
{
    const std::string plain = BackupFilePath(dataDir, backupName, false);
    const std::string compressed = BackupFilePath(dataDir, backupName, true);
    struct stat p {}, c {};
    const bool havePlain = ::lstat(plain.c_str(), &p) == 0 && S_ISREG(p.st_mode);
    const bool haveCompressed = ::lstat(compressed.c_str(), &c) == 0 && S_ISREG(c.st_mode);
    if (!haveCompressed)
        return plain;
    if (!havePlain)
        return compressed;
    const bool compressedLater = c.st_mtim.tv_sec != p.st_mtim.tv_sec ? c.st_mtim.tv_sec > p.st_mtim.tv_sec
                                                                      : c.st_mtim.tv_nsec >= p.st_mtim.tv_nsec;
    return compressedLater ? compressed : plain;
}

std::string HeaderText(const DumpHeader& h)
{
    std::string text;
    text += kHyphens + "\n";
    text += "--\n";
    text += "--       WARNING - DO NOT MANUALLY EDIT THIS FILE\n";
    text += "--          DOING SO WILL CORRUPT THIS BACKUP\n";
    text += "--\n";
    text += std::string("-- Vorda Quendal Suite - MySQL Backup File - ") + RunKindText(h.kind) + "\n";
    text += std::string("-- Software Version: ") + kSoftwareVersion + "\n";
    text += "--\n";
    text += "-- Host Name / IP Address: " + h.host + "\n";
    text += "-- Database Name: " + h.database + "\n";
    text += "-- Backup Name: " + h.backupName + "\n";
    text += "-- Backup TimeStamp: " + h.startTimeText + "\n";
    text += std::string(kSessionTimeZoneLine) + "\n";
    text += "--\n";
    text += kHyphens + "\n";
    return text;
}

std::string StructureTitle(const std::string& table)
{
    return "\n---\n--- Table structure for table " + dump::QuoteName(table) + "\n---\n\n";
}

std::string StructureHeading(const std::string& table)
{
    return StructureTitle(table) + "CREATE TABLE " + dump::QuoteName(table) + " (\n";
}

std::string DataHeading(const std::string& table, const std::string& countText)
{
    return "\n---\n--- Dumping data for table " + dump::QuoteName(table) + " - Total rows: " + countText + "\n---\n\n";
}

std::string RowStatementStart(const std::string& table, const std::vector<std::string>& columns)
{
    std::string start = "INSERT INTO " + dump::QuoteName(table) + " ";
    if (!columns.empty()) {
        start += '(';
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0)
                start += ", ";
            start += dump::QuoteName(columns[i]);
        }
        start += ") ";
    }
    return start + "VALUES (";
}

void AppendRowLine(std::string& out, std::string_view start, char** values, const unsigned long* lengths,
                     unsigned int count)
{
    out.append(start);
    for (unsigned int j = 0; j < count; ++j) {
        if (j > 0)
            out += ", ";
        AppendValue(out, values[j], values[j] ? lengths[j] : 0);
    }
    out += ')';
}

void AppendRowStatement(std::string& out, const std::string& table, char** values, const unsigned long* lengths,
                        unsigned int count)
{
    const std::string start = RowStatementStart(table);
    AppendRowLine(out, start, values, lengths, count);
    out += '\n';
}

namespace {

constexpr std::string_view kClosingTables = "-- End of Backup File - Tables: ";
constexpr std::string_view kClosingRows = " - Rows: ";

} // namespace

bool ParseCount(std::string_view text, long long& value)
{
    if (text.empty() || text.size() > 18 || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

std::string ClosingLine(long long tables, long long rows)
{
    return std::string(kClosingTables) + std::to_string(tables) + std::string(kClosingRows) + std::to_string(rows);
}

std::string ClosingText(long long tables, long long rows)
{
    return "\n" + ClosingLine(tables, rows) + "\n";
}

bool ParseClosingLine(std::string_view line, long long& tables, long long& rows)
{
    if (!StartsWith(line, kClosingTables))
        return false;
    line.remove_prefix(kClosingTables.size());
    const size_t split = line.find(kClosingRows);
    if (split == std::string_view::npos)
        return false;
    return ParseCount(line.substr(0, split), tables) && ParseCount(line.substr(split + kClosingRows.size()), rows);
}

DumpLineKind ClassifyDumpLine(std::string_view line)
{
    const std::string_view start = SkipBlanks(line);
    if (StartsWith(start, "CREATE TABLE"))
        return DumpLineKind::CreateTable;
    if (StartsWith(start, "INSERT INTO"))
        return DumpLineKind::InsertInto;
    if (line.find("Dumping data for table") != std::string_view::npos)
        return DumpLineKind::DumpingData;
    return DumpLineKind::Other;
}

StatementLine SplitStatementLine(std::string_view line)
{
    StatementLine parts;
    const size_t open = line.find('`');
    if (open == std::string_view::npos) {
        parts.head = line;
        return parts;
    }
    parts.head = line.substr(0, open);
    size_t i = open + 1;
    for (; i < line.size(); ++i) {
        if (line[i] != '`') {
            parts.table += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '`') {
            parts.table += '`';
            ++i;
        } else {
            break;
        }
    }
    if (i < line.size())
        parts.rest = line.substr(i + 1);
    return parts;
}

std::string_view RowTotalText(std::string_view line)
{
    std::string_view tail = line;
    if (line.find('`') != std::string_view::npos)
        tail = SplitStatementLine(line).rest;
    const size_t colon = tail.find(':');
    if (colon == std::string_view::npos)
        return {};
    tail = tail.substr(colon + 1);
    tail = tail.substr(0, tail.find(':'));
    size_t i = 0;
    while (i < tail.size() && (tail[i] == ' ' || tail[i] == '\t' || tail[i] == '\r' || tail[i] == '\n'))
        ++i;
    return tail.substr(i);
}

long long RowTotalOf(std::string_view line)
{
    return LeadingInteger(RowTotalText(line));
}
