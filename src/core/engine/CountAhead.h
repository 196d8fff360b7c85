#pragma once

#include "core/engine/ConnectionParams.h"
#include "core/engine/MysqlClient.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Counts a table's rows on a second connection, on a thread of its own,
// while the run reads the same table's rows on its connection: the count its
// data heading needs costs no pass over the table before the rows.
//
// The second connection's snapshot starts right after the run's (StartSnapshot
// just after the run's START TRANSACTION WITH CONSISTENT SNAPSHOT), so its
// counts are those of the run's snapshot unless a commit fell in between.
// That is why a count from here is a forecast: the run compares it with the
// rows it reads from its own snapshot and, when they differ, counts that
// table again itself.
//
// A table is counted only once the run has begun reading its rows (Count is
// asked then): the run already holds the table's metadata lock, so the
// second connection makes no other client's ALTER or DROP wait that would not
// wait anyway. Its own wait for a lock is short (such a wait can only be
// behind another client's waiting ALTER, which waits for the run): it fails
// the count, and the run counts itself.
//
// The connection has no wait hook and is used by the worker thread alone.
class CountAhead {
public:
    enum class State { Pending, Ready, Failed };

    CountAhead() = default;
    // Stops the worker, cutting a count in progress short.
    ~CountAhead();
    CountAhead(const CountAhead&) = delete;
    CountAhead& operator=(const CountAhead&) = delete;

    // Connects; false when the second connection cannot be made (the run then
    // counts every table itself).
    bool Connect(const ConnectionParams& params);
    // Starts the connection's consistent snapshot and the worker; false (and
    // no counts) when the server refuses the snapshot.
    bool Start();
    // Started, and no count has failed yet (after a failure the run counts
    // every table itself).
    bool Active();

    // Asks for the count of `table`; `id` names it in Poll and Wait.
    void Count(size_t id, const std::string& table);
    // Table `id`'s count as the server gave it (decimal text): Ready with the
    // text, Pending while it is being counted, Failed when it was not asked
    // for, the server refused it or the connection was lost.
    State Poll(size_t id, std::string& count);
    // The same, waiting up to `wait` while it is pending.
    State Wait(size_t id, std::chrono::milliseconds wait, std::string& count);

    // Ends the counting (the destructor does it too).
    void Stop();

private:
    void Work();

    MysqlConnection conn_;
    std::thread worker_;
    bool started_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Guarded by mutex_:
    std::deque<std::pair<size_t, std::string>> asked_;
    std::vector<size_t> pending_;                       // asked and not answered
    std::vector<std::pair<size_t, std::optional<std::string>>> answers_;
    bool busy_ = false;  // a count is running on the connection
    bool lost_ = false;  // the connection failed; nothing more is counted
    bool stop_ = false;
};
