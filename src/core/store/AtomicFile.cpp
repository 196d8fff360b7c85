#include "core/store/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest name of a file (not its path) that Linux file systems take.
constexpr size_t kMaxFileName = 255;
constexpr size_t kRandomChars = 6; // mkostemp's XXXXXX
// How much is written before the kernel is asked to start writing it out.
constexpr unsigned long long kWriteBehind = 2ull << 20;

} // namespace

std::string AtomicFile::TempPrefix(const std::string& finalPath)
{
    const size_t slash = finalPath.find_last_of('/');
    const size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
    const std::string base = finalPath.substr(baseStart);
    if (base.size() + 4 + kRandomChars <= kMaxFileName)
        return finalPath + ".tmp";
    uint32_t hash = 2166136261u; // 32-bit FNV-1a of the whole final name
    for (unsigned char c : base)
        hash = (hash ^ c) * 16777619u;
    char tail[16];
    std::snprintf(tail, sizeof tail, "~%08x.tmp", hash);
    const size_t keep = kMaxFileName - kRandomChars - std::strlen(tail);
    return finalPath.substr(0, baseStart) + base.substr(0, keep) + tail;
}

AtomicFile::~AtomicFile()
{
    Discard();
}

int AtomicFile::RemoveStaleTemps(const std::string& finalPath)
{
    const std::string prefix = TempPrefix(finalPath);
    const size_t slash = prefix.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : prefix.substr(0, slash + 1);
    const std::string start = prefix.substr(slash == std::string::npos ? 0 : slash + 1);
    auto isRandomPart = [](const char* text) {
        for (size_t i = 0; i < kRandomChars; ++i) {
            const char c = text[i];
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return false;
        }
        return text[kRandomChars] == '\0';
    };
    int removed = 0;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return 0;
    while (const dirent* e = ::readdir(d)) {
        if (std::strncmp(e->d_name, start.c_str(), start.size()) != 0 || !isRandomPart(e->d_name + start.size()))
            continue;
        const std::string path = (slash == std::string::npos ? std::string() : dir) + e->d_name;
        // Opening never waits and never follows a link; only a regular file
        // nobody holds locked is stale.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(d);
    return removed;
}

bool AtomicFile::Open(const std::string& finalPath)
{
    Discard();
    failed_ = false;
    error_ = 0;
    finalPath_ = finalPath;
    const size_t slash = finalPath.find_last_of('/');
    if (finalPath.size() - (slash == std::string::npos ? 0 : slash + 1) > kMaxFileName) {
        error_ = ENAMETOOLONG;
        return false;
    }
    RemoveStaleTemps(finalPath);
    std::string pattern = TempPrefix(finalPath) + "XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    ::fchmod(fd_, 0600);
    size_ = flushed_ = 0;
    // Held until the file is closed: it tells a later run that this file is
    // being written and is not stale.
    ::flock(fd_, LOCK_EX | LOCK_NB);
    tempPath_ = pattern;
    return true;
}

size_t WriteFully(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void AtomicFile::Write(std::string_view bytes)
{
    if (fd_ < 0 || failed_)
        return;
    const size_t done = WriteFully(fd_, bytes);
    if (done < bytes.size())
        Fail();
    size_ += done;
    if (fd_ >= 0 && size_ - flushed_ >= kWriteBehind) {
        ::sync_file_range(fd_, static_cast<off_t>(flushed_), static_cast<off_t>(size_ - flushed_),
                          SYNC_FILE_RANGE_WRITE);
        flushed_ = size_;
    }
}

void AtomicFile::Append(int fd, unsigned long long length)
{
    if (fd_ < 0 || failed_)
        return;
    loff_t from = 0;
    unsigned long long done = 0;
    while (done < length) {
        const ssize_t n = ::copy_file_range(fd, &from, fd_, nullptr, static_cast<size_t>(length - done), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<unsigned long long>(n);
    }
    size_ += done;
    // Where the kernel cannot copy between the files, through a buffer.
    std::string buffer(std::min<unsigned long long>(length - done, 1 << 20), '\0');
    while (done < length && !failed_) {
        const ssize_t n = ::pread(fd, buffer.data(), std::min<size_t>(buffer.size(), length - done),
                                  static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Fail();
            break;
        }
        Write(std::string_view(buffer.data(), static_cast<size_t>(n)));
        done += static_cast<unsigned long long>(n);
    }
}

namespace {

bool PwriteFully(int fd, const char* data, size_t length, unsigned long long offset)
{
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, data, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
        offset += static_cast<unsigned long long>(n);
    }
    return true;
}

bool PreadFully(int fd, char* data, size_t length, unsigned long long offset)
{
    while (length > 0) {
        const ssize_t n = ::pread(fd, data, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
        offset += static_cast<unsigned long long>(n);
    }
    return true;
}

} // namespace

void AtomicFile::Skip(unsigned long long length)
{
    if (fd_ < 0 || failed_)
        return;
    if (::lseek(fd_, static_cast<off_t>(size_ + length), SEEK_SET) < 0) {
        Fail();
        return;
    }
    size_ += length;
}

void AtomicFile::WriteAt(unsigned long long offset, std::string_view bytes)
{
    if (fd_ < 0 || failed_)
        return;
    if (offset > size_ || bytes.size() > size_ - offset || !PwriteFully(fd_, bytes.data(), bytes.size(), offset))
        Fail();
}

void AtomicFile::Move(unsigned long long from, unsigned long long to)
{
    if (fd_ < 0 || failed_ || from == to)
        return;
    if (from > size_) {
        Fail(EINVAL);
        return;
    }
    const unsigned long long length = size_ - from;
    std::string buffer(static_cast<size_t>(std::min<unsigned long long>(length, 1 << 20)), '\0');
    // Moving towards the end, the last megabyte goes first, so that nothing
    // is written over before it has been read.
    unsigned long long done = 0;
    while (done < length && !failed_) {
        const size_t n = static_cast<size_t>(std::min<unsigned long long>(buffer.size(), length - done));
        const unsigned long long offset = to > from ? length - done - n : done;
        if (!PreadFully(fd_, buffer.data(), n, from + offset) || !PwriteFully(fd_, buffer.data(), n, to + offset))
            Fail();
        done += n;
    }
    if (failed_)
        return;
    size_ = to + length;
    flushed_ = std::min(flushed_, std::min(from, to));
    if ((to < from && ::ftruncate(fd_, static_cast<off_t>(size_)) != 0)
        || ::lseek(fd_, static_cast<off_t>(size_), SEEK_SET) < 0)
        Fail();
}

bool AtomicFile::Truncate(unsigned long long length)
{
    if (fd_ < 0 || length > size_ || ::ftruncate(fd_, static_cast<off_t>(length)) != 0
        || ::lseek(fd_, static_cast<off_t>(length), SEEK_SET) < 0) {
        Fail();
        return false;
    }
    size_ = length;
    flushed_ = std::min(flushed_, length);
    return true;
}

bool AtomicFile::Commit()
{
    if (fd_ < 0)
        return false;
    if (!failed_ && ::fdatasync(fd_) != 0)
        Fail();
    // Renamed while still open and locked, so no other run takes it for a
    // stale file in between; its bytes are on disk already.
    if (!failed_ && std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0)
        Fail();
    ::close(fd_);
    fd_ = -1;
    if (failed_) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        return false;
    }
    tempPath_.clear();
    const std::string dir = finalPath_.substr(0, finalPath_.find_last_of('/') + 1);
    const int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void AtomicFile::Discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

void AtomicFile::Fail(int error)
{
    // The first failure is the cause; what follows it is its consequence.
    if (!failed_ || error_ == 0)
        error_ = error != 0 ? error : (errno != 0 ? errno : EIO);
    failed_ = true;
}

std::string AtomicFile::ErrorText() const
{
    return error_ != 0 ? std::strerror(error_) : std::string();
}

bool AtomicFile::WriteWhole(const std::string& path, std::string_view bytes, std::string* error)
{
    AtomicFile file;
    bool ok = file.Open(path);
    if (ok) {
        file.Write(bytes);
        ok = file.Commit();
    }
    if (!ok && error)
        *error = file.ErrorText();
    return ok;
}
