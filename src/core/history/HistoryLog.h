#pragma once

#include "core/history/TimeTexts.h"
#include "core/store/Configuration.h"

#include <cstddef>
#include <string>
#include <vector>

// One event of the history log. `verbose` 0 is a standard event, shown at
// both reporting levels; 1 is shown only with verbose reporting.
struct HistoryEntry {
    unsigned char verbose = 0;
    std::string timestamp;
    std::string message;
};

// The capped history log, kept in memory and mirrored to a text file after
// every change. File lines are "<flag>|<timestamp>|<message>" with CR LF ends,
// oldest first.
class HistoryLog {
public:
    static constexpr size_t kCapacity = 1000;

    explicit HistoryLog(std::string filePath, Clock clock = SystemClock());

    // Adds an event stamped with the current short time text; beyond 1000
    // entries the oldest is dropped. Under the log's lock file, reads the
    // file again (so entries other processes appended are kept; unless the
    // last write failed, when memory holds more than the file), adds the
    // event and rewrites the file; sets logChanged.
    void AppendEntry(bool verbose, const std::string& message);
    // Reads the file into memory; false (and memory unchanged) when it cannot
    // be read. Reading stops at the end, at the first empty line or at 1000.
    bool Load();
    // Writes every entry to the file as one AtomicFile, so a crash never
    // leaves a half-written log.
    void Save() const;
    // Removes every entry and the file's content (leaves an empty file).
    void Clear();
    // The text of the history view for the given view settings.
    std::string RenderText(const Settings& settings) const;
    // Recomputes the short and long current-time texts.
    void CurrentTimeTexts();

    const std::vector<HistoryEntry>& Entries() const { return entries_; }
    size_t Count() const { return entries_.size(); }
    const std::string& FilePath() const { return path_; }
    const std::string& ShortTimeText() const { return shortTime_; }
    const std::string& LongTimeText() const { return longTime_; }

    // Set by every append and by whoever wants the history view rendered again.
    bool logChanged = false;

private:
    std::string path_;
    Clock clock_;
    std::vector<HistoryEntry> entries_;
    // The last Save could not write the file: memory holds more than it.
    mutable bool unsaved_ = false;
    std::string shortTime_;
    std::string longTime_;
};
