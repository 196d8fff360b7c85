#pragma once

#include "core/state/AppState.h"

#include <string>

// The data directory: $XDG_DATA_HOME (normally ~/.local/share) followed by
// "Tesmo/Vorda Quendal System/".
std::string ResolveDataDirectory();

// Creates a directory and its missing parents, each readable by its owner
// only. True when the directory exists afterwards.
bool EnsurePrivateDirectory(const std::string& path);

// Whether the settings database carries the mark of an earlier start.
bool IsFirstStart(const SettingsStore& store);

// The start-up steps that need no window, in their order. Before the menu
// page is created: load the configuration and totals, handle the first start,
// clear the log when configured. Remembers whether this run starts minimised.
void StartUpBeforePages(AppState& state);
// After the pages: recount the stored totals from the name lists.
void StartUpAfterPages(AppState& state);
// At exit: record "Vorda Software Exited".
void ShutDown(AppState& state);

// The single-instance lock "VordaMutex": a file lock (flock) on the file of
// that name in the data folder, so that every process working on one data
// folder sees it; held for the life of the process and released by the
// system when the process ends, however it ends.
class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    enum class Result { Acquired, AlreadyRunning, Failed };
    // Tries to take the lock file in `directory` (the data folder).
    Result Acquire(const std::string& directory);

private:
    int fd_ = -1;
};
