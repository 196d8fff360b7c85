#include "core/dump/BackupCompression.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

namespace zfile {

namespace {

constexpr uint32_t kFrameMagic = 0xFD2FB528u;
// Skippable frames take 0x184D2A50 to 0x184D2A5F; this one is ours.
constexpr uint32_t kSkippableMagic = 0x184D2A5Bu;
constexpr uint32_t kSkippableMask = 0xFFFFFFF0u;
constexpr char kSizeTag[4] = {'T', 'E', 'X', 'T'};
// Tag and a 64-bit length.
constexpr uint32_t kSizePayload = 12;
constexpr size_t kSizeFrameBytes = 8 + kSizePayload;
constexpr size_t kMaxBlock = 128 * 1024;

void PutLe(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t GetLe(const unsigned char* p, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

} // namespace

bool IsCompressedName(std::string_view path)
{
    return path.size() > kSuffix.size() && path.substr(path.size() - kSuffix.size()) == kSuffix;
}

bool StartsCompressed(std::string_view firstBytes)
{
    if (firstBytes.size() < 4)
        return false;
    const auto magic = static_cast<uint32_t>(GetLe(reinterpret_cast<const unsigned char*>(firstBytes.data()), 4));
    return magic == kFrameMagic || (magic & kSkippableMask) == (kSkippableMagic & kSkippableMask);
}

std::string StoredFrame(std::string_view text)
{
    std::string frame;
    if (text.empty())
        return frame;
    frame.reserve(text.size() + 8 + 3 * (text.size() / kMaxBlock + 1));
    PutLe(frame, kFrameMagic, 4);
    // Frame header: one segment (the window is the content), the content's
    // size in 4 bytes (or 8 beyond 4 GB), no checksum, no dictionary.
    const bool wide = text.size() > 0xFFFFFFFFull;
    frame += static_cast<char>(wide ? 0xE0 : 0xA0);
    PutLe(frame, text.size(), wide ? 8 : 4);
    // Raw blocks of at most 128 KB; the last one says so.
    for (size_t at = 0; at < text.size(); at += kMaxBlock) {
        const size_t length = std::min(kMaxBlock, text.size() - at);
        const bool last = at + length == text.size();
        PutLe(frame, (static_cast<uint64_t>(length) << 3) | (last ? 1u : 0u), 3);
        frame.append(text.substr(at, length));
    }
    return frame;
}

std::string TextSizeFrame(unsigned long long textBytes)
{
    std::string frame;
    PutLe(frame, kSkippableMagic, 4);
    PutLe(frame, kSizePayload, 4);
    frame.append(kSizeTag, sizeof kSizeTag);
    PutLe(frame, textBytes, 8);
    return frame;
}

long long ReadTextSize(int fd, long long fileBytes)
{
    if (fd < 0 || fileBytes < static_cast<long long>(kSizeFrameBytes))
        return -1;
    unsigned char tail[kSizeFrameBytes];
    const ssize_t n = ::pread(fd, tail, sizeof tail, static_cast<off_t>(fileBytes - sizeof tail));
    if (n != static_cast<ssize_t>(sizeof tail) || GetLe(tail, 4) != kSkippableMagic || GetLe(tail + 4, 4) != kSizePayload
        || std::string_view(reinterpret_cast<const char*>(tail + 8), 4) != std::string_view(kSizeTag, 4))
        return -1;
    const uint64_t size = GetLe(tail + 12, 8);
    return size > static_cast<uint64_t>(INT64_MAX) ? -1 : static_cast<long long>(size);
}

std::string ReadTextStart(const std::string& path, size_t bytes)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return text;
    struct stat st {};
    std::string raw(bytes, '\0');
    const ssize_t n = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::pread(fd, raw.data(), raw.size(), 0) : -1;
    raw.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (!IsCompressedName(path) && !StartsCompressed(raw)) {
        ::close(fd);
        return raw;
    }
    // The text's start: the file is decoded only as far as it takes.
    ZSTD_DCtx* dctx = ZSTD_createDCtx();
    if (dctx && ZSTD_isError(ZSTD_DCtx_setParameter(dctx, ZSTD_d_windowLogMax, kMaxWindowLog))) {
        ZSTD_freeDCtx(dctx);
        dctx = nullptr;
    }
    text.resize(bytes);
    ZSTD_outBuffer output {text.data(), text.size(), 0};
    std::string in(ZSTD_DStreamInSize(), '\0');
    off_t at = 0;
    while (dctx && output.pos < output.size) {
        const ssize_t got = ::pread(fd, in.data(), in.size(), at);
        if (got <= 0)
            break;
        at += got;
        ZSTD_inBuffer input {in.data(), static_cast<size_t>(got), 0};
        bool failed = false;
        while (input.pos < input.size && output.pos < output.size) {
            if (ZSTD_isError(ZSTD_decompressStream(dctx, &output, &input))) {
                failed = true;
                break;
            }
        }
        if (failed)
            break;
    }
    text.resize(output.pos);
    ZSTD_freeDCtx(dctx);
    ::close(fd);
    return text;
}

FileSizes SizesOf(const std::string& path)
{
    FileSizes sizes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return sizes;
    struct stat st {};
    char head[4] = {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        sizes.fileBytes = static_cast<long long>(st.st_size);
        const ssize_t n = ::pread(fd, head, sizeof head, 0);
        sizes.compressed = IsCompressedName(path) || StartsCompressed(std::string_view(head, n > 0 ? size_t(n) : 0));
        sizes.textBytes = sizes.compressed ? ReadTextSize(fd, sizes.fileBytes) : sizes.fileBytes;
    }
    ::close(fd);
    return sizes;
}

} // namespace zfile
