#pragma once

#include "core/history/TimeTexts.h"
#include "core/store/Configuration.h"

#include <cstddef>
#include <functional>
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
    // be read. Reading stops at the end, at the first empty line or at 1000;
    // a line without a message is skipped.
    bool Load();
    // Writes every entry to the file as one AtomicFile, so a crash never
    // leaves a half-written log. When the file cannot be written, the entries
    // stay in memory, WriteError says why, and OnWriteFailure is called once
    // (again only after a write has succeeded in between).
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

    // Why the last write of the file failed; empty when it succeeded.
    const std::string& WriteError() const { return writeError_; }
    // Called with the reason when the file stops being writable, so that the
    // loss is reported once rather than with every entry.
    std::function<void(const std::string& reason)> OnWriteFailure;

private:
    std::string path_;
    Clock clock_;
    std::vector<HistoryEntry> entries_;
    // The last Save could not write the file: memory holds more than it.
    mutable bool unsaved_ = false;
    mutable std::string writeError_;
    std::string shortTime_;
    std::string longTime_;
};
