#include "core/state/BackupLock.h"

#include "core/store/Definitions.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

BackupLock::~BackupLock()
{
    Release();
}

std::string BackupLock::LockPath(const std::string& dataDir, const std::string& backupName)
{
    return dataDir + "backup_" + backupName + ".lck";
}

void BackupLock::Release()
{
    if (fd_ < 0)
        return;
    // The holder's note goes first, so a reader never finds a stale one.
    [[maybe_unused]] const int cleared = ::ftruncate(fd_, 0);
    ::close(fd_);
    fd_ = -1;
}

BackupLock::Result BackupLock::Acquire(const std::string& dataDir, const std::string& backupName, Use use)
{
    Release();
    holderPid_ = 0;
    if (backupName.empty() || !IsValidName(backupName))
        return Result::Failed;
    const std::string path = LockPath(dataDir, backupName);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        char note[64] = {};
        const ssize_t n = ::pread(fd, note, sizeof note - 1, 0);
        ::close(fd);
        if (error != EWOULDBLOCK)
            return Result::Failed;
        const std::string text(note, n > 0 ? static_cast<size_t>(n) : 0);
        const bool restore = text.rfind("restore ", 0) == 0;
        const size_t space = text.find(' ');
        if (space != std::string::npos)
            holderPid_ = std::strtol(text.c_str() + space + 1, nullptr, 10);
        // A holder that has not written its note yet is taken for a backup.
        return restore ? Result::HeldByRestore : Result::HeldByBackup;
    }
    fd_ = fd;
    const std::string note = std::string(use == Use::Restore ? "restore " : "backup ") + std::to_string(::getpid()) + "\n";
    // The note is a courtesy: the lock itself is what keeps runs apart.
    if (::ftruncate(fd_, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd_, note.data(), note.size(), 0);
    }
    return Result::Acquired;
}
