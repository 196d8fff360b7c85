#include "core/restore/LineReader.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferBytes = 256 * 1024;

} // namespace

LineReader::LineReader(size_t maxLineBytes, LongLines longLines)
    : maxLine_(maxLineBytes)
    , longLines_(longLines)
{
}

LineReader::~LineReader()
{
    Close();
}

bool LineReader::Open(const std::string& path)
{
    Close();
    // Without O_NONBLOCK opening a FIFO would wait for a writer. The flag is
    // taken off again once the file is known to be a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<long long>(st.st_size);
    consumed_ = 0;
    buffer_.resize(kBufferBytes);
    pos_ = end_ = 0;
    eof_ = failed_ = overlong_ = false;
    lineBytes_ = bytesRead_ = 0;
    return true;
}

bool LineReader::Rewind()
{
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
        return false;
    pos_ = end_ = 0;
    eof_ = failed_ = overlong_ = false;
    lineBytes_ = bytesRead_ = 0;
    consumed_ = 0;
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
            bytesRead_ += static_cast<unsigned long long>(n);
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
    lineBytes_ = 0;
    // One byte more than the limit is kept while reading: the carriage
    // return of a CR LF end, which is not part of the line.
    const size_t keep = maxLine_ < SIZE_MAX ? maxLine_ + 1 : maxLine_;
    bool any = false;
    bool ended = false; // by a line feed
    char last = '\0';   // the line's last byte before it
    for (;;) {
        if (pos_ == end_ && !Fill())
            break;
        any = true;
        const char* start = buffer_.data() + pos_;
        const size_t available = end_ - pos_;
        const void* found = std::memchr(start, '\n', available);
        const size_t take = found ? static_cast<size_t>(static_cast<const char*>(found) - start) : available;
        lineBytes_ += take;
        if (take > 0)
            last = start[take - 1];
        if (!overlong_) {
            const size_t room = keep - line.size();
            if (take <= room) {
                line.append(start, take);
            } else {
                overlong_ = true;
                if (longLines_ == LongLines::Cut)
                    line.append(start, room);
                else
                    line.clear();
            }
        }
        pos_ += take;
        consumed_ += take;
        if (found) {
            ++pos_; // the line feed
            ++consumed_;
            ended = true;
            break;
        }
    }
    if (!any)
        return false;
    if (ended && last == '\r') {
        --lineBytes_;
        if (!overlong_)
            line.pop_back();
    }
    if (line.size() > maxLine_) {
        overlong_ = true;
        if (longLines_ == LongLines::Cut)
            line.resize(maxLine_);
        else
            line.clear();
    }
    return true;
}
