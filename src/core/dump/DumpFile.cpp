#include "core/dump/DumpFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Bytes gathered before they go to the file in one write.
constexpr size_t kFileBufferSize = 1024 * 1024;

// `piece` as the file holds it: every "\n" as CR LF.
std::string FileText(const std::string& piece)
{
    std::string text;
    text.reserve(piece.size() + 16);
    for (const char c : piece) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return text;
}

} // namespace

DumpFile::~DumpFile()
{
    CloseSpool();
}

bool DumpFile::Open(const std::string& finalPath)
{
    CloseSpool();
    buffer_.clear();
    spoolFailed_ = false;
    reserved_ = false;
    const size_t slash = finalPath.find_last_of('/');
    dir_ = slash == std::string::npos ? std::string(".") : finalPath.substr(0, slash + 1);
    if (!file_.Open(finalPath))
        return false;
    buffer_.reserve(kFileBufferSize + 64 * 1024);
    return true;
}

void DumpFile::Write(const std::string& piece)
{
    if (!file_.IsOpen())
        return;
    const char* p = piece.data();
    const char* end = p + piece.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!nl) {
            buffer_.append(p, end);
            break;
        }
        buffer_.append(p, nl);
        buffer_.append("\r\n", 2);
        p = nl + 1;
    }
    if (buffer_.size() >= kFileBufferSize)
        Flush();
}

std::string& DumpFile::StartLine()
{
    lineStart_ = buffer_.size();
    return buffer_;
}

size_t DumpFile::EndLine()
{
    const size_t length = buffer_.size() - lineStart_;
    buffer_.append("\r\n", 2);
    if (buffer_.size() >= kFileBufferSize)
        Flush();
    return length;
}

void DumpFile::Flush()
{
    if (spoolFd_ < 0) {
        file_.Write(buffer_);
    } else if (!spoolFailed_) {
        const size_t done = WriteFully(spoolFd_, buffer_);
        spoolFailed_ = done < buffer_.size();
        if (spoolFailed_)
            spoolError_ = errno != 0 ? errno : EIO;
        spooled_ += done;
    }
    buffer_.clear();
}

bool DumpFile::Hold()
{
    if (!file_.IsOpen() || spoolFd_ >= 0 || reserved_)
        return false;
    Flush();
    // Unnamed: it never outlives the run, whatever happens to the process.
    spoolFd_ = ::open(dir_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    spooled_ = 0;
    return spoolFd_ >= 0;
}

void DumpFile::Release(const std::string& first)
{
    if (spoolFd_ < 0) {
        Write(first);
        return;
    }
    Flush();
    const int spool = spoolFd_;
    spoolFd_ = -1; // what follows goes to the file
    Write(first);
    Flush();
    file_.Append(spool, spooled_);
    ::close(spool);
    spooled_ = 0;
}

bool DumpFile::Reserve(const std::string& guess)
{
    if (!file_.IsOpen() || spoolFd_ >= 0 || reserved_)
        return false;
    Flush();
    if (file_.Failed())
        return false;
    reservedAt_ = file_.Size();
    reservedLength_ = FileText(guess).size();
    file_.Skip(reservedLength_);
    reserved_ = !file_.Failed();
    return reserved_;
}

void DumpFile::FillReserved(const std::string& piece)
{
    if (!reserved_) {
        Write(piece);
        return;
    }
    Flush();
    reserved_ = false;
    const std::string text = FileText(piece);
    file_.Move(reservedAt_ + reservedLength_, reservedAt_ + text.size());
    file_.WriteAt(reservedAt_, text);
}

unsigned long long DumpFile::Mark()
{
    Flush();
    return file_.Size();
}

void DumpFile::RewindTo(unsigned long long mark)
{
    CloseSpool();
    reserved_ = false;
    buffer_.clear();
    file_.Truncate(mark);
}

void DumpFile::CloseSpool()
{
    if (spoolFd_ >= 0)
        ::close(spoolFd_);
    spoolFd_ = -1;
    spooled_ = 0;
}

std::string DumpFile::ErrorText() const
{
    if (std::string text = file_.ErrorText(); !text.empty())
        return text;
    return spoolFailed_ ? std::strerror(spoolError_) : std::string();
}

bool DumpFile::Commit()
{
    if (!file_.IsOpen() || spoolFd_ >= 0 || spoolFailed_ || reserved_) {
        Discard();
        return false;
    }
    Flush();
    return file_.Commit();
}

void DumpFile::Discard()
{
    CloseSpool();
    reserved_ = false;
    file_.Discard();
    buffer_.clear();
}
