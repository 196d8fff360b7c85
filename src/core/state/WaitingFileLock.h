#pragma once

#include <string>

// An exclusive lock (flock) on a file, held for a short piece of work that
// processes working on one data folder must not do at the same time (the
// scheduler's evaluation of which slots are due). Acquire waits for another
// holder up to a time limit; the system releases the lock with the process,
// however it ends.
class WaitingFileLock {
public:
    WaitingFileLock() = default;
    ~WaitingFileLock();
    WaitingFileLock(const WaitingFileLock&) = delete;
    WaitingFileLock& operator=(const WaitingFileLock&) = delete;

    // Takes the lock of `path` (created 0600 when missing), waiting at most
    // `timeoutMs`. False when the file cannot be opened or another process
    // held it all that time.
    bool Acquire(const std::string& path, int timeoutMs);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};
