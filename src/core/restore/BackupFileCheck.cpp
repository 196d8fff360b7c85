#include "core/restore/BackupFileCheck.h"

#include "core/dump/BackupFileGrammar.h"
#include "core/restore/LineReader.h"

#include <unordered_set>

namespace {

// How often the check lets the window breathe and looks at the stop request.
constexpr long long kLinesPerBreath = 4096;
constexpr unsigned long long kBytesPerBreath = 8ull << 20;

} // namespace

BackupFileCheck::BackupFileCheck(std::size_t maxStatementBytes, std::function<bool()> keepGoing)
    : maxStatement_(maxStatementBytes)
    , keepGoing_(std::move(keepGoing))
{
}

FileCheckResult BackupFileCheck::Run(LineReader& reader)
{
    using dump::FileLine;
    FileCheckResult result;
    dump::BackupFileGrammar grammar(maxStatement_);
    std::unordered_set<std::string> seen;
    std::string line;
    long long nextBreathLine = kLinesPerBreath;
    unsigned long long nextBreathBytes = kBytesPerBreath;
    FileLine kind = FileLine::End;
    while (reader.Next(line)) {
        kind = reader.Overlong() ? grammar.FeedOverlong(reader.LineBytes(), maxStatement_) : grammar.Feed(line);
        if (kind == FileLine::Bad)
            break;
        if (kind == FileLine::StructureTitle && seen.insert(grammar.Table()).second) {
            result.tables.push_back(grammar.Table());
            result.tableRows.push_back(0);
            result.rowsBegin.push_back(0);
            result.rowsEnd.push_back(0);
        }
        if (kind == FileLine::DataTitle && !result.tableRows.empty())
            result.tableRows.back() = grammar.RowTotal();
        // The first row of a section starts where the empty line after its
        // heading ends.
        if (kind == FileLine::Blank && grammar.AtRows() && !result.rowsBegin.empty())
            result.rowsBegin.back() = result.rowsEnd.back() = reader.Consumed();
        else if (kind == FileLine::Row && !result.rowsEnd.empty())
            result.rowsEnd.back() = reader.Consumed();
        if (grammar.LineNumber() >= nextBreathLine || reader.BytesRead() >= nextBreathBytes) {
            nextBreathLine = grammar.LineNumber() + kLinesPerBreath;
            nextBreathBytes = reader.BytesRead() + kBytesPerBreath;
            if (keepGoing_ && !keepGoing_()) {
                result.verdict = FileCheckResult::Verdict::Cancelled;
                return result;
            }
        }
    }
    if (kind != FileLine::Bad && reader.Failed()) {
        result.line = grammar.LineNumber() + 1;
        result.reason = reader.Error();
        return result;
    }
    if (kind != FileLine::Bad) {
        kind = grammar.FeedEnd();
        if (kind == FileLine::CreateEnd)
            kind = grammar.FeedEnd();
    }
    if (kind == FileLine::Bad) {
        result.line = grammar.ErrorLine();
        result.reason = grammar.Error();
        // Damaged compressed data reads as text until the decoder finds the
        // damage (at the latest at its frame's checksum): a wrong line there
        // is the damage showing, and the decoder's finding is the reason.
        if (reader.Compressed()) {
            while (reader.Next(line)) {
            }
            if (reader.Failed())
                result.reason = reader.Error();
        }
        return result;
    }
    result.rows = grammar.Rows();
    result.utcTimestamps = grammar.UtcTimestamps();
    result.header = grammar.Header();
    result.verdict = grammar.Closed() ? FileCheckResult::Verdict::Complete : FileCheckResult::Verdict::Unfinished;
    return result;
}

std::string BackupFileCheck::DamagedMessage(const FileCheckResult& result)
{
    return "The backup file is incomplete or damaged.\r\n\r\nLine " + std::to_string(result.line) + ": "
        + result.reason + ".\r\n\r\nNothing was restored.";
}
