#include "core/dump/DumpFile.h"

#include <cstring>

namespace {

constexpr size_t kFileBufferSize = 256 * 1024;

} // namespace

bool DumpFile::Open(const std::string& finalPath)
{
    buffer_.clear();
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

void DumpFile::Flush()
{
    file_.Write(buffer_);
    buffer_.clear();
}

bool DumpFile::Commit()
{
    if (!file_.IsOpen())
        return false;
    Flush();
    return file_.Commit();
}

void DumpFile::Discard()
{
    file_.Discard();
    buffer_.clear();
}
