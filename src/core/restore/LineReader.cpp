#include "core/restore/LineReader.h"

#include "core/dump/BackupCompression.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

namespace {

constexpr size_t kBufferBytes = 256 * 1024;
constexpr const char* kReadFailure = "the file could not be read";

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
    char head[4] = {};
    const ssize_t headBytes = ::pread(fd, head, sizeof head, 0);
    if (zfile::IsCompressedName(path)
        || zfile::StartsCompressed(std::string_view(head, headBytes > 0 ? size_t(headBytes) : 0))) {
        dctx_ = ZSTD_createDCtx();
        if (!dctx_ || ZSTD_isError(ZSTD_DCtx_setParameter(dctx_, ZSTD_d_windowLogMax, zfile::kMaxWindowLog))) {
            Close();
            return false;
        }
        in_.resize(ZSTD_DStreamInSize());
        textSize_ = zfile::ReadTextSize(fd, size_);
    } else {
        textSize_ = size_;
    }
    inPos_ = inEnd_ = 0;
    inEof_ = outputPending_ = false;
    frameWhole_ = true;
    error_.clear();
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
    if (dctx_)
        ZSTD_DCtx_reset(dctx_, ZSTD_reset_session_only);
    inPos_ = inEnd_ = 0;
    inEof_ = outputPending_ = false;
    frameWhole_ = true;
    error_.clear();
    pos_ = end_ = 0;
    eof_ = failed_ = overlong_ = false;
    lineBytes_ = bytesRead_ = 0;
    consumed_ = 0;
    return true;
}

bool LineReader::SkipTo(long long offset)
{
    if (fd_ < 0 || failed_ || offset < consumed_)
        return false;
    if (!dctx_) {
        if (offset > size_ || ::lseek(fd_, offset, SEEK_SET) != offset)
            return false;
        pos_ = end_ = 0;
        eof_ = overlong_ = false;
        consumed_ = offset;
        bytesRead_ = static_cast<unsigned long long>(offset);
        return true;
    }
    while (consumed_ < offset) {
        if (pos_ == end_ && !Fill())
            return false;
        const size_t take = std::min(end_ - pos_, static_cast<size_t>(offset - consumed_));
        pos_ += take;
        consumed_ += static_cast<long long>(take);
    }
    return true;
}

void LineReader::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    ZSTD_freeDCtx(dctx_);
    dctx_ = nullptr;
}

void LineReader::Fail(std::string reason)
{
    failed_ = true;
    eof_ = true;
    error_ = std::move(reason);
}

bool LineReader::Fill()
{
    if (fd_ < 0 || eof_)
        return false;
    if (dctx_)
        return FillDecoded();
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
            Fail(kReadFailure);
        eof_ = true;
        return false;
    }
}

bool LineReader::FillDecoded()
{
    for (;;) {
        if (inPos_ == inEnd_ && !inEof_ && !outputPending_) {
            const ssize_t n = ::read(fd_, in_.data(), in_.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                Fail(kReadFailure);
                return false;
            }
            inPos_ = 0;
            inEnd_ = static_cast<size_t>(n);
            inEof_ = n == 0;
        }
        if (inPos_ == inEnd_ && !outputPending_) {
            // A frame the file stops inside was cut short.
            if (!frameWhole_) {
                Fail("the compressed file ends inside a frame (it was cut short)");
                return false;
            }
            eof_ = true;
            return false;
        }
        ZSTD_inBuffer input {in_.data(), inEnd_, inPos_};
        ZSTD_outBuffer output {buffer_.data(), buffer_.size(), 0};
        const size_t left = ZSTD_decompressStream(dctx_, &output, &input);
        inPos_ = input.pos;
        if (ZSTD_isError(left)) {
            Fail(std::string("the compressed data is damaged (") + ZSTD_getErrorName(left) + ")");
            return false;
        }
        frameWhole_ = left == 0;
        // A full buffer may leave decoded bytes in the decoder.
        outputPending_ = output.pos == output.size;
        if (output.pos > 0) {
            pos_ = 0;
            end_ = output.pos;
            bytesRead_ += output.pos;
            return true;
        }
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
