#pragma once

#include <cstddef>
#include <string>

// Reads a text file line by line without loading it whole: the dump files a
// restore replays and the viewer shows can be far larger than memory should
// hold. A line ends at a line feed; the line feed and a carriage return before
// it are removed, so files with CR LF and with LF ends read the same. Bytes
// are passed through as they are (zero bytes included).
class LineReader {
public:
    // Lines longer than this are cut (see Overlong); no statement longer than
    // the largest packet a server accepts (1 GiB) could be replayed anyway.
    static constexpr size_t kDefaultMaxLine = size_t(1) << 30;

    explicit LineReader(size_t maxLineBytes = kDefaultMaxLine);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Opens a regular file for reading; false when it cannot be opened (a
    // directory counts as a file that cannot be opened).
    bool Open(const std::string& path);
    // The next line, without its end; false at the end of the file or after
    // a read error (Failed tells which).
    bool Next(std::string& line);
    // The last line read was longer than the limit: `line` holds its first
    // maxLineBytes bytes, the rest was skipped.
    bool Overlong() const { return overlong_; }
    // A read error ended the file early.
    bool Failed() const { return failed_; }
    // Size of the open file in bytes, as found when it was opened.
    long long Size() const { return size_; }
    // Bytes of the file up to the end of the last line read, its line end
    // included.
    long long Consumed() const { return consumed_; }
    void Close();

private:
    bool Fill();

    int fd_ = -1;
    size_t maxLine_;
    std::string buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    bool overlong_ = false;
    long long size_ = 0;
    long long consumed_ = 0;
};
