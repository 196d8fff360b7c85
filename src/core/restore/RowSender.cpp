#include "core/restore/RowSender.h"

#include "core/dump/SqlShape.h"
#include "core/engine/MysqlClient.h"
#include "core/store/Numbers.h"

#include <mysqld_error.h>

#include <vector>

std::string RestoreBatchSqlMode(const std::string& sessionMode)
{
    size_t begin = 0;
    while (begin <= sessionMode.size()) {
        size_t end = sessionMode.find(',', begin);
        if (end == std::string::npos)
            end = sessionMode.size();
        if (sessionMode.compare(begin, end - begin, "STRICT_ALL_TABLES") == 0)
            return sessionMode;
        begin = end + 1;
    }
    return sessionMode.empty() ? "STRICT_ALL_TABLES" : sessionMode + ",STRICT_ALL_TABLES";
}

std::string RestoreSessionSqlMode(const std::string& serverMode)
{
    // Modes that would make the server read the file's values differently
    // from how they were written. TRADITIONAL is a group that brings the zero
    // date modes back, so it goes as well (its other members stay listed).
    static const std::vector<std::string> kDropped = {
        "NO_BACKSLASH_ESCAPES", "NO_ZERO_DATE", "NO_ZERO_IN_DATE", "EMPTY_STRING_IS_NULL", "TRADITIONAL",
    };
    std::string mode;
    bool autoValueOnZero = false;
    size_t begin = 0;
    while (begin <= serverMode.size()) {
        size_t end = serverMode.find(',', begin);
        if (end == std::string::npos)
            end = serverMode.size();
        const std::string item = serverMode.substr(begin, end - begin);
        begin = end + 1;
        if (item.empty())
            continue;
        bool dropped = false;
        for (const std::string& d : kDropped)
            dropped = dropped || item == d;
        if (dropped)
            continue;
        autoValueOnZero = autoValueOnZero || item == "NO_AUTO_VALUE_ON_ZERO";
        if (!mode.empty())
            mode += ',';
        mode += item;
    }
    if (!autoValueOnZero)
        mode += mode.empty() ? "NO_AUTO_VALUE_ON_ZERO" : ",NO_AUTO_VALUE_ON_ZERO";
    return mode;
}

RowSender::RowSender(MysqlConnection& conn)
    : conn_(conn)
{
}

bool RowSender::PrepareSession(std::size_t batchBytes)
{
    batchBytes_ = batchBytes;
    if (!conn_.Query("SELECT @@SESSION.sql_mode, @@SESSION.max_allowed_packet"))
        return false;
    std::string serverMode;
    {
        MysqlResult result = conn_.StoreResult();
        MYSQL_ROW row = result.FetchRow();
        if (!row)
            return false;
        serverMode = row[0] ? row[0] : "";
        const long long packet = row[1] ? LeadingInteger(row[1]) : 0;
        maxPacket_ = packet > 0 ? static_cast<unsigned long long>(packet) : 0;
    }
    lineMode_ = RestoreSessionSqlMode(serverMode);
    batchMode_ = RestoreBatchSqlMode(lineMode_);
    batchModeOn_ = false;
    batch_.Reset(maxPacket_ != 0 && maxPacket_ / 4 < batchBytes_ ? static_cast<size_t>(maxPacket_ / 4) : batchBytes_);
    return conn_.Query("SET SESSION sql_mode = '" + conn_.Escape(lineMode_)
                       + "', SESSION foreign_key_checks = 0, SESSION autocommit = 0");
}

void RowSender::StartTable(const std::string& quotedTarget, const std::string& name)
{
    batch_.Clear();
    rowTarget_ = quotedTarget;
    rowStart_.clear();
    rowColumns_.clear();
    sentInTable_ = 0;
    transactional_ = false;
    if (conn_.Query("SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e "
                    "ON e.ENGINE = t.ENGINE WHERE t.TABLE_SCHEMA = DATABASE() AND t.TABLE_NAME = '"
                    + conn_.Escape(name) + "'")) {
        MysqlResult result = conn_.StoreResult();
        MYSQL_ROW row = result.FetchRow();
        transactional_ = row && row[0] && std::string(row[0]) == "YES";
    }
}

bool RowSender::Takes(const dump::RowStatement& row)
{
    if (rowStart_.empty() || row.columnList != rowColumns_) {
        rowColumns_.assign(row.columnList);
        rowStart_ = RowBatch::StatementStart(rowTarget_, rowColumns_);
    }
    return batch_.Takes(rowStart_, row.values);
}

void RowSender::Add(const dump::RowStatement& row)
{
    batch_.Add(rowStart_, row.values);
}

bool RowSender::Flush(const RowHooks& hooks)
{
    failedRow_ = -1;
    if (batch_.Empty())
        return true;
    const size_t rows = batch_.Rows();
    const bool sent = batchBytes_ != 0 && UseBatchMode(true) && Execute(batch_.Statement());
    // Rows of the batch that are in the table.
    size_t in = rows;
    if (!sent && batchBytes_ == 0) {
        in = 0;
    } else if (!sent) {
        in = 0;
        if (conn_.ErrorNumber() == ER_LOCK_DEADLOCK) {
            // The server rolled the whole transaction back: the rows sent
            // since the last commit are gone, and sending this batch again
            // would hide that.
            batch_.Clear();
            return false;
        }
        if (!transactional_) {
            // A table that cannot undo a statement keeps the rows before the
            // one that stopped it.
            const long long held = RowsInTarget() - sentInTable_;
            if (held < 0 || held >= static_cast<long long>(rows)) {
                batch_.Clear();
                Commit();
                return false;
            }
            in = static_cast<size_t>(held);
        }
        UseBatchMode(false);
    }
    for (size_t i = 0; i < rows; ++i) {
        if (hooks.before)
            hooks.before(i);
        if (i >= in && !Execute(batch_.RowStatement(i))) {
            failedRow_ = static_cast<long long>(i);
            sentInTable_ += failedRow_;
            batch_.Clear();
            Commit();
            return false;
        }
        if (hooks.after)
            hooks.after(i, i >= in);
        if (++uncommittedRows_ >= kRowsPerCommit && !Commit()) {
            sentInTable_ += static_cast<long long>(i) + 1;
            batch_.Clear();
            return false;
        }
    }
    sentInTable_ += static_cast<long long>(rows);
    batch_.Clear();
    return true;
}

bool RowSender::UseBatchMode(bool batch)
{
    if (batch == batchModeOn_ || batchMode_ == lineMode_)
        return true;
    if (!conn_.Query("SET SESSION sql_mode = '" + conn_.Escape(batch ? batchMode_ : lineMode_) + "'"))
        return false;
    batchModeOn_ = batch;
    return true;
}

long long RowSender::RowsInTarget()
{
    if (!conn_.Query("SELECT COUNT(*) FROM " + rowTarget_))
        return -1;
    MysqlResult result = conn_.StoreResult();
    MYSQL_ROW row = result.FetchRow();
    return row && row[0] ? LeadingInteger(row[0]) : -1;
}

bool RowSender::Execute(const std::string& sql)
{
    if (maxPacket_ != 0 && sql.size() >= maxPacket_)
        return false;
    return conn_.Query(sql);
}

bool RowSender::Commit()
{
    uncommittedRows_ = 0;
    return conn_.Query("COMMIT");
}
