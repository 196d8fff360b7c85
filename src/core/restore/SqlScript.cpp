#include "core/restore/SqlScript.h"

#include "core/dump/BackupFileGrammar.h"
#include "core/dump/SqlShape.h"
#include "core/restore/LineReader.h"
#include "core/restore/RowBatch.h"

#include <unordered_set>
#include <utility>

namespace {

// The session settings the script changes, kept in user variables so the
// end of the script can put them back: a script may be sourced into a
// session that goes on afterwards.
constexpr std::string_view kPrologue
    = "SET @VORDA_OLD_CHARACTER_SET_CLIENT = @@CHARACTER_SET_CLIENT, "
      "@VORDA_OLD_CHARACTER_SET_RESULTS = @@CHARACTER_SET_RESULTS, "
      "@VORDA_OLD_COLLATION_CONNECTION = @@COLLATION_CONNECTION, @VORDA_OLD_TIME_ZONE = @@TIME_ZONE, "
      "@VORDA_OLD_SQL_MODE = @@SQL_MODE, @VORDA_OLD_FOREIGN_KEY_CHECKS = @@FOREIGN_KEY_CHECKS;\n"
      "SET NAMES utf8mb4;\n";
constexpr std::string_view kSessionModes
    = "SET SQL_MODE = 'NO_AUTO_VALUE_ON_ZERO';\n"
      "SET FOREIGN_KEY_CHECKS = 0;\n";
constexpr std::string_view kEpilogue
    = "SET FOREIGN_KEY_CHECKS = @VORDA_OLD_FOREIGN_KEY_CHECKS, SQL_MODE = @VORDA_OLD_SQL_MODE, "
      "TIME_ZONE = @VORDA_OLD_TIME_ZONE;\n"
      "SET CHARACTER_SET_CLIENT = @VORDA_OLD_CHARACTER_SET_CLIENT, "
      "CHARACTER_SET_RESULTS = @VORDA_OLD_CHARACTER_SET_RESULTS, "
      "COLLATION_CONNECTION = @VORDA_OLD_COLLATION_CONNECTION;\n";

// A header value on a comment line: line ends would end the comment.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

} // namespace

SqlScript::SqlScript(std::string prefix)
    : prefix_(std::move(prefix))
{
}

bool SqlScript::IsValidPrefix(const std::string& prefix)
{
    if (prefix.size() > dump::kMaxNameChars)
        return false;
    for (char c : prefix) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

FileCheckResult SqlScript::Check(const std::string& path)
{
    path_ = path;
    LineReader reader(LineReader::kDefaultMaxLine, LineReader::LongLines::Refuse);
    if (!reader.Open(path)) {
        check_ = FileCheckResult {};
        check_.reason = "cannot be opened";
        return check_;
    }
    BackupFileCheck check(LineReader::kDefaultMaxLine, [] { return true; });
    check_ = check.Run(reader);
    return check_;
}

std::string SqlScript::Write(const Sink& sink)
{
    using dump::FileLine;
    if (check_.verdict != FileCheckResult::Verdict::Complete && check_.verdict != FileCheckResult::Verdict::Unfinished)
        return "the file has not passed its check";
    LineReader reader(LineReader::kDefaultMaxLine, LineReader::LongLines::Refuse);
    if (!reader.Open(path_))
        return "the file cannot be opened";

    const std::unordered_set<std::string> fileTables(check_.tables.begin(), check_.tables.end());
    const DumpHeader& header = check_.header;
    std::string out = "-- SQL script of Vorda backup " + OneLine(header.backupName) + " of " + OneLine(header.startTimeText)
                      + ", database " + OneLine(header.database) + " on host " + OneLine(header.host) + ".\n";
    if (!prefix_.empty())
        out += "-- The tables are created as " + prefix_ + "<table>, beside the originals.\n";
    out += kPrologue;
    // TIMESTAMP values are read in the zone they were written in.
    if (check_.utcTimestamps)
        out += std::string("SET TIME_ZONE = '") + kSessionTimeZone + "';\n";
    else
        out += "-- The file's TIMESTAMP values are in the zone of the server that wrote it.\n";
    out += kSessionModes;

    dump::BackupFileGrammar grammar(reader.MaxLine());
    grammar.ExpectUtcTimestamps(check_.utcTimestamps);
    RowBatch batch(kInsertBytes);
    std::string rowStart;
    std::string rowColumns;
    std::string target;
    auto flush = [&] {
        if (batch.Empty())
            return;
        out += batch.Statement();
        out += ";\n";
        batch.Clear();
    };
    // Hands the text gathered so far on, keeping memory within a batch.
    auto pass = [&] {
        if (out.empty())
            return true;
        const bool ok = sink(out);
        out.clear();
        return ok;
    };
    auto create = [&]() -> std::string {
        const std::string& table = grammar.Table();
        std::string statement = grammar.Statement();
        if (!prefix_.empty()) {
            const dump::StructureRewrite rewrite = dump::RewriteCreateTable(
                statement, prefix_ + table, prefix_, [&](const std::string& referenced) -> std::optional<std::string> {
                    if (fileTables.count(referenced))
                        return prefix_ + referenced;
                    return std::nullopt;
                });
            if (!rewrite.Ok())
                return "table " + table + ": " + dump::ShapeErrorText(rewrite.error);
            statement = rewrite.statement;
        }
        out += "\n-- Table " + dump::QuoteName(prefix_ + table) + "\n";
        out += "DROP TABLE IF EXISTS " + dump::QuoteName(prefix_ + table) + ";\n";
        out += statement;
        out += ";\n";
        return {};
    };
    auto badLine = [&] {
        return "line " + std::to_string(grammar.ErrorLine()) + ": " + grammar.Error() + " (the file changed since it was checked)";
    };

    std::string line;
    while (reader.Next(line)) {
        const FileLine kind
            = reader.Overlong() ? grammar.FeedOverlong(reader.LineBytes(), reader.MaxLine()) : grammar.Feed(line);
        if (kind == FileLine::Row) {
            const dump::RowStatement& row = grammar.Row();
            if (rowStart.empty() || row.columnList != rowColumns) {
                rowColumns.assign(row.columnList);
                rowStart = RowBatch::StatementStart(target, rowColumns);
            }
            if (!batch.Takes(rowStart, row.values)) {
                flush();
                if (!pass())
                    return "the script could not be written";
            }
            batch.Add(rowStart, row.values);
            continue;
        }
        flush();
        if (kind == FileLine::Bad)
            return badLine();
        if (kind == FileLine::CreateEnd) {
            if (std::string error = create(); !error.empty())
                return error;
        } else if (kind == FileLine::DataTitle) {
            target = dump::QuoteName(prefix_ + grammar.Table());
            rowStart.clear();
        }
        if (!pass())
            return "the script could not be written";
    }
    flush();
    if (reader.Failed())
        return "the file could not be read to its end";
    FileLine end = grammar.FeedEnd();
    if (end == FileLine::CreateEnd) {
        if (std::string error = create(); !error.empty())
            return error;
        end = grammar.FeedEnd();
    }
    if (end == FileLine::Bad)
        return badLine();
    if (check_.verdict == FileCheckResult::Verdict::Complete && !grammar.Closed())
        return "the file lost its closing line since it was checked";
    out += "\n";
    out += kEpilogue;
    if (!pass())
        return "the script could not be written";
    return {};
}
