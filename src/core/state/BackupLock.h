#pragma once

#include <string>

// Keeps the runs of one backup apart, in this process and in any other that
// works on the same data folder (the window, vorda-bench, ...): every backup
// run and every restore run of backup <name> holds an exclusive lock (flock)
// on "backup_<name>.lck" in the data folder while it runs, taken without
// waiting (a name as long as the backup file's, so it fits wherever that does). The system releases the lock with the process, however it ends.
//
// The holder writes what it is ("backup <pid>" or "restore <pid>") into the
// file, so a refused run can say what it met. Lock files are never removed:
// a file removed while held would let the next run lock a new file beside
// the held one.
class BackupLock {
public:
    enum class Use { Backup, Restore };
    enum class Result {
        Acquired,
        HeldByBackup,  // a backup run of this backup holds it
        HeldByRestore, // a restore run of this backup holds it
        Failed,        // the lock file could not be opened; nothing is held
    };

    BackupLock() = default;
    ~BackupLock();
    BackupLock(const BackupLock&) = delete;
    BackupLock& operator=(const BackupLock&) = delete;

    // Takes the lock of `backupName` (which must pass the name rule, or
    // Failed) in `dataDir` (ending with '/') for `use`.
    Result Acquire(const std::string& dataDir, const std::string& backupName, Use use);
    void Release();
    bool Held() const { return fd_ >= 0; }
    // After a refusal: the process that holds the lock (0 when unknown).
    long HolderPid() const { return holderPid_; }

    static std::string LockPath(const std::string& dataDir, const std::string& backupName);

private:
    int fd_ = -1;
    long holderPid_ = 0;
};
