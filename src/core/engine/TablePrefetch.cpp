#include "core/engine/TablePrefetch.h"

#include "core/dump/DumpFormat.h"
#include "core/dump/TableDefinition.h"

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

std::string RowSelectList(const std::vector<std::string>& columns)
{
    if (columns.empty())
        return "*";
    std::string list;
    for (const std::string& c : columns) {
        if (!list.empty())
            list += ", ";
        list += QuoteIdentifier(c);
    }
    return list;
}

namespace {

// Writes all of `data` to `fd`.
bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TablePrefetch::~TablePrefetch()
{
    Stop();
}

bool TablePrefetch::Connect(const ConnectionParams& params, const std::vector<std::string>& sessionSql)
{
    if (!conn_.Initialised() || !conn_.Connect(params))
        return false;
    for (const std::string& sql : sessionSql) {
        if (!conn_.Query(sql)) {
            conn_.Close();
            return false;
        }
    }
    return true;
}

bool TablePrefetch::StartSnapshot()
{
    return conn_.Connected() && conn_.Query("START TRANSACTION WITH CONSISTENT SNAPSHOT");
}

void TablePrefetch::Start(std::vector<std::pair<size_t, std::string>> tables, const std::string& spoolDir,
                          unsigned long long longLine)
{
    if (started_ || !conn_.Connected() || tables.empty())
        return;
    spoolDir_ = spoolDir;
    longLine_ = longLine;
    entries_.clear();
    for (auto& [id, table] : tables)
        entries_.push_back({id, std::move(table)});
    stop_ = busy_ = false;
    started_ = true;
    worker_ = std::thread([this] { Work(); });
}

bool TablePrefetch::Reads(size_t id) const
{
    return started_ && std::any_of(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
}

void TablePrefetch::Work()
{
    for (Entry& entry : entries_) {
        {
            // One finished spool waits at most: the next table is read once
            // the one before it has been taken.
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] {
                return stop_
                    || std::none_of(entries_.begin(), entries_.end(),
                                    [](const Entry& e) { return e.state == State::Ready && !e.taken; });
            });
            if (stop_)
                return;
            busy_ = true;
        }
        Spool spool;
        const bool read = ReadTable(entry.table, spool);
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
        if (!read && spool.fd >= 0)
            ::close(spool.fd);
        entry.state = read ? State::Ready : State::Failed;
        if (read)
            entry.spool = std::move(spool);
        changed_.notify_all();
        if (!read) {
            // The connection may be lost: the run reads the rest itself.
            for (Entry& rest : entries_) {
                if (rest.state == State::Pending)
                    rest.state = State::Failed;
            }
            return;
        }
    }
}

bool TablePrefetch::ReadTable(const std::string& table, Spool& spool)
{
    const std::string quoted = QuoteIdentifier(table);
    if (!conn_.Query("show columns from " + quoted))
        return false;
    dump::TableDefinition definition;
    {
        MysqlResult columns = conn_.StoreResult();
        dump::ReadRowColumns(columns, definition);
    }
    spool.rowColumns = definition.rowColumns;
    spool.fd = ::open(spoolDir_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (spool.fd < 0)
        return false;
    if (!conn_.Query("select " + RowSelectList(definition.rowColumns) + " from " + quoted))
        return false;
    MysqlResult result = conn_.UseResult();
    if (!result)
        return false;
    const unsigned int fields = result.FieldCount();
    const std::string rowStart = RowStatementStart(table, definition.rowColumns);
    std::string buffer;
    buffer.reserve((1 << 20) + 65536);
    size_t lineStart = 0;
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = result.FetchRow(&lengths)) {
        lineStart = buffer.size();
        AppendRowLine(buffer, rowStart, row, lengths, fields);
        if (longLine_ != 0 && buffer.size() - lineStart >= longLine_) {
            // The run fails on it; the rest of the table is not wanted.
            spool.firstLong = buffer.size() - lineStart;
            conn_.Abort();
            return true;
        }
        buffer += "\r\n";
        ++spool.rows;
        if (buffer.size() >= (1 << 20)) {
            if (!WriteAll(spool.fd, buffer))
                return false;
            spool.bytes += buffer.size();
            buffer.clear();
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                return false;
        }
    }
    if (conn_.ErrorNumber() != 0 || !WriteAll(spool.fd, buffer))
        return false;
    spool.bytes += buffer.size();
    return true;
}

TablePrefetch::State TablePrefetch::Take(size_t id, std::chrono::milliseconds wait, Spool& spool)
{
    if (!started_)
        return State::Failed;
    std::unique_lock<std::mutex> lock(mutex_);
    const auto entry
        = std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (entry == entries_.end() || entry->taken)
        return State::Failed;
    changed_.wait_for(lock, wait, [&] { return entry->state != State::Pending; });
    if (entry->state == State::Ready) {
        entry->taken = true;
        spool = std::move(entry->spool);
        entry->spool.fd = -1;
        changed_.notify_all();
    }
    return entry->state;
}

void TablePrefetch::Stop()
{
    if (started_) {
        bool busy = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            busy = busy_;
            changed_.notify_all();
        }
        // A table being read is cut short: the connection's reads fail at once.
        if (busy)
            conn_.Abort();
        worker_.join();
        started_ = false;
        for (Entry& e : entries_) {
            if (!e.taken && e.spool.fd >= 0)
                ::close(e.spool.fd);
            e.spool.fd = -1;
        }
    }
    conn_.Close();
}
