#include "core/restore/LineReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferBytes = 256 * 1024;

} // namespace

LineReader::LineReader(size_t maxLineBytes)
    : maxLine_(maxLineBytes)
{
}

LineReader::~LineReader()
{
    Close();
}

bool LineReader::Open(const std::string& path)
{
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<long long>(st.st_size);
    consumed_ = 0;
    buffer_.resize(kBufferBytes);
    pos_ = end_ = 0;
    eof_ = failed_ = overlong_ = false;
    return true;
}

void LineReader::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool LineReader::Fill()
{
    if (fd_ < 0 || eof_)
        return false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
        if (n > 0) {
            pos_ = 0;
            end_ = static_cast<size_t>(n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failed_ = true;
        eof_ = true;
        return false;
    }
}

bool LineReader::Next(std::string& line)
{
    line.clear();
    overlong_ = false;
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !Fill())
            break;
        any = true;
        const char* start = buffer_.data() + pos_;
        const size_t available = end_ - pos_;
        const void* found = std::memchr(start, '\n', available);
        const size_t take = found ? static_cast<size_t>(static_cast<const char*>(found) - start) : available;
        const size_t room = line.size() < maxLine_ ? maxLine_ - line.size() : 0;
        if (take > room)
            overlong_ = true;
        line.append(start, take < room ? take : room);
        pos_ += take;
        consumed_ += take;
        if (found) {
            ++pos_; // the line feed
            ++consumed_;
            break;
        }
    }
    if (!any)
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}
