#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A file that is replaced whole or not at all. What is written goes into a
// private temporary file (mode 0600) beside the final one; Commit syncs it
// and renames it into place, then syncs the directory so the rename lasts.
// Until then, and after a failed write, Discard or destruction without
// Commit, the previous file stays as it was and the temporary file is gone.
class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `finalPath`: its name is
    // TempPrefix(finalPath) + six random characters. False when the final
    // name is longer than a file name may be.
    bool Open(const std::string& finalPath);
    bool IsOpen() const { return fd_ >= 0; }
    // Appends bytes; a failed write is remembered and fails the commit.
    void Write(std::string_view bytes);
    // Moves the file into place. False (and the temporary file removed) when
    // any write, the sync or the rename failed.
    bool Commit();
    void Discard();

    bool Failed() const { return failed_; }
    const std::string& TempPath() const { return tempPath_; }

    // The start of the temporary files' names for `finalPath`: finalPath +
    // ".tmp", or, where that would make a name longer than 255 bytes, the
    // start of the final name, "~", eight hex digits of a hash of the whole
    // final name and ".tmp". No other final name in the folder gives the
    // same start unless the names are that long and share their hash.
    static std::string TempPrefix(const std::string& finalPath);

    // Replaces the file at `path` by `bytes` in one step.
    static bool WriteWhole(const std::string& path, std::string_view bytes);

private:
    int fd_ = -1;
    bool failed_ = false;
    std::string finalPath_;
    std::string tempPath_;
};
