#include "core/history/HistoryLog.h"

#include "core/store/AtomicFile.h"
#include "core/store/NameLists.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Messages never contain line breaks or bars; should one come in, it is
// flattened so that every entry stays one line of three fields.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
        else if (c == '|')
            c = '/';
    }
    return text;
}

// Holds the log's lock file (the log's path + ".lock") while one process
// rewrites the log, so that appends from several processes (the window,
// vorda-bench) merge instead of overwriting each other. Waits at most about
// two seconds: a holder that hangs must not freeze the window, and a write
// without the lock is still a whole file.
class LogFileLock {
public:
    explicit LogFileLock(const std::string& logPath)
        : fd_(::open((logPath + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600))
    {
        if (fd_ < 0)
            return;
        for (int attempt = 0; attempt < 400; ++attempt) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
                return;
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            ::usleep(5000);
        }
    }
    ~LogFileLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    LogFileLock(const LogFileLock&) = delete;
    LogFileLock& operator=(const LogFileLock&) = delete;

private:
    int fd_;
};

} // namespace

HistoryLog::HistoryLog(std::string filePath, Clock clock)
    : path_(std::move(filePath))
    , clock_(std::move(clock))
{
    entries_.reserve(kCapacity);
}

void HistoryLog::CurrentTimeTexts()
{
    const std::time_t now = clock_();
    shortTime_ = FormatLocalTime(now, kShortTimeFormat);
    longTime_ = FormatLocalTime(now, kLongTimeFormat);
}

void HistoryLog::AppendEntry(bool verbose, const std::string& message)
{
    CurrentTimeTexts();
    // What other processes appended since this one last read the file is
    // kept: the entry joins the file as it is now (when it cannot be read,
    // the entries in memory stand in for it).
    const LogFileLock lock(path_);
    // Entries that never reached the file (it could not be written) stay:
    // the file would not know them.
    if (!unsaved_)
        Load();
    if (entries_.size() >= kCapacity)
        entries_.erase(entries_.begin(), entries_.begin() + static_cast<long>(entries_.size() - kCapacity + 1));
    entries_.push_back(HistoryEntry {static_cast<unsigned char>(verbose ? 1 : 0), shortTime_, OneLine(message)});
    Save();
    logChanged = true;
}

void HistoryLog::Save() const
{
    std::string text;
    for (const auto& entry : entries_) {
        if (entry.message.empty())
            break;
        text += std::to_string(static_cast<int>(entry.verbose));
        text += '|';
        text += OneLine(entry.timestamp);
        text += '|';
        text += entry.message;
        text += "\r\n";
    }
    std::string error;
    const bool wasUnsaved = unsaved_;
    unsaved_ = !AtomicFile::WriteWhole(path_, text, &error);
    writeError_ = unsaved_ ? (error.empty() ? std::string("unknown error") : error) : std::string();
    if (unsaved_ && !wasUnsaved && OnWriteFailure)
        OnWriteFailure(writeError_);
}

bool HistoryLog::Load()
{
    // A missing log is created empty, as a save of an empty log would.
    if (::access(path_.c_str(), F_OK) != 0) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    // Only a regular file is a log: a folder in its place opens, reads as
    // empty and would wipe the entries in memory.
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream in(path_, std::ios::binary);
    if (!in)
        return false;
    std::vector<HistoryEntry> loaded;
    std::string line;
    while (loaded.size() < kCapacity && std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            break;
        const auto fields = SplitBarList(line, 3);
        HistoryEntry entry;
        if (!fields.empty())
            entry.verbose = fields[0] == "0" ? 0 : 1;
        if (fields.size() > 1)
            entry.timestamp = fields[1];
        if (fields.size() > 2)
            entry.message = fields[2];
        // An entry without a message would end every later save at it.
        if (entry.message.empty())
            continue;
        loaded.push_back(std::move(entry));
    }
    entries_ = std::move(loaded);
    return true;
}

void HistoryLog::Clear()
{
    const LogFileLock lock(path_);
    entries_.clear();
    ::unlink(path_.c_str());
    Save();
}

std::string HistoryLog::RenderText(const Settings& settings) const
{
    std::string text;
    auto append = [&](const HistoryEntry& entry) {
        if (settings.reporting == ReportingState::Standard && entry.verbose != 0)
            return;
        if (settings.showTimestamp) {
            text += entry.timestamp;
            text += ": ";
        }
        text += entry.message;
        text += "\r\n";
        if (settings.doubleSpace)
            text += "\r\n";
    };
    // Either walk ends at the first entry without a message.
    if (settings.direction == LogDirection::Ascend) {
        for (size_t i = 0; i < entries_.size() && !entries_[i].message.empty(); ++i)
            append(entries_[i]);
    } else {
        for (size_t i = entries_.size(); i-- > 0 && !entries_[i].message.empty();)
            append(entries_[i]);
    }
    return text;
}
