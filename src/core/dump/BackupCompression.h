#pragma once

#include <string>
#include <string_view>

// The compressed form of a backup file: backup_<name>.tbk.zst holds the same
// text as backup_<name>.tbk, as a sequence of zstd frames that any zstd
// decoder (`zstd -d`) turns back into that text:
// - the text is written through one streaming compressor, with a checksum
//   per frame, so damage to the compressed bytes is found when they are read;
// - a frame ends wherever the writer may come back to (a table's start, a
//   data heading whose count is written later), and a heading written later
//   is a frame of its own that stores its text as it is, so its length
//   depends on the text's length alone and it can be written in place;
// - the file ends with a skippable frame holding the text's length, so a
//   page can show it without reading the file.
namespace zfile {

// The name ending of the compressed form.
inline constexpr std::string_view kSuffix = ".zst";

// The compression level. Measured with the zstd tool on the backup file of
// the 1,000,000-row benchmark table (an int key, a name, an amount and about
// 100 bytes of text a row; 175 MB) with this window: level 1 makes it 0.136
// of the text at 330 MB/s; level 3 0.154 at 87 MB/s; the fast levels -1 and
// -5 0.24 and 0.66 at no more speed (340 to 355 MB/s). Level 1 is both the
// smallest and the quickest.
inline constexpr int kLevel = 1;
// The compressor's window (2^19 bytes); with its tables the writer needs
// about 1.5 MB beside its buffers, and a reader about the window's size.
inline constexpr int kWindowLog = 19;
// The largest window a reader lets a file ask for (8 MB): far more than the
// writer uses; a file asking for more is refused instead of costing memory.
inline constexpr int kMaxWindowLog = 23;

// Whether `path` names the compressed form (ends with kSuffix).
bool IsCompressedName(std::string_view path);
// Whether the file's first bytes begin a zstd frame or a skippable frame.
bool StartsCompressed(std::string_view firstBytes);

// A frame that holds `text` as it is (raw blocks, no checksum): 9 bytes
// more than the text, for a text of up to 128 KB. Empty for an empty text.
std::string StoredFrame(std::string_view text);
// The skippable frame that ends a compressed backup file: the text's length.
std::string TextSizeFrame(unsigned long long textBytes);
// The text's length that the file open on `fd` (of `fileBytes` bytes) ends
// with, or -1 when it does not end with a TextSizeFrame.
long long ReadTextSize(int fd, long long fileBytes);

// The first `bytes` bytes (or fewer) of the text of the file at `path`,
// decoded when it is compressed; empty when it cannot be read.
std::string ReadTextStart(const std::string& path, size_t bytes);

// The two sizes of a backup file, for pages that show them.
struct FileSizes {
    long long fileBytes = -1; // -1: the file cannot be read
    long long textBytes = -1; // -1: not known (a compressed file without its size frame)
    bool compressed = false;
};
FileSizes SizesOf(const std::string& path);

} // namespace zfile
