#include "core/restore/RowBatch.h"

RowBatch::RowBatch(std::size_t maxBytes)
    : maxBytes_(maxBytes)
{
}

void RowBatch::Reset(std::size_t maxBytes)
{
    Clear();
    maxBytes_ = maxBytes;
}

std::string RowBatch::StatementStart(std::string_view quotedTarget, std::string_view columnList)
{
    std::string start = "INSERT INTO ";
    start.append(quotedTarget);
    if (!columnList.empty()) {
        start += ' ';
        start.append(columnList);
    }
    start += " VALUES ";
    return start;
}

bool RowBatch::Takes(std::string_view start, std::string_view values) const
{
    if (tuples_.empty())
        return true;
    return std::string_view(statement_).substr(0, startBytes_) == start
        && statement_.size() + 1 + values.size() <= maxBytes_;
}

void RowBatch::Add(std::string_view start, std::string_view values)
{
    if (tuples_.empty()) {
        statement_.assign(start);
        startBytes_ = start.size();
    } else {
        statement_ += ',';
    }
    tuples_.emplace_back(statement_.size(), values.size());
    statement_.append(values);
}

std::string RowBatch::RowStatement(std::size_t i) const
{
    std::string sql;
    sql.reserve(startBytes_ + tuples_[i].second);
    sql.append(statement_, 0, startBytes_);
    sql.append(statement_, tuples_[i].first, tuples_[i].second);
    return sql;
}

void RowBatch::Clear()
{
    tuples_.clear();
    statement_.clear();
    startBytes_ = 0;
}
