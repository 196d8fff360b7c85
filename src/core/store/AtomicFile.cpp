#include "core/store/AtomicFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest name of a file (not its path) that Linux file systems take.
constexpr size_t kMaxFileName = 255;
constexpr size_t kRandomChars = 6; // mkostemp's XXXXXX

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

bool AtomicFile::Open(const std::string& finalPath)
{
    Discard();
    failed_ = false;
    finalPath_ = finalPath;
    const size_t slash = finalPath.find_last_of('/');
    if (finalPath.size() - (slash == std::string::npos ? 0 : slash + 1) > kMaxFileName)
        return false;
    std::string pattern = TempPrefix(finalPath) + "XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        return false;
    ::fchmod(fd_, 0600);
    tempPath_ = pattern;
    return true;
}

void AtomicFile::Write(std::string_view bytes)
{
    size_t done = 0;
    while (fd_ >= 0 && !failed_ && done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failed_ = true;
        else
            done += static_cast<size_t>(n);
    }
}

bool AtomicFile::Commit()
{
    if (fd_ < 0)
        return false;
    if (!failed_ && ::fdatasync(fd_) != 0)
        failed_ = true;
    if (::close(fd_) != 0)
        failed_ = true;
    fd_ = -1;
    if (!failed_ && std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0)
        failed_ = true;
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

bool AtomicFile::WriteWhole(const std::string& path, std::string_view bytes)
{
    AtomicFile file;
    if (!file.Open(path))
        return false;
    file.Write(bytes);
    return file.Commit();
}
