#pragma once

#include "core/restore/RowBatch.h"

#include <cstddef>
#include <functional>
#include <string>

class MysqlConnection;
namespace dump {
struct RowStatement;
} // namespace dump

// The sql_mode of a restore session, made from the server's: the file's
// values are read with backslash escapes, zero dates are values like any
// other, an empty text stays an empty text, and a 0 in an AUTO_INCREMENT
// column stays 0 instead of being renumbered. Strictness stays the server's.
std::string RestoreSessionSqlMode(const std::string& serverMode);
// The sql_mode under which rows go in batches: the session's, strict for
// every engine (STRICT_ALL_TABLES), so a multi-row INSERT stops at the first
// row that one line at a time would refuse or store differently (without it,
// a NULL in a NOT NULL column or a later row's bad value only warns).
std::string RestoreBatchSqlMode(const std::string& sessionMode);

// Sends the row statements of a data section on one connection of a
// restore, the way a restore sends them on any of its connections.
//
// Consecutive rows with the same column list go to the server as one
// multi-row INSERT of at most the batch size (and a quarter of the server's
// packet limit), under the strict batch mode. A batch the server refuses is
// sent again one row at a time under the session's own mode, from its first
// row that is not in the table (a transactional table takes none of a
// refused statement; of any other, the count of its rows tells): the failing
// row, the rows before it and the outcome are those of one line at a time.
// The session commits every kRowsPerCommit rows.
class RowSender {
public:
    static constexpr long long kRowsPerCommit = 10000;
    static constexpr std::size_t kBatchBytes = std::size_t(1) << 20;

    // What Flush tells about each row of the batch: Before(i) as its turn
    // comes, After(i, alone) once it is in (alone: it was sent on its own).
    struct RowHooks {
        std::function<void(std::size_t)> before;
        std::function<void(std::size_t, bool)> after;
    };

    explicit RowSender(MysqlConnection& conn);

    // Reads the session's sql_mode and packet limit, then sets the session
    // to write: the restore's sql_mode, foreign-key checks off, autocommit
    // off. `batchBytes` 0 sends every row on its own.
    bool PrepareSession(std::size_t batchBytes);
    // The server's packet limit (0: unknown).
    unsigned long long MaxPacket() const { return maxPacket_; }

    // The rows that follow go to `quotedTarget` (table `name` of the
    // database), none of them sent yet.
    void StartTable(const std::string& quotedTarget, const std::string& name);
    // Whether a row joins the batch as it stands (else Flush first).
    bool Takes(const dump::RowStatement& row);
    void Add(const dump::RowStatement& row);
    bool BatchEmpty() const { return batch_.Empty(); }
    std::size_t BatchRows() const { return batch_.Rows(); }
    // Sends the batch; false when a row was refused (FailedRow tells which
    // one of the batch, or -1 when the batch could not be sent again) or a
    // commit failed. The rows before a refused one are committed, unless the
    // server rolled the whole transaction back (a deadlock).
    bool Flush(const RowHooks& hooks);
    long long FailedRow() const { return failedRow_; }
    // Rows of the current table sent so far.
    long long SentInTable() const { return sentInTable_; }

    // Sends a statement the run needs to succeed; refuses one longer than
    // the server's packet limit without sending it (the server would drop
    // the connection and with it the rows not yet committed).
    bool Execute(const std::string& sql);
    bool Commit();
    // The session's sql_mode for batches (strict) or for everything else.
    bool UseBatchMode(bool batch);

private:
    // The rows the current table holds, or -1.
    long long RowsInTarget();

    MysqlConnection& conn_;
    unsigned long long maxPacket_ = 0;
    std::size_t batchBytes_ = kBatchBytes;
    RowBatch batch_;
    std::string lineMode_;  // the session's sql_mode for single statements
    std::string batchMode_; // ... and for batches
    bool batchModeOn_ = false;
    std::string rowTarget_;      // the quoted target of the current rows
    bool transactional_ = false; // its engine undoes a refused statement whole
    std::string rowColumns_;     // the column list of the rows being gathered
    std::string rowStart_;       // their statements' start (RowBatch::StatementStart)
    long long sentInTable_ = 0;
    long long uncommittedRows_ = 0;
    long long failedRow_ = -1;
};
