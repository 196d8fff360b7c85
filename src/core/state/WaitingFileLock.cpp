#include "core/state/WaitingFileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

WaitingFileLock::~WaitingFileLock()
{
    Release();
}

bool WaitingFileLock::Acquire(const std::string& path, int timeoutMs)
{
    Release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    constexpr int kStepMs = 5;
    for (int waited = 0;; waited += kStepMs) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return true;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= timeoutMs)
            break;
        ::usleep(kStepMs * 1000);
    }
    ::close(fd);
    return false;
}

void WaitingFileLock::Release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
