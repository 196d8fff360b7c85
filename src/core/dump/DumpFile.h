#pragma once

#include "core/store/AtomicFile.h"

#include <string>

// The backup file being written: an AtomicFile beside the final one, written
// through a buffer, with every "\n" of the text stored as CR LF. Commit moves
// it into place; anything else (Discard, or destruction without Commit)
// removes it and leaves the previous backup file untouched.
class DumpFile {
public:
    DumpFile() = default;
    ~DumpFile() = default;
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    // Creates the temporary file (mode 0600) beside `finalPath`.
    bool Open(const std::string& finalPath);
    bool IsOpen() const { return file_.IsOpen(); }
    // Writes a piece of text; every "\n" becomes CR LF.
    void Write(const std::string& piece);
    // Flushes, syncs and renames the file into place. False (and the
    // temporary file removed) when any write failed.
    bool Commit();
    void Discard();

    const std::string& TempPath() const { return file_.TempPath(); }
    bool Failed() const { return file_.Failed(); }

private:
    void Flush();

    AtomicFile file_;
    std::string buffer_;
};
