#pragma once

#include "core/store/AtomicFile.h"

#include <map>
#include <string>

struct ZSTD_CCtx_s;

// The backup file being written: an AtomicFile beside the final one, written
// through a buffer, with every "\n" of the text stored as CR LF. Commit moves
// it into place; anything else (Discard, or destruction without Commit)
// removes it and leaves the previous backup file untouched.
//
// A piece that must come first but is not known yet (the data heading,
// which carries the row count) can be written later: Hold sends what follows
// into an unnamed spool file beside it, and Release writes the piece and then
// everything held. When only its length is unknown until later (a heading
// whose count of digits can be guessed), Reserve leaves room for it in the
// file instead and FillReserved writes it there, so the bytes that follow
// are written once; a wrong guess moves them. Mark and RewindTo drop what
// was written after a point.
//
// A final name ending in ".zst" makes the file the compressed form (see
// BackupCompression.h): the same text goes through a streaming compressor,
// every point that may be come back to (Hold, Reserve, Mark) ends a frame,
// a reserved piece becomes a stored frame of its own, and Commit ends the
// file with the text's length. Everything else behaves as for a plain file.
class DumpFile {
public:
    DumpFile() = default;
    ~DumpFile();
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    // Creates the temporary file (mode 0600) beside `finalPath`; compressed
    // when its name ends in ".zst".
    bool Open(const std::string& finalPath);
    bool Compressed() const { return cctx_ != nullptr; }
    // Bytes of text written so far (what a reader of the file gets).
    unsigned long long TextBytes() const { return textBytes_ + buffer_.size(); }
    bool IsOpen() const { return file_.IsOpen(); }
    // Writes a piece of text; every "\n" becomes CR LF.
    void Write(const std::string& piece);
    // A line built in place (a row statement): StartLine gives the buffer to
    // append the line to, without its end and holding no "\n"; EndLine ends
    // it with CR LF and gives its length without the end.
    std::string& StartLine();
    size_t EndLine();
    // From now on, what is written is held back. False when no spool file
    // could be made (nothing is held then).
    bool Hold();
    bool Holding() const { return spoolFd_ >= 0; }
    // Writes `first`, then everything held, and ends the hold.
    void Release(const std::string& first);
    // From now on, what is written follows room for `guess` (as the file
    // holds it, "\n" as CR LF). False when the room could not be left
    // (nothing is reserved then).
    bool Reserve(const std::string& guess);
    bool Reserved() const { return reserved_; }
    // Writes `piece` into the reserved room, moving what follows it when the
    // piece's length differs from the guess's; an empty piece takes the room
    // away. Without a reservation, writes `piece`.
    void FillReserved(const std::string& piece);
    // Writes the first `bytes` bytes of file `fd` as they are (lines already
    // ended with CR LF).
    void AppendFile(int fd, unsigned long long bytes);
    // A point to come back to (not while holding).
    unsigned long long Mark();
    // Drops everything written after `mark`, and anything held.
    void RewindTo(unsigned long long mark);
    // Flushes, syncs and renames the file into place. False (and the
    // temporary file removed) when any write failed.
    bool Commit();
    void Discard();

    const std::string& TempPath() const { return file_.TempPath(); }
    const std::string& FinalPath() const { return file_.FinalPath(); }
    bool Failed() const { return file_.Failed() || spoolFailed_ || compressFailed_; }

private:
    void Flush();
    void CloseSpool();
    // Compressed: runs `in` (and, with `endFrame`, the end of the frame)
    // through the compressor to the file or, while holding, the spool.
    void Compress(const std::string& in, bool endFrame);
    void EndFrame();
    void Emit(const char* bytes, size_t length);
    void FreeCompressor();

    AtomicFile file_;
    std::string buffer_;
    size_t lineStart_ = 0;
    std::string dir_;
    int spoolFd_ = -1;
    unsigned long long spooled_ = 0;
    bool spoolFailed_ = false;
    bool reserved_ = false;
    unsigned long long reservedAt_ = 0;
    unsigned long long reservedLength_ = 0;
    ZSTD_CCtx_s* cctx_ = nullptr;
    bool frameOpen_ = false;       // text went in since the last frame ended
    bool compressFailed_ = false;
    std::string out_; // the compressor's output
    unsigned long long textBytes_ = 0; // text flushed so far
    std::map<unsigned long long, unsigned long long> marks_; // file bytes -> text bytes at a Mark
};
