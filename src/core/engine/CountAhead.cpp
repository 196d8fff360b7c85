#include "core/engine/CountAhead.h"

#include <algorithm>

CountAhead::~CountAhead()
{
    Stop();
}

bool CountAhead::Connect(const ConnectionParams& params)
{
    return conn_.Initialised() && conn_.Connect(params)
        && conn_.Query("SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ")
        && conn_.Query("SET SESSION lock_wait_timeout = 2");
}

bool CountAhead::Start()
{
    if (started_ || !conn_.Connected() || !conn_.Query("START TRANSACTION WITH CONSISTENT SNAPSHOT"))
        return false;
    asked_.clear();
    pending_.clear();
    answers_.clear();
    busy_ = lost_ = stop_ = false;
    started_ = true;
    worker_ = std::thread([this] { Work(); });
    return true;
}

bool CountAhead::Active()
{
    if (!started_)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return !lost_;
}

void CountAhead::Count(size_t id, const std::string& table)
{
    if (!started_)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    asked_.emplace_back(id, table);
    pending_.push_back(id);
    changed_.notify_all();
}

void CountAhead::Work()
{
    for (;;) {
        std::pair<size_t, std::string> next;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !asked_.empty(); });
            if (stop_)
                return;
            next = std::move(asked_.front());
            asked_.pop_front();
            busy_ = true;
        }
        std::optional<std::string> count;
        if (conn_.Query("select count(*) from " + QuoteIdentifier(next.second))) {
            MysqlResult result = conn_.StoreResult();
            MYSQL_ROW row = result.FetchRow();
            if (row && row[0])
                count = row[0];
        }
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
        pending_.erase(std::find(pending_.begin(), pending_.end(), next.first));
        answers_.emplace_back(next.first, count);
        if (!count) {
            // A refused count, a lock it could not wait for, or a lost
            // connection: the run counts from here on.
            lost_ = true;
            changed_.notify_all();
            return;
        }
        changed_.notify_all();
    }
}

CountAhead::State CountAhead::Poll(size_t id, std::string& count)
{
    return Wait(id, std::chrono::milliseconds(0), count);
}

CountAhead::State CountAhead::Wait(size_t id, std::chrono::milliseconds wait, std::string& count)
{
    if (!started_)
        return State::Failed;
    std::unique_lock<std::mutex> lock(mutex_);
    auto answered = [&] {
        return std::find_if(answers_.begin(), answers_.end(), [&](const auto& a) { return a.first == id; });
    };
    changed_.wait_for(lock, wait, [&] { return answered() != answers_.end() || lost_; });
    const auto a = answered();
    if (a != answers_.end()) {
        if (!a->second)
            return State::Failed;
        count = *a->second;
        return State::Ready;
    }
    const bool asked = std::find(pending_.begin(), pending_.end(), id) != pending_.end();
    return asked && !lost_ ? State::Pending : State::Failed;
}

void CountAhead::Stop()
{
    if (started_) {
        bool busy = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            busy = busy_;
            changed_.notify_all();
        }
        // A count in progress is cut short: the connection's reads fail at once.
        if (busy)
            conn_.Abort();
        worker_.join();
        started_ = false;
    }
    conn_.Close();
}
