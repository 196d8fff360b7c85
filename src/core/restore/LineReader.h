#pragma once

#include <cstddef>
#include <string>

struct ZSTD_DCtx_s;

// Reads a text file line by line without loading it whole: the dump files a
// restore replays and the viewer shows can be far larger than memory should
// hold. A line ends at a line feed; the line feed and a carriage return before
// it are removed, so files with CR LF and with LF ends read the same. Bytes
// are passed through as they are (zero bytes included).
//
// Only regular files are read: a FIFO, a device or a link to one is refused
// when it is opened, and opening never waits for a writer.
//
// A backup file in its compressed form (a name ending in ".zst", or zstd's
// frame at its start) is read as the text it holds, through a streaming
// decoder: the lines are the same as those of the plain file. Damaged
// compressed data (a wrong checksum, a bad frame) and a file cut off inside
// a frame end the reading as a read error, with the reason in Error().
class LineReader {
public:
    // No statement longer than the largest packet a server accepts (1 GiB)
    // could be replayed anyway.
    static constexpr size_t kDefaultMaxLine = size_t(1) << 30;

    // What happens to a line longer than the limit.
    enum class LongLines {
        Cut,    // the line holds its first maxLineBytes bytes
        Refuse, // the line is given back empty; none of it is kept
    };

    explicit LineReader(size_t maxLineBytes = kDefaultMaxLine, LongLines longLines = LongLines::Cut);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a regular file for reading; false when it cannot be opened or is
    // not a regular file (a directory, FIFO, socket or device, or a link to one).
    bool Open(const std::string& path);
    // The next line, without its end; false at the end of the file or after
    // a read error (Failed tells which).
    bool Next(std::string& line);
    // The last line read was longer than the limit: it was cut or refused
    // (see LongLines) and the rest of it skipped.
    bool Overlong() const { return overlong_; }
    // The length in bytes of the last line read (without its line end),
    // however much of it was kept.
    unsigned long long LineBytes() const { return lineBytes_; }
    // A read error ended the file early.
    bool Failed() const { return failed_; }
    // Why, as a phrase: "the file could not be read", or what is wrong with
    // the compressed data.
    const std::string& Error() const { return error_; }
    // The file is the compressed form.
    bool Compressed() const { return dctx_ != nullptr; }
    // Bytes of text the file holds: the file's size when plain; when
    // compressed, the size it records, or -1 when it records none.
    long long TextSize() const { return textSize_; }
    size_t MaxLine() const { return maxLine_; }
    // Size of the open file in bytes, as found when it was opened.
    long long Size() const { return size_; }
    // Bytes of the text up to the end of the last line read, its line end
    // included.
    long long Consumed() const { return consumed_; }
    // Bytes of text read so far.
    unsigned long long BytesRead() const { return bytesRead_; }
    // Goes back to the first line of the open file.
    bool Rewind();
    // Goes forward to text byte `offset` (a line start found by an earlier
    // reading, Consumed()), so that the next line read is the one there. A
    // plain file seeks; a compressed one decodes up to it. False when the
    // offset lies behind the reading or past the end of the text.
    bool SkipTo(long long offset);
    void Close();

private:
    bool Fill();
    bool FillDecoded();
    void Fail(std::string reason);

    int fd_ = -1;
    size_t maxLine_;
    LongLines longLines_;
    std::string buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    bool overlong_ = false;
    unsigned long long lineBytes_ = 0;
    unsigned long long bytesRead_ = 0;
    long long size_ = 0;
    long long consumed_ = 0;
    long long textSize_ = 0;
    std::string error_;
    // The compressed form: the decoder, the file's bytes read ahead, and
    // whether the last frame read was whole.
    ZSTD_DCtx_s* dctx_ = nullptr;
    std::string in_;
    size_t inPos_ = 0;
    size_t inEnd_ = 0;
    bool inEof_ = false;
    bool frameWhole_ = true;
    bool outputPending_ = false;
};
