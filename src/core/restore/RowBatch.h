#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Consecutive row statements of one table, gathered into one multi-row
// INSERT: "INSERT INTO `t` [(`a`, `b`)] VALUES (...),(...),...". Each row's
// own statement, as a restore sends it one line at a time, can be given back
// for replaying a batch the server refused. Memory stays within the limit
// (a single row longer than it makes a batch of its own).
class RowBatch {
public:
    explicit RowBatch(std::size_t maxBytes = 0);
    // Empties the batch and sets its limit.
    void Reset(std::size_t maxBytes);

    // The start every row of the batch shares: "INSERT INTO `t` VALUES " or
    // "INSERT INTO `t` (`a`, `b`) VALUES ".
    static std::string StatementStart(std::string_view quotedTarget, std::string_view columnList);

    bool Empty() const { return tuples_.empty(); }
    std::size_t Rows() const { return tuples_.size(); }
    // Whether a row of this start and tuple joins the batch: the batch is
    // empty, or has the same start and stays within the limit with it.
    bool Takes(std::string_view start, std::string_view values) const;
    // Adds a row; the batch must take it (Takes) or be empty.
    void Add(std::string_view start, std::string_view values);
    // The multi-row INSERT of every row.
    const std::string& Statement() const { return statement_; }
    // Row i's own statement: the start and its tuple.
    std::string RowStatement(std::size_t i) const;
    void Clear();

private:
    std::size_t maxBytes_;
    std::size_t startBytes_ = 0;
    std::string statement_;
    // Where each tuple lies in statement_.
    std::vector<std::pair<std::size_t, std::size_t>> tuples_;
};
