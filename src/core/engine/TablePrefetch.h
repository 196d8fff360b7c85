#pragma once

#include "core/engine/ConnectionParams.h"
#include "core/engine/MysqlClient.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the rows are read with: every column, or the ones the row statements
// name.
std::string RowSelectList(const std::vector<std::string>& columns);

// Reads some of a backup's tables on a second connection, on a thread of its
// own, while the run reads the others on its connection: the server reads
// two tables at once. Each table read here becomes a spool file (unnamed,
// beside the backup file) holding its row lines exactly as the backup file
// holds them, which the run copies behind the table's data heading when its
// turn comes, so the file keeps its order and its bytes.
//
// Both connections see one snapshot: the run starts its own while commits are
// blocked (BACKUP STAGE BLOCK_COMMIT, or a global read lock on servers
// without backup stages), StartSnapshot starts this one, and the lock goes at
// once. Without the privilege for either, nothing is read here.
//
// At most one finished spool waits to be taken while the next table is read,
// so the disk holds at most two tables beside the file. The connection has
// no wait hook and is used by the worker thread alone.
class TablePrefetch {
public:
    enum class State { Pending, Ready, Failed };
    // A table read into its spool.
    struct Spool {
        int fd = -1;                      // the unnamed file, owned by the prefetch until Take
        unsigned long long bytes = 0;     // its length
        long long rows = 0;               // row lines it holds
        // The length of the first line of `longLine` bytes or more (without
        // its end), or 0; the table is read no further then.
        unsigned long long firstLong = 0;
        std::vector<std::string> rowColumns; // the columns the rows name (empty: all, by position)
    };

    TablePrefetch() = default;
    ~TablePrefetch();
    TablePrefetch(const TablePrefetch&) = delete;
    TablePrefetch& operator=(const TablePrefetch&) = delete;

    // Connects and sets up the session as `sessionSql` does the run's; false
    // when that fails (the run then reads every table itself).
    bool Connect(const ConnectionParams& params, const std::vector<std::string>& sessionSql);
    bool Connected() const { return conn_.Connected(); }
    // Starts this connection's snapshot; call it while the run holds the
    // lock under which its own snapshot started.
    bool StartSnapshot();
    // Starts reading `tables` (in this order; the ids name them in Take) into
    // spool files made in `spoolDir`. A line of `longLine` bytes or more
    // (0: no limit) ends its table's reading.
    void Start(std::vector<std::pair<size_t, std::string>> tables, const std::string& spoolDir,
               unsigned long long longLine);
    // Whether table `id` is one read here.
    bool Reads(size_t id) const;
    // Waits up to `wait` for table `id`: Ready gives its spool (the caller
    // closes its fd), Failed when it could not be read here (the run reads it
    // itself), Pending while it is being read.
    State Take(size_t id, std::chrono::milliseconds wait, Spool& spool);
    // Ends the reading, cutting a table in progress short; spools not taken
    // are closed.
    void Stop();

private:
    struct Entry {
        size_t id;
        std::string table;
        State state = State::Pending;
        bool taken = false;
        Spool spool;
    };
    void Work();
    // Reads one table into `spool`; false when it could not.
    bool ReadTable(const std::string& table, Spool& spool);

    MysqlConnection conn_;
    std::thread worker_;
    std::string spoolDir_;
    unsigned long long longLine_ = 0;
    std::vector<Entry> entries_; // the list is fixed once started
    bool started_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_: the entries' state, taken and spool, and these.
    bool busy_ = false;
    bool stop_ = false;
};
