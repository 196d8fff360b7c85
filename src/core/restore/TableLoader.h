#pragma once

#include "core/engine/ConnectionParams.h"
#include "core/engine/MysqlClient.h"
#include "core/restore/RowSender.h"

#include <atomic>
#include <memory>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Sends the rows of some of a restore's tables on a second connection, on a
// thread of its own, while the run sends the others on its connection: the
// server writes two tables at once.
//
// The run builds every table itself, in file order. When it reaches the rows
// of a large table while the loader is idle, it hands the table over (where
// its rows lie in the file, its target, the keys to add once they are in)
// and passes over those lines. The loader reads them with a reader of its
// own, checks every one again as a row of that table's data section, sends
// them through its own RowSender with the same session settings, commits,
// and adds the table's deferred keys. One table at a time; the connection is
// used by the worker thread alone.
class LineReader;

class TableLoader {
public:
    // How the last table ended.
    enum class Outcome {
        Done,       // every row is in (and its keys)
        Stopped,    // Stop came first; the rows sent are committed
        RowRefused, // a row or a commit was refused; the rows before it are committed
        BadFile,    // the file no longer holds what the check found there
        Unreadable, // the file could not be opened or read
        KeysFailed, // the rows are in, the keys could not be added
    };
    struct Job {
        std::string path;         // the backup file
        std::size_t maxLine = 0;  // its longest allowed line (see RestoreRun)
        long long begin = 0;      // text offset of the first row line
        long long end = 0;        // ... and of the end of the last one
        long long linesBefore = 0; // lines of the file before the first row
        std::string table;        // the table as the file names it
        long long rows = 0;       // row statements of its data section
        std::string quotedTarget; // where they go
        std::string targetName;   // ... unquoted
        std::string addKeys;      // the ALTER TABLE adding its deferred keys, or empty
        bool keysAfterStop = false; // add them even after a stop or a refused row
    };

    TableLoader() = default;
    ~TableLoader();
    TableLoader(const TableLoader&) = delete;
    TableLoader& operator=(const TableLoader&) = delete;

    // Connects and prepares the session as the run's (RowSender::
    // PrepareSession, and the time zone '+00:00' when `utc`); false when that
    // fails (the run then sends every table itself).
    bool Connect(const ConnectionParams& params, std::size_t batchBytes, bool utc);
    bool Connected() const { return conn_.Connected(); }
    // No table is being loaded.
    bool Idle() const { return !busy_.load(); }
    // Starts loading `job` (the loader must be idle).
    void Start(Job job);
    // Waits up to `wait` for the table being loaded; true once it is done.
    bool Wait(std::chrono::milliseconds wait);
    // Asks the table being loaded to end after the batch being sent.
    void Stop() { stop_ = true; }
    // Rows of the current (or last) table that are in.
    long long RowsIn() const { return rowsIn_.load(); }
    // Once idle: the last table and how it ended.
    const Job& LastJob() const { return job_; }
    Outcome LastOutcome() const { return outcome_; }
    // Rows of all its tables that are in.
    long long RowsInserted() const { return rowsInserted_; }

private:
    void Work();
    Outcome Load();

    MysqlConnection conn_;
    RowSender sender_ {conn_};
    std::unique_ptr<LineReader> reader_; // the file, where the last table ended
    std::string readerPath_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_ while busy_; the worker's alone between Start and
    // the end of the table.
    Job job_;
    Outcome outcome_ = Outcome::Done;
    long long rowsInserted_ = 0;
    bool quit_ = false;
    std::atomic<bool> busy_ {false};
    std::atomic<bool> stop_ {false};
    std::atomic<long long> rowsIn_ {0};
};
