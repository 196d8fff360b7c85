#pragma once

#include "core/dump/DumpFormat.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class LineReader;

// The first pass of a restore: reads the whole backup file before anything
// is dropped, created or inserted, and checks its header, the shape of every
// line, every data section's "Total rows" against the row statements that
// follow it, that no line or statement is too long for the server, and that
// the file ends with its closing line (BackupFileGrammar).
struct FileCheckResult {
    enum class Verdict {
        Complete,   // every check passed and the closing line is there
        Unfinished, // every check passed, but the file ends without a closing
                    // line: an older version wrote it, or it was cut short
                    // between two sections
        Damaged,    // line `line` is wrong (`reason`)
        Cancelled,  // the run was stopped during the check
    };
    Verdict verdict = Verdict::Damaged;
    long long line = 0;
    std::string reason;
    std::vector<std::string> tables; // the file's tables, in file order, each once
    std::vector<long long> tableRows; // the rows each of them holds in the file
    // Where each table's row statements lie in the text: from the line after
    // its data heading to the end of its last row line (text offsets, as
    // LineReader::Consumed counts them; equal when it has none).
    std::vector<long long> rowsBegin;
    std::vector<long long> rowsEnd;
    long long rows = 0;              // row statements in the file
    // The header carries the session time zone line: TIMESTAMP values are
    // UTC (see BackupFileGrammar::UtcTimestamps).
    bool utcTimestamps = false;
    DumpHeader header;               // the header's values
};

class BackupFileCheck {
public:
    // Lines longer than the server's packet limit (see RestoreLimits) are
    // refused. `keepGoing` is called every few thousand lines and every few
    // megabytes; it lets the window breathe and returns false to stop.
    BackupFileCheck(std::size_t maxStatementBytes, std::function<bool()> keepGoing);

    // Reads `reader` (open, at its first line) to its end.
    FileCheckResult Run(LineReader& reader);

    // The Error message for a damaged file:
    // "The backup file is incomplete or damaged.\r\n\r\nLine <n>: <reason>.\r\n\r\nNothing was restored."
    static std::string DamagedMessage(const FileCheckResult& result);

private:
    std::size_t maxStatement_;
    std::function<bool()> keepGoing_;
};
