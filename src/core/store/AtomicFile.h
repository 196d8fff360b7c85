#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Writes all of `bytes` to `fd`, going on after interruptions; returns how
// many were written (fewer only when a write failed).
size_t WriteFully(int fd, std::string_view bytes);

// A file that is replaced whole or not at all. What is written goes into a
// private temporary file (mode 0600) beside the final one; Commit syncs it
// and renames it into place, then syncs the directory so the rename lasts.
// Until then, and after a failed write, Discard or destruction without
// Commit, the previous file stays as it was and the temporary file is gone.
//
// The temporary file is locked (flock) while it is written. A process that
// dies leaves it behind, unlocked: the next Open for the same final file
// removes such stale files, and only those of that final file.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Removes the stale temporary files of `finalPath` (RemoveStaleTemps),
    // then creates the temporary file beside it: its name is
    // TempPrefix(finalPath) + six random characters. False when the final
    // name is longer than a file name may be.
    bool Open(const std::string& finalPath);
    bool IsOpen() const { return fd_ >= 0; }
    // Appends bytes; a failed write is remembered and fails the commit.
    // Every few megabytes the kernel is asked to start writing them to disk,
    // so the sync of Commit has little left to do.
    void Write(std::string_view bytes);
    // Appends the first `length` bytes of the open file `fd` (copied inside
    // the kernel where it can).
    void Append(int fd, unsigned long long length);
    // Leaves a gap of `length` bytes (zero bytes until WriteAt fills them);
    // later writes follow it.
    void Skip(unsigned long long length);
    // Writes `bytes` over the file's bytes from `offset` on, which must lie
    // inside what is written so far.
    void WriteAt(unsigned long long offset, std::string_view bytes);
    // Moves the bytes from `from` to the end of the file so that they begin
    // at `to`: the file grows or shrinks by to - from, and the bytes in
    // between (when it grows) are left as they were, to be written over.
    // Copied a megabyte at a time.
    void Move(unsigned long long from, unsigned long long to);
    // The bytes written so far.
    unsigned long long Size() const { return size_; }
    // Cuts the file back to its first `length` bytes; later writes follow
    // them.
    bool Truncate(unsigned long long length);
    // Moves the file into place. False (and the temporary file removed) when
    // any write, the sync or the rename failed.
    bool Commit();
    void Discard();

    bool Failed() const { return failed_; }
    const std::string& TempPath() const { return tempPath_; }
    const std::string& FinalPath() const { return finalPath_; }

    // The start of the temporary files' names for `finalPath`: finalPath +
    // ".tmp", or, where that would make a name longer than 255 bytes, the
    // start of the final name, "~", eight hex digits of a hash of the whole
    // final name and ".tmp". No other final name in the folder gives the
    // same start unless the names are that long and share their hash.
    static std::string TempPrefix(const std::string& finalPath);

    // Removes what a writer of `finalPath` that died left behind: the regular
    // files named TempPrefix(finalPath) + six letters or digits that no
    // process holds locked. No other final name gives such a name (backup
    // names hold no "."; see TempPrefix), so another file's temporary files
    // are never touched. Returns how many were removed.
    static int RemoveStaleTemps(const std::string& finalPath);

    // Replaces the file at `path` by `bytes` in one step.
    static bool WriteWhole(const std::string& path, std::string_view bytes);

private:
    int fd_ = -1;
    bool failed_ = false;
    unsigned long long size_ = 0;
    unsigned long long flushed_ = 0; // bytes the kernel was asked to write out
    std::string finalPath_;
    std::string tempPath_;
};
