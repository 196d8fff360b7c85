#include "core/restore/TableLoader.h"

#include "core/dump/BackupFileGrammar.h"
#include "core/dump/DumpFormat.h"
#include "core/restore/LineReader.h"

TableLoader::~TableLoader()
{
    if (worker_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
            stop_ = true;
            changed_.notify_all();
        }
        worker_.join();
    }
    conn_.Close();
}

bool TableLoader::Connect(const ConnectionParams& params, std::size_t batchBytes, bool utc)
{
    if (!conn_.Initialised() || !conn_.Connect(params))
        return false;
    if (!sender_.PrepareSession(batchBytes)
        || (utc && !conn_.Query(std::string("SET SESSION time_zone = '") + kSessionTimeZone + "'"))) {
        conn_.Close();
        return false;
    }
    return true;
}

void TableLoader::Start(Job job)
{
    if (!Connected() || busy_)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
    outcome_ = Outcome::Done;
    rowsIn_ = 0;
    stop_ = false;
    busy_ = true;
    if (!worker_.joinable())
        worker_ = std::thread([this] { Work(); });
    changed_.notify_all();
}

bool TableLoader::Wait(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return !busy_; });
}

void TableLoader::Work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || busy_; });
        if (quit_)
            return;
        lock.unlock();
        const Outcome outcome = Load();
        lock.lock();
        outcome_ = outcome;
        busy_ = false;
        changed_.notify_all();
    }
}

TableLoader::Outcome TableLoader::Load()
{
    // The tables come in file order: one reader goes on from the last, so a
    // compressed file is decoded once, not from its start for every table.
    if (!reader_ || readerPath_ != job_.path || reader_->Consumed() > job_.begin) {
        reader_ = std::make_unique<LineReader>(job_.maxLine, LineReader::LongLines::Refuse);
        readerPath_ = job_.path;
        if (!reader_->Open(job_.path)) {
            reader_.reset();
            return Outcome::Unreadable;
        }
    }
    LineReader& reader = *reader_;
    if (!reader.SkipTo(job_.begin)) {
        const bool failed = reader.Failed();
        reader_.reset();
        return failed ? Outcome::Unreadable : Outcome::BadFile;
    }
    dump::BackupFileGrammar grammar = dump::BackupFileGrammar::RowsOf(job_.table, job_.rows, job_.linesBefore);
    sender_.StartTable(job_.quotedTarget, job_.targetName);
    RowSender::RowHooks hooks;
    hooks.after = [this](std::size_t, bool) {
        ++rowsIn_;
        ++rowsInserted_;
    };
    Outcome outcome = Outcome::Done;
    std::string line;
    for (long long i = 0; i < job_.rows; ++i) {
        if (stop_) {
            outcome = Outcome::Stopped;
            break;
        }
        if (!reader.Next(line)) {
            outcome = reader.Failed() ? Outcome::Unreadable : Outcome::BadFile;
            break;
        }
        const dump::FileLine kind
            = reader.Overlong() ? grammar.FeedOverlong(reader.LineBytes(), reader.MaxLine()) : grammar.Feed(line);
        if (kind != dump::FileLine::Row) {
            outcome = Outcome::BadFile;
            break;
        }
        if (!sender_.Takes(grammar.Row()) && !sender_.Flush(hooks)) {
            outcome = Outcome::RowRefused;
            break;
        }
        sender_.Add(grammar.Row());
    }
    // What was read before the end, a stop or a bad line goes in.
    if (outcome != Outcome::RowRefused && !sender_.Flush(hooks))
        outcome = Outcome::RowRefused;
    if (outcome == Outcome::Done && reader.Consumed() != job_.end)
        outcome = Outcome::BadFile;
    if (!sender_.Commit() && outcome == Outcome::Done)
        outcome = Outcome::RowRefused;
    if (!job_.addKeys.empty() && (outcome == Outcome::Done || job_.keysAfterStop)) {
        sender_.UseBatchMode(false);
        if (!sender_.Execute(job_.addKeys) && outcome == Outcome::Done)
            outcome = Outcome::KeysFailed;
    }
    return outcome;
}
