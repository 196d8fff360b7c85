#pragma once

#include "core/state/AppState.h"

#include <ctime>
#include <string>
#include <vector>

// The data directory: $XDG_DATA_HOME (normally ~/.local/share) followed by
// "Tesmo/Vorda Quendal System/".
std::string ResolveDataDirectory();

// Creates a directory and its missing parents, each readable by its owner
// only. True when the directory exists afterwards.
bool EnsurePrivateDirectory(const std::string& path);

// Whether the settings database carries the mark of an earlier start.
bool IsFirstStart(const SettingsStore& store);

// How long start-up waits for another program's lock on the settings file.
inline constexpr int kStoreWaitMs = 5000;

// How start-up goes on with the settings file it found (SettingsStore::Check).
enum class StoreStart {
    // Read it: a first start when it carries no mark of an earlier start.
    Readable,
    // A file that could not be read was moved aside: a first start, but the
    // history log, which the damage did not touch, is kept.
    Fresh,
    // It cannot be read now (damaged and kept, or locked): nothing is taken
    // for a first start, and nothing is reset or cleared for it.
    Unreadable,
};

// The start-up steps that need no window, in their order. Before the menu
// page is created: tighten loose file modes, load the configuration and
// totals, handle the first start, clear the log when configured. Remembers
// whether this run starts minimised.
void StartUpBeforePages(AppState& state, StoreStart store = StoreStart::Readable);

// Where a settings file that cannot be read is moved aside: dbPath +
// ".damaged-" + the local time (YYYYMMDD-HHMMSS), with "-2", "-3", ... when
// that name is taken.
std::string DamagedStorePath(const std::string& dbPath, std::time_t now);
// Moves the settings file (and its journal) to `target`, so that a fresh
// file takes its place. False, with the reason in `error`, when it cannot.
bool MoveStoreAside(const std::string& dbPath, const std::string& target, std::string& error);

// Makes the data folder readable by its owner only (0700), and the settings
// file and the history log too (0600): the settings file may hold
// passwords. Returns one text per mode changed, for the history log.
std::vector<std::string> TightenDataModes(const AppPaths& paths);
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
