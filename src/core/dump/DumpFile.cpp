#include "core/dump/DumpFile.h"

#include "core/dump/BackupCompression.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zstd.h>

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
    FreeCompressor();
}

void DumpFile::FreeCompressor()
{
    ZSTD_freeCCtx(cctx_);
    cctx_ = nullptr;
}

bool DumpFile::Open(const std::string& finalPath)
{
    CloseSpool();
    buffer_.clear();
    spoolFailed_ = false;
    reserved_ = false;
    FreeCompressor();
    frameOpen_ = compressFailed_ = false;
    textBytes_ = 0;
    marks_.clear();
    if (zfile::IsCompressedName(finalPath)) {
        cctx_ = ZSTD_createCCtx();
        if (!cctx_ || ZSTD_isError(ZSTD_CCtx_setParameter(cctx_, ZSTD_c_compressionLevel, zfile::kLevel))
            || ZSTD_isError(ZSTD_CCtx_setParameter(cctx_, ZSTD_c_windowLog, zfile::kWindowLog))
            || ZSTD_isError(ZSTD_CCtx_setParameter(cctx_, ZSTD_c_checksumFlag, 1))) {
            FreeCompressor();
            return false;
        }
        out_.resize(ZSTD_CStreamOutSize());
    }
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
    textBytes_ += buffer_.size();
    if (cctx_)
        Compress(buffer_, false);
    else
        Emit(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void DumpFile::Emit(const char* bytes, size_t length)
{
    if (spoolFd_ < 0) {
        file_.Write(std::string_view(bytes, length));
    } else if (!spoolFailed_) {
        const size_t done = WriteFully(spoolFd_, std::string_view(bytes, length));
        spoolFailed_ = done < length;
        spooled_ += done;
    }
}

void DumpFile::Compress(const std::string& in, bool endFrame)
{
    if (!cctx_ || compressFailed_ || (in.empty() && !(endFrame && frameOpen_)))
        return;
    ZSTD_inBuffer input {in.data(), in.size(), 0};
    for (;;) {
        ZSTD_outBuffer output {out_.data(), out_.size(), 0};
        const size_t left = ZSTD_compressStream2(cctx_, &output, &input, endFrame ? ZSTD_e_end : ZSTD_e_continue);
        if (ZSTD_isError(left)) {
            compressFailed_ = true;
            return;
        }
        if (output.pos > 0)
            Emit(out_.data(), output.pos);
        if (endFrame ? left == 0 : input.pos == input.size)
            break;
    }
    frameOpen_ = !endFrame;
}

void DumpFile::EndFrame()
{
    Compress({}, true);
}

bool DumpFile::Hold()
{
    if (!file_.IsOpen() || spoolFd_ >= 0 || reserved_)
        return false;
    Flush();
    EndFrame();
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
    EndFrame(); // the held text's frame ends in the spool
    const int spool = spoolFd_;
    spoolFd_ = -1; // what follows goes to the file
    Write(first);
    Flush();
    EndFrame();
    file_.Append(spool, spooled_);
    ::close(spool);
    spooled_ = 0;
}

void DumpFile::AppendFile(int fd, unsigned long long bytes)
{
    Flush();
    file_.Append(fd, bytes);
}

bool DumpFile::Reserve(const std::string& guess)
{
    if (!file_.IsOpen() || spoolFd_ >= 0 || reserved_)
        return false;
    Flush();
    EndFrame();
    if (Failed())
        return false;
    reservedAt_ = file_.Size();
    reservedLength_ = cctx_ ? zfile::StoredFrame(FileText(guess)).size() : FileText(guess).size();
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
    EndFrame();
    reserved_ = false;
    const std::string text = FileText(piece);
    textBytes_ += text.size();
    // Compressed, the piece is a stored frame: its length follows the
    // text's, so a right guess is written in place there too.
    const std::string bytes = cctx_ ? zfile::StoredFrame(text) : text;
    file_.Move(reservedAt_ + reservedLength_, reservedAt_ + bytes.size());
    file_.WriteAt(reservedAt_, bytes);
}

unsigned long long DumpFile::Mark()
{
    Flush();
    EndFrame();
    marks_[file_.Size()] = textBytes_;
    return file_.Size();
}

void DumpFile::RewindTo(unsigned long long mark)
{
    CloseSpool();
    reserved_ = false;
    buffer_.clear();
    if (cctx_)
        ZSTD_CCtx_reset(cctx_, ZSTD_reset_session_only);
    frameOpen_ = false;
    const auto at = marks_.find(mark);
    textBytes_ = at != marks_.end() ? at->second : mark;
    marks_.erase(marks_.upper_bound(mark), marks_.end());
    file_.Truncate(mark);
}

void DumpFile::CloseSpool()
{
    if (spoolFd_ >= 0)
        ::close(spoolFd_);
    spoolFd_ = -1;
    spooled_ = 0;
}

bool DumpFile::Commit()
{
    if (!file_.IsOpen() || spoolFd_ >= 0 || spoolFailed_ || reserved_) {
        Discard();
        return false;
    }
    Flush();
    EndFrame();
    // The text's length closes a compressed file.
    if (cctx_)
        file_.Write(zfile::TextSizeFrame(textBytes_));
    if (compressFailed_) {
        Discard();
        return false;
    }
    return file_.Commit();
}

void DumpFile::Discard()
{
    CloseSpool();
    reserved_ = false;
    if (cctx_)
        ZSTD_CCtx_reset(cctx_, ZSTD_reset_session_only);
    frameOpen_ = false;
    file_.Discard();
    buffer_.clear();
}
